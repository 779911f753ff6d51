#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "calc/UnitCalcModSin.h"
#include "tests/calc/CalcProbe.h"
#include "tests/support/PlatformFacts.h"
#include "tests/support/TempFolder.h"
#include "tests/textio/ScriptedSystemCalls.h"
#include "textio/InOutError.h"

namespace modsin {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TProbe;
using testing::TTempFolder;

const std::string kHeader = "x\ty\r\n";
const std::string kZeroLine = " 0.00000000000000E+0000\t 0.00000000000000E+0000\r\n";

// The I/O failure that PrintToFile raises, as "<number> <message>".
std::string Failure(TProbe& calc, const std::string& name) {
  try {
    calc.PrintToFile(name);
  } catch (const EInOutError& e) {
    return std::to_string(e.FailureNumber()) + " " + e.what();
  }
  return "none";
}

TEST(PrintToFile, WritesHeaderAndOneLinePerNode) {
  TTempFolder folder;
  TProbe calc(0, 5, 2, 0.003, 10);
  ASSERT_EQ(18, calc.Tabulate());
  calc.PrintToFile(folder / "t.dat");
  const std::string table = ReadFile(folder / "t.dat");
  EXPECT_EQ(5u + 49 * 18, table.size());
  EXPECT_EQ(kHeader + kZeroLine + kZeroLine, table.substr(0, 5 + 2 * 49));
  EXPECT_EQ(" 1.25331413731550E+0000\t 1.00000000000000E+0000\r\n", table.substr(5 + 2 * 49, 49));
  EXPECT_EQ(0, calc.Code());
}

TEST(PrintToFile, NoListWritesTheHeaderOnly) {
  TTempFolder folder;
  TProbe calc(0, 5, 2, 0.003, 0.005);
  calc.PrintToFile(folder / "t.dat");
  EXPECT_EQ(kHeader, ReadFile(folder / "t.dat"));
  EXPECT_EQ(0, calc.Code());
}

TEST(PrintToFile, CountAndListDisagree) {
  struct Case {
    std::int32_t count;
    std::size_t lines;
  };
  const Case cases[] = {{25, 18}, {5, 5}, {-1, 0}, {-2147483647 - 1, 0}};
  for (const Case& c : cases) {
    TTempFolder folder;
    TProbe calc(0, 5, 2, 0.003, 10);
    calc.Tabulate();
    const std::int32_t real = calc.FNodeCount;
    calc.FNodeCount = c.count;
    calc.PrintToFile(folder / "t.dat");
    calc.FNodeCount = real;  // let the destructor release the list
    EXPECT_EQ(5 + 49 * c.lines, ReadFile(folder / "t.dat").size()) << c.count;
    std::int32_t code;
    std::string msg;
    calc.GetError(code, msg);
    EXPECT_EQ(7, code);
    EXPECT_EQ("Wrong number of nodes", msg);
  }
}

TEST(PrintToFile, FailedJobTouchesNoFile) {
  TTempFolder folder;
  TProbe calc(0, 12.5, 2, 0.001, 0.001);
  ASSERT_EQ(0, calc.Tabulate());
  ASSERT_EQ(5, calc.Code());
  calc.PrintToFile(folder / "new.dat");
  EXPECT_FALSE(fs::exists(folder / "new.dat"));
  std::ofstream(folder / "old.dat") << "kept";
  calc.PrintToFile(folder / "old.dat");
  EXPECT_EQ("kept", ReadFile(folder / "old.dat"));
  EXPECT_EQ(5, calc.Code());
}

TEST(PrintToFile, ReplacesAnExistingFile) {
  TTempFolder folder;
  std::ofstream(folder / "t.dat") << std::string(20000, 'z');
  TProbe calc(0, 5, 2, 0.003, 0.005);
  calc.PrintToFile(folder / "t.dat");
  EXPECT_EQ(kHeader, ReadFile(folder / "t.dat"));
}

// A table that cannot be created or written raises; the status stays.
TEST(PrintToFile, RaisesWhenTheFileCannotBeWritten) {
  TTempFolder folder;
  fs::create_directory(folder / "folder.dat");
  TProbe calc(0, 5, 2, 0.003, 0.005);
  calc.Tabulate();
  const auto text = [](const testing::TFailureFact& failure) {
    return std::to_string(failure.FNumber) + " " + failure.FMessage;
  };
  EXPECT_EQ(text(testing::kMissingFolder), Failure(calc, folder / "missing/t.dat"));
  EXPECT_EQ("5 File access denied", Failure(calc, folder / "folder.dat"));
  EXPECT_EQ(text(testing::kDiskFull), Failure(calc, testing::kFullDevice));
  EXPECT_FALSE(fs::exists(folder / "missing"));
  EXPECT_EQ(0, calc.Code());
}

// One write call per full buffer of 128 bytes and one for the rest at the
// close, none per line.
TEST(PrintToFile, ReachesTheFileInWholeBuffers) {
  struct Case {
    double xright;
    std::size_t bytes, writes;
  };
  const Case cases[] = {{5, 6228, 49}, {10, 22692, 178}};
  for (const Case& c : cases) {
    TTempFolder folder;
    TProbe calc(0, c.xright, 2, 0.003, 0.005);
    calc.Tabulate();
    testing::TScriptedSystemCalls scripted;
    calc.PrintToFile(folder / "t.dat");
    const std::vector<std::size_t>& sizes = testing::gScript.FWriteSizes;
    EXPECT_EQ(c.writes, sizes.size());
    EXPECT_EQ(c.bytes, fs::file_size(folder / "t.dat"));
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i)
      EXPECT_EQ(128u, sizes[i]);
    EXPECT_EQ(c.bytes % 128, sizes.back());
  }
}

// An empty name writes the table to standard output, which stays open.
TEST(PrintToFile, EmptyNameWritesToStandardOutput) {
  TTempFolder folder;
  TProbe calc(0, 5, 2, 0.003, 10);
  calc.Tabulate();
  {
    testing::TScriptedSystemCalls scripted;
    const TCreateResult out = CreateForWriting((folder / "out").c_str());
    testing::gScript.FStandardOutput = out.FHandle;
    calc.PrintToFile("");
    EXPECT_EQ(0, testing::gScript.FCloseCalls);
    EXPECT_EQ(0, CloseHandle(out.FHandle));
  }
  EXPECT_EQ(5u + 49 * 18, ReadFile(folder / "out").size());
}

}  // namespace
}  // namespace modsin
