// The module map on Windows: the module that holds an address is the
// allocation that VirtualQuery finds it in, whose base is the module's handle,
// and GetModuleFileNameA names it.
#include "app/ModuleMap.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstddef>

namespace modsin {
namespace {

// A program of ours loads a handful of system DLLs; modules beyond this count
// go unnamed.
constexpr std::size_t kMaxModules = 64;
// A file name without directory: at most 255 bytes on NTFS and FAT.
constexpr std::size_t kMaxName = 255;
// A path as GetModuleFileNameA gives it: MAX_PATH bytes, unless long paths are
// enabled, and then longer; a longer one is cut, which keeps its file name
// whole only when it fits.
constexpr DWORD kMaxPath = 1024;

struct TModule {
  std::uintptr_t FBase;
  char FName[kMaxName];
  std::size_t FNameLength;
};

// Each module is named the first time an address in it is located, and kept,
// so that a name once given stays valid.
TModule gModules[kMaxModules];
std::size_t gModuleCount = 0;
TModule gExecutable{};

// Notes the file name, without directory, of the module with that base;
// false when the system knows no such module.
bool Name(TModule& module, std::uintptr_t base) noexcept {
  char path[kMaxPath];
  const DWORD length = ::GetModuleFileNameA(reinterpret_cast<HMODULE>(base), path, sizeof path);
  if (length == 0) return false;
  std::string_view name(path, std::min<DWORD>(length, sizeof path));
  const std::size_t separator = name.find_last_of("\\/:");
  if (separator != std::string_view::npos) name.remove_prefix(separator + 1);
  module.FBase = base;
  module.FNameLength = std::min(name.size(), kMaxName);
  std::copy_n(name.data(), module.FNameLength, module.FName);
  return true;
}

const TModule* ModuleAt(std::uintptr_t base) noexcept {
  for (std::size_t i = 0; i < gModuleCount; ++i) {
    if (gModules[i].FBase == base) return &gModules[i];
  }
  if (gModuleCount == kMaxModules || !Name(gModules[gModuleCount], base)) return nullptr;
  return &gModules[gModuleCount++];
}

}  // namespace

void NoteLoadedModules() noexcept {
  gModuleCount = 0;
  const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(::GetModuleHandleA(nullptr));
  if (!Name(gExecutable, base)) gExecutable = {};
}

std::string_view ExecutableName() noexcept {
  return {gExecutable.FName, gExecutable.FNameLength};
}

TCodeLocation LocateCode(const void* address) noexcept {
  MEMORY_BASIC_INFORMATION region{};
  if (address != nullptr && ::VirtualQuery(address, &region, sizeof region) != 0 &&
      region.Type == MEM_IMAGE) {
    const auto base = reinterpret_cast<std::uintptr_t>(region.AllocationBase);
    if (const TModule* module = ModuleAt(base)) {
      return {{module->FName, module->FNameLength},
              static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) - base),
              true};
    }
  }
  return {ExecutableName(), 0, false};
}

}  // namespace modsin
