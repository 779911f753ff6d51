// modsin-table's cases that only Windows has: file attributes, a file held
// open without sharing, NUL; and the Linux cases that Wine cannot run, skipped
// with the reason.
#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformFacts.h"
#include "tests/table/TableRun.h"

namespace modsin::testing {
namespace {

// A failure before, while and after the table is written leaves the file as
// it was; success replaces it, with its attributes.
TEST(Table, AnExistingFileIsKeptOnFailureAndReplacedOnSuccess) {
  TTempFolder folder;
  std::ofstream(folder / "t.dat", std::ios::binary) << kOldTable;
  ::SetFileAttributesA((folder / "t.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
  const std::string name = "t.dat";
  const std::vector<std::string> names = {"t.dat"};
  std::vector<TRun> failing = FailingRuns(name);
  // Open in a program that does not share its deletion, the file cannot be
  // replaced, even once the whole table is written.
  const HANDLE held =
      ::CreateFileA((folder / "t.dat").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  failing.push_back({{kProgram, "-o", name}, {}});
  ExpectEachToFailAndKeepTheFile(folder, failing, names);
  ::CloseHandle(held);
  ExpectReplacedOnSuccess(folder, name, names);
  EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN,
            ::GetFileAttributesA((folder / "t.dat").c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST(Table, AFolderThatCannotBeWrittenKeepsItsFile) {
  GTEST_SKIP() << testing::kNoUnprivilegedUser;
}

TEST(Table, AnInterruptedWriteLeavesNoTemporaryFile) {
  GTEST_SKIP() << "Linux only: it sends a signal; under Wine, which turns SIGINT into Ctrl-C, "
                  "table_interrupt sends it from outside";
}

}  // namespace

// NUL is no file that anything could replace.
void ExpectDevicesWrittenInPlace(const TTempFolder& folder) {
  EXPECT_EQ(0, RunTable(folder, {"-o", kCharacterDevice}).FCode);
  EXPECT_TRUE(Entries(folder).empty());
}

}  // namespace modsin::testing
