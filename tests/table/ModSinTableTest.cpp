// modsin-table as a user meets it: the built program run in a fresh folder,
// its exit code, its one line on standard error, and the files it leaves.
#include <gtest/gtest.h>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "calc/UnitCalcModSin.h"
#include "numeric/FloatEnvironment.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformFacts.h"

namespace modsin::testing {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = MODSIN_TABLE_PROGRAM;
const std::string kFaultProgram = MODSIN_TABLE_FAULT_PROGRAM;
const std::string kTable1 = ReadFile(fs::path(MODSIN_GOLDEN) / "ModSinOutput.dat");
const std::string kTable2 = ReadFile(fs::path(MODSIN_GOLDEN) / "ModSinOutput2.dat");
// A link to the full device, made by CTest (under Wine a Windows program
// cannot make a Unix link): a faulty program would replace the link, not the
// device. Absolute here, where CTest starts the test: under Wine a path from
// "/" alone leads from the drive of the child's folder.
const std::string kFullDeviceLink =
    fs::absolute(fs::path(MODSIN_FULL_DEVICE_FOLDER) / "ModSinOutput2.dat").string();
const std::vector<std::string> kBigJob = {"--to",        "70",    "--dx",        "1e-9",
                                          "--dy",        "1e-5",  "--max-nodes", "100000000",
                                          "--max-seeds", "100000"};

std::string Repeated(const std::string& text, int count) {
  std::string repeated;
  for (int i = 0; i < count; ++i)
    repeated += text;
  return repeated;
}

TExit RunTable(const TTempFolder& folder, std::vector<std::string> args,
               const std::string& program = kProgram) {
  args.insert(args.begin(), program);
  return TChild(args, folder.Path()).Finish();
}

std::vector<std::string> Entries(const TTempFolder& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.Path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

#ifndef _WIN32
// As the unprivileged user "nobody" when the tests run as root, from a copy of
// the program in folder: then a faulty program cannot replace anything in
// /dev, and a folder's permissions bite.
TExit RunUnprivileged(const TTempFolder& folder, const std::vector<std::string>& args) {
  if (::geteuid() != 0) return RunTable(folder, args);
  fs::permissions(folder.Path(), fs::perms(0755));
  fs::copy_file(kProgram, folder / "modsin-table", fs::copy_options::overwrite_existing);
  return RunTable(folder, args, "/usr/bin/setpriv");
}
std::vector<std::string> AsNobody(const TTempFolder& folder, std::vector<std::string> args) {
  if (::geteuid() != 0) return args;
  const std::vector<std::string> prefix = {"--reuid=65534", "--regid=65534", "--clear-groups",
                                           folder / "modsin-table"};
  args.insert(args.begin(), prefix.begin(), prefix.end());
  return args;
}
#endif

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

TEST(Table, DefaultsAndTheSecondJobGiveTheGoldenTables) {
  TTempFolder folder;
  EXPECT_EQ(0, RunTable(folder, {"-o", "t.dat"}).FCode);
  EXPECT_EQ(kTable1, ReadFile(folder / "t.dat"));
#ifndef _WIN32
  const mode_t umask = ::umask(0);
  ::umask(umask);
  EXPECT_EQ(fs::perms(0666 & ~umask), fs::status(folder / "t.dat").permissions());
#endif
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

// A failure before, while and after the table is written leaves the file as
// it was; success replaces it, on Linux through a link, with its permissions
// kept, and on Windows with its attributes.
TEST(Table, AnExistingFileIsKeptOnFailureAndReplacedOnSuccess) {
  TTempFolder folder;
  const std::string old = "the old table\n";
  std::ofstream(folder / "t.dat", std::ios::binary) << old;
  struct TRun {
    std::vector<std::string> FArgs;
    std::vector<std::string> FEnvironment;
  };
#ifdef _WIN32
  ::SetFileAttributesA((folder / "t.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
  const std::string name = "t.dat";
  const std::vector<std::string> names = {"t.dat"};
#else
  fs::permissions(folder / "t.dat", fs::perms(0640));
  fs::create_symlink("t.dat", folder / "link.dat");
  const std::string name = "link.dat";
  const std::vector<std::string> names = {"link.dat", "t.dat"};
#endif
  std::vector<TRun> failing = {
      {{kProgram, "--max-nodes", "127", "-o", name}, {}},
      {{kFaultProgram, "--to", "10", "-o", name}, {"MODSIN_FAIL_WRITE=1"}},
  };
#ifdef _WIN32
  // Open in a program that does not share its deletion, the file cannot be
  // replaced, even once the whole table is written.
  const HANDLE held =
      ::CreateFileA((folder / "t.dat").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  failing.push_back({{kProgram, "-o", name}, {}});
#else
  failing.push_back(
      {{"/usr/bin/prlimit", "--fsize=10000", kProgram, "--to", "10", "-o", name}, {}});
#endif
  for (const TRun& run : failing) {
    const TExit exit =
        TChild(run.FArgs, folder.Path(), TStream::Pipe(), TStream::Pipe(), run.FEnvironment)
            .Finish();
    SCOPED_TRACE(::testing::PrintToString(run.FArgs));
    EXPECT_NE(0, exit.FCode);
    EXPECT_EQ(old, ReadFile(folder / "t.dat"));
    EXPECT_EQ(names, Entries(folder));
  }
#ifdef _WIN32
  ::CloseHandle(held);
#endif
  EXPECT_EQ(0, RunTable(folder, {"-o", name}).FCode);
  EXPECT_EQ(kTable1, ReadFile(folder / "t.dat"));
  EXPECT_EQ(names, Entries(folder));
#ifdef _WIN32
  EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN,
            ::GetFileAttributesA((folder / "t.dat").c_str()) & FILE_ATTRIBUTE_HIDDEN);
#else
  EXPECT_TRUE(fs::is_symlink(folder / "link.dat"));
  EXPECT_EQ(fs::perms(0640), fs::status(folder / "t.dat").permissions());
#endif
}

TEST(Table, AFolderThatCannotBeWrittenKeepsItsFile) {
#ifdef _WIN32
  GTEST_SKIP() << testing::kNoUnprivilegedUser;
#else
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to change to an unprivileged user";
  TTempFolder folder;
  std::ofstream(folder / "t.dat") << "old";
  fs::permissions(folder / "t.dat", fs::perms(0666));
  const TExit exit = RunUnprivileged(folder, AsNobody(folder, {"-o", "t.dat"}));
  EXPECT_EQ(1, exit.FCode);
  EXPECT_EQ("modsin-table: cannot write 't.dat': EInOutError: File access denied\n", exit.FErr);
  EXPECT_EQ("old", ReadFile(folder / "t.dat"));
  EXPECT_EQ((std::vector<std::string>{"modsin-table", "t.dat"}), Entries(folder));
#endif
}

TEST(Table, DevicesAndFifosAreWrittenInPlace) {
  TTempFolder folder;
#ifdef _WIN32
  // NUL is no file that anything could replace.
  EXPECT_EQ(0, RunTable(folder, {"-o", kCharacterDevice}).FCode);
  EXPECT_TRUE(Entries(folder).empty());
#else
  EXPECT_EQ(0, RunUnprivileged(folder, AsNobody(folder, {"-o", kCharacterDevice})).FCode);
  EXPECT_TRUE(fs::is_character_file(kCharacterDevice));

  ASSERT_EQ(0, ::mkfifo((folder / "fifo").c_str(), 0600));
  std::string read;
  std::thread reader([&] { read = ReadFile(folder / "fifo"); });
  EXPECT_EQ(0, RunTable(folder, {"-o", "fifo"}).FCode);
  reader.join();
  EXPECT_EQ(kTable1, read);
  EXPECT_TRUE(fs::is_fifo(folder / "fifo"));
#endif

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

TEST(Table, AnInterruptedWriteLeavesNoTemporaryFile) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux only: it sends a signal; under Wine, which turns SIGINT into Ctrl-C, "
                  "table_interrupt sends it from outside";
#else
  TTempFolder folder;
  const int watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_LE(0, ::inotify_add_watch(watch, folder.Path().c_str(), IN_CREATE));
  std::vector<std::string> args = {kProgram, "-o", "t.dat"};
  args.insert(args.end(), kBigJob.begin(), kBigJob.end());
  TChild child(args, folder.Path());
  char event[sizeof(inotify_event) + NAME_MAX + 1];
  ASSERT_LT(0, ::read(watch, event, sizeof event));  // the temporary file is there
  child.Signal(SIGTERM);
  const TExit exit = child.Finish();
  ::close(watch);
  EXPECT_TRUE(exit.FSignal == SIGTERM || exit.FCode == 0);
  const std::vector<std::string> left = Entries(folder);
  if (left == std::vector<std::string>{"t.dat"}) GTEST_SKIP() << "the signal came after the rename";
  EXPECT_TRUE(left.empty()) << left.front();
#endif
}

}  // namespace
}  // namespace modsin::testing
