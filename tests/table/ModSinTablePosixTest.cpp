// modsin-table's cases that only Linux has: permission bits, symbolic links
// and FIFOs, another user, and a signal sent to the program.
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/PlatformFacts.h"
#include "tests/table/TableRun.h"

namespace modsin::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kBigJob = {"--to",        "70",    "--dx",        "1e-9",
                                          "--dy",        "1e-5",  "--max-nodes", "100000000",
                                          "--max-seeds", "100000"};

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

// Read and write permission for all, less the umask.
TEST(Table, ANewFileGetsReadAndWritePermissionForAllLessTheUmask) {
  TTempFolder folder;
  EXPECT_EQ(0, RunTable(folder, {"-o", "t.dat"}).FCode);
  const mode_t umask = ::umask(0);
  ::umask(umask);
  EXPECT_EQ(fs::perms(0666 & ~umask), fs::status(folder / "t.dat").permissions());
}

// A failure before the table is written and while it is, also at the file
// size limit, leaves the file as it was; success replaces it through a link,
// with its permissions kept.
TEST(Table, AnExistingFileIsKeptOnFailureAndReplacedOnSuccess) {
  TTempFolder folder;
  std::ofstream(folder / "t.dat", std::ios::binary) << kOldTable;
  fs::permissions(folder / "t.dat", fs::perms(0640));
  fs::create_symlink("t.dat", folder / "link.dat");
  const std::string name = "link.dat";
  const std::vector<std::string> names = {"link.dat", "t.dat"};
  std::vector<TRun> failing = FailingRuns(name);
  failing.push_back(
      {{"/usr/bin/prlimit", "--fsize=10000", kProgram, "--to", "10", "-o", name}, {}});
  ExpectEachToFailAndKeepTheFile(folder, failing, names);
  ExpectReplacedOnSuccess(folder, name, names);
  EXPECT_TRUE(fs::is_symlink(folder / "link.dat"));
  EXPECT_EQ(fs::perms(0640), fs::status(folder / "t.dat").permissions());
}

TEST(Table, AFolderThatCannotBeWrittenKeepsItsFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to change to an unprivileged user";
  TTempFolder folder;
  std::ofstream(folder / "t.dat") << "old";
  fs::permissions(folder / "t.dat", fs::perms(0666));
  const TExit exit = RunUnprivileged(folder, AsNobody(folder, {"-o", "t.dat"}));
  EXPECT_EQ(1, exit.FCode);
  EXPECT_EQ("modsin-table: cannot write 't.dat': EInOutError: File access denied\n", exit.FErr);
  EXPECT_EQ("old", ReadFile(folder / "t.dat"));
  EXPECT_EQ((std::vector<std::string>{"modsin-table", "t.dat"}), Entries(folder));
}

TEST(Table, AnInterruptedWriteLeavesNoTemporaryFile) {
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
}

}  // namespace

// The character device as the unprivileged user, who could replace nothing in
// /dev; and a FIFO, read as the program writes it.
void ExpectDevicesWrittenInPlace(const TTempFolder& folder) {
  EXPECT_EQ(0, RunUnprivileged(folder, AsNobody(folder, {"-o", kCharacterDevice})).FCode);
  EXPECT_TRUE(fs::is_character_file(kCharacterDevice));

  ASSERT_EQ(0, ::mkfifo((folder / "fifo").c_str(), 0600));
  std::string read;
  std::thread reader([&] { read = ReadFile(folder / "fifo"); });
  EXPECT_EQ(0, RunTable(folder, {"-o", "fifo"}).FCode);
  reader.join();
  EXPECT_EQ(kTable1, read);
  EXPECT_TRUE(fs::is_fifo(folder / "fifo"));
}

}  // namespace modsin::testing
