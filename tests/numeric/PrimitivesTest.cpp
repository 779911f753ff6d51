#include "numeric/Primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "numeric/MathError.h"
#include "numeric/Ordered.h"

namespace modsin {
namespace {

constexpr Extended kNaN = std::numeric_limits<Extended>::quiet_NaN();
constexpr Extended kInf = std::numeric_limits<Extended>::infinity();

// Raises exactly the failure kind E with its message.
template <class E, class F>
void ExpectFailure(F call, const char* message) {
  try {
    call();
    ADD_FAILURE() << "no failure raised; expected " << message;
  } catch (const E& e) {
    EXPECT_STREQ(message, e.what());
    EXPECT_NE(nullptr, e.Address());
  }
}

#define EXPECT_INVALID_OP(expr) \
  ExpectFailure<EInvalidOp>([&] { (void)(expr); }, "Invalid floating point operation")
#define EXPECT_ZERO_DIVIDE(expr) \
  ExpectFailure<EZeroDivide>([&] { (void)(expr); }, "Floating point division by zero")
#define EXPECT_OVERFLOW(expr) \
  ExpectFailure<EOverflow>([&] { (void)(expr); }, "Floating point overflow")

bool IsPositiveZero(Extended x) {
  return x == 0 && !std::signbit(x);
}

// The exact encoding: sign and exponent field, then the 64-bit significand.
void ExpectEncoding(Extended x, std::uint16_t exponent, std::uint64_t significand) {
  unsigned char bytes[sizeof(Extended)];
  std::memcpy(bytes, &x, sizeof bytes);
  std::uint64_t sig;
  std::uint16_t exp;
  std::memcpy(&sig, bytes, 8);
  std::memcpy(&exp, bytes + 8, 2);
  EXPECT_EQ(significand, sig);
  EXPECT_EQ(exponent, exp);
}

TEST(Constants, ExactEncodings) {
  ExpectEncoding(kPi, 0x4000, 0xC90FDAA22168C235);
  ExpectEncoding(kSmallPhaseBound, 0x3FEE, 0xA7C5AC471B478423);
  ExpectEncoding(kIntegerExponentLimit, 0x401D, 0xFFFFFFFE00000000);
  EXPECT_EQ(3.141592653589793115997963468544185161590576171875, static_cast<double>(kPi));
}

TEST(Constants, SmallPhaseBoundDecidesLikeTheDoubleNearestToOneE5) {
  const double bound = 1e-5;
  for (double d : {bound, std::nextafter(bound, 0.0), std::nextafter(bound, 1.0), 0.0, 2e-5})
    EXPECT_EQ(d < bound, d < kSmallPhaseBound) << d;
}

TEST(RealPower, SpecialCasesInOrder) {
  EXPECT_EQ(1, RealPower(0, 0));
  EXPECT_EQ(1, RealPower(-5, 0));
  EXPECT_EQ(1, RealPower(kNaN, 0));  // the base is not examined
  EXPECT_EQ(1, RealPower(3, -0.0L));
  EXPECT_TRUE(IsPositiveZero(RealPower(0, 2)));
  EXPECT_TRUE(IsPositiveZero(RealPower(-0.0L, 3)));
  EXPECT_TRUE(IsPositiveZero(RealPower(0, 0.5)));
  EXPECT_EQ(-8, RealPower(-2, 3));
  EXPECT_EQ(0.25, RealPower(-2, -2));
}

TEST(RealPower, SquareIsOneRoundedProduct) {
  const Extended x = 1.2533141373155001L;
  EXPECT_EQ(x * x, RealPower(x, 2));
}

TEST(RealPower, NonIntegralExponentGoesThroughTheLogarithm) {
  EXPECT_NEAR(std::sqrt(2.0L), RealPower(2, 0.5), 4 * std::numeric_limits<Extended>::epsilon());
}

TEST(RealPower, Failures) {
  EXPECT_ZERO_DIVIDE(RealPower(0, -1));
  EXPECT_ZERO_DIVIDE(RealPower(0, -0.5));
  EXPECT_INVALID_OP(RealPower(-2, 0.5));
  EXPECT_INVALID_OP(RealPower(-2, -2147483648.0L));  // one above the integer limit
  EXPECT_OVERFLOW(RealPower(10, -5000));             // 10^5000 is formed first
  EXPECT_INVALID_OP(RealPower(2, kNaN));
  EXPECT_INVALID_OP(RealPower(kNaN, 2));
  EXPECT_INVALID_OP(RealPower(2, kInf));
  EXPECT_INVALID_OP(RealPower(kInf, 2));
}

TEST(IntegerPower, SquareAndMultiply) {
  EXPECT_EQ(1, IntegerPower(kNaN, 0));
  EXPECT_EQ(1.5, IntegerPower(1.5, 1));
  EXPECT_EQ(1.5L * 1.5L, IntegerPower(1.5, 2));
  EXPECT_EQ(0.5, IntegerPower(2, -1));
  EXPECT_EQ(1024, IntegerPower(2, 10));
  EXPECT_EQ(-128, IntegerPower(-2, 7));
  EXPECT_EQ(1, IntegerPower(1, -2147483647 - 1));
  EXPECT_EQ(1, IntegerPower(-1, -2147483647 - 1));
}

TEST(IntegerPower, ReciprocalComesLast) {
  EXPECT_OVERFLOW(IntegerPower(10, -5000));
  EXPECT_ZERO_DIVIDE(IntegerPower(1e-3000L, -2));  // 1e-6000 underflows to 0
  EXPECT_OVERFLOW(IntegerPower(1e3000L, 2));
  EXPECT_ZERO_DIVIDE(IntegerPower(0, -1));
}

TEST(Exponential, Values) {
  EXPECT_EQ(1, Exponential(0));
  EXPECT_TRUE(IsPositiveZero(Exponential(-12000)));
  EXPECT_NEAR(2.718281828459045235360287L, Exponential(1),
              2 * std::numeric_limits<Extended>::epsilon());
  EXPECT_OVERFLOW(Exponential(12000));
  EXPECT_OVERFLOW(Exponential(1e4930L));
  EXPECT_OVERFLOW(Exponential(1e4932L));  // x * log2(e) itself leaves the range
  EXPECT_TRUE(IsPositiveZero(Exponential(-1e4930L)));
  EXPECT_TRUE(IsPositiveZero(Exponential(-1e4932L)));
  EXPECT_INVALID_OP(Exponential(kNaN));
}

// The seeds take kEuler in place of Exponential(1), and RealPower takes 1 for
// its logarithm; neither may differ by a bit.
TEST(Exponential, OfOneIsTheEulerConstant) {
  EXPECT_EQ(kEuler, Exponential(1));
  EXPECT_EQ(1, NaturalLog(kEuler));
}

// The integral-exponent path up to its limit on either side, and just past it.
TEST(RealPower, IntegralExponentLimit) {
  EXPECT_EQ(-0.125L, RealPower(-2, -3));
  EXPECT_EQ(-1, RealPower(-1, kIntegerExponentLimit));
  EXPECT_EQ(-1, RealPower(-1, -kIntegerExponentLimit));
  EXPECT_INVALID_OP(RealPower(-1, kIntegerExponentLimit + 1));  // through the logarithm
  EXPECT_EQ(0, RealPower(0, kInf));  // a zero base is decided before the exponent is checked
}

// A result's 10 encoded bytes, or the kind of failure raised instead.
template <class F>
std::string Outcome(F call) {
  try {
    const Extended value = call();
    return std::string(reinterpret_cast<const char*>(&value), 10);
  } catch (const EMathError& e) {
    return e.ClassName();
  }
}

// TRealPower takes RealPower's decisions on the exponent ahead of the bases.
TEST(TRealPower, DecidesAsRealPower) {
  for (const Extended p : {0.0L, -0.0L, 1.0L, 2.0L, 3.0L, -1.0L, -2.0L, 0.5L, -0.5L,
                           kIntegerExponentLimit, -kIntegerExponentLimit - 1, 1e10L, kNaN, kInf})
    for (const double x :
         {0.0, -0.0, 1.0, -1.0, 1.5, -2.0, 1e-200, 1e200, -1e-320, 5.0,
          std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()})
      EXPECT_EQ(Outcome([&] { return RealPower(x, p); }), Outcome([&] { return TRealPower(p)(x); }))
          << x << " ^ " << static_cast<double>(p);
}

TEST(NaturalLog, Values) {
  EXPECT_TRUE(IsPositiveZero(NaturalLog(1)));
  EXPECT_NEAR(0.693147180559945309417L, NaturalLog(2), std::numeric_limits<Extended>::epsilon());
  EXPECT_ZERO_DIVIDE(NaturalLog(0));
  EXPECT_ZERO_DIVIDE(NaturalLog(-0.0L));
  EXPECT_INVALID_OP(NaturalLog(-1));
  EXPECT_INVALID_OP(NaturalLog(kNaN));
  EXPECT_INVALID_OP(NaturalLog(kInf));
}

TEST(Sine, Values) {
  EXPECT_TRUE(IsPositiveZero(Sine(0)));
  EXPECT_TRUE(IsPositiveZero(Sine(9.3e18L)));
  EXPECT_TRUE(IsPositiveZero(Sine(-1e19L)));
  EXPECT_EQ(-0x8.7873798f404e7b6p-6L, Sine(25));  // sin 25 correctly rounded (MPFR)
  EXPECT_INVALID_OP(Sine(kInf));
  EXPECT_INVALID_OP(Sine(kNaN));
}

// Near a multiple of pi the reduction needs far more than 64 bits of pi:
// sin of the double nearest k pi is that double's distance from k pi.
TEST(Sine, ReductionIsExactNearMultiplesOfPi) {
  EXPECT_EQ(1.2246467991473532e-16, static_cast<double>(Sine(3.141592653589793)));
  EXPECT_EQ(-2.4492935982947064e-16, static_cast<double>(Sine(6.283185307179586)));
}

TEST(Truncation, ToInt64) {
  EXPECT_EQ(2, TruncateToInt64(2.9L));
  EXPECT_EQ(-2, TruncateToInt64(-2.9L));
  EXPECT_EQ(std::numeric_limits<std::int64_t>::min(), TruncateToInt64(-0x1p63L));
  EXPECT_EQ(std::numeric_limits<std::int64_t>::max(), TruncateToInt64(0x1p63L - 1));
  EXPECT_INVALID_OP(TruncateToInt64(0x1p63L));
  EXPECT_INVALID_OP(TruncateToInt64(kNaN));
  EXPECT_INVALID_OP(TruncateToInt64(-kInf));
}

TEST(Truncation, FractionalPart) {
  EXPECT_TRUE(IsPositiveZero(FractionalPart(-3)));
  EXPECT_EQ(-0.5, FractionalPart(-2.5));
  EXPECT_EQ(0.25, FractionalPart(7.25));
  EXPECT_TRUE(IsPositiveZero(FractionalPart(1e30L)));
  EXPECT_INVALID_OP(FractionalPart(kInf));
}

TEST(CeilingFloor, ExactInTheInt32Range) {
  struct Case {
    Extended x;
    std::int32_t ceiling, floor;
  };
  const Case cases[] = {
      {2, 2, 2},       {2.25, 3, 2},
      {-2.75, -2, -3}, {-0.5, 0, -1},
      {-2.25, -2, -3}, {-0.0L, 0, 0},
      {0.5, 1, 0},     {-2147483648.0L, -2147483647 - 1, -2147483647 - 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.ceiling, CeilingToInt(c.x)) << static_cast<double>(c.x);
    EXPECT_EQ(c.floor, FloorToInt(c.x)) << static_cast<double>(c.x);
  }
}

TEST(CeilingFloor, WrapModulo2Pow32) {
  EXPECT_EQ(-2147483647 - 1, CeilingToInt(2147483647.5L));
  EXPECT_EQ(2147483647, FloorToInt(-2147483648.5L));
  EXPECT_EQ(2071230427, FloorToInt(6366197723.7L));
  EXPECT_INVALID_OP(CeilingToInt(1e19L));
  EXPECT_INVALID_OP(FloorToInt(-9.3e18L));
}

TEST(RoundToDouble, RangeOfDouble) {
  EXPECT_EQ(1.5, RoundToDouble(1.5L));
  EXPECT_EQ(0, RoundToDouble(1e-400L));
  EXPECT_EQ(std::numeric_limits<double>::max(), RoundToDouble(std::numeric_limits<double>::max()));
  EXPECT_OVERFLOW(RoundToDouble(1e309L));
  EXPECT_OVERFLOW(RoundToDouble(1e155L * 1e155L));
  EXPECT_INVALID_OP(RoundToDouble(kNaN));
}

TEST(Ordered, NaNIsAnInvalidOperation) {
  EXPECT_TRUE(IsLess(1, 2));
  EXPECT_TRUE(IsGreater(kInf, 2));
  EXPECT_INVALID_OP(IsLess(kNaN, 1));
  EXPECT_INVALID_OP(IsGreater(1, kNaN));
  EXPECT_INVALID_OP(IsEqual(kNaN, kNaN));
}

}  // namespace
}  // namespace modsin
