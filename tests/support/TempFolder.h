// Test support: a fresh empty folder for one test, removed with everything in
// it when the test ends.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace modsin::testing {

// A fresh empty folder, removed with everything in it.
class TTempFolder {
 public:
  TTempFolder() {
    std::string path = (std::filesystem::temp_directory_path() / "modsin-XXXXXX").string();
    if (::mkdtemp(path.data()) == nullptr) std::abort();
    FPath = path;
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  const std::filesystem::path& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return (FPath / name).string(); }

 private:
  std::filesystem::path FPath;
};

}  // namespace modsin::testing
