// One exchange with the unit at a time: commands pressed while another
// exchange waits, against the simulated unit. A user's press can only land
// while the program waits (the event loop turns inside the waits), so each
// press here is scheduled on the simulated clock and runs inside a wait.
#include "DeviceSimulator.h"
#include "SimulatedProgram.h"
#include "app/ui/CommWindow.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "app/ui/ProgramActions.h"
#include "link/DeviceLink.h"
#include "measure/MeasurementRun.h"
#include "measure/ui/MeasureWindow.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>
#include <functional>

using namespace pv;

namespace {

QStringList Printable(const QList<QByteArray>& commands) {
  QStringList out;
  for (const QByteArray& c : commands) {
    QString s;
    for (char ch : c) {
      const auto u = static_cast<unsigned char>(ch);
      s += (u >= 32 && u < 127) ? QString(QChar(ch)) : QStringLiteral("<%1>").arg(u);
    }
    out << s;
  }
  return out;
}

using test::Count;

struct Overlap : pv::test::SimulatedProgram {
  // The editor change every write here sends: input maximum 800.0.
  void editMaximum() {
    auto* max = program->frame()->findChild<QLineEdit*>("txt_Input_max_0");
    max->setText(" 800");
    emit max->textEdited(" 800");
  }
  QAction* action(const char* name) { return program->frame()->findChild<QAction*>(name); }
  QToolButton* button(const char* name) { return program->frame()->findChild<QToolButton*>(name); }
};

// A clean write, for comparing against: its transcript and the unit's memory.
struct CleanWrite {
  QList<QByteArray> transcript;
  std::vector<int> cells;
};

CleanWrite RecordCleanWrite(const char* model = "KRV2212A") {
  struct Clean : Overlap {
    void TestBody() override {}
  } bench;
  bench.startOpen(model);
  bench.editMaximum();
  bench.program->Write();
  CleanWrite r;
  r.transcript = bench.unit.transcript();
  for (int a = 0; a < 256; ++a) r.cells.push_back(bench.unit.cell(0, a));
  EXPECT_TRUE(bench.user.asked().empty());
  return r;
}

void ExpectSameAsClean(Overlap& t, const CleanWrite& clean, bool tcK = true) {
  EXPECT_EQ(Printable(t.unit.transcript()), Printable(clean.transcript));
  for (int a = 0; a < 256; ++a) EXPECT_EQ(t.unit.cell(0, a), clean.cells[a]) << "cell " << a;
  if (!tcK) return;
  // Tc K has one decimal: 800.0 is the word 8000 at cells 20 and 21.
  EXPECT_EQ(t.unit.cell(0, 20), 8000 % 256);
  EXPECT_EQ(t.unit.cell(0, 21), 8000 / 256);
}

} // namespace

TEST_F(Overlap, ReadPressedDuringAWriteIsRefusedAndTheWriteStaysWhole) {
  const CleanWrite clean = RecordCleanWrite();
  startOpen();
  editMaximum();
  bool readEnabled = true, buttonEnabled = true;
  at(700, [&] {
    // Ctrl+R 0.7 s into the write: the action and its button are off, and
    // the handler itself starts nothing.
    readEnabled = action("mnu_Action_Program_Read")->isEnabled();
    buttonEnabled = button("cmd_read")->isEnabled();
    EXPECT_EQ(program->link().current(), Exchange::Write);
    action("mnu_Action_Program_Read")->trigger();
    button("cmd_read")->click();
    program->Read();
  });
  program->Write();
  EXPECT_FALSE(readEnabled);
  EXPECT_FALSE(buttonEnabled);
  ExpectSameAsClean(*this, clean);
  EXPECT_TRUE(user.asked().empty());
  // Free again: the actions are back.
  EXPECT_FALSE(program->link().busy());
  EXPECT_TRUE(action("mnu_Action_Program_Read")->isEnabled());
  EXPECT_TRUE(button("cmd_write")->isEnabled());
}

TEST_F(Overlap, WriteDoubleClickedSendsOneWrite) {
  const CleanWrite clean = RecordCleanWrite();
  startOpen();
  editMaximum();
  // The second click of a double-click arrives while the first write waits.
  at(30, [&] {
    button("cmd_write")->click();
    program->Write();
  });
  button("cmd_write")->click();
  ExpectSameAsClean(*this, clean);
  EXPECT_TRUE(user.asked().empty());
}

TEST_F(Overlap, WriteChangedAndUndoPressedDuringAWriteAreRefused) {
  const CleanWrite clean = RecordCleanWrite();
  startOpen();
  editMaximum();
  bool changedEnabled = true, undoEnabled = true;
  at(700, [&] {
    changedEnabled = action("mnu_Action_Program_WriteChanged")->isEnabled();
    undoEnabled = action("mnu_Action_Program_Undo")->isEnabled();
    action("mnu_Action_Program_WriteChanged")->trigger();
    action("mnu_Action_Program_Undo")->trigger();
    program->Write(true);
    program->UndoLastWrite();
  });
  program->Write();
  EXPECT_FALSE(changedEnabled);
  EXPECT_FALSE(undoEnabled);
  ExpectSameAsClean(*this, clean);
  EXPECT_TRUE(user.asked().empty());
  EXPECT_TRUE(action("mnu_Action_Program_WriteChanged")->isEnabled());
  EXPECT_TRUE(action("mnu_Action_Program_Undo")->isEnabled());
}

TEST_F(Overlap, StartPressedDuringAWriteStartsNoRun) {
  const CleanWrite clean = RecordCleanWrite();
  startOpen();
  editMaximum();
  at(700, [&] {
    EXPECT_FALSE(action("mnu_Action_Measure_Start")->isEnabled());
    EXPECT_FALSE(button("cmd_start")->isEnabled());
    program->StartStop();
  });
  program->Write();
  ExpectSameAsClean(*this, clean);
  EXPECT_EQ(Count(unit.transcript(), "MI"), 0);
  EXPECT_FALSE(program->state().measureRunning);
  EXPECT_FALSE(program->measurement().active());
}

TEST_F(Overlap, ReadDuringARunStopsItQuietlyThenReads) {
  startOpen();
  auto* max = program->frame()->findChild<QLineEdit*>("txt_Input_max_0");
  max->setText(" 1");  // the read must bring the unit's 600 back
  emit max->textEdited(" 1");
  std::vector<RunEnd> ends;
  QObject::connect(&program->measurement(), &MeasurementRun::finished, [&](RunEnd why) { ends.push_back(why); });
  int frames = 0;
  bool readEnabledDuringRun = false;
  qsizetype transcriptAtPress = -1;
  QObject::connect(&program->measurement(), &MeasurementRun::frameShown, [&] {
    if (++frames != 5) return;
    at(10, [&] {
      readEnabledDuringRun = action("mnu_Action_Program_Read")->isEnabled();
      transcriptAtPress = unit.transcript().size();
      program->Read();
      // Waiting for the run to end: nothing else may be pressed meanwhile.
      EXPECT_FALSE(action("mnu_Action_Program_Write")->isEnabled());
      EXPECT_TRUE(program->link().stopping());
    });
  });
  program->StartStop();  // returns when the run and the read after it are done

  EXPECT_TRUE(readEnabledDuringRun);
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0], RunEnd::Stopped);
  EXPECT_TRUE(user.asked().empty()) << "no error on the pre-emption path";
  EXPECT_FALSE(unit.streaming());
  EXPECT_FALSE(program->link().busy());

  // The run's commands, its "SM", then the whole read; nothing in between.
  const QList<QByteArray> t = unit.transcript();
  ASSERT_GT(transcriptAtPress, 0);
  const QList<QByteArray> after = t.mid(transcriptAtPress);
  ASSERT_FALSE(after.isEmpty());
  EXPECT_EQ(after.first(), QByteArray("SM\r")) << Printable(after).join(' ').toStdString();
  EXPECT_EQ(Count(t, "MI"), 1);
  // The read opens with its own identity exchange ("SM", "PR", "$V").
  ASSERT_GT(after.size(), 3) << Printable(after).join(' ').toStdString();
  EXPECT_EQ(after[1], QByteArray("SM\r"));
  EXPECT_EQ(after[2], QByteArray("PR\r"));
  EXPECT_TRUE(after[3].startsWith("$V")) << Printable(after).mid(0, 8).join(' ').toStdString();
  EXPECT_EQ(Count(after, "$V"), 1);
  EXPECT_GE(Count(after, "$R"), 65);
  EXPECT_EQ(max->text().trimmed(), QStringLiteral("600"));
}

TEST_F(Overlap, ExitDuringARunSendsStopBeforeThePortCloses) {
  startOpen();
  int frames = 0;
  bool portOpenAtStop = false;
  QObject::connect(&program->measurement(), &MeasurementRun::frameShown, [&] {
    if (++frames == 3) at(10, [&] { action("mnu_Exit")->trigger(); });
  });
  QObject::connect(&program->measurement(), &MeasurementRun::finished,
                   [&] { portOpenAtStop = port.isOpen(); });
  program->StartStop();
  EXPECT_TRUE(portOpenAtStop);
  EXPECT_EQ(unit.transcript().last(), QByteArray("SM\r"));
  EXPECT_FALSE(unit.streaming());
  EXPECT_FALSE(port.isOpen());
  EXPECT_TRUE(program->state().exitFlag);
  EXPECT_FALSE(program->frame()->isVisible());
  EXPECT_TRUE(user.asked().empty());
}

TEST_F(Overlap, ClosingThePortDuringARunStopsItFirst) {
  startOpen();
  int frames = 0;
  QObject::connect(&program->measurement(), &MeasurementRun::frameShown, [&] {
    if (++frames == 3) at(10, [&] { program->frame()->findChild<QPushButton*>("Check1")->click(); });
  });
  program->StartStop();
  EXPECT_EQ(unit.transcript().last(), QByteArray("SM\r"));
  EXPECT_FALSE(unit.streaming());
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(program->frame()->findChild<QPushButton*>("Check1")->isChecked());
  EXPECT_TRUE(user.asked().empty());
}

TEST_F(Overlap, LanguageChangeDuringAWriteAsksTheUnitNothing) {
  // Variant 3: the caption routine reads cell 4 whenever it may.
  const CleanWrite clean = RecordCleanWrite("KRV2212B");
  startOpen("KRV2212B");
  editMaximum();
  at(700, [&] { program->SetLanguage(1); });
  program->Write();
  ExpectSameAsClean(*this, clean, false);
  EXPECT_EQ(program->frame()->findChild<QPushButton*>("Check1")->text(), "Close Com");
  EXPECT_EQ(program->frame()->findChild<QAction*>("mnu_Action_Program_Read")->text(), "Read");
  EXPECT_TRUE(user.asked().empty());
}
