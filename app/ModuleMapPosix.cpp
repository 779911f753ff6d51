#include "app/ModuleMap.h"

#include <elf.h>
#include <link.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <limits>

#include "app/LargeData.h"

namespace modsin {
namespace {

// A program of ours loads the C and C++ run-time libraries and a handful of
// their dependencies; modules beyond this count go unnamed.
constexpr std::size_t kMaxModules = 64;
// A file name without directory is at most NAME_MAX (255) bytes on Linux.
constexpr std::size_t kMaxName = 255;

struct TModule {
  std::uintptr_t FBase;
  std::uintptr_t FEnd;
  char FName[kMaxName];
  std::size_t FNameLength;
};

MODSIN_LARGE_DATA TModule gModules[kMaxModules];
std::size_t gModuleCount = 0;

void SetName(TModule& module, std::string_view path) noexcept {
  const std::size_t slash = path.rfind('/');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  module.FNameLength = std::min(path.size(), kMaxName);
  std::copy_n(path.data(), module.FNameLength, module.FName);
}

// The loader reports the executable with an empty name, so its path comes
// from the kernel: the path it was started by, else the file it maps.
void SetExecutableName(TModule& module) noexcept {
  const auto* startPath = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  if (startPath != nullptr && *startPath != '\0') {
    SetName(module, startPath);
    return;
  }
  // PATH_MAX (4096) bytes hold any path the kernel gives back.
  constexpr std::size_t kMaxPath = 4096;
  char path[kMaxPath];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  SetName(module, length > 0 ? std::string_view(path, static_cast<std::size_t>(length)) : "");
}

int NoteModule(dl_phdr_info* info, std::size_t /*size*/, void* /*data*/) noexcept {
  if (gModuleCount == kMaxModules) return 1;
  std::uintptr_t lowest = std::numeric_limits<std::uintptr_t>::max();
  std::uintptr_t highest = 0;
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD) continue;
    lowest = std::min<std::uintptr_t>(lowest, info->dlpi_addr + segment.p_vaddr);
    highest =
        std::max<std::uintptr_t>(highest, info->dlpi_addr + segment.p_vaddr + segment.p_memsz);
  }
  if (highest == 0) return 0;  // nothing mapped, nothing to name
  TModule& module = gModules[gModuleCount];
  module.FBase = lowest;
  module.FEnd = highest;
  // The loader lists the executable first, also in a statically linked build.
  if (gModuleCount == 0) {
    SetExecutableName(module);
  } else {
    SetName(module, info->dlpi_name != nullptr ? info->dlpi_name : "");
  }
  ++gModuleCount;
  return 0;
}

}  // namespace

void NoteLoadedModules() noexcept {
  gModuleCount = 0;
  dl_iterate_phdr(NoteModule, nullptr);
}

std::string_view ExecutableName() noexcept {
  if (gModuleCount == 0) return {};
  return {gModules[0].FName, gModules[0].FNameLength};
}

TCodeLocation LocateCode(const void* address) noexcept {
  const auto value = reinterpret_cast<std::uintptr_t>(address);
  for (std::size_t i = 0; value != 0 && i < gModuleCount; ++i) {
    const TModule& module = gModules[i];
    if (value >= module.FBase && value < module.FEnd) {
      return {{module.FName, module.FNameLength},
              static_cast<std::uint32_t>(value - module.FBase),
              true};
    }
  }
  return {ExecutableName(), 0, false};
}

}  // namespace modsin
