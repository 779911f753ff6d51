// The child process on Linux: fork and exec, pipes and dup2.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/ChildProcess.h"

namespace modsin::testing {

namespace {

void CloseIf(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

bool ReadSome(int fd, std::string& text) {
  if (fd < 0) return false;
  char chunk[4096];
  const ssize_t n = ::read(fd, chunk, sizeof chunk);
  if (n <= 0) return false;
  text.append(chunk, static_cast<std::size_t>(n));
  return true;
}

// In the child: only async-signal-safe calls.
void Bind(const TStream& stream, int pipeEnd, int target, int flags) {
  switch (stream.FKind) {
    case TStream::TKind::Pipe:
    case TStream::TKind::BrokenPipe:
      ::dup2(pipeEnd, target);
      break;
    case TStream::TKind::Closed:
      ::close(target);
      break;
    case TStream::TKind::Path:
    case TStream::TKind::Null: {
      const char* path = stream.FKind == TStream::TKind::Null ? "/dev/null" : stream.FPath.c_str();
      const int fd = ::open(path, flags, 0666);
      if (fd < 0) ::_exit(125);
      ::dup2(fd, target);
      ::close(fd);
      break;
    }
  }
}

}  // namespace

struct TChild::TState {
  pid_t FPid = -1;
  int FStatus = 0;
  int FIn = -1, FOut = -1, FErr = -1;
};

TChild::TChild(const std::vector<std::string>& argv, const std::filesystem::path& folder,
               TStream in, TStream out, const std::vector<std::string>& environment)
    : FState(std::make_unique<TState>()) {
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
  FState->FPid = ::fork();
  if (FState->FPid == 0) {
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
  FState->FIn = inPipe[1];
  FState->FOut = outPipe[0];
  FState->FErr = errPipe[0];
}

TChild::~TChild() {
  if (FState->FPid > 0) {
    ::kill(FState->FPid, SIGKILL);
    ::waitpid(FState->FPid, nullptr, 0);
  }
  CloseIf(FState->FIn);
  CloseIf(FState->FOut);
  CloseIf(FState->FErr);
}

void TChild::Write(const std::string& bytes) {
  if (::write(FState->FIn, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    std::abort();
}

void TChild::CloseInput() {
  CloseIf(FState->FIn);
}

void TChild::Signal(int signal) {
  ::kill(FState->FPid, signal);
}

void TChild::CloseOutput() {
  CloseIf(FState->FOut);
}

std::string TChild::ReadOutput(std::size_t n) {
  while (FOutText.size() < n && ReadSome(FState->FOut, FOutText)) {
  }
  return FOutText;
}

bool TChild::StillRunningAfter(std::chrono::milliseconds wait) {
  const auto end = std::chrono::steady_clock::now() + wait;
  while (std::chrono::steady_clock::now() < end) {
    if (::waitpid(FState->FPid, &FState->FStatus, WNOHANG) == FState->FPid) {
      FState->FPid = -FState->FPid;  // reaped
      return false;
    }
    ::usleep(10000);
  }
  return true;
}

TExit TChild::Finish() {
  CloseInput();
  while (ReadSome(FState->FOut, FOutText)) {
  }
  std::string err;
  while (ReadSome(FState->FErr, err)) {
  }
  if (FState->FPid > 0) ::waitpid(FState->FPid, &FState->FStatus, 0);
  FState->FPid = -1;
  TExit result;
  result.FOut = FOutText;
  result.FErr = err;
  if (WIFEXITED(FState->FStatus)) result.FCode = WEXITSTATUS(FState->FStatus);
  if (WIFSIGNALED(FState->FStatus)) result.FSignal = WTERMSIG(FState->FStatus);
  return result;
}

}  // namespace modsin::testing
