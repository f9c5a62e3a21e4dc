// A record store row turned into an entry: the cells column read by hand-
// written tables, and any change to a saved row seen as damage.
#include "records/WriteRecord.h"

#include <gtest/gtest.h>

namespace pv {
namespace {

TEST(WriteRecord, CellsColumnByHandWrittenTable) {
  const auto cells = DecodeCells(QStringLiteral("0:7=244 0:8=12 2:30=0"));
  ASSERT_TRUE(cells.has_value());
  const std::vector<StoredCell> want = {{0, 7, 244}, {0, 8, 12}, {2, 30, 0}};
  EXPECT_EQ(*cells, want);
  EXPECT_EQ(EncodeCells(want), QStringLiteral("0:7=244 0:8=12 2:30=0"));

  // Each of these is not a cells column: a value past a byte, a sign, a
  // leading zero, cells out of order or twice, a missing part, a double
  // blank, nothing at all, a bank out of order.
  for (const char* bad : {"0:7=256", "0:7=-1", "0:07=1", "0:8=1 0:7=2", "0:7=1 0:7=1", "0:7", "0:7=",
                          ":7=1", "0:7=1  0:8=2", "", "1:0=5 0:9=1", "0:7=1 ", "0:7=1,0:8=2", "0x1:7=1"}) {
    QString why;
    EXPECT_FALSE(DecodeCells(QString::fromLatin1(bad), &why).has_value()) << bad;
    EXPECT_FALSE(why.isEmpty()) << bad;
  }
}

WriteRecord Sample() {
  WriteRecord r;
  r.id = 12;
  r.time = QDateTime(QDate(2026, 12, 6), QTime(10, 15, 0, 42), Qt::UTC);
  r.command = QStringLiteral("write-config");
  r.fingerprint = QStringLiteral("3f2a9c1d5e6b7a80");
  r.label = QStringLiteral("SN 4711");
  r.model = QStringLiteral("KRV2212A");
  r.identity = {12, 2, 3, 0};
  r.cells = {{0, 0, 18}, {0, 7, 244}};
  return r;
}

TEST(WriteRecord, RowsAreTheFieldsAsText) {
  const RecordRow row = EncodeRecord(Sample());
  EXPECT_EQ(row.time, QStringLiteral("2026-12-06T10:15:00.042Z"));
  EXPECT_EQ(row.cells, QStringLiteral("0:0=18 0:7=244"));
  EXPECT_EQ(row.deviceCode, 12);
  EXPECT_EQ(row.variant, 2);
  EXPECT_EQ(row.digest.size(), 64);
  const auto back = DecodeRecord(row);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->time, Sample().time);
  EXPECT_EQ(back->label, QStringLiteral("SN 4711"));
  EXPECT_EQ(back->cells, Sample().cells);
}

TEST(WriteRecord, AnyChangeToASavedRowIsDamage) {
  const RecordRow row = EncodeRecord(Sample());
  const std::vector<std::function<void(RecordRow&)>> changes = {
      [](RecordRow& r) { r.cells = QStringLiteral("0:0=18 0:7=245"); },
      [](RecordRow& r) { r.time = QStringLiteral("2026-12-06T10:15:00.043Z"); },
      [](RecordRow& r) { r.fingerprint = QStringLiteral("3f2a9c1d5e6b7a81"); },
      [](RecordRow& r) { r.fingerprintAfter = QStringLiteral("0000000000000000"); },
      [](RecordRow& r) { r.label = QStringLiteral("SN 4712"); },
      [](RecordRow& r) { r.variant = 3; },
      [](RecordRow& r) { r.blank = 1; },
      [](RecordRow& r) { r.command = QStringLiteral("restore"); },
      [](RecordRow& r) { r.digest[0] = r.digest[0] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0'); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    RecordRow r = row;
    changes[i](r);
    QString why;
    EXPECT_FALSE(DecodeRecord(r, &why).has_value()) << i;
    EXPECT_TRUE(why.contains(QStringLiteral("checksum"))) << i << " " << why.toStdString();
  }
}

TEST(WriteRecord, ARowWithAMatchingChecksumIsStillCheckedField_by_field) {
  // Written by something else that computed the checksum: still refused
  // when a field is out of shape.
  const std::vector<std::function<void(RecordRow&)>> changes = {
      [](RecordRow& r) { r.cells = QStringLiteral("0:7=300"); },
      [](RecordRow& r) { r.fingerprint = QStringLiteral("XYZ"); },
      [](RecordRow& r) { r.deviceCode = 256; },
      [](RecordRow& r) { r.time = QStringLiteral("yesterday"); },
      [](RecordRow& r) { r.blank = 2; },
      [](RecordRow& r) { r.label = QStringLiteral("two\nlines"); },
      [](RecordRow& r) { r.command.clear(); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    RecordRow r = EncodeRecord(Sample());
    changes[i](r);
    r.digest = RecordDigest(r);
    EXPECT_FALSE(DecodeRecord(r).has_value()) << i;
  }
}

TEST(WriteRecord, LabelsAreOneLineOfPrintableText) {
  EXPECT_EQ(CleanLabel(QStringLiteral("  SN\t4711\n| B ")), QStringLiteral("SN 4711 B"));
  EXPECT_EQ(CleanLabel(QString(100, QLatin1Char('x'))).size(), kLabelLength);
  EXPECT_TRUE(IsFingerprintText(QStringLiteral("0123456789abcdef")));
  EXPECT_FALSE(IsFingerprintText(QStringLiteral("0123456789ABCDEF")));
  EXPECT_FALSE(IsFingerprintText(QStringLiteral("0123456789abcde")));
}

} // namespace
} // namespace pv
