// The unit's fingerprint: golden digests worked out apart from the code
// (SHA-256 of the bytes laid out by hand), what counts towards it and what
// does not, and the cells read from a simulated unit.
#include "config/Fingerprint.h"
#include "config/FactoryCells.h"
#include "link/SimRig.h"

#include <gtest/gtest.h>

namespace pv {
namespace {

std::map<int, uint8_t> Bank(const std::function<uint8_t(int)>& value) {
  std::map<int, uint8_t> bank;
  for (int a = 0; a < 256; ++a) bank[a] = value(a);
  return bank;
}

const ModelRow& Krv2211A() { return *FindModel(u"KRV2211A"); }

// The digests below are the first 16 hex digits of
//   sha256(b"planovix-fingerprint-1" + bytes([12, 2, rev, 0]) +
//          b"".join(bytes([a, value(a)]) for a in cells))
// with cells 50..70, 74, 75, 100..111 (a KRV2211A's), worked out with
// Python's hashlib.
TEST(Fingerprint, GoldenDigestsOfHandLaidBytes) {
  const UnitFingerprint own = FingerprintOf(&Krv2211A(), {12, 2, 3, 0}, Bank([](int a) { return uint8_t(a); }));
  EXPECT_EQ(own.digest, QStringLiteral("b8ed0f526fb4fedc"));
  EXPECT_FALSE(own.blank);
  EXPECT_EQ(own.model, QStringLiteral("KRV2211A"));
  EXPECT_EQ(own.cells.size(), 35u);

  const UnitFingerprint blank = FingerprintOf(&Krv2211A(), {12, 2, 3, 0}, Bank([](int) { return uint8_t(0); }));
  EXPECT_EQ(blank.digest, QStringLiteral("a2570fa84e9ba5a6"));
  EXPECT_TRUE(blank.blank);
  // The identity counts: another hardware revision is another fingerprint.
  EXPECT_EQ(FingerprintOf(&Krv2211A(), {12, 2, 4, 0}, Bank([](int) { return uint8_t(0); })).digest,
            QStringLiteral("9f1bc90af46723d6"));
}

TEST(Fingerprint, OnlyTheFactoryCellsNoFieldOwnsCount) {
  const DeviceIdentity id{12, 2, 3, 0};
  std::map<int, uint8_t> bank = Bank([](int a) { return uint8_t(a * 7); });
  const QString base = FingerprintOf(&Krv2211A(), id, bank).digest;
  // The offset (cell 7, also the cold-junction offset), a range word, the
  // trip block and a second channel's gain this one-channel model lacks.
  for (int a : {7, 20, 21, 30, 40}) {
    std::map<int, uint8_t> edited = bank;
    edited[a] ^= 0x5A;
    EXPECT_EQ(FingerprintOf(&Krv2211A(), id, edited).digest, base) << a;
  }
  // A gain, a trim or an output point is the unit's own.
  for (int a : {50, 70, 74, 100, 111}) {
    std::map<int, uint8_t> edited = bank;
    edited[a] ^= 0x5A;
    EXPECT_NE(FingerprintOf(&Krv2211A(), id, edited).digest, base) << a;
  }
}

TEST(Fingerprint, BlankMeansEveryCellZeroOrEveryCellErased) {
  EXPECT_TRUE(IsBlankCalibration({}));
  EXPECT_TRUE(IsBlankCalibration({{50, 0}, {51, 0}}));
  EXPECT_TRUE(IsBlankCalibration({{50, 255}, {51, 255}}));
  EXPECT_FALSE(IsBlankCalibration({{50, 0}, {51, 255}}));
  EXPECT_FALSE(IsBlankCalibration({{50, 0}, {51, 1}}));
}

TEST(Fingerprint, ReadFromTheUnitTakesExactlyItsFactoryCells) {
  test::SimRig rig("KRV2212A");
  for (int a = 0; a < 256; ++a) rig.unit.setCell(0, a, uint8_t(a ^ 0x33));
  rig.unit.clearTranscript();
  const std::optional<UnitFingerprint> fp = ReadFingerprint(rig.commands, QStringLiteral("KRV2212A"));
  ASSERT_TRUE(fp.has_value());
  // Cells 34..70, 74, 75, 85, 86, 100..123: their gaps are cheaper read
  // through than paid for with programming-mode pauses, so one run.
  std::vector<int> run;
  for (int a = 34; a <= 123; ++a) run.push_back(a);
  EXPECT_EQ(rig.readAddresses(), run);
  EXPECT_EQ(rig.received("PR").size(), 1u);
  std::map<int, uint8_t> bank;
  for (int a = 0; a < 256; ++a) bank[a] = rig.unit.cell(0, a);
  EXPECT_EQ(fp->digest, FingerprintOf(FindModel(u"KRV2212A"), rig.unit.identity(), bank).digest);

  // Cells already read in the exchange are not asked again.
  std::map<int, uint8_t> known;
  for (int a = 0; a <= 100; ++a) known[a] = rig.unit.cell(0, a);
  rig.unit.clearTranscript();
  const std::optional<UnitFingerprint> again = ReadFingerprint(rig.commands, QStringLiteral("KRV2212A"), known);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->digest, fp->digest);
  EXPECT_EQ(rig.readAddresses().front(), 101);

  // A silent unit gives no fingerprint.
  rig.unit.faults().dropAnswers = 1000;
  rig.prompter.setDefault(Answer::Cancel);
  EXPECT_FALSE(ReadFingerprint(rig.commands, QStringLiteral("KRV2212A")).has_value());
}

} // namespace
} // namespace pv
