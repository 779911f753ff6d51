#include "app/FailureReport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace modsin {
namespace {

// Where the tests find fault_probe; the build passes its path.
constexpr std::string_view kProbe = MODSIN_FAULT_PROBE;

enum class TStandardOutput { kPipe, kClosed, kReaderGone };

struct TRun {
  std::string FOut;
  std::string FErr;
  int FStatus;  // as waitpid gives it
};

std::string ReadAll(int descriptor) {
  std::string text;
  char chunk[4096];
  ssize_t got;
  while ((got = read(descriptor, chunk, sizeof chunk)) > 0)
    text.append(chunk, got);
  close(descriptor);
  return text;
}

TRun RunProbe(const char* failure, TStandardOutput output = TStandardOutput::kPipe) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) ADD_FAILURE() << "pipe";
  if (output == TStandardOutput::kReaderGone) close(out[0]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output == TStandardOutput::kClosed) {
    posix_spawn_file_actions_addclose(&actions, 1);
  } else {
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  }
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  const std::string probe(kProbe);
  char* const argv[] = {const_cast<char*>(probe.c_str()), const_cast<char*>(failure), nullptr};
  pid_t child = -1;
  const int spawned = posix_spawn(&child, probe.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  TRun run{};
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << probe;
    return run;
  }
  if (output != TStandardOutput::kReaderGone) run.FOut = ReadAll(out[0]);
  run.FErr = ReadAll(err[0]);
  waitpid(child, &run.FStatus, 0);
  return run;
}

bool IsUpperHex(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F');
}

// actual with every upper-case hexadecimal digit that expected has as '#'
// turned into '#', so that an expectation can leave addresses open.
std::string Masked(std::string_view expected, std::string actual) {
  for (std::size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
    if (expected[i] == '#' && IsUpperHex(actual[i])) actual[i] = '#';
  }
  return actual;
}

// The probe's first line gives its load base; the report follows it.
constexpr std::string_view kLoadBase = "Load base ################\r\n";

struct TCase {
  const char* FFailure;
  std::string_view FReport;
};

constexpr TCase kCases[] = {
    {"raise",
     "Exception EZeroDivide in module fault_probe at ########.\n"
     "Floating point division by zero.\r\n"},
    {"raise-dot",
     "Exception EExternal in module fault_probe at ########.\nEnds in a full stop.\r\n"},
    {"raise-empty", "Exception EExternal in module fault_probe at ########.\n\r\n"},
    {"out-of-memory",
     "Exception EOutOfMemory in module fault_probe at 00000000.\nOut of memory.\r\n"},
    {"not-an-exception",
     "Exception Exception in module fault_probe at 00000000.\nUnknown exception.\r\n"},
    {"read-unmapped",
     "Exception EAccessViolation in module fault_probe at ########.\n"
     "Access violation at address ################ in module 'fault_probe'. "
     "Read of address 0000000000000010.\r\n"},
    {"write-unmapped",
     "Exception EAccessViolation in module fault_probe at ########.\n"
     "Access violation at address ################ in module 'fault_probe'. "
     "Write of address 0000000000000010.\r\n"},
    {"stack-overflow",
     "Exception EStackOverflow in module fault_probe at ########.\nStack overflow.\r\n"},
    {"integer-divide-by-zero",
     "Exception EDivByZero in module fault_probe at ########.\nDivision by zero.\r\n"},
    {"sse-divide-by-zero",
     "Exception EZeroDivide in module fault_probe at ########.\n"
     "Floating point division by zero.\r\n"},
    {"x87-divide-by-zero",
     "Exception EZeroDivide in module fault_probe at ########.\n"
     "Floating point division by zero.\r\n"},
    {"privileged-instruction",
     "Exception EPrivilege in module fault_probe at ########.\nPrivileged instruction.\r\n"},
    // SIGILL (4) with ILL_ILLOPN (2).
    {"undefined-instruction",
     "Exception EExternalException in module fault_probe at ########.\n"
     "External exception 40002.\r\n"},
};

// The sanitizers' allocator cannot run with the address space capped, as the
// probe's memory exhaustion needs; the end-to-end tests meet exhausted memory
// through a failing allocator instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

TEST(FailureReport, FollowsTheBufferedTextAndEndsWithExitCodeOne) {
  for (const TCase& c : kCases) {
    if (kSanitized && std::string_view(c.FFailure) == "out-of-memory") continue;
    SCOPED_TRACE(c.FFailure);
    const TRun run = RunProbe(c.FFailure);
    const std::string expected = std::string(kLoadBase) + std::string(c.FReport);
    EXPECT_EQ(expected, Masked(expected, run.FOut));
    EXPECT_EQ("", run.FErr);
    EXPECT_TRUE(WIFEXITED(run.FStatus) && WEXITSTATUS(run.FStatus) == kFailureExitCode)
        << "wait status " << run.FStatus;
  }
}

TEST(FailureReport, CutsALongForeignMessage) {
  const TRun run = RunProbe("long-std-exception");
  EXPECT_EQ(std::string(kLoadBase) + "Exception Exception in module fault_probe at 00000000.\n" +
                std::string(255, 'x') + ".\r\n",
            Masked(kLoadBase, run.FOut));
  EXPECT_EQ(1, WEXITSTATUS(run.FStatus));
}

std::uint64_t HexValue(std::string_view digits) {
  return std::stoull(std::string(digits), nullptr, 16);
}

TEST(FailureReport, OffsetIsTheFaultingInstructionLessTheLoadBase) {
  const std::string out = RunProbe("read-unmapped").FOut;
  const std::size_t base = out.find("Load base ") + 10;
  const std::size_t offset = out.find(" at ") + 4;
  const std::size_t instruction = out.find("at address ") + 11;
  ASSERT_NE(std::string::npos, out.find("at address "));
  EXPECT_EQ(HexValue(out.substr(instruction, 16)) - HexValue(out.substr(base, 16)),
            HexValue(out.substr(offset, 8)));
  EXPECT_NE(0u, HexValue(out.substr(offset, 8)));
}

TEST(FailureReport, ExitsWithOneWhenStandardOutputIsUnusable) {
  for (const TStandardOutput output : {TStandardOutput::kClosed, TStandardOutput::kReaderGone}) {
    const TRun run = RunProbe("raise", output);
    EXPECT_EQ("", run.FErr);
    // A reader that has gone must not kill the probe with SIGPIPE.
    EXPECT_TRUE(WIFEXITED(run.FStatus) && WEXITSTATUS(run.FStatus) == kFailureExitCode)
        << "wait status " << run.FStatus;
  }
}

TEST(FailureReport, ProbeWithoutFailureWritesItsTextAndExitsWithZero) {
  const TRun run = RunProbe("none");
  EXPECT_EQ(std::string(kLoadBase) + "No failure\r\n", Masked(kLoadBase, run.FOut));
  EXPECT_EQ(0, run.FStatus);
}

}  // namespace
}  // namespace modsin
