// Every fault at every point: the cable pulled after each command of a
// command-line run, lost answers, garbage on the line, a refused "PR". A
// run that did not do its work never exits 0 and never leaves standard
// error empty; a write cut short names exactly the cells that left.
#include "CliRig.h"
#include "support/FileBytes.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace pv {
namespace {
using test::Cli;

std::vector<int> WrittenAddresses(const sim::DeviceSimulator& unit) {
  std::vector<int> out;
  for (const QByteArray& command : unit.transcript())
    if (command.startsWith("$W")) out.push_back(static_cast<uint8_t>(command[3]));
  return out;
}

std::vector<int> CellsSentIn(const QString& err) {
  const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Cells sent: ([0-9, -]+)\\.")).match(err);
  std::vector<int> out;
  if (!m.hasMatch()) return out;
  for (const QString& n : m.captured(1).split(QStringLiteral(", "), Qt::SkipEmptyParts))
    if (n != QLatin1String("-")) out.push_back(n.toInt());
  return out;
}

struct WholeRun {
  int commands = 0;
  QString out;
};
WholeRun RunWithoutFaults(const char* model, const QStringList& args, bool withFile) {
  Cli c(model);
  QStringList a = args;
  if (withFile) a << c.editedFile();
  c.unit.clearTranscript();
  EXPECT_EQ(c.run(a), 0) << c.err.toStdString();
  return {static_cast<int>(c.unit.transcript().size()), c.out};
}

// A run either did all its work (and printed what a whole run prints) or
// failed and said why.
void ExpectWholeOrSaid(int code, const Cli& c, const WholeRun& whole) {
  if (code == 0) {
    EXPECT_EQ(c.out, whole.out);
  } else {
    EXPECT_FALSE(c.err.trimmed().isEmpty());
  }
}

TEST(FaultSuite, WriteCutAfterEveryCommand) {
  const QStringList args = {"--yes", "--json", "write-config"};
  const int total = RunWithoutFaults("KRV2212A", args, true).commands;
  ASSERT_GT(total, 100);
  for (int n = 1; n < total; ++n) {
    Cli c("KRV2212A");
    const QString file = c.editedFile();
    const sim::Bank before = c.unit.bank(0);
    c.unit.clearTranscript();
    c.unit.faults().hangUpAfter = n;
    const int code = c.run(QStringList(args) << file);
    SCOPED_TRACE("cut after command " + std::to_string(n));
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(c.err.trimmed().isEmpty());
    EXPECT_TRUE(c.out.isEmpty()) << c.out.toStdString();  // no "written" report
    const std::vector<int> written = WrittenAddresses(c.unit);
    if (!written.empty() && c.err.contains(QStringLiteral("Cells not sent:")) &&
        !c.err.contains(QStringLiteral("Cells not sent: -"))) {
      // Cut inside the write: the message names the cells that reached the unit.
      EXPECT_TRUE(c.err.contains(QStringLiteral("mix of its old and its new configuration")));
      EXPECT_EQ(CellsSentIn(c.err), written);
    }
    if (written.empty()) {
      EXPECT_EQ(c.unit.bank(0), before);
    }
  }
}

TEST(FaultSuite, ReadCutAfterEveryCommandLeavesTheOldFile) {
  const int total = RunWithoutFaults("KRV2312D", {"read-config", "/dev/null"}, false).commands;
  for (int n = 1; n < total; ++n) {
    Cli c("KRV2312D");
    test::Write(c.file("x.DST"), "older contents");
    c.unit.faults().hangUpAfter = n;
    SCOPED_TRACE("cut after command " + std::to_string(n));
    EXPECT_EQ(c.run({"read-config", c.file("x.DST")}), 1);
    EXPECT_FALSE(c.err.trimmed().isEmpty());
    EXPECT_EQ(test::Read(c.file("x.DST")), QByteArray("older contents"));
  }
}

TEST(FaultSuite, EveryCommandCutShortSaysWhy) {
  const std::vector<QStringList> commands = {
      {"identify"}, {"cells", "0", "0", "40"}, {"switches"}, {"measure", "5"}, {"show-config"}};
  for (const QStringList& command : commands) {
    const WholeRun whole = RunWithoutFaults("KRV2220", command, false);
    for (int n = 1; n < whole.commands; ++n) {
      Cli c("KRV2220");
      c.unit.faults().hangUpAfter = n;
      SCOPED_TRACE(command.join(' ').toStdString() + ", cut after command " + std::to_string(n));
      ExpectWholeOrSaid(c.run(command), c, whole);
    }
  }
}

TEST(FaultSuite, RefusedProgrammingModeIsSaidAndWritesNothing) {
  // "$V" and "$R" do not depend on the "OK" (the unit still enters the
  // mode; only its answer is malformed): those may succeed, in full.
  for (const QStringList& command :
       std::vector<QStringList>{{"identify"}, {"switches"}, {"measure", "3"}, {"cells", "0", "0", "4"}}) {
    const WholeRun whole = RunWithoutFaults("KRV2212A", command, false);
    Cli c("KRV2212A");
    c.unit.faults().badProgramming = -1;
    SCOPED_TRACE(command.join(' ').toStdString());
    ExpectWholeOrSaid(c.run(command), c, whole);
  }
  Cli w("KRV2212A");
  const QString file = w.editedFile();
  const sim::Bank before = w.unit.bank(0);
  w.unit.faults().badProgramming = -1;
  EXPECT_EQ(w.run({"--yes", "write-config", file}), 1);
  EXPECT_FALSE(w.err.trimmed().isEmpty());
  EXPECT_TRUE(WrittenAddresses(w.unit).empty());
  EXPECT_EQ(w.unit.bank(0), before);
}

TEST(FaultSuite, GarbageAndAFewLostAnswersStillSucceedWithTheRightCells) {
  for (int lost : {0, 1, 2}) {
    Cli c("KRV2210");
    const QString file = c.editedFile();
    c.unit.faults().garbagePrefix = true;
    // Lost cell answers are retried silently (an identity answer is not).
    c.unit.faults().dropAnswers = lost;
    c.unit.faults().dropOnly = [](const QByteArray& command) { return command.startsWith("$R"); };
    SCOPED_TRACE(lost);
    ASSERT_EQ(c.run({"--yes", "write-config", file}), 0) << c.err.toStdString();
    EXPECT_EQ(c.unit.cell(0, 7), 5);  // the offset of 0.5 arrived
  }
  // Many lost answers: a failure, said out loud, and never a success.
  Cli silent("KRV2210");
  silent.unit.faults().dropAnswers = 1000;
  EXPECT_EQ(silent.run({"read-config", silent.file("y.DST")}), 1);
  EXPECT_FALSE(silent.err.trimmed().isEmpty());
  EXPECT_FALSE(QFile::exists(silent.file("y.DST")));
}

TEST(FaultSuite, AFailedSaveIsAFailureOfItsOwn) {
  Cli c("KRV2212A");
  EXPECT_EQ(c.run({"read-config", c.file("no/such/folder/x.DST")}), 1);
  EXPECT_TRUE(c.err.contains(QStringLiteral("Cannot save the file"))) << c.err.toStdString();
}

} // namespace
} // namespace pv
