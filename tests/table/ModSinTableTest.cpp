// modsin-table as a user meets it: the built program run in a fresh folder,
// its exit code, its one line on standard error, and the files it leaves. The
// cases here are the same on every platform; ModSinTablePosixTest.cpp and
// ModSinTableWin32Test.cpp hold each platform's own.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "calc/UnitCalcModSin.h"
#include "numeric/FloatEnvironment.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformFacts.h"
#include "tests/table/TableRun.h"

namespace modsin::testing {
namespace {

namespace fs = std::filesystem;

const std::string kTable2 = ReadFile(fs::path(MODSIN_GOLDEN) / "ModSinOutput2.dat");
// A link to the full device, made by CTest (under Wine a Windows program
// cannot make a Unix link): a faulty program would replace the link, not the
// device. Absolute here, where CTest starts the test: under Wine a path from
// "/" alone leads from the drive of the child's folder.
const std::string kFullDeviceLink =
    fs::absolute(fs::path(MODSIN_FULL_DEVICE_FOLDER) / "ModSinOutput2.dat").string();

std::string Repeated(const std::string& text, int count) {
  std::string repeated;
  for (int i = 0; i < count; ++i)
    repeated += text;
  return repeated;
}

// Every row writes to t.dat unless it says otherwise; only a run that exits
// with 0 may leave a file, and only a usage error ends with "see --help".
TEST(Table, ExitCodesAndMessages) {
  struct Row {
    std::vector<std::string> args;
    int code;
    std::string error;
  };
  const Row rows[] = {
      {{"--bogus"}, 2, "unknown option '--bogus'"},
      {{"-x"}, 2, "unknown option '-x'"},
      {{"--help", "-xo"}, 2, "unknown option '-x'"},
      {{"--max=5"}, 2, "ambiguous option '--max'"},
      {{"--help=yes"}, 2, "option '--help' takes no value"},
      {{"--to"}, 2, "option '--to' needs a value"},
      {{"-o"}, 2, "option '-o' needs a value"},
      {{"--output="}, 2, "--output: '' is not a file name"},
      {{"t.dat"}, 2, "unexpected argument 't.dat'"},
      {{"--", "--to"}, 2, "unexpected argument '--to'"},
      {{"--from", "abc"}, 2, "--from: 'abc' is not a number"},
      {{"--from", "1,5"}, 2, "--from: '1,5' is not a number"},
      {{"--from", " 1"}, 2, "--from: ' 1' is not a number"},
      {{"--from", "1\n"}, 2, "--from: '1\\n' is not a number"},
      {{"--from", "--1"}, 2, "--from: '--1' is not a number"},
      {{"--to", "0x"}, 2, "--to: '0x' is not a number"},
      {{"--to", "0x-1p0"}, 2, "--to: '0x-1p0' is not a number"},
      {{"--power", "inf"}, 2, "--power: 'inf' is not a number"},
      {{"--dx", "nan"}, 2, "--dx: 'nan' is not a number"},
      {{"--dy", "1e309"}, 2, "--dy: '1e309' is out of range"},
      {{"--dy", "1e-400"}, 2, "--dy: '1e-400' is out of range"},
      {{"--max-nodes", "1"}, 2, "--max-nodes: '1' is out of range 2 .. 2147483647"},
      {{"--max-nodes", "2147483648"},
       2,
       "--max-nodes: '2147483648' is out of range 2 .. 2147483647"},
      {{"--max-seeds", "-1"}, 2, "--max-seeds: '-1' is out of range 0 .. 2147483647"},
      {{"--max-seeds", "1" + std::string(19, '0')},  // beyond 64 bits
       2,
       "--max-seeds: '1" + std::string(19, '0') + "' is out of range 0 .. 2147483647"},
      {{"--max-seeds", "1e3"}, 2, "--max-seeds: '1e3' is not a whole decimal number"},
      {{"--max-seeds", "+5"}, 2, "--max-seeds: '+5' is not a whole decimal number"},
      {{"--format", "CSV"}, 2, "--format: 'CSV' is neither table nor csv"},
      {{"--from", std::string(100, '7') + "x"},
       2,
       "--from: '" + std::string(64, '7') + "...' is not a number"},
      // The cut counts the bytes shown: 16 control bytes make 64.
      {{"--from", std::string(100, '\x01')},
       2,
       "--from: '" + Repeated("\\x01", 16) + "...' is not a number"},
      // The statuses, and the limits each way.
      {{"--to", "-1"}, 3, "status 1: xright should be greater than xleft"},
      {{"--power", "0"}, 3, "status 2: a function should be raising one"},
      {{"--to", "12.6"}, 3, "status 3: Too much InitNodes"},
      {{"--to", "12.6", "--max-seeds", "101"}, 0, ""},
      {{"--to", "0x1.91p+3", "--max-seeds", "50"}, 3, "status 3: Too much InitNodes"},
      // Hexadecimal digits of either case: 0xA needs 63 seeds, 0xF 143.
      {{"--to", "0XA", "--max-seeds", "62"}, 3, "status 3: Too much InitNodes"},
      {{"--to", "0xa", "--max-seeds", "63"}, 0, ""},
      {{"--to", "0xF", "--max-seeds", "142"}, 3, "status 3: Too much InitNodes"},
      {{"--to", "0Xf", "--max-seeds", "143"}, 0, ""},
      {{"--dy", "0.0001"}, 3, "status 4: Function can not be continuous"},
      {{"--max-nodes", "127"}, 3, "status 5: Too much nodes"},
      {{"--max-nodes", "128"}, 0, ""},
      // Raised failures.
      {{"--from", "-1", "--to", "1", "--power", "-1"},
       1,
       "EZeroDivide: Floating point division by zero"},
      {{"-o", "no/t.dat"},
       1,
       std::string("cannot write 'no/t.dat': EInOutError: ") + kMissingFolder.FMessage},
      {{"-o", "."}, 1, "cannot write '.': EInOutError: File access denied"},
  };
  for (const Row& row : rows) {
    TTempFolder folder;
    std::vector<std::string> args = {"-o", "t.dat"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const TExit exit = RunTable(folder, args);
    SCOPED_TRACE(::testing::PrintToString(row.args));
    EXPECT_EQ(row.code, exit.FCode);
    const std::string end = row.code == 2 ? "; see --help\n" : "\n";
    EXPECT_EQ(row.code == 0 ? "" : "modsin-table: " + row.error + end, exit.FErr);
    EXPECT_EQ("", exit.FOut);
    EXPECT_EQ(row.code == 0 ? std::vector<std::string>{"t.dat"} : std::vector<std::string>{},
              Entries(folder));
  }
}

TEST(Table, HelpNamesEveryOptionWithItsArgument) {
  TTempFolder folder;
  const TExit help = RunTable(folder, {"--help"});
  EXPECT_EQ(0, help.FCode);
  EXPECT_EQ("", help.FErr);
  for (const char* option :
       {"--from X", "--to X", "--power P", "--dx D", "--dy D", "--max-nodes N", "--max-seeds N",
        "-o, --output FILE", "--format FORMAT", "-h, --help", "--version"})
    EXPECT_NE(std::string::npos, help.FOut.find(std::string(" ") + option + " ")) << option;
}

TEST(Table, DefaultsAndTheSecondJobGiveTheGoldenTables) {
  TTempFolder folder;
  EXPECT_EQ(0, RunTable(folder, {"-o", "t.dat"}).FCode);
  EXPECT_EQ(kTable1, ReadFile(folder / "t.dat"));
  const TExit spelt = RunTable(folder, {"--from", "0x0p0", "--to", "0x1.4p+2", "--power", "+2.0",
                                        "--dx", "3e-3", "--dy=.005", "--format=table", "-o", "-"});
  EXPECT_EQ(0, spelt.FCode);
  EXPECT_EQ(kTable1, spelt.FOut);
  const TExit second = RunTable(folder, {"--to", "10"});
  EXPECT_EQ("", second.FErr);
  EXPECT_EQ(kTable2, second.FOut);
}

// Each number is the shortest text that reads back to the node's double.
TEST(Table, CsvNumbersReadBackToTheNodes) {
  const TFloatEnvironmentGuard guard;
  EstablishFloatEnvironment();
  TCalcModSinXoverY calc(-2, 3, 3, 0.003, 0.005);  // negative x, six nodes at 0
  std::int32_t count = 0;
  TNode* node = nullptr;
  calc.CalculateXY(count, node);
  ASSERT_EQ(197, count);

  TTempFolder folder;
  const TExit exit =
      RunTable(folder, {"--from", "-2", "--to", "3", "--power", "3", "--format", "csv"});
  EXPECT_EQ(0, exit.FCode);
  ASSERT_EQ(0u, exit.FOut.find("x,y\n"));
  std::size_t start = 4;
  for (; node != nullptr; node = node->next) {
    const std::size_t comma = exit.FOut.find(',', start);
    const std::size_t end = exit.FOut.find('\n', start);
    ASSERT_LT(comma, end);
    for (const auto& [value, text] :
         {std::pair{node->x, exit.FOut.substr(start, comma - start)},
          std::pair{node->y, exit.FOut.substr(comma + 1, end - comma - 1)}}) {
      double read = 0;
      std::from_chars(text.data(), text.data() + text.size(), read);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(read)) << text;
      char shortest[32];
      EXPECT_EQ(text,
                std::string(shortest, std::to_chars(shortest, std::end(shortest), value).ptr));
    }
    start = end + 1;
  }
  EXPECT_EQ(exit.FOut.size(), start);
}

TEST(Table, DevicesAndFifosAreWrittenInPlace) {
  TTempFolder folder;
  ASSERT_NO_FATAL_FAILURE(ExpectDevicesWrittenInPlace(folder));

  // The link is followed to the device, which is written where it is.
  const TExit full = RunTable(folder, {"-o", kFullDeviceLink});
  EXPECT_EQ(1, full.FCode);
  EXPECT_EQ("modsin-table: cannot write '" + kFullDeviceLink +
                "': EInOutError: " + kDiskFull.FMessage + "\n",
            full.FErr);

  const TExit closed =
      TChild({kProgram}, folder.Path(), TStream::Pipe(), TStream::Closed()).Finish();
  EXPECT_EQ(1, closed.FCode);
  EXPECT_EQ("modsin-table: cannot write standard output: EInOutError: I/O error 105\n",
            closed.FErr);
}

// Whichever allocation fails first, the run ends with exit code 1 and one
// line, and leaves no file; the sweep ends at the first run that succeeds.
TEST(Table, ExhaustedMemoryEndsCleanlyAtEveryAllocation) {
  int failures = 0;
  for (;; ++failures) {
    TTempFolder folder;
    const std::string plan = "MODSIN_FAIL_ALLOCATION=" + std::to_string(failures + 1);
    const TExit exit = TChild({kFaultProgram, "-o", "t.dat"}, folder.Path(), TStream::Pipe(),
                              TStream::Pipe(), {plan})
                           .Finish();
    if (exit.FCode == 0) {
      EXPECT_EQ(kTable1, ReadFile(folder / "t.dat"));
      break;
    }
    SCOPED_TRACE(plan);
    EXPECT_EQ(1, exit.FCode);
    EXPECT_EQ("modsin-table: EOutOfMemory: Out of memory\n", exit.FErr);
    EXPECT_TRUE(Entries(folder).empty());
    ASSERT_LT(failures, 10000);
  }
  EXPECT_GE(failures, 2);  // at least the two blocks that the 127 nodes take
}

}  // namespace
}  // namespace modsin::testing
