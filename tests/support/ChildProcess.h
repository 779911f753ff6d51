// Test support: runs a program as a user would, in a folder of its own, with
// each standard descriptor piped to the test, redirected, or closed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace modsin::testing {

// What a standard descriptor of the child is.
struct TStream {
  // BrokenPipe: a pipe whose reading end is closed before the child starts.
  enum class TKind { Pipe, Closed, Path, BrokenPipe } FKind = TKind::Pipe;
  std::string FPath;  // for Path: opened for reading (0) or created for writing (1, 2)

  static TStream Pipe() { return {}; }
  static TStream Closed() { return {TKind::Closed, {}}; }
  static TStream Path(std::string path) { return {TKind::Path, std::move(path)}; }
  static TStream BrokenPipe() { return {TKind::BrokenPipe, {}}; }
};

struct TExit {
  int FCode = -1;    // exit code, or -1 when a signal ended the child
  int FSignal = 0;   // the signal that ended it, or 0
  std::string FOut;  // what it wrote to a piped standard output
  std::string FErr;  // what it wrote to a piped standard error
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A started child. The test may write to its input and read its output while
// it runs; Finish() closes the input, collects the rest and waits.
class TChild {
 public:
  TChild(const std::vector<std::string>& argv, const std::filesystem::path& folder,
         TStream in = TStream::Pipe(), TStream out = TStream::Pipe(),
         const std::vector<std::string>& environment = {}) {
    int inPipe[2] = {-1, -1}, outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
    if (in.FKind == TStream::TKind::Pipe && ::pipe2(inPipe, O_CLOEXEC) != 0) std::abort();
    const bool outPiped =
        out.FKind == TStream::TKind::Pipe || out.FKind == TStream::TKind::BrokenPipe;
    if (outPiped && ::pipe2(outPipe, O_CLOEXEC) != 0) std::abort();
    if (out.FKind == TStream::TKind::BrokenPipe) CloseIf(outPipe[0]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0) std::abort();
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    FPid = ::fork();
    if (FPid == 0) {
      // In the child: only async-signal-safe calls until exec.
      if (::chdir(folder.c_str()) != 0) ::_exit(126);
      Bind(in, inPipe[0], 0, O_RDONLY);
      Bind(out, outPipe[1], 1, O_WRONLY | O_CREAT | O_TRUNC);
      ::dup2(errPipe[1], 2);
      for (const std::string& e : environment)
        ::putenv(const_cast<char*>(e.c_str()));
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    CloseIf(inPipe[0]);
    CloseIf(outPipe[1]);
    CloseIf(errPipe[1]);
    FIn = inPipe[1];
    FOut = outPipe[0];
    FErr = errPipe[0];
  }
  ~TChild() {
    if (FPid > 0) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
    CloseIf(FIn);
    CloseIf(FOut);
    CloseIf(FErr);
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  void Write(const std::string& bytes) {
    if (::write(FIn, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      std::abort();
  }
  void CloseInput() { CloseIf(FIn); }
  void Signal(int signal) { ::kill(FPid, signal); }
  // The reading end of the child's standard output, to close it early.
  void CloseOutput() { CloseIf(FOut); }

  // Reads standard output until it holds at least n bytes or ends.
  std::string ReadOutput(std::size_t n) {
    while (FOutText.size() < n && ReadSome(FOut, FOutText)) {
    }
    return FOutText;
  }

  // Whether the child is still running after the given time.
  bool StillRunningAfter(std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < end) {
      if (::waitpid(FPid, &FStatus, WNOHANG) == FPid) {
        FPid = -FPid;  // reaped
        return false;
      }
      ::usleep(10000);
    }
    return true;
  }

  TExit Finish() {
    CloseInput();
    while (ReadSome(FOut, FOutText)) {
    }
    std::string err;
    while (ReadSome(FErr, err)) {
    }
    if (FPid > 0) ::waitpid(FPid, &FStatus, 0);
    FPid = -1;
    TExit result;
    result.FOut = FOutText;
    result.FErr = err;
    if (WIFEXITED(FStatus)) result.FCode = WEXITSTATUS(FStatus);
    if (WIFSIGNALED(FStatus)) result.FSignal = WTERMSIG(FStatus);
    return result;
  }

 private:
  static void CloseIf(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  static bool ReadSome(int fd, std::string& text) {
    if (fd < 0) return false;
    char chunk[4096];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) return false;
    text.append(chunk, static_cast<std::size_t>(n));
    return true;
  }
  static void Bind(const TStream& stream, int pipeEnd, int target, int flags) {
    switch (stream.FKind) {
      case TStream::TKind::Pipe:
      case TStream::TKind::BrokenPipe:
        ::dup2(pipeEnd, target);
        break;
      case TStream::TKind::Closed:
        ::close(target);
        break;
      case TStream::TKind::Path: {
        const int fd = ::open(stream.FPath.c_str(), flags, 0666);
        if (fd < 0) ::_exit(125);
        ::dup2(fd, target);
        ::close(fd);
        break;
      }
    }
  }

  pid_t FPid = -1;
  int FStatus = 0;
  int FIn = -1, FOut = -1, FErr = -1;
  std::string FOutText;
};

}  // namespace modsin::testing
