#include "app/ModuleMap.h"

#include <dlfcn.h>
#include <sys/auxv.h>

#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace modsin {
namespace {

// What the loader says of address: its module's file name and the offset
// from that module's base.
std::string LoaderView(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0) return "unknown";
  std::string name = info.dli_fname;
  name = name.substr(name.rfind('/') + 1);
  return name + " " +
         std::to_string(reinterpret_cast<std::uintptr_t>(address) -
                        reinterpret_cast<std::uintptr_t>(info.dli_fbase));
}

std::string Located(const void* address) {
  const TCodeLocation where = LocateCode(address);
  return std::string(where.FModule) + " " + std::to_string(where.FOffset);
}

TEST(ModuleMap, NamesTheModuleThatHoldsAnAddressAsTheLoaderDoes) {
  NoteLoadedModules();
  EXPECT_EQ("app_test", ExecutableName());
  const void* here = reinterpret_cast<const void*>(&Located);
  const void* library = dlsym(RTLD_DEFAULT, "getpid");
  ASSERT_NE(nullptr, library);
  EXPECT_EQ(LoaderView(here), Located(here));
  EXPECT_EQ(LoaderView(library), Located(library));
  EXPECT_EQ("libc.so.6", LocateCode(library).FModule);
}

// The executable is named by the path it was started by, else by the file it
// maps. The kernel's copy of that path lies in the writable stack: rewritten,
// it stands for a start by another name, or by none.
TEST(ModuleMap, NamesTheExecutableByItsStartPathElseByItsFile) {
  char* const startPath = reinterpret_cast<char*>(getauxval(AT_EXECFN));
  ASSERT_NE(nullptr, startPath);
  const std::string saved = startPath;
  ASSERT_GE(saved.size(), std::strlen("renamed"));
  std::strcpy(startPath, "renamed");
  NoteLoadedModules();
  EXPECT_EQ("renamed", ExecutableName());
  startPath[0] = '\0';
  NoteLoadedModules();
  EXPECT_EQ("app_test", ExecutableName());
  std::strcpy(startPath, saved.c_str());
  NoteLoadedModules();
}

TEST(ModuleMap, AddressesOutsideEveryModuleNameTheExecutableAtOffsetZero) {
  NoteLoadedModules();
  EXPECT_EQ("app_test 0", Located(nullptr));
  EXPECT_FALSE(LocateCode(nullptr).FFound);
  EXPECT_FALSE(LocateCode(reinterpret_cast<const void*>(0x1000)).FFound);
  EXPECT_TRUE(LocateCode(reinterpret_cast<const void*>(&Located)).FFound);
}

}  // namespace
}  // namespace modsin
