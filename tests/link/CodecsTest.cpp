#include "link/Codecs.h"

#include <gtest/gtest.h>
#include <cmath>
#include <random>

using namespace pv;

TEST(Codecs, HexPairs) {
  EXPECT_EQ(Hex2(5), "05");
  EXPECT_EQ(Hex2(255), "FF");
  EXPECT_EQ(Hex2(0), "00");
  EXPECT_EQ(HexPairToByte("1F"), 31);
  EXPECT_EQ(HexPairToByte("FF"), 255);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(HexPairToByte(Hex2(static_cast<uint8_t>(v))), v);
}

TEST(Codecs, Words) {
  EXPECT_EQ(SplitWord(-1), (WordBytes{255, 255}));
  EXPECT_EQ(SplitWord(300), (WordBytes{1, 44}));
  EXPECT_EQ(SplitWord(9000), (WordBytes{0x23, 0x28}));
  EXPECT_EQ(SplitWord(-32768), (WordBytes{128, 0}));
  EXPECT_EQ(JoinWord(255, 255, true), -1);
  EXPECT_EQ(JoinWord(255, 255, false), 65535);
  EXPECT_EQ(JoinWord(127, 255, true), 32767);
  for (int v = -32768; v <= 32767; v += 7) {
    auto w = SplitWord(v);
    EXPECT_EQ(JoinWord(w.hi, w.lo, true), v);
  }
}

TEST(Codecs, Float24KnownBytes) {
  EXPECT_EQ(EncodeFloat24(1.0), (Float24Bytes{63, 128, 0}));
  EXPECT_EQ(DecodeFloat24(128, 0, 63), 1.0);
  EXPECT_EQ(EncodeFloat24(-2.5), (Float24Bytes{192, 32, 0}));
  EXPECT_EQ(DecodeFloat24(32, 0, 192), -2.5);
  EXPECT_EQ(EncodeFloat24(0.0), (Float24Bytes{0, 0, 0}));
  // Three zero bytes are not zero but the smallest value the format holds.
  EXPECT_DOUBLE_EQ(DecodeFloat24(0, 0, 0), std::ldexp(1.0, -127));
}

TEST(Codecs, Float24RefusesWhatWouldBeStoredAsZeroOrInfinity) {
  // 2^-126, the smallest normal number: sign/exponent 0, M1 bit 7 set.
  EXPECT_EQ(TryEncodeFloat24(std::ldexp(1.0, -126)), (Float24Bytes{0, 128, 0}));
  EXPECT_EQ(TryEncodeFloat24(0.0), (Float24Bytes{0, 0, 0}));
  // Smaller than that, the bytes would be zero's: refused, not written as 0.
  EXPECT_FALSE(TryEncodeFloat24(1e-40));
  EXPECT_FALSE(TryEncodeFloat24(-std::ldexp(1.0, -127)));
  EXPECT_FALSE(TryEncodeFloat24(3.5e38));  // exponent 255: Inf / NaN
  EXPECT_FALSE(TryEncodeFloat24(std::nan("")));
}

TEST(Codecs, Float24RoundTripKeepsFifteenBits) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> mant(1.0, 2.0);
  std::uniform_int_distribution<int> exp(-40, 40);
  for (int i = 0; i < 20000; ++i) {
    double v = std::ldexp(mant(rng), exp(rng)) * (i % 2 ? -1 : 1);
    auto b = EncodeFloat24(v);
    double back = DecodeFloat24(b.m1, b.m2, b.s);
    EXPECT_LE(std::fabs(back - v), std::fabs(v) * std::ldexp(1.0, -15)) << v;
  }
  // Values typed by users come back as typed when shown with three decimals.
  for (double v : {1300.0, -200.0, 12.5, 0.1, 20000.0, 4.0, 99.9}) {
    auto b = EncodeFloat24(v);
    EXPECT_NEAR(DecodeFloat24(b.m1, b.m2, b.s), v, std::fabs(v) * 1e-4);
  }
}

TEST(Codecs, ShortFloat) {
  EXPECT_EQ(DecodeShortFloat(0, 0, 127), 1.0);
  EXPECT_EQ(DecodeShortFloat(128, 0, 128), -2.0);
  EXPECT_EQ(DecodeShortFloat(64, 0, 127), 1.5);
}

TEST(Codecs, Float24TextIsTheShortestTextOfTheSameBytes) {
  // 0.1 is kept as 52428 / 32768 x 2^-4 and read back as 0.0999984741...
  const double read = 52428.0 / 32768 / 16;
  EXPECT_EQ(Float24Text(read, 1), "0.1");
  // A range with one decimal is kept ten times over, and judged so.
  EXPECT_EQ(Float24Text(read / 10, 10), "0.01");
  EXPECT_EQ(Float24Text(read / 10, 1), "0.0099998");
  EXPECT_EQ(Float24Text(600, 1), "600");
}
