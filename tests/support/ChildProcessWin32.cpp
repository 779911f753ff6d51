// The child process on Windows: CreateProcessA with inheritable pipe ends or
// files as its standard handles.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>

#include "tests/support/ChildProcess.h"

namespace modsin::testing {

namespace {

void CloseIf(HANDLE& handle) {
  if (handle != nullptr) ::CloseHandle(handle);
  handle = nullptr;
}

bool ReadSome(HANDLE handle, std::string& text) {
  if (handle == nullptr) return false;
  char chunk[4096];
  DWORD n = 0;
  if (!::ReadFile(handle, chunk, sizeof chunk, &n, nullptr) || n == 0) return false;
  text.append(chunk, n);
  return true;
}

// A pipe whose child's end is inherited and whose test's end is not.
void MakePipe(HANDLE& childEnd, HANDLE& testEnd, bool childReads) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherited, 0)) std::abort();
  childEnd = childReads ? readEnd : writeEnd;
  testEnd = childReads ? writeEnd : readEnd;
  ::SetHandleInformation(testEnd, HANDLE_FLAG_INHERIT, 0);
}

// The child's handle for stream (nullptr for a closed one); testEnd receives
// the test's end of a pipe.
HANDLE ChildHandle(const TStream& stream, bool input, HANDLE& testEnd) {
  HANDLE childEnd = nullptr;
  switch (stream.FKind) {
    case TStream::TKind::Pipe:
      MakePipe(childEnd, testEnd, input);
      break;
    case TStream::TKind::BrokenPipe:
      MakePipe(childEnd, testEnd, input);
      CloseIf(testEnd);
      break;
    case TStream::TKind::Closed:
      break;
    case TStream::TKind::Path:
    case TStream::TKind::Null: {
      SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
      const char* path = stream.FKind == TStream::TKind::Null ? "NUL" : stream.FPath.c_str();
      childEnd = ::CreateFileA(
          path, input ? GENERIC_READ : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
          &inherited, input ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (childEnd == INVALID_HANDLE_VALUE) std::abort();
      break;
    }
  }
  return childEnd;
}

// The test's environment with the settings added, as CreateProcessA takes it:
// NAME=value strings one after another, each ended by a NUL, and one NUL more.
std::string EnvironmentBlock(const std::vector<std::string>& settings) {
  std::string block;
  char* const strings = ::GetEnvironmentStringsA();
  for (const char* s = strings; *s != '\0'; s += std::char_traits<char>::length(s) + 1)
    block.append(s).push_back('\0');
  ::FreeEnvironmentStringsA(strings);
  for (const std::string& setting : settings)
    block.append(setting).push_back('\0');
  block.push_back('\0');
  return block;
}

// The arguments as one command line, each in quotes; none of ours holds a
// quote or ends in a backslash.
std::string CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& argument : argv)
    line += (line.empty() ? "\"" : " \"") + argument + "\"";
  return line;
}

}  // namespace

struct TChild::TState {
  HANDLE FProcess = nullptr;
  HANDLE FIn = nullptr, FOut = nullptr, FErr = nullptr;
  bool FEnded = false;
};

TChild::TChild(const std::vector<std::string>& argv, const std::filesystem::path& folder,
               TStream in, TStream out, const std::vector<std::string>& environment)
    : FState(std::make_unique<TState>()) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ChildHandle(in, true, FState->FIn);
  startup.hStdOutput = ChildHandle(out, false, FState->FOut);
  startup.hStdError = ChildHandle(TStream::Pipe(), false, FState->FErr);
  std::string line = CommandLine(argv);
  std::string block = EnvironmentBlock(environment);
  const std::string directory = folder.string();
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(argv[0].c_str(), line.data(), nullptr, nullptr, TRUE, 0, block.data(),
                        directory.c_str(), &startup, &process)) {
    std::abort();
  }
  ::CloseHandle(process.hThread);
  FState->FProcess = process.hProcess;
  for (HANDLE childEnd : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
    CloseIf(childEnd);
}

TChild::~TChild() {
  if (FState->FProcess != nullptr) {
    if (!FState->FEnded) ::TerminateProcess(FState->FProcess, 1);
    ::WaitForSingleObject(FState->FProcess, INFINITE);
    CloseIf(FState->FProcess);
  }
  CloseIf(FState->FIn);
  CloseIf(FState->FOut);
  CloseIf(FState->FErr);
}

void TChild::Write(const std::string& bytes) {
  DWORD written = 0;
  if (!::WriteFile(FState->FIn, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) ||
      written != bytes.size()) {
    std::abort();
  }
}

void TChild::CloseInput() {
  CloseIf(FState->FIn);
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
  if (::WaitForSingleObject(FState->FProcess, static_cast<DWORD>(wait.count())) == WAIT_TIMEOUT)
    return true;
  FState->FEnded = true;
  return false;
}

TExit TChild::Finish() {
  CloseInput();
  while (ReadSome(FState->FOut, FOutText)) {
  }
  std::string err;
  while (ReadSome(FState->FErr, err)) {
  }
  ::WaitForSingleObject(FState->FProcess, INFINITE);
  FState->FEnded = true;
  DWORD code = 0;
  ::GetExitCodeProcess(FState->FProcess, &code);
  TExit result;
  result.FCode = static_cast<int>(code);
  result.FOut = FOutText;
  result.FErr = err;
  return result;
}

}  // namespace modsin::testing
