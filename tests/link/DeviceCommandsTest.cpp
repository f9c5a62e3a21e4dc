// The command routines against a simulated unit: bytes on the wire, retry
// rules, what the user is asked, and what reaches the unit's memory.
#include "SimRig.h"

#include "text/Texts.h"
#include "link/Codecs.h"

#include <gtest/gtest.h>

#include <functional>

namespace pv::test {
namespace {

using sim::Bank;
using sim::DefaultMemory;

const QString kCommError = QStringLiteral("Communication error");
const QString kPortClosed = QStringLiteral("COM Port not open");

void QueueCells(AppState& s, int from, int n) {
  s.writeList.reset();
  for (int i = 0; i < n; ++i) s.writeList.push(static_cast<uint8_t>(from + i), static_cast<uint8_t>(200 - i));
}

// The unit leaves three commands running unanswered (of those `which`
// matches, or any); the user gives `answer` to the question that follows.
void ThreeTimeouts(SimRig& rig, Answer answer, std::function<bool(const QByteArray&)> which = {}) {
  rig.unit.faults().dropAnswers = 3;
  rig.unit.faults().dropOnly = std::move(which);
  rig.prompter.expect(answer);
}

// ---------------------------------------------------------------- cell reads

TEST(ReadCells, ReadsTheConfigurationBlockInProgrammingMode) {
  SimRig rig;
  const CellBytes cells = rig.commands.ReadCells(0, 0, 65);
  EXPECT_FALSE(rig.state.commError);
  const Bank memory = rig.unit.bank(0);
  for (int a = 0; a < 65; ++a) EXPECT_EQ(cells[a], memory[a]) << "cell " << a;
  // Stop streaming, enter programming mode, read, leave it.
  const auto& t = rig.unit.transcript();
  ASSERT_GE(t.size(), 3);
  EXPECT_EQ(t[0], QByteArray("SM\r"));
  EXPECT_EQ(t[1], QByteArray("PR\r"));
  EXPECT_EQ(t.back(), QByteArray("$FPxx\r"));
  EXPECT_EQ(t[2], QByteArray("$R\0\0\0\r", 6));
  EXPECT_FALSE(rig.unit.programming());
  // The window is given back and the lamp is green again.
  EXPECT_TRUE(rig.feedback.commWindowDisabledOnce);
  EXPECT_TRUE(rig.feedback.commWindowEnabled);
  EXPECT_FALSE(rig.feedback.busy());
  EXPECT_FALSE(rig.feedback.hourglass);
}

TEST(ReadCells, ElementZeroIsTheFirstAddressAndProgressReachesTheTotal) {
  SimRig rig;
  rig.unit.setCell(0, 4, 0x5A);
  const CellBytes one = rig.commands.ReadCells(0, 4, 1);
  EXPECT_EQ(one[0], 0x5A);
  ASSERT_FALSE(rig.feedback.progress.empty());
  EXPECT_EQ(rig.feedback.progress.back(), std::make_pair(1, 1));
}

TEST(ReadCells, OtherBanksAndDelayedAnswers) {
  SimRig rig;
  rig.link.setAnswerDelayMs(40);  // answers arrive later than the write
  for (int a = 0; a < 8; ++a) rig.unit.setCell(2, a, static_cast<uint8_t>(a * 31));
  const CellBytes cells = rig.commands.ReadCells(2, 0, 8);
  EXPECT_FALSE(rig.state.commError);
  for (int a = 0; a < 8; ++a) EXPECT_EQ(cells[a], a * 31);
}

TEST(ReadCells, AddressesNeverWrapPastTheLastCell) {
  SimRig rig;
  rig.commands.ReadCells(0, 250, 20);
  const std::vector<int> addresses = rig.readAddresses();
  ASSERT_EQ(addresses.size(), 6u);
  EXPECT_EQ(addresses.back(), 255);
}

TEST(ReadCells, TwoSilentTimeoutsRestartFromTheFirstAddress) {
  SimRig rig;
  rig.unit.faults().dropAnswers = 2;
  rig.unit.faults().dropOnly = ReadOf(3);
  const CellBytes cells = rig.commands.ReadCells(0, 0, 6);
  EXPECT_TRUE(rig.prompter.asked().empty());
  EXPECT_FALSE(rig.state.commError);
  const Bank memory = rig.unit.bank(0);
  for (int a = 0; a < 6; ++a) EXPECT_EQ(cells[a], memory[a]);
  const std::vector<int> expected = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 4, 5};
  EXPECT_EQ(rig.readAddresses(), expected);
  // Each restart leaves programming mode and enters it again.
  EXPECT_EQ(rig.received("PR").size(), 3u);
}

TEST(ReadCells, ThirdTimeoutAsksAndRetryCompletesTheRead) {
  SimRig rig;
  ThreeTimeouts(rig, Answer::Retry, ReadOf(2));
  const CellBytes cells = rig.commands.ReadCells(0, 0, 5);
  ASSERT_EQ(rig.prompter.asked().size(), 1u);
  const Asked& q = rig.prompter.asked()[0];
  EXPECT_EQ(q.text, kCommError);
  EXPECT_EQ(q.buttons, Buttons::RetryCancel);
  EXPECT_EQ(q.title, ProductTitle(rig.state));
  EXPECT_FALSE(rig.state.commError);
  const Bank memory = rig.unit.bank(0);
  for (int a = 0; a < 5; ++a) EXPECT_EQ(cells[a], memory[a]) << "cell " << a;
  EXPECT_EQ(rig.readAddresses().back(), 4);
  EXPECT_EQ(rig.feedback.progress.back(), std::make_pair(5, 5));
}

TEST(ReadCells, CancelFailsAndTakesTheUnitOutOfProgrammingMode) {
  SimRig rig;
  ThreeTimeouts(rig, Answer::Cancel, ReadOf(1));
  const CellBytes cells = rig.commands.ReadCells(0, 0, 4);
  EXPECT_EQ(cells[0], 1);
  EXPECT_TRUE(rig.state.commError);
  EXPECT_FALSE(rig.unit.programming());
  EXPECT_TRUE(rig.feedback.commWindowEnabled);
  EXPECT_FALSE(rig.feedback.busy());
}

TEST(ReadCells, ClosedPortFailsAtOnceWithoutAQuestion) {
  SimRig rig;
  rig.port.close();
  const CellBytes cells = rig.commands.ReadCells(0, 0, 65);
  EXPECT_EQ(cells[0], 1);
  EXPECT_TRUE(rig.state.commError);
  EXPECT_TRUE(rig.prompter.asked().empty());
  EXPECT_TRUE(rig.unit.transcript().isEmpty());
  EXPECT_TRUE(rig.feedback.commWindowEnabled);
}

TEST(ReadCells, CableCutMidReadIsAFailureNotAPartialSuccess) {
  SimRig rig;
  rig.unit.faults().hangUpAfter = 2 + 10;  // "SM", "PR", ten cells
  const CellBytes cells = rig.commands.ReadCells(0, 0, 65);
  EXPECT_EQ(cells[0], 1);
  EXPECT_TRUE(rig.state.commError);
  EXPECT_TRUE(rig.prompter.asked().empty());
}

TEST(ReadCells, StrayBytesBeforeEveryAnswerAreSkipped) {
  SimRig rig;
  rig.unit.faults().garbagePrefix = true;
  const CellBytes cells = rig.commands.ReadCells(0, 0, 30);
  EXPECT_FALSE(rig.state.commError);
  const Bank memory = rig.unit.bank(0);
  for (int a = 0; a < 30; ++a) EXPECT_EQ(cells[a], memory[a]);
}

// ------------------------------------------------------- programming mode

TEST(Programming, MalformedOkThreeTimesBlocksWritesButNotReads) {
  SimRig rig;
  rig.unit.faults().badProgramming = -1;
  const Bank before = rig.unit.bank(0);

  QueueCells(rig.state, 40, 5);
  rig.prompter.expect(Answer::Ok);
  rig.commands.WriteCells(0, 5);
  ASSERT_EQ(rig.prompter.asked().size(), 1u);
  EXPECT_EQ(rig.prompter.asked()[0].text, kCommError);
  EXPECT_EQ(rig.prompter.asked()[0].icon, Icon::Critical);
  EXPECT_TRUE(rig.received("$W").empty());
  EXPECT_EQ(rig.received("PR").size(), 3u);
  EXPECT_EQ(rig.unit.bank(0), before);
  // The caller must be able to tell that nothing was written.
  EXPECT_TRUE(rig.state.commError);

  rig.unit.clearTranscript();
  const CellBytes cells = rig.commands.ReadCells(0, 0, 3);
  EXPECT_EQ(rig.readAddresses(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(cells[2], before[2]);
  EXPECT_EQ(rig.prompter.asked().size(), 1u);  // nothing more asked
}

TEST(Programming, EnterSendsAtMostThreeAndEndLeavesTheMode) {
  SimRig rig;
  EXPECT_TRUE(rig.commands.EnterProgramming());
  EXPECT_TRUE(rig.unit.programming());
  EXPECT_EQ(rig.received("PR").size(), 1u);
  rig.commands.EndProgramming();
  EXPECT_FALSE(rig.unit.programming());
  EXPECT_EQ(rig.unit.transcript().back(), QByteArray("$FPxx\r"));
  EXPECT_TRUE(rig.feedback.portFrameEnabled);

  rig.unit.faults().badProgramming = 2;  // the third answer is right
  rig.unit.clearTranscript();
  EXPECT_TRUE(rig.commands.EnterProgramming());
  EXPECT_EQ(rig.received("PR").size(), 3u);
  EXPECT_FALSE(rig.state.commError);
}

// ---------------------------------------------------------------- writes

TEST(WriteCells, MemoryEqualsTheWriteList) {
  SimRig rig;
  QueueCells(rig.state, 40, 12);
  const qint64 before = rig.clock.waitedMs();
  rig.commands.WriteCells(0, rig.state.writeList.queued());
  EXPECT_FALSE(rig.state.commError);
  for (int i = 1; i <= 12; ++i)
    EXPECT_EQ(rig.unit.cell(0, rig.state.writeList.address[i]), rig.state.writeList.data[i]);
  EXPECT_EQ(rig.unit.cell(0, 39), DefaultMemory(rig.unit.model(), rig.unit.identity())[39]);
  EXPECT_EQ(rig.received("$W").size(), 12u);
  EXPECT_EQ(rig.received("$W")[0], QByteArray("$W\0\x28\xC8\r", 6));
  EXPECT_EQ(rig.feedback.progress.back(), std::make_pair(12, 12));
  EXPECT_GE(rig.clock.waitedMs() - before, 12 * 50);  // the unit's write time
  EXPECT_FALSE(rig.unit.programming());
  EXPECT_TRUE(rig.prompter.asked().empty());
}

TEST(WriteCells, NeverSendsCellsThatWereNotQueued) {
  SimRig rig;
  QueueCells(rig.state, 40, 2);
  rig.state.writeList.address[3] = 41;  // stale entry from an earlier write
  rig.state.writeList.data[3] = 0;
  rig.commands.WriteCells(0, 3);
  EXPECT_EQ(rig.received("$W").size(), 2u);
  EXPECT_EQ(rig.unit.cell(0, 41), 199);
}

TEST(WriteCells, CableCutMidWriteStopsAndReportsFailure) {
  SimRig rig;
  rig.unit.faults().hangUpAfter = 2 + 3;  // "SM", "PR", three cells
  QueueCells(rig.state, 40, 10);
  rig.prompter.expect(Answer::Ok);
  rig.commands.WriteCells(0, 10);
  EXPECT_TRUE(rig.state.commError);
  EXPECT_EQ(rig.prompter.asked().size(), 1u);
  EXPECT_EQ(rig.received("$W").size(), 3u);
}

// -------------------------------------------------------------- identity

TEST(ReadIdentity, StoresTheFieldsInTheirOrder) {
  SimRig rig;
  rig.unit.setIdentity({12, 6, 4, 9});
  const IdentityBytes id = rig.commands.ReadIdentity();
  EXPECT_EQ(id, (IdentityBytes{0, 9, 12, 6, 4}));
  EXPECT_EQ(rig.state.identity, (DeviceIdentity{12, 6, 4, 9}));
  EXPECT_FALSE(rig.state.commError);
  EXPECT_FALSE(rig.unit.programming());
  EXPECT_EQ(rig.received("$V")[0], QByteArray("$V\0\0\0\r", 6));
}

TEST(ReadIdentity, EveryFailureAsksAndRetryReadsAgain) {
  SimRig rig;
  rig.unit.faults().dropAnswers = 1;
  rig.prompter.expect(Answer::Retry);
  const IdentityBytes id = rig.commands.ReadIdentity();
  ASSERT_EQ(rig.prompter.asked().size(), 1u);
  EXPECT_EQ(rig.prompter.asked()[0].text, kCommError);
  EXPECT_EQ(id[0], 0);
  EXPECT_EQ(id[2], 12);
  EXPECT_EQ(rig.received("$V").size(), 2u);
}

TEST(ReadIdentity, ClosedPortSaysSoAndCancelFails) {
  SimRig rig;
  rig.port.close();
  rig.state.identity = {12, 3, 1, 1};
  rig.prompter.expect(Answer::Cancel);
  const IdentityBytes id = rig.commands.ReadIdentity();
  ASSERT_EQ(rig.prompter.asked().size(), 1u);
  EXPECT_EQ(rig.prompter.asked()[0].text, kPortClosed);
  EXPECT_EQ(rig.prompter.asked()[0].buttons, Buttons::RetryCancel);
  EXPECT_EQ(rig.prompter.asked()[0].title, ProductTitle(rig.state));
  EXPECT_EQ(id[0], 1);
  EXPECT_TRUE(rig.state.commError);
  EXPECT_EQ(rig.state.identity, (DeviceIdentity{12, 3, 1, 1}));  // unchanged
  EXPECT_FALSE(rig.feedback.busy());
}

// ---------------------------------------------------------- switch state

TEST(ReadSwitchState, LongAnswerOnVariantZeroShortElsewhere) {
  SimRig v0("KRV2210");
  v0.unit.setSwitches({114, 42, 3, 7});
  EXPECT_EQ(v0.commands.ReadSwitchState(), (std::array<int, 4>{114, 42, 3, 7}));
  EXPECT_FALSE(v0.state.commError);

  SimRig v2("KRV2212A");
  v2.unit.setSwitches({152, 74, 0, 0});
  // The short answer carries two bytes; its CR LF is not switch state.
  EXPECT_EQ(v2.commands.ReadSwitchState(), (std::array<int, 4>{152, 74, 0, 0}));
  EXPECT_FALSE(v2.unit.programming());
}

TEST(ReadSwitchState, SilentRetriesThenCancelGivesZerosAndTheFlag) {
  SimRig rig;
  rig.unit.setSwitches({1, 2, 3, 4});
  ThreeTimeouts(rig, Answer::Cancel);
  EXPECT_EQ(rig.commands.ReadSwitchState(), (std::array<int, 4>{}));
  EXPECT_TRUE(rig.state.commError);
  EXPECT_EQ(rig.received("$D").size(), 3u);
  EXPECT_EQ(rig.prompter.asked()[0].text, kCommError);
}

// ---------------------------------------------------- calibration tables

TEST(CalibrationTables, SizesFollowTheVariant) {
  struct Case {
    uint8_t variant;
    int span, zero;
  };
  for (Case c : {Case{0, 63, 15}, Case{1, 63, 15}, Case{2, 63, 15}, Case{3, 63, 15}, Case{4, 16, 16},
                 Case{5, 16, 16}, Case{6, 63, 15}, Case{7, 63, 1}}) {
    SimRig rig;
    rig.unit.setIdentity({12, c.variant, 3, 0});
    rig.state.identity = rig.unit.identity();
    rig.state.signedValues = c.variant != 7;
    const QVector<int> list = rig.commands.ReadCalibrationTables(c.variant == 7 ? 1 : 5);
    EXPECT_FALSE(rig.state.commError) << "variant " << int(c.variant);
    EXPECT_EQ(rig.state.spanPoints, c.span) << "variant " << int(c.variant);
    EXPECT_EQ(rig.state.zeroPoints, c.zero) << "variant " << int(c.variant);
    EXPECT_EQ(list.size(), c.span + c.zero + 2) << "variant " << int(c.variant);
  }
}

TEST(CalibrationTables, UnknownVariantKeepsThePreviousSizes) {
  SimRig rig("KRV2212D");  // variant 4: 16 and 16
  rig.commands.ReadCalibrationTables(5);
  rig.state.identity.variant = 9;
  const QVector<int> list = rig.commands.ReadCalibrationTables(5);
  EXPECT_EQ(rig.state.spanPoints, 16);
  EXPECT_EQ(rig.state.zeroPoints, 16);
  EXPECT_EQ(list.size(), 34);
  EXPECT_FALSE(rig.state.commError);
}

TEST(CalibrationTables, ContentIsTheUnitsTableWithItsDefaults) {
  SimRig rig;  // KRV2212A, Tc K: zeros go below 0, so signedness matters
  const sim::CalibrationTable table = rig.unit.calibrationTable(8);
  const QVector<int> list = rig.commands.ReadCalibrationTables(8);
  ASSERT_EQ(list.size(), 63 + 15 + 2);
  EXPECT_EQ(list[0], table.spanDefault);
  EXPECT_EQ(list.mid(1, 63), table.span);
  EXPECT_EQ(list[64], table.zeroDefault);
  EXPECT_EQ(list.mid(65, 15), table.zero);
  EXPECT_EQ(list[65], -2000);  // first zero point, -200.0 °C
  EXPECT_EQ(rig.received("$S")[0], QByteArray("$S\x08\x08\0\r", 6));
  // The defaults come from the cells for the start-up channel selector.
  EXPECT_EQ(rig.readAddresses(), (std::vector<int>{160, 161, 162, 163}));
  EXPECT_EQ(rig.state.programmingBuffer[0], rig.unit.cell(0, 160));
}

TEST(CalibrationTables, DefaultsMoveWithTheChannelSelector) {
  SimRig rig;
  rig.state.channelSelector = 0;
  rig.unit.setCell(0, 140, 0x34);  // 112 + 4 * (8 - 1)
  rig.unit.setCell(0, 141, 0x12);
  const QVector<int> list = rig.commands.ReadCalibrationTables(8);
  EXPECT_EQ(list[0], 0x1234);
}

TEST(CalibrationTables, FailureGivesAnEmptyListAndTheFlag) {
  SimRig rig;
  ThreeTimeouts(rig, Answer::Cancel, [](const QByteArray& c) { return c.startsWith("$S"); });
  EXPECT_TRUE(rig.commands.ReadCalibrationTables(8).isEmpty());
  EXPECT_TRUE(rig.state.commError);
  EXPECT_TRUE(rig.received("$R").empty());
}

// ------------------------------------------------------------ measurement

TEST(Measurement, FrameLengthFollowsTheIdentity) {
  struct Case {
    uint8_t code, variant;
    int length;
  };
  for (Case c : {Case{12, 0, 14}, Case{12, 7, 14}, Case{12, 5, 13}, Case{12, 2, 7},
                 Case{12, 4, 7}, Case{11, 0, 5}, Case{11, 5, 5}}) {
    SimRig rig;
    rig.unit.setIdentity({c.code, c.variant, 3, 0});
    rig.state.identity = rig.unit.identity();
    EXPECT_EQ(rig.commands.MeasureFrameDataLength(), c.length);
    rig.commands.StartMeasure();
    const FrameBytes f = rig.commands.ReadMeasureFrame();
    EXPECT_EQ(f[0], 0) << int(c.code) << "/" << int(c.variant);
    // Elements past the frame's data stay zero.
    for (int k = c.length + 1; k <= 14; ++k) EXPECT_EQ(f[k], 0) << int(c.code) << "/" << int(c.variant) << " " << k;
    EXPECT_FALSE(rig.state.commError);
    rig.commands.StopMeasure();
    EXPECT_FALSE(rig.unit.streaming());
  }
}

TEST(Measurement, ValuesMoveSlowlyWithinTheRange) {
  SimRig rig("KRV2312D");  // variant 5: inputs travel in the frame
  rig.commands.StartMeasure();
  std::vector<double> inputs;
  for (int i = 0; i < 50; ++i) {
    const FrameBytes f = rig.commands.ReadMeasureFrame();
    ASSERT_EQ(f[0], 0);
    inputs.push_back(DecodeShortFloat(f[8], f[9], f[10]));  // channel A, 4..20 mA
  }
  for (double v : inputs) {
    EXPECT_GE(v, 4.0);
    EXPECT_LE(v, 20.0);
  }
  EXPECT_NE(inputs.front(), inputs.back());
  for (size_t i = 1; i < inputs.size(); ++i) EXPECT_LT(std::abs(inputs[i] - inputs[i - 1]), 1.0);
}

TEST(Measurement, LostFramesAskAndCancelEndsTheRun) {
  SimRig rig;
  rig.prompter.expect(Answer::Retry);
  rig.prompter.expect(Answer::Cancel);
  // Not streaming: no frame comes. Retry restarts streaming, but then
  // the line is cut.
  rig.unit.faults().hangUpAfter = 2;  // "SM", "MI"
  const FrameBytes f = rig.commands.ReadMeasureFrame();
  EXPECT_EQ(rig.prompter.asked().size(), 2u);
  EXPECT_EQ(rig.prompter.asked()[0].text, kCommError);
  EXPECT_EQ(f[0], 1);
  EXPECT_TRUE(rig.state.commError);
}

TEST(Measurement, RetryRestartsStreaming) {
  SimRig rig;
  rig.prompter.expect(Answer::Retry);
  const FrameBytes f = rig.commands.ReadMeasureFrame();  // not streaming yet
  EXPECT_EQ(f[0], 0);
  const auto& t = rig.unit.transcript();
  ASSERT_EQ(t.size(), 2);
  EXPECT_EQ(t[0], QByteArray("SM\r"));
  EXPECT_EQ(t[1], QByteArray("MI\r"));
}

// ------------------------------------------------------------ output level

TEST(OutputLevel, SplitsTheValueHighByteFirst) {
  SimRig rig;
  rig.commands.SetOutputLevel(300);
  EXPECT_EQ(rig.received("$I")[0], QByteArray("$I\x01\x2C\0\r", 6));
  EXPECT_EQ(rig.unit.outputLevel(), 300);
  rig.commands.SetOutputLevelAlt(-1);
  EXPECT_EQ(rig.received("$i")[0], QByteArray("$i\xFF\xFF\0\r", 6));
  EXPECT_EQ(rig.unit.outputLevelAlt(), 65535);
  EXPECT_TRUE(rig.feedback.portFrameEnabled);
}

} // namespace
} // namespace pv::test
