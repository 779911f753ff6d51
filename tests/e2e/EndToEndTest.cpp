// The program as a user meets it: the built binary run in a fresh folder,
// its transcript and tables held to the checked-in copies byte for byte, and
// each way a run can fail met in a real process.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformFacts.h"

namespace modsin::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kProgram = MODSIN_PROGRAM;
const std::string kFaultProgram = MODSIN_FAULT_PROGRAM;
const fs::path kGolden = MODSIN_GOLDEN;
// Its ModSinOutput2.dat leads to the full device. CTest makes it: under Wine
// a Windows program cannot make a Unix link.
const fs::path kFullDeviceFolder = MODSIN_FULL_DEVICE_FOLDER;

// The names a report gives the programs: "modsin", or "modsin.exe".
const std::string kProgramName = fs::path(kProgram).filename().string();
const std::string kFaultProgramName = fs::path(kFaultProgram).filename().string();

const std::string kTranscript =
    "iNodes: 127\r\n"
    "Error after PrintToFile --> 0, No error\r\n"
    "Error after SetValues --> 0, No error\r\n"
    "iNodes: 463\r\n"
    "Error after PrintToFile --> 0, No error\r\n";
const std::string kZeroLine = " 0.00000000000000E+0000\t 0.00000000000000E+0000\r\n";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// module as a regular expression.
std::string Pattern(const std::string& module) {
  return std::regex_replace(module, std::regex("\\."), "\\.");
}

// "Exception <kind> in module <name> at XXXXXXXX." LF "<message>" CR LF, with
// the eight hexadecimal digits checked by form.
void ExpectReport(const std::string& text, const std::string& kind, const std::string& module,
                  const std::string& message) {
  const std::regex report("Exception " + kind + " in module " + Pattern(module) +
                          " at [0-9A-F]{8}\\.\n" + message + "\r\n");
  EXPECT_TRUE(std::regex_match(text, report)) << text;
}

// What a run with standard input at its end leaves behind.
struct TRun {
  TExit FExit;
  TTempFolder FFolder;
  std::string Table(const std::string& name) const { return ReadFile(FFolder / name); }
  bool Exists(const std::string& name) const { return fs::exists(FFolder / name); }
};

TEST(Golden, TranscriptIsTheFiveLines) {
  EXPECT_EQ(kTranscript, ReadFile(kGolden / "transcript.txt"));
  EXPECT_EQ(147u, kTranscript.size());
}

TEST(Golden, TablesHaveTheirFigures) {
  struct Case {
    const char* name;
    std::size_t nodes, bytes;
    const char* lastLine;
  };
  const Case cases[] = {
      {"ModSinOutput.dat", 127, 6228, " 5.00000000000000E+0000\t-1.32351750097773E-0001"},
      {"ModSinOutput2.dat", 463, 22692, " 1.00000000000000E+0001\t-5.06365641109759E-0001"},
  };
  for (const Case& c : cases) {
    const std::string table = ReadFile(kGolden / c.name);
    EXPECT_EQ(c.bytes, table.size()) << c.name;
    EXPECT_EQ(5 + 49 * c.nodes, table.size()) << c.name;
    const std::vector<std::string> lines = Lines(table);
    ASSERT_EQ(c.nodes + 1, lines.size()) << c.name;
    EXPECT_EQ("x\ty", lines.front());
    EXPECT_EQ(kZeroLine, lines[1] + "\r\n");
    EXPECT_EQ(c.lastLine, lines.back());
    double previous = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      ASSERT_EQ(47u, lines[i].size()) << c.name << " line " << i;
      const double x = std::stod(lines[i].substr(0, 23));
      EXPECT_LE(previous, x) << c.name << " line " << i;
      previous = x;
    }
  }
  // The two jobs agree node for node up to the last seed of the first.
  const std::vector<std::string> one = Lines(ReadFile(kGolden / "ModSinOutput.dat"));
  const std::vector<std::string> two = Lines(ReadFile(kGolden / "ModSinOutput2.dat"));
  EXPECT_TRUE(std::equal(one.begin(), one.begin() + 120, two.begin()));
  EXPECT_EQ(" 4.85406478138925E+0000", one[119].substr(0, 23));
}

TEST(Run, NormalRunMatchesTheGoldenCopies) {
  TRun run;
  run.FExit = TChild({kProgram}, run.FFolder.Path(), TStream::Null()).Finish();
  EXPECT_EQ(0, run.FExit.FCode);
  EXPECT_EQ("", run.FExit.FErr);
  EXPECT_EQ(ReadFile(kGolden / "transcript.txt"), run.FExit.FOut);
  EXPECT_EQ(ReadFile(kGolden / "ModSinOutput.dat"), run.Table("ModSinOutput.dat"));
  EXPECT_EQ(ReadFile(kGolden / "ModSinOutput2.dat"), run.Table("ModSinOutput2.dat"));
}

TEST(Run, ArgumentsAreIgnoredAndTablesReplaced) {
  TRun run;
  std::ofstream(run.FFolder / "ModSinOutput.dat") << std::string(10000, 'z');
  run.FExit = TChild({kProgram, "--help", "x"}, run.FFolder.Path()).Finish();
  EXPECT_EQ(0, run.FExit.FCode);
  EXPECT_EQ(kTranscript, run.FExit.FOut);
  EXPECT_EQ(ReadFile(kGolden / "ModSinOutput.dat"), run.Table("ModSinOutput.dat"));
}

TEST(Run, FinalReadEndsAtTheFirstLineEnd) {
  for (const std::string input :
       {"", "\n", "\r\n", "abc\rx\n", "\x1a", "\x1a\n", "typed\nmore\n"}) {
    TTempFolder folder;
    TChild child({kProgram}, folder.Path());
    child.Write(input);
    // The program must end on this input alone, without the end of input.
    EXPECT_EQ(input.empty(), child.StillRunningAfter(input.empty() ? 300ms : 10s))
        << ::testing::PrintToString(input);
    const TExit exit = child.Finish();
    EXPECT_EQ(0, exit.FCode);
    EXPECT_EQ(kTranscript, exit.FOut);
    EXPECT_EQ("", exit.FErr);
  }
}

TEST(Run, CarriageReturnAloneDoesNotEndTheLine) {
  TTempFolder folder;
  TChild child({kProgram}, folder.Path());
  child.Write("abc\rx");
  EXPECT_TRUE(child.StillRunningAfter(300ms));
  child.Write("\n");
  EXPECT_FALSE(child.StillRunningAfter(10s));
  EXPECT_EQ(0, child.Finish().FCode);
}

// Redirected to a file, the transcript leaves the buffer when it fills during
// the fifth line, and the last 19 bytes only at exit, after the final read.
TEST(Run, RedirectedTranscriptReachesTheFileIn128AndThen19Bytes) {
  TTempFolder folder;
  const std::string out = folder / "transcript";
  TChild child({kProgram}, folder.Path(), TStream::Pipe(), TStream::Path(out));
  for (int i = 0; i < 500 && (!fs::exists(out) || fs::file_size(out) < 128); ++i)
    std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(child.StillRunningAfter(200ms));  // waiting for Enter
  EXPECT_EQ(128u, fs::file_size(out));
  const TExit exit = child.Finish();
  EXPECT_EQ(0, exit.FCode);
  EXPECT_EQ(kTranscript, ReadFile(out));
}

TEST(Faults, StandardOutputClosed) {
  TTempFolder folder;
  TChild child({kProgram}, folder.Path(), TStream::Pipe(), TStream::Closed());
  EXPECT_FALSE(child.StillRunningAfter(10s));  // no final read
  const TExit exit = child.Finish();
  EXPECT_EQ(1, exit.FCode);
  EXPECT_EQ("", exit.FErr);
  EXPECT_FALSE(fs::exists(folder / "ModSinOutput.dat"));
}

TEST(Faults, StandardInputClosed) {
  TTempFolder folder;
  const TExit exit = TChild({kProgram}, folder.Path(), TStream::Closed()).Finish();
  EXPECT_EQ(1, exit.FCode);
  EXPECT_EQ(kTranscript.substr(0, 128), exit.FOut.substr(0, 128));
  ExpectReport(exit.FOut.substr(kTranscript.size()), "EInOutError", kProgramName,
               "I/O error 104\\.");
}

TEST(Faults, StandardOutputOnDevFull) {
  TTempFolder folder;
  TChild child({kProgram}, folder.Path(), TStream::Pipe(), TStream::Path(kFullDevice));
  EXPECT_FALSE(child.StillRunningAfter(10s));
  const TExit exit = child.Finish();
  EXPECT_EQ(1, exit.FCode);
  EXPECT_EQ("", exit.FErr);
}

TEST(Faults, StandardOutputPipeClosedByItsReader) {
  TTempFolder folder;
  // Closed before the child starts: closing it afterwards would race with the
  // child's first write-out, which a pipe buffer takes whole.
  TChild child({kProgram}, folder.Path(), TStream::Pipe(), TStream::BrokenPipe());
  EXPECT_FALSE(child.StillRunningAfter(10s));
  const TExit exit = child.Finish();
  EXPECT_EQ(0, exit.FSignal);
  EXPECT_EQ(1, exit.FCode);
  EXPECT_EQ("", exit.FErr);
}

TEST(Faults, FailedFinalWriteOutEndsWithCodeOne) {
  TTempFolder folder;
  TChild child({kProgram}, folder.Path());
  EXPECT_EQ(kTranscript.substr(0, 128), child.ReadOutput(128));
  EXPECT_TRUE(child.StillRunningAfter(100ms));  // waiting for Enter
  child.CloseOutput();
  const TExit exit = child.Finish();
  EXPECT_EQ(0, exit.FSignal);
  EXPECT_EQ(1, exit.FCode);
}

TEST(Faults, FolderInPlaceOfTheFirstTable) {
  TTempFolder folder;
  fs::create_directory(folder / "ModSinOutput.dat");
  const TExit exit = TChild({kProgram}, folder.Path()).Finish();
  EXPECT_EQ(1, exit.FCode);
  ASSERT_EQ(0u, exit.FOut.find("iNodes: 127\r\n"));
  ExpectReport(exit.FOut.substr(13), "EInOutError", kProgramName, "File access denied\\.");
}

TEST(Faults, SecondTableOnAFullDisk) {
  const fs::path& folder = kFullDeviceFolder;
  fs::remove(folder / "ModSinOutput.dat");
  const TExit exit = TChild({kProgram}, folder).Finish();
  EXPECT_EQ(1, exit.FCode);
  const std::string job1 = kTranscript.substr(0, kTranscript.find("Error after SetValues"));
  const std::string before = job1 + "Error after SetValues --> 0, No error\r\niNodes: 463\r\n";
  ASSERT_EQ(before, exit.FOut.substr(0, before.size()));
  ExpectReport(exit.FOut.substr(before.size()), "EInOutError", kProgramName,
               std::string(kDiskFull.FMessage) + "\\.");
  EXPECT_EQ(ReadFile(kGolden / "ModSinOutput.dat"), ReadFile(folder / "ModSinOutput.dat"));
}

// Permissions do not bite for root, so the run drops to the unprivileged
// user "nobody" (65534), from a copy of the program that user may execute.
TEST(Faults, FolderNotWritable) {
#ifdef _WIN32
  GTEST_SKIP() << testing::kNoUnprivilegedUser;
#else
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to change to an unprivileged user";
  TTempFolder folder;
  fs::permissions(folder.Path(), fs::perms(0755));
  fs::copy_file(kProgram, folder / "modsin");
  fs::create_directory(folder / "work");
  const std::string program = folder / "modsin";
  const TExit exit =
      TChild({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", program},
             folder / "work")
          .Finish();
  EXPECT_EQ(1, exit.FCode);
  ASSERT_EQ(0u, exit.FOut.find("iNodes: 127\r\n"));
  ExpectReport(exit.FOut.substr(13), "EInOutError", kProgramName, "File access denied\\.");
  EXPECT_EQ("", exit.FErr);
#endif
}

// The fault-injection copy failing at its 2nd allocation, the second block of
// nodes, in the middle of the first job's refinement and before anything is
// written: memory exhausted, an invalid read, a stack overflow (whose report
// needs more stack than a thread has left after the overflow).
TEST(Faults, InjectedFailures) {
  // Addresses at the full pointer width: 16 digits on x86-64 (Linux and the
  // 64-bit Windows build), 8 on i686.
#if defined(__x86_64__)
  const std::string digits = "16";
  const std::string accessed = "0000000000000010";
#else
  const std::string digits = "8";
  const std::string accessed = "00000010";
#endif
  struct TCase {
    std::string FSetting, FKind, FMessage;
  };
  const TCase cases[] = {
      {"MODSIN_FAIL_ALLOCATION=2", "EOutOfMemory", "Out of memory\\."},
      {"MODSIN_FAULT_ALLOCATION=2", "EAccessViolation",
       "Access violation at address [0-9A-F]{" + digits + "} in module '" +
           Pattern(kFaultProgramName) + "'\\. Read of address " + accessed + "\\."},
      {"MODSIN_OVERFLOW_ALLOCATION=2", "EStackOverflow", "Stack overflow\\."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.FSetting);
    TTempFolder folder;
    const TExit exit =
        TChild({kFaultProgram}, folder.Path(), TStream::Pipe(), TStream::Pipe(), {c.FSetting})
            .Finish();
    EXPECT_EQ(1, exit.FCode);
    EXPECT_EQ("", exit.FErr);
    ExpectReport(exit.FOut, c.FKind, kFaultProgramName, c.FMessage);
  }
}

}  // namespace
}  // namespace modsin::testing
