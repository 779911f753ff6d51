// Test support for modsin-table's tests: the programs under test, the golden
// table, running a program in a folder, and the steps that the platforms' own
// cases share. The cases of both platforms are in ModSinTableTest.cpp, each
// platform's own in ModSinTablePosixTest.cpp and ModSinTableWin32Test.cpp.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace modsin::testing {

inline const std::string kProgram = MODSIN_TABLE_PROGRAM;
inline const std::string kFaultProgram = MODSIN_TABLE_FAULT_PROGRAM;
inline const std::string kTable1 =
    ReadFile(std::filesystem::path(MODSIN_GOLDEN) / "ModSinOutput.dat");

inline TExit RunTable(const TTempFolder& folder, std::vector<std::string> args,
                      const std::string& program = kProgram) {
  args.insert(args.begin(), program);
  return TChild(args, folder.Path()).Finish();
}

inline std::vector<std::string> Entries(const TTempFolder& folder) {
  std::vector<std::string> names;
  for (const std::filesystem::directory_entry& entry :
       std::filesystem::directory_iterator(folder.Path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The platform's own devices, and FIFOs where it has them, written in place
// by modsin-table run in folder (one definition per platform).
void ExpectDevicesWrittenInPlace(const TTempFolder& folder);

// A replaced file: t.dat, holding kOldTable until a run succeeds.
inline const std::string kOldTable = "the old table\n";

struct TRun {
  std::vector<std::string> FArgs;
  std::vector<std::string> FEnvironment;
};

// The runs that fail on every platform, writing name: before the table is
// written (the node ceiling) and while it is (a write that fails).
inline std::vector<TRun> FailingRuns(const std::string& name) {
  return {
      {{kProgram, "--max-nodes", "127", "-o", name}, {}},
      {{kFaultProgram, "--to", "10", "-o", name}, {"MODSIN_FAIL_WRITE=1"}},
  };
}

// Each run fails, t.dat still holds kOldTable, and the folder holds names.
inline void ExpectEachToFailAndKeepTheFile(const TTempFolder& folder,
                                           const std::vector<TRun>& failing,
                                           const std::vector<std::string>& names) {
  for (const TRun& run : failing) {
    const TExit exit =
        TChild(run.FArgs, folder.Path(), TStream::Pipe(), TStream::Pipe(), run.FEnvironment)
            .Finish();
    SCOPED_TRACE(::testing::PrintToString(run.FArgs));
    EXPECT_NE(0, exit.FCode);
    EXPECT_EQ(kOldTable, ReadFile(folder / "t.dat"));
    EXPECT_EQ(names, Entries(folder));
  }
}

// Writing name succeeds, t.dat holds the table, and the folder holds names.
inline void ExpectReplacedOnSuccess(const TTempFolder& folder, const std::string& name,
                                    const std::vector<std::string>& names) {
  EXPECT_EQ(0, RunTable(folder, {"-o", name}).FCode);
  EXPECT_EQ(kTable1, ReadFile(folder / "t.dat"));
  EXPECT_EQ(names, Entries(folder));
}

}  // namespace modsin::testing
