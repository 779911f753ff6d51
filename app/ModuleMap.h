// The loaded modules (the executable and its shared libraries or DLLs), so
// that a code address can be named by module and offset, even inside a signal
// handler or an exception filter. Linux (ModuleMapPosix.cpp) notes every
// module at start-up, since the loader must not be asked in a signal handler;
// Windows (ModuleMapWin32.cpp) asks VirtualQuery and GetModuleFileNameA.
#pragma once

#include <cstdint>
#include <string_view>

namespace modsin {

struct TCodeLocation {
  // File name of the module, without directory.
  std::string_view FModule;
  // The address as an offset from the module's load address; see LocateCode.
  std::uint32_t FOffset;
  // Whether a noted module holds the address; when none does, FModule is the
  // executable and FOffset is 0.
  bool FFound;
};

// Notes the executable, and on Linux every other module loaded now, in static
// storage. Call once at start-up, before anything else here is used; it
// allocates nothing, but the loader may.
void NoteLoadedModules() noexcept;

// The executable's file name without directory ("" before NoteLoadedModules).
std::string_view ExecutableName() noexcept;

// Names the module that holds address and the offset of address from that
// module's load address. The load address is where the module's first loaded
// byte lies: on Linux, for a position-independent executable or a shared
// library, the base the loader chose; for a fixed-address executable, its link
// base (the lowest address of its segments, 0x400000 for the usual x86-64
// link); on Windows, the module's image base, its handle. So the offset is
// the same in every run and is the address relative to the image that tools
// such as addr2line take. An offset that does not fit in 32 bits is cut to
// its low 32 bits. A null address, or one that no module holds (on Linux: none
// noted at start-up), gives the executable with offset 0. Async-signal-safe;
// never allocates.
TCodeLocation LocateCode(const void* address) noexcept;

}  // namespace modsin
