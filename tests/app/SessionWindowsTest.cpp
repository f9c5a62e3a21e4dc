// One session owns the unit, and nothing is written that nobody loaded:
// the communication window's port toggle, Exit, the Write key and the file
// commands, driven as a technician would against the simulated unit. Presses
// that land while an exchange waits are scheduled on the simulated clock.
#include "DeviceSimulator.h"
#include "SimulatedProgram.h"
#include "app/ui/CommWindow.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "config/ConfigFile.h"
#include "config/EditorModel.h"
#include "config/FactoryCells.h"
#include "config/Fingerprint.h"
#include "config/ui/EditorWindow.h"
#include "link/DeviceCommands.h"
#include "link/DeviceLink.h"
#include "link/PortNames.h"
#include "link/UnitSession.h"
#include "measure/MeasurementRun.h"
#include "support/FileBytes.h"
#include "text/Texts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace pv;

namespace {

using test::Count;

struct Session : test::SimulatedProgram {
  QTemporaryDir history;
  QByteArray was = qgetenv("PLANOVIX_HISTORY_DIR");
  Session() { qputenv("PLANOVIX_HISTORY_DIR", history.path().toLocal8Bit()); }
  ~Session() override { qputenv("PLANOVIX_HISTORY_DIR", was); }

  template <typename T> T* find(const char* name) {
    T* w = program->frame()->findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QPushButton* toggle() { return find<QPushButton>("Check1"); }
  QAction* action(const char* name) { return find<QAction>(name); }
  // Runs fn at the first 5 ms tick where condition holds.
  void when(std::function<bool()> condition, std::function<void()> fn) {
    auto check = std::make_shared<std::function<void()>>();
    *check = [this, condition, fn, check] {
      if (condition()) fn();
      else at(5, *check);
    };
    at(5, *check);
  }
  // Starts a measurement and returns when it ends. A run nobody managed to
  // stop is stopped a minute on, and that fails the test.
  void measureUntilStopped() {
    auto stillRunning = std::make_shared<bool>(false);
    at(60000, [this, stillRunning] {
      *stillRunning = program->measurement().active();
      program->state().measureRunning = false;
    });
    program->StartStop();
    EXPECT_FALSE(*stillRunning) << "the run was still going a minute on";
  }
  QString nothingLoadedText() const { return Tr(program->state(), 92); }
  // The editor's configuration as a file would hold it.
  QByteArray EditorRecord() {
    const EditorModel& m = program->editor();
    return EncodeDst(m.shown(), {kFileVersion, program->state().identity, {}}, m.tables(), {});
  }
};

// ------------------------------------------------ nothing written that nobody loaded

TEST_F(Session, AWriteOfAnEditorNobodyFilledIsRefusedAndSendsNothing) {
  // A port opened without a read (as a factory window opens it): the editor
  // holds the blank start-up fields, which would encode to cells of 0.
  start("KRV2210");
  ASSERT_TRUE(port.open(QStringLiteral("/sim/unit")));
  std::vector<int> before;
  for (int a = 0; a < 65; ++a) before.push_back(unit.cell(0, a));
  user.expect(Answer::Ok);
  user.expect(Answer::Ok);
  action("mnu_Action_Program_Write")->trigger();
  program->Write(true);  // "Write only the changed fields" the same
  EXPECT_EQ(Count(unit.transcript(), "$W"), 0);
  ASSERT_FALSE(user.asked().empty());
  EXPECT_EQ(user.asked()[0].text, nothingLoadedText());
  EXPECT_EQ(user.asked()[0].icon, Icon::Critical);
  EXPECT_TRUE(user.allAnswered());
  for (int a = 0; a < 65; ++a) EXPECT_EQ(unit.cell(0, a), before[static_cast<size_t>(a)]) << a;
}

TEST_F(Session, AnEmptiedFieldIsRefusedByTheChecksNotWrittenAsZero) {
  startOpen("KRV2212A");
  auto* max = find<QLineEdit>("txt_Input_max_0");
  max->setText(QString());
  emit max->textEdited(QString());
  user.expect(Answer::Ok);
  program->Write();
  EXPECT_EQ(Count(unit.transcript(), "$W"), 0);
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_EQ(user.asked()[0].icon, Icon::Critical);
  EXPECT_TRUE(user.asked()[0].text.startsWith(QStringLiteral("Canale A: ")))
      << user.asked()[0].text.toStdString();
  // A text that holds no number at all is refused the same.
  max->setText(QStringLiteral("abc"));
  emit max->textEdited(QStringLiteral("abc"));
  user.expect(Answer::Ok);
  program->Write();
  EXPECT_EQ(Count(unit.transcript(), "$W"), 0);
  EXPECT_EQ(user.asked().size(), 2u);
  EXPECT_TRUE(user.allAnswered());
}

// Keys a text field takes for itself on X11 desktops (delete line, delete
// word, readline moves) and the input method's Unicode entry.
TEST_F(Session, TheWriteKeyIsNoTextFieldsKeyAndWritesFromAFocusedField) {
  startOpen("KRV2212A");
  QAction* write = action("mnu_Action_Program_Write");
  const QList<QKeySequence> fieldKeys = {
      QKeySequence(QStringLiteral("Ctrl+U")), QKeySequence(QStringLiteral("Ctrl+K")),
      QKeySequence(QStringLiteral("Ctrl+W")), QKeySequence(QStringLiteral("Ctrl+H")),
      QKeySequence(QStringLiteral("Ctrl+A")), QKeySequence(QStringLiteral("Ctrl+E")),
      QKeySequence(QStringLiteral("Ctrl+B")), QKeySequence(QStringLiteral("Ctrl+F")),
      QKeySequence(QStringLiteral("Ctrl+D")), QKeySequence(QStringLiteral("Ctrl+Y")),
      QKeySequence(QStringLiteral("Ctrl+Shift+U")), QKeySequence(QStringLiteral("Ctrl+Z")),
      QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+V")),
      QKeySequence(QStringLiteral("Ctrl+Insert")), QKeySequence(QStringLiteral("Shift+Insert"))};
  ASSERT_FALSE(write->shortcut().isEmpty());
  for (QAction* a : {write, action("mnu_Action_Program_WriteChanged")})
    for (const QKeySequence& k : a->shortcuts())
      EXPECT_FALSE(fieldKeys.contains(k)) << a->objectName().toStdString() << " " << k.toString().toStdString();

  // The key pressed in a focused field writes what the field shows.
  program->frame()->activateWindow();
  QApplication::setActiveWindow(program->frame());
  auto* max = find<QLineEdit>("txt_Input_max_0");
  max->setFocus();
  max->selectAll();
  QTest::keyClicks(max, QStringLiteral("800"));
  ASSERT_EQ(max->text(), QStringLiteral("800"));
  const QKeySequence key = write->shortcut();
  QTest::keySequence(max, key);
  EXPECT_EQ(max->text(), QStringLiteral("800"));
  EXPECT_GT(Count(unit.transcript(), "$W"), 0);
  // Tc K has one decimal: 800.0 is the word 8000 at cells 20 and 21.
  EXPECT_EQ(unit.cell(0, 20), 8000 % 256);
  EXPECT_EQ(unit.cell(0, 21), 8000 / 256);
  EXPECT_TRUE(user.asked().empty());
}

TEST_F(Session, ACancelledOpenLeavesTheEditorTheTitleAndTheSaveTargetAlone) {
  startOpen("KRV2220");
  // A file made for a KRV2210 (variant 0) while a KRV2220 is connected.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("krv2210.DST"));
  QByteArray record = EditorRecord();
  record[10] = 0;
  record[14] = 0x40;  // input upper limit: a double the editor does not show
  pv::test::Write(path, record);
  const QString title = program->frame()->windowTitle();
  const QString maxWas = find<QLineEdit>("txt_Input_max_0")->text();

  user.expectFile(path);
  user.expect(Answer::Cancel);  // "File not compatible with the device connected"
  action("mnu_File_Open")->trigger();
  ASSERT_EQ(user.asked().size(), 2u);
  EXPECT_EQ(user.asked()[1].text, Tr(program->state(), 61));
  EXPECT_EQ(program->frame()->windowTitle(), title);
  EXPECT_FALSE(action("mnu_File_Save")->isEnabled());
  EXPECT_TRUE(program->configFile().fileName().isEmpty());
  EXPECT_EQ(find<QLineEdit>("txt_Input_max_0")->text(), maxWas);

  // Save has no file to go to: it asks for a name (cancelled here) and the
  // file stays as it was.
  user.expectFile(QString());
  program->FileSave(false);
  EXPECT_TRUE(user.allAnswered());
  EXPECT_EQ(pv::test::Read(path), record);
}

// ------------------------------------------------ Close Com and Exit

TEST_F(Session, CloseComPressedTwiceAsARunStartsStopsItOnceAndClosesThePort) {
  startOpen("KRV2212A");
  bool reachable = false, secondReachable = false;
  // The first press lands while the run's start-up reads cells, the second
  // just after it.
  when([&] { return Count(unit.transcript(), "$R") > 0; }, [&] {
    reachable = program->comm()->isEnabled() && toggle()->isEnabled();
    toggle()->click();
    // A second release already on its way (queued before the toggle greyed).
    program->TogglePort(false, 1);
    at(15, [&] {
      secondReachable = program->comm()->isEnabled();
      toggle()->click();
    });
  });
  measureUntilStopped();
  EXPECT_TRUE(reachable);
  EXPECT_TRUE(secondReachable);
  // The first press stopped the run before it streamed.
  EXPECT_EQ(Count(unit.transcript(), "MI"), 0);
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(toggle()->isChecked());
  EXPECT_EQ(toggle()->text(), Tr(program->state(), 38));
  EXPECT_FALSE(unit.streaming());
  EXPECT_FALSE(program->measurement().active());
  EXPECT_FALSE(program->state().measureRunning);
  EXPECT_EQ(find<QToolButton>("cmd_start")->property("bitmap").toInt(), 12);
  EXPECT_TRUE(user.asked().empty()) << user.asked()[0].text.toStdString();
  EXPECT_FALSE(program->link().busy());
  EXPECT_TRUE(toggle()->isEnabled());

  // Exit after all that still exits.
  action("mnu_Exit")->trigger();
  EXPECT_TRUE(program->state().exitFlag);
  EXPECT_FALSE(program->frame()->isVisible());
}

TEST_F(Session, ExitPressedTwiceAsARunStartsSendsStopAndExits) {
  startOpen("KRV2212A");
  bool reachable = false;
  when([&] { return Count(unit.transcript(), "$R") > 0; }, [&] {
    reachable = program->comm()->isEnabled();
    action("mnu_Exit")->trigger();
    at(15, [&] { action("mnu_Exit")->trigger(); });
  });
  measureUntilStopped();
  EXPECT_TRUE(reachable);
  EXPECT_FALSE(unit.streaming());
  if (Count(unit.transcript(), "MI") > 0) {
    EXPECT_EQ(unit.transcript().last(), QByteArray("SM\r"));
  }
  EXPECT_TRUE(program->state().exitFlag);
  EXPECT_FALSE(program->frame()->isVisible());
  EXPECT_FALSE(port.isOpen());
  EXPECT_TRUE(user.asked().empty());
}

TEST_F(Session, ExitAfterARetryCancelledMidRunStillExitsWithStop) {
  startOpen("KRV2212A");
  int frames = 0;
  QObject::connect(&program->measurement(), &MeasurementRun::frameShown, [&] {
    if (++frames != 3) return;
    // The unit goes quiet; the user cancels the Retry/Cancel, then exits.
    unit.setFrameSource([](qint64) { return QByteArray(1, '\0'); });
    at(10, [&] { action("mnu_Exit")->trigger(); });
  });
  user.setDefault(Answer::Cancel);
  program->StartStop();
  unit.setFrameSource({});
  if (program->frame()->isVisible()) action("mnu_Exit")->trigger();
  EXPECT_TRUE(program->state().exitFlag);
  EXPECT_FALSE(program->frame()->isVisible());
  EXPECT_FALSE(program->measurement().active());
  EXPECT_EQ(unit.transcript().last(), QByteArray("SM\r"));
}

} // namespace

namespace {
TEST_F(Session, AnItalianFileMessageCarriesNoEnglishDetail) {
  start("KRV2212A");
  QTemporaryDir dir;
  // A missing file: the system's reason in Italian too.
  user.expectFile(dir.filePath(QStringLiteral("missing.DST")));
  user.expect(Answer::Ok);
  action("mnu_File_Open")->trigger();
  ASSERT_EQ(user.asked().size(), 2u);
  EXPECT_TRUE(user.asked()[1].text.startsWith(QStringLiteral("Impossibile leggere il file"))) << user.asked()[1].text.toStdString();
  EXPECT_FALSE(user.asked()[1].text.contains(QStringLiteral("No such file"))) << user.asked()[1].text.toStdString();
  // A record with a broken option button: the reason in Italian.
  QByteArray record = EditorRecord();
  record[80] = 7;
  const QString bad = dir.filePath(QStringLiteral("bad.DST"));
  pv::test::Write(bad, record);
  user.expectFile(bad);
  user.expect(Answer::Ok);
  action("mnu_File_Open")->trigger();
  ASSERT_EQ(user.asked().size(), 4u);
  EXPECT_TRUE(user.asked()[3].text.contains(QString::fromUtf8("il byte 80 non \u00e8 un'opzione salvata")))
      << user.asked()[3].text.toStdString();
  EXPECT_TRUE(program->configFile().fileName().isEmpty());
}
} // namespace

namespace {
TEST_F(Session, TheEditorWritesOnlyToTheUnitItWasLoadedFor) {
  startOpen("KRV2212A");
  // Another unit on the line, read by a factory window's exchange.
  unit.setModel(QStringLiteral("KRV2220"));
  program->link().run(Exchange::Command, [&] { program->commands().ReadIdentity(); });
  ASSERT_EQ(program->state().identity.variant, 7);
  unit.clearTranscript();
  user.expect(Answer::Ok);
  program->Write();
  EXPECT_EQ(Count(unit.transcript(), "$W"), 0);
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_EQ(user.asked()[0].text, Tr(program->state(), 69));  // "Il dispositivo è stato sostituito"
}
} // namespace

namespace {

// ------------------------------------------------ the unit's fingerprint in the session

TEST_F(Session, TheCommunicationWindowNamesTheFingerprintTheLastWriteRead) {
  startOpen("KRV2212A");
  auto* id = find<QLabel>("lbl_device_1");
  // A read does not read the factory cells: nothing is claimed yet.
  EXPECT_TRUE(id->toolTip().isEmpty()) << id->toolTip().toStdString();
  program->Write();
  ASSERT_GT(Count(unit.transcript(), "$W"), 0);
  std::map<int, uint8_t> cells;
  for (int a : FingerprintCells(*FindModel(u"KRV2212A"), program->state().identity)) cells[a] = unit.cell(0, a);
  const QString digest = FingerprintDigest(program->state().identity, cells);
  EXPECT_EQ(program->session().fingerprint().value_or(QString()), digest);
  EXPECT_EQ(id->toolTip(), Tr(program->state(), 199).arg(digest));
  // A read may find another unit of the model on the line: the claim goes.
  program->Read();
  EXPECT_TRUE(id->toolTip().isEmpty());
  program->Write();
  EXPECT_FALSE(id->toolTip().isEmpty());
  toggle()->click();  // Close Com
  ASSERT_FALSE(port.isOpen());
  EXPECT_TRUE(id->toolTip().isEmpty());
  EXPECT_TRUE(program->state().unitFingerprint.isEmpty());
}

} // namespace
