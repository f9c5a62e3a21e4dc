// planovix-cli at the edges, in-process against the simulator: retries of a
// lost answer, files that are not files, values a file or a command holds
// that no cell can, and runs cut before or after the write, each with its
// reason and exit code, and nothing sent that should not be.
#include "CliRig.h"
#include "support/TempRecords.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pv {
namespace {
using test::Cli;
using test::PutDouble;

int Writes(const sim::DeviceSimulator& unit) {
  int n = 0;
  for (const QByteArray& c : unit.transcript()) n += c.startsWith("$W");
  return n;
}

TEST(EdgesCli, OneLostAnswerIsAskedAgainAsATechnicianWould) {
  Cli c;
  c.unit.faults().dropAnswers = 1;  // the first "$V" goes unanswered
  ASSERT_EQ(c.run({"--json", "identify"}), 0) << c.err.toStdString();
  EXPECT_TRUE(c.err.contains(QStringLiteral("(retry 1 of 2)"))) << c.err.toStdString();
  // Three lost answers: two retries, then Cancel, and the reason.
  c.unit.faults().dropAnswers = 3;
  EXPECT_EQ(c.run({"identify"}), 1);
  EXPECT_TRUE(c.err.contains(QStringLiteral("(giving up after 2 retries)"))) << c.err.toStdString();
  // --retries 0 gives up at once; --retries 3 rides out three.
  c.unit.faults().dropAnswers = 1;
  EXPECT_EQ(c.run({"--retries", "0", "identify"}), 1);
  c.unit.faults().dropAnswers = 3;
  EXPECT_EQ(c.run({"--retries=3", "identify"}), 0) << c.err.toStdString();
  for (const char* bad : {"-1", "101", "x", "2.5", ""}) EXPECT_EQ(c.run({"--retries", bad, "identify"}), 2) << bad;
  EXPECT_EQ(c.run({"identify", "--retries"}), 2);
  EXPECT_TRUE(c.run({"--help"}) == 0 && c.out.contains(QStringLiteral("--retries N"))) << c.out.toStdString();
}

TEST(EdgesCli, AnEmptyPortIsAUsageError) {
  Cli c;
  EXPECT_EQ(c.run({"--port", "", "identify"}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("--port needs a port"))) << c.err.toStdString();
  EXPECT_EQ(c.run({"--port=", "identify"}), 2);
  EXPECT_TRUE(c.unit.transcript().isEmpty());
}

TEST(EdgesCli, APipeADeviceOrAFolderIsNoConfigurationFile) {
  Cli c;
  const QString fifo = c.file("fifo.DST");
  ASSERT_EQ(::mkfifo(qPrintable(fifo), 0600), 0);
  for (const QString& path : {fifo, QStringLiteral("/dev/zero"), c.dir.path()}) {
    EXPECT_EQ(c.run({"show-config", path}), 2) << path.toStdString();  // at once: never waits on the pipe
    EXPECT_TRUE(c.err.contains(QStringLiteral("not a regular file"))) << c.err.toStdString();
    EXPECT_EQ(c.run({"--yes", "write-config", path}), 2);
  }
  EXPECT_EQ(Writes(c.unit), 0);
}

TEST(EdgesCli, FileValuesTheEditorCannotShowAreSaidNotReplaced) {
  test::TempRecords records;
  Cli c;
  c.editedUnitFile("odd.DST", [](QByteArray& r) {
    r[12] = static_cast<char>(255);  // channel A's input type: no such row
    PutDouble(r, 144, 1e9);          // channel B's over-range: no such row
  });
  ASSERT_EQ(c.run({"show-config", c.file("odd.DST")}), 0);
  EXPECT_TRUE(c.err.contains(QStringLiteral("Input 255 (Channel A)"))) << c.err.toStdString();
  EXPECT_TRUE(c.err.contains(QStringLiteral("Over range 1e+09 % (Channel B)"))) << c.err.toStdString();
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"write-config", c.file("odd.DST")}), 3);
  EXPECT_TRUE(c.err.contains(QStringLiteral("values this program does not know"))) << c.err.toStdString();
  EXPECT_EQ(Writes(c.unit), 0);
}

TEST(EdgesCli, AnOffsetBeyond12Point7IsRefusedUnlessTheUnitHoldsIt) {
  test::TempRecords records;
  Cli c;
  c.editedUnitFile("offset.DST", [](QByteArray& r) { PutDouble(r, 88, -12.8); });
  const sim::Bank before = c.unit.bank(0);
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"--yes", "write-config", c.file("offset.DST")}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("check configuration data"))) << c.err.toStdString();
  EXPECT_EQ(c.unit.bank(0), before);
  // A unit that already holds -12.8 (cell 7 = 128) is read and written back as it is.
  c.unit.setCell(0, 7, 128);
  ASSERT_EQ(c.run({"read-config", c.file("held.DST")}), 0);
  EXPECT_EQ(c.run({"--yes", "write-config", c.file("held.DST")}), 0) << c.err.toStdString();
  EXPECT_EQ(c.unit.cell(0, 7), 128);
}

TEST(EdgesCli, AFloatBelowTheSmallestNormalIsRefusedNotWrittenAsZero) {
  Cli c;
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"poke", "0", "100", "float", "1e-40"}), 2);
  EXPECT_TRUE(c.err.contains(QStringLiteral("Nothing was sent"))) << c.err.toStdString();
  EXPECT_TRUE(c.unit.transcript().isEmpty());
}

TEST(EdgesCli, AMemoryFileLineIsShownAsItsEditorWroteIt) {
  Cli c;
  QByteArray text;
  for (int i = 0; i < 256; ++i) text += i == 4 ? QByteArray("\xC3\xA7\xC3\xA0 5\n") : QByteArray("0\n");
  test::Write(c.file("utf8.dat"), text);
  EXPECT_EQ(c.run({"eeprom", "verify", c.file("utf8.dat")}), 2);
  EXPECT_TRUE(c.err.contains(QString::fromUtf8("\"\xC3\xA7\xC3\xA0 5\""))) << c.err.toStdString();
}

TEST(EdgesCli, AnEepromWriteCutDuringItsFirstReadSaysWhy) {
  test::TempRecords records;
  Cli c;
  ASSERT_EQ(c.run({"eeprom", "read", c.file("unit.dat")}), 0);
  c.unit.faults().hangUpAfter = static_cast<int>(c.unit.transcript().size()) + 20;
  EXPECT_EQ(c.run({"--yes", "eeprom", "write", c.file("unit.dat")}), 1);
  EXPECT_TRUE(c.err.contains(QStringLiteral("line to the unit was lost"))) << c.err.toStdString();
  EXPECT_TRUE(c.err.contains(QStringLiteral("may still be in programming mode"))) << c.err.toStdString();
  EXPECT_EQ(Writes(c.unit), 0);
}

TEST(EdgesCli, AReadCutBeforeTheWriteSaysNothingWasWrittenAndProgrammingMode) {
  test::TempRecords records;
  Cli c;
  c.editedUnitFile("edited.DST", [](QByteArray& r) { PutDouble(r, 14, 500); });
  // write-config reads the configuration, then the factory cells for the
  // backup: the line goes in the second read.
  Cli probe;
  probe.unit.clearTranscript();
  ASSERT_EQ(probe.run({"--yes", "write-config", c.file("edited.DST")}), 0);
  int configRead = 0;
  for (const QByteArray& cmd : probe.unit.transcript()) {
    ++configRead;
    if (cmd.startsWith("$R") && static_cast<uint8_t>(cmd[3]) == 64) break;
  }
  const size_t saved = records.entries().size();  // the probe's
  // The count runs from the unit's switch-on.
  c.unit.faults().hangUpAfter = static_cast<int>(c.unit.transcript().size()) + configRead + 12;
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"--yes", "write-config", c.file("edited.DST")}), 1);
  EXPECT_TRUE(c.err.contains(QStringLiteral("nothing was written, but the unit may still be in programming mode")))
      << c.err.toStdString();
  EXPECT_EQ(Writes(c.unit), 0);
  EXPECT_EQ(records.entries().size(), saved);
}

} // namespace
} // namespace pv
