#include "textio/InOutError.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>

#include "textio/FailureNumber.h"

namespace modsin {
namespace {

std::string Text(const Exception& failure) {
  return std::string(failure.ClassName()) + ": " + failure.what();
}

TEST(InOutError, MessageByFailureNumber) {
  EXPECT_EQ("EInOutError: File not found", Text(EInOutError(2)));
  EXPECT_EQ("EInOutError: Invalid filename", Text(EInOutError(3)));
  EXPECT_EQ("EInOutError: Too many open files", Text(EInOutError(4)));
  EXPECT_EQ("EInOutError: File access denied", Text(EInOutError(5)));
  EXPECT_EQ("EInOutError: Read beyond end of file", Text(EInOutError(100)));
  EXPECT_EQ("EInOutError: Disk full", Text(EInOutError(101)));
  EXPECT_EQ("EInOutError: Invalid numeric input", Text(EInOutError(106)));
  EXPECT_EQ("EInOutError: I/O error 0", Text(EInOutError(0)));
  EXPECT_EQ("EInOutError: I/O error 1", Text(EInOutError(1)));
  EXPECT_EQ("EInOutError: I/O error 104", Text(EInOutError(104)));
  EXPECT_EQ("EInOutError: I/O error 105", Text(EInOutError(105)));
  EXPECT_EQ("EInOutError: I/O error 32", Text(EInOutError(32)));
  EXPECT_EQ("EInOutError: I/O error -1", Text(EInOutError(-1)));
  EXPECT_EQ("EInOutError: I/O error 2147483647", Text(EInOutError(INT32_MAX)));
  EXPECT_EQ("EInOutError: I/O error -2147483648", Text(EInOutError(INT32_MIN)));
  EXPECT_EQ(105, EInOutError(105).FailureNumber());
}

TEST(FailureNumber, TakeReturnsTheLatestAndResets) {
  StoreFailureNumber(2);
  StoreFailureNumber(101);
  EXPECT_EQ(101, TakeFailureNumber());
  EXPECT_EQ(0, TakeFailureNumber());
}

TEST(FailureNumber, BelongsToTheThread) {
  StoreFailureNumber(5);
  std::int32_t seenElsewhere = -1;
  std::thread([&] { seenElsewhere = TakeFailureNumber(); }).join();
  EXPECT_EQ(0, seenElsewhere);
  EXPECT_EQ(5, TakeFailureNumber());
}

// Raises the pending failure from a known place; nothing follows the check
// that could let the compiler turn the call into a jump.
[[gnu::noinline]] void CheckWithPendingDiskFull() {
  StoreFailureNumber(101);
  InOutCheck();
  asm volatile("");
}

TEST(InOutCheck, RaisesThePendingFailureFromJustAfterTheCheck) {
  try {
    CheckWithPendingDiskFull();
    FAIL() << "no failure raised";
  } catch (const EInOutError& failure) {
    EXPECT_EQ("EInOutError: Disk full", Text(failure));
    EXPECT_EQ(101, failure.FailureNumber());
    // The address lies inside the caller, past its start.
    const auto caller = reinterpret_cast<std::uintptr_t>(&CheckWithPendingDiskFull);
    const auto address = reinterpret_cast<std::uintptr_t>(failure.Address());
    EXPECT_GT(address, caller);
    EXPECT_LT(address, caller + 256);
  }
  EXPECT_EQ(0, TakeFailureNumber());
}

TEST(InOutCheck, RaisesNothingWithoutAFailure) {
  EXPECT_NO_THROW(InOutCheck());
}

}  // namespace
}  // namespace modsin
