// Test support: runs a program as a user would, in a folder of its own, with
// each standard handle piped to the test, redirected, or closed. One source
// per platform: ChildProcessPosix.cpp, ChildProcessWin32.cpp.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace modsin::testing {

// What a standard handle of the child is.
struct TStream {
  // BrokenPipe: a pipe whose reading end is closed before the child starts.
  // Null: the system's null device (/dev/null, NUL).
  enum class TKind { Pipe, Closed, Path, BrokenPipe, Null } FKind = TKind::Pipe;
  std::string FPath;  // for Path: opened for reading (input) or created for writing (output)

  static TStream Pipe() { return {}; }
  static TStream Closed() { return {TKind::Closed, {}}; }
  static TStream Path(std::string path) { return {TKind::Path, std::move(path)}; }
  static TStream BrokenPipe() { return {TKind::BrokenPipe, {}}; }
  static TStream Null() { return {TKind::Null, {}}; }
};

struct TExit {
  int FCode = -1;    // exit code, or -1 when a signal ended the child
  int FSignal = 0;   // the signal that ended it, or 0 (always 0 on Windows)
  std::string FOut;  // what it wrote to a piped standard output
  std::string FErr;  // what it wrote to standard error, which is always piped
};

// A started child. The test may write to its input and read its output while
// it runs; Finish() closes the input, collects the rest and waits.
class TChild {
 public:
  // environment: NAME=value settings added to the test's own.
  TChild(const std::vector<std::string>& argv, const std::filesystem::path& folder,
         TStream in = TStream::Pipe(), TStream out = TStream::Pipe(),
         const std::vector<std::string>& environment = {});
  ~TChild();
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  void Write(const std::string& bytes);
  void CloseInput();
  // Sends the child a signal. Linux only (ChildProcessPosix.cpp).
  void Signal(int signal);
  // The reading end of the child's standard output, to close it early.
  void CloseOutput();
  // Reads standard output until it holds at least n bytes or ends.
  std::string ReadOutput(std::size_t n);
  // Whether the child is still running after the given time.
  bool StillRunningAfter(std::chrono::milliseconds wait);
  TExit Finish();

 private:
  struct TState;
  std::unique_ptr<TState> FState;
  std::string FOutText;
};

}  // namespace modsin::testing
