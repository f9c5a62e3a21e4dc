// Reading and writing a simulated unit's configuration, end to end.
#include "config/ConfigDevice.h"
#include "config/ConfigFile.h"
#include "link/SimRig.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv {
namespace {

struct Bench : test::SimRig {
  RangeTables tables;
  EditorModel model{state, tables};
  explicit Bench(const char* m = "KRV2212A") : SimRig(m) {
    state.identity = {};  // the program starts as 12/0 and learns by reading
  }
  sim::Bank bank0() const { return unit.bank(0); }
};

TEST(ConfigDevice, ReadAndWriteBackLeavesEveryModelsCells) {
  for (const QString& id : ModelIds()) {
    Bench b;
    b.unit.setModel(id);
    const sim::Bank before = b.bank0();
    ASSERT_EQ(ReadEprom(b.model, b.commands), ConfigResult::Ok) << id.toStdString();
    b.unit.clearTranscript();
    // A factory memory may hold trips the checks question; OK writes as is.
    b.prompter.setDefault(Answer::Ok);
    ASSERT_EQ(WriteEprom(b.model, b.commands), ConfigResult::Ok) << id.toStdString();
    EXPECT_EQ(b.bank0(), before) << id.toStdString();
    EXPECT_FALSE(b.received("$W").empty());
  }
}

TEST(ConfigDevice, FileBringsTheCellsBack) {
  QTemporaryDir dir;
  for (const char* id : {"KRV2212A", "KRV2210", "KRV2312D", "KRV2220", "KRV2311B"}) {
    Bench b(id);
    ASSERT_EQ(ReadEprom(b.model, b.commands), ConfigResult::Ok);
    ConfigFile file(b.model, b.prompter);
    const QString path = dir.filePath(QString::fromLatin1(id) + ".DST");
    ASSERT_EQ(file.saveTo(path), FileResult::Done);
    const sim::Bank before = b.bank0();

    // Someone reprograms the unit: ranges, offset, over-range.
    b.unit.setCell(0, 20, 0x11);
    b.unit.setCell(0, 21, 0x01);
    b.unit.setCell(0, 24, 0x00);
    b.unit.setCell(0, 7, 0x05);
    b.unit.setCell(0, 9, 0x05);

    Bench again(id);
    ASSERT_EQ(ReadEprom(again.model, again.commands), ConfigResult::Ok);
    ConfigFile reopened(again.model, again.prompter);
    ASSERT_EQ(reopened.openFrom(path), FileResult::Done);
    again.prompter.setDefault(Answer::Ok);
    ASSERT_EQ(WriteEprom(again.model, again.commands), ConfigResult::Ok) << id;
    EXPECT_EQ(again.bank0(), before) << id;
  }
}

TEST(ConfigDevice, ChangedUnitIsRefusedAndNothingIsWritten) {
  Bench b;
  ASSERT_EQ(ReadEprom(b.model, b.commands), ConfigResult::Ok);
  DeviceIdentity other = b.unit.identity();
  other.variant = 3;
  b.unit.setIdentity(other);
  b.unit.clearTranscript();
  b.prompter.expect(Answer::Ok);
  EXPECT_EQ(WriteEprom(b.model, b.commands), ConfigResult::Refused);
  EXPECT_EQ(b.prompter.asked().back().text, "Device Changed");
  EXPECT_EQ(b.prompter.asked().back().buttons, Buttons::Ok);
  EXPECT_EQ(b.prompter.asked().back().icon, Icon::Critical);
  EXPECT_TRUE(b.received("$W").empty());
  EXPECT_EQ(b.state.identity.variant, 2);
}

TEST(ConfigDevice, CancelledQuestionWritesNothing) {
  Bench b;
  ASSERT_EQ(ReadEprom(b.model, b.commands), ConfigResult::Ok);
  b.model.setText(Field::OffsetA, QStringLiteral("20"));
  b.unit.clearTranscript();
  b.prompter.expect(Answer::Cancel);
  EXPECT_EQ(WriteEprom(b.model, b.commands), ConfigResult::Cancelled);
  EXPECT_TRUE(b.received("$W").empty());

  // OK writes anyway, but a value that does not fit its cell is refused.
  b.prompter.expect(Answer::Ok);
  b.prompter.expect(Answer::Ok);
  EXPECT_EQ(WriteEprom(b.model, b.commands), ConfigResult::BadData);
  // The message names the field that does not fit.
  EXPECT_EQ(b.prompter.asked().back().text, "Error: check configuration data\n\noffset (A)");
  EXPECT_TRUE(b.received("$W").empty());
}

TEST(ConfigDevice, SilentUnitIsACommunicationFailure) {
  Bench b;
  b.unit.faults().dropAnswers = 1000;
  b.prompter.setDefault(Answer::Cancel);
  EXPECT_EQ(ReadEprom(b.model, b.commands), ConfigResult::CommFailure);
  EXPECT_TRUE(b.state.commError);
}

TEST(ConfigDevice, DeviceCodeElevenIsNotRead) {
  Bench b;
  DeviceIdentity id = b.unit.identity();
  id.deviceCode = 11;
  b.unit.setIdentity(id);
  b.prompter.expect(Answer::Ok);
  EXPECT_EQ(ReadEprom(b.model, b.commands), ConfigResult::NotCompatible);
  EXPECT_TRUE(b.received("$R").empty());
}

TEST(ConfigDevice, LostWritesAreCaughtByTheReadBack) {
  Bench b;
  ASSERT_EQ(ReadEprom(b.model, b.commands), ConfigResult::Ok);
  b.model.setText(Field::InputMaxA, QStringLiteral("500"));
  b.unit.faults().badProgramming = -1;  // "PR" never answered right: no cell written
  b.prompter.setDefault(Answer::Ok);
  EXPECT_NE(WriteEprom(b.model, b.commands), ConfigResult::Ok);
}

TEST(ConfigDevice, FamilyStaysKnownAfterTheSpanAndZeroTablesAreRead) {
  // "$S" is followed by a read of four default cells into the programming
  // buffer, over cell 4: the model must not change with it.
  Bench b("KRV2311A");
  ASSERT_EQ(ReadEprom(b.model, b.commands), ConfigResult::Ok);
  ASSERT_EQ(b.state.programmingBuffer[4] & 96, 32);
  b.commands.ReadCalibrationTables(rows::Pt100);
  ASSERT_FALSE(b.state.commError);
  ASSERT_NE(b.state.programmingBuffer[4] & 96, 32);  // the buffer holds the defaults now
  ASSERT_NE(UnitModel(b.state), nullptr);
  EXPECT_STREQ(UnitModel(b.state)->id, "KRV2311A");
  b.model.refreshVisibility();
  EXPECT_FALSE(b.model.view().frmInput[1]);  // one channel: no channel B section
}

} // namespace
} // namespace pv
