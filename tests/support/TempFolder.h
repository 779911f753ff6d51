// Test support: a fresh empty folder for one test, removed with everything in
// it when the test ends, and the whole contents of a file.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

namespace modsin::testing {

// A fresh empty folder, removed with everything in it.
class TTempFolder {
 public:
  TTempFolder() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    // create_directory answers false for a name already taken: try another.
    for (int attempt = 0; attempt < 100; ++attempt) {
      FPath = std::filesystem::temp_directory_path() / ("modsin-" + std::to_string(random()));
      if (std::filesystem::create_directory(FPath)) return;
    }
    std::abort();
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::filesystem::path& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return (FPath / name).string(); }

 private:
  std::filesystem::path FPath;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace modsin::testing
