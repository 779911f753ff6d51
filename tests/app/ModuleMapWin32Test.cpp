// The module map on Windows names modules as the loader does.
#include "app/ModuleMap.h"

#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

namespace modsin {
namespace {

std::uintptr_t Address(const void* address) {
  return reinterpret_cast<std::uintptr_t>(address);
}

TEST(ModuleMap, NamesTheModuleAndTheOffsetFromItsImageBase) {
  NoteLoadedModules();
  EXPECT_EQ("app_test.exe", ExecutableName());
  const void* here = reinterpret_cast<const void*>(&Address);
  const TCodeLocation inProgram = LocateCode(here);
  EXPECT_TRUE(inProgram.FFound);
  EXPECT_EQ("app_test.exe", inProgram.FModule);
  EXPECT_EQ(Address(here) - Address(::GetModuleHandleA(nullptr)), inProgram.FOffset);

  const HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
  const void* system = reinterpret_cast<const void*>(::GetProcAddress(kernel32, "GetLastError"));
  const TCodeLocation inSystem = LocateCode(system);
  std::string name(inSystem.FModule);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  EXPECT_EQ("kernel32.dll", name);
  EXPECT_EQ(Address(system) - Address(kernel32), inSystem.FOffset);
}

}  // namespace
}  // namespace modsin
