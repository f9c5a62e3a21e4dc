// The calibration window in the whole program, on the simulated bench in
// process: the unit behind the program's in-memory port, every instrument
// behind the in-memory port the bench hands the window, simulated time and
// a scripted user. Runs happen inside the START click, as on the bench;
// what happens "during" a run is scheduled on the fake clock.
#include "Bench.h"
#include "InstrumentLink.h"
#include "SimulatorLink.h"
#include "app/ui/CommWindow.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "factory/CalibrationRun.h"
#include "factory/Instrument.h"
#include "factory/ui/calibration/CalibrationWindow.h"
#include "kernel/Catalogue.h"
#include "link/Clock.h"
#include "link/DeviceLink.h"
#include "link/MemorySerialPort.h"
#include "link/PortNames.h"
#include "support/FileBytes.h"
#include "text/Texts.h"
#include "support/ScriptedPrompter.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace pv;

namespace {

const QColor kYellow(255, 255, 0), kGreen(0, 255, 0), kRed(255, 0, 0);

struct TaraBench : ::testing::Test {
  FakeClock clock;
  test::ScriptedPrompter user;
  MemorySerialPort unitPort;
  std::unique_ptr<bench::SimulatedBench> sim;
  std::unique_ptr<sim::SimulatorLink> unitLink;
  std::vector<std::unique_ptr<bench::InstrumentLink>> links;
  std::unique_ptr<Program> program;
  CalibrationWindow* window = nullptr;

  void TearDown() override {
    // The links hold the program's instrument ports: they go first.
    links.clear();
    program.reset();
  }

  void start(const char* model, bench::BenchFaults faults = {}) {
    const ModelRow& row = *FindModel(QString::fromLatin1(model));
    // Someone at the bench turns the DIP switches as the check asks.
    faults.dipOperator = true;
    sim = std::make_unique<bench::SimulatedBench>(row, bench::NominalTruth(row, 7), faults);
    unitLink = std::make_unique<sim::SimulatorLink>(sim->unit(), unitPort, &clock);
    Program::Parts parts{&unitPort, &clock, &user};
    parts.instrumentPorts = [this](InstrumentKind kind, int element) {
      auto port = std::make_unique<MemorySerialPort>();
      bench::Instrument* target = nullptr;
      switch (kind) {
        case InstrumentKind::PowerSupply: target = &sim->supply(); break;
        case InstrumentKind::Calibrator: target = &sim->calibrator(); break;
        case InstrumentKind::Multimeter: target = &sim->meter(element); break;
        case InstrumentKind::SwitchingUnit: target = &sim->switches(); break;
        case InstrumentKind::FunctionGenerator: break;
      }
      if (target) links.push_back(std::make_unique<bench::InstrumentLink>(*target, *port));
      return std::unique_ptr<SerialPort>(std::move(port));
    };
    program = std::make_unique<Program>(parts);
    program->Startup();
  }
  void open() {
    program->frame()->findChild<QAction*>("mnu_Collaudo_Taratura")->trigger();
    window = program->frame()->findChild<CalibrationWindow*>("frm_tara");
    ASSERT_NE(window, nullptr);
  }
  void startOpen(const char* model, int button, bench::BenchFaults faults = {}) {
    start(model, faults);
    open();
    radio(button)->click();
  }

  template <typename W = QWidget>
  W* w(const QString& name) {
    W* found = window->findChild<W*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
  }
  QPushButton* button(const char* name) { return w<QPushButton>(QString::fromLatin1(name)); }
  QCheckBox* box(const char* base, int i) { return w<QCheckBox>(QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(i)); }
  QRadioButton* radio(int i) { return w<QRadioButton>(QStringLiteral("opt_modello_%1").arg(i)); }
  QLineEdit* cell(const char* base, int row) { return w<QLineEdit>(QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(row)); }
  QLabel* label() { return w<QLabel>(QStringLiteral("lbl_collaudo")); }

  // The colour a widget is painted with, or nothing when it shows the
  // default background.
  static std::optional<QColor> painted(QWidget* widget, QPalette::ColorRole role) {
    if (!widget->autoFillBackground()) return std::nullopt;
    return widget->palette().color(role);
  }
  static std::optional<QColor> cellColour(QLineEdit* e) { return painted(e, QPalette::Base); }
  static std::optional<QColor> boxColour(QCheckBox* b) { return painted(b, QPalette::Window); }

  // Runs action at the first half-second tick, from now on, where
  // condition holds.
  void when(std::function<bool()> condition, std::function<void()> action) {
    auto check = std::make_shared<std::function<void()>>();
    *check = [this, condition, action, check] {
      if (condition()) action();
      else clock.schedule(clock.nowMs() + 500, *check);
    };
    clock.schedule(clock.nowMs() + 500, *check);
  }
  bool rowRunning(int row) { return boxColour(box("chk_tara", row)) == kYellow; }

  // Every "$W" the unit received: address -> values in order.
  std::map<int, std::vector<int>> writes() {
    std::map<int, std::vector<int>> m;
    for (const QByteArray& c : sim->unit().transcript())
      if (c.startsWith("$W") && c.size() >= 5) m[static_cast<uint8_t>(c[3])].push_back(static_cast<uint8_t>(c[4]));
    return m;
  }
};

TEST_F(TaraBench, TaraturaIsInTheFactoryMenuAndOpensTheWindow) {
  start("KRV2211A");
  auto* item = program->frame()->findChild<QAction*>("mnu_Collaudo_Taratura");
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(program->frame()->factoryMenu()->menuAction()->isVisible());
  EXPECT_TRUE(item->isVisible());
  EXPECT_TRUE(item->isEnabled());
  EXPECT_EQ(item->text(), "&Taratura");
  // The communication window's own factory menu stays hidden.
  EXPECT_FALSE(program->comm()->factoryMenu()->menuAction()->isVisible());
  EXPECT_EQ(program->frame()->findChild<CalibrationWindow*>("frm_tara"), nullptr);
  open();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), "Taratura Serie OLMA");
  const std::map<const char*, const char*> selectors = {
      {"txt_comAlim", "Com4"}, {"txt_comCal", "Com6"}, {"txt_comMult", "Com3"}, {"txt_comSwitch", "Com5"}};
  // The unit's own port is the program's one port number ("COM 1" at start),
  // and only a serial port.
  auto* eut = w<QComboBox>("txt_comDisp");
  EXPECT_EQ(eut->currentText(), "Com1");
  ASSERT_EQ(eut->count(), 8);
  EXPECT_EQ(eut->itemText(7), "Com8");
  for (auto [name, initial] : selectors) {
    auto* c = w<QComboBox>(QString::fromLatin1(name));
    EXPECT_EQ(c->currentText(), initial) << name;
    ASSERT_EQ(c->count(), 13) << name;
    EXPECT_EQ(c->itemText(0), "Com1");
    EXPECT_EQ(c->itemText(8), "Usb1");
    EXPECT_EQ(c->itemText(12), "Manuale");
  }
  const std::map<const char*, const char*> captions = {
      {"Command2", "START"},         {"Command5", "STOP"},          {"Command6", "Riprendi"},
      {"cmd_On", "ON"},              {"cmd_Off", "OFF"},            {"Command1_0", "Tara Canale A"},
      {"Command1_1", "Tara Canale B"}, {"Command7", "Prog"},        {"Command9", "lett mult"},
      {"Command3", "2 ch compl."},   {"Command4", "Stop"}};
  for (auto [name, caption] : captions) EXPECT_EQ(button(name)->text(), caption) << name;
  EXPECT_EQ(radio(0)->text(), "2210");
  EXPECT_EQ(radio(13)->text(), "2312 D");
  EXPECT_EQ(box("chk_tara", 20)->text(), "PTC");
  EXPECT_EQ(box("chk_tara", 10)->text(), "V");
  EXPECT_EQ(box("chk_tara", 5)->text(), "2 Kohm");
  // Output rows have all six cells, input rows no k2 or load cell.
  EXPECT_NE(window->findChild<QLineEdit*>("txt_span2_9"), nullptr);
  EXPECT_EQ(window->findChild<QLineEdit*>("txt_span2_0"), nullptr);
  EXPECT_EQ(window->findChild<QLineEdit*>("txt_k2_0"), nullptr);
  // Reopening shows the same window.
  Program::HostOf(window)->hide();
  program->ShowCalibration();
  EXPECT_EQ(program->frame()->findChildren<CalibrationWindow*>().size(), 1);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(TaraBench, ModelButtonsTickTheirRowsChannelsAndOptions) {
  start("KRV2212A");
  open();
  auto ticked = [&] {
    std::vector<int> rows;
    for (int r = 0; r < 22; ++r)
      if (box("chk_tara", r)->isChecked()) rows.push_back(r);
    return rows;
  };
  w<QCheckBox>("chk_switch")->setChecked(false);
  box("chk_tara", 6)->setChecked(true);
  radio(5)->click();  // 2212 A
  EXPECT_EQ(window->modelCode(), "KRV2212A");
  EXPECT_EQ(ticked(), (std::vector<int>{0, 1, 2, 7, 8, 9, 10, 11, 12, 13, 14, 19}));
  EXPECT_TRUE(box("chk_Canale", 0)->isChecked());
  EXPECT_TRUE(box("chk_Canale", 1)->isChecked());
  for (const char* name : {"chk_Consumo", "chk_switch", "chk_controllo", "chk_programma"})
    EXPECT_TRUE(w<QCheckBox>(QString::fromLatin1(name))->isChecked()) << name;
  EXPECT_FALSE(w<QCheckBox>("chk_default")->isChecked());
  EXPECT_FALSE(w<QCheckBox>("chk_manuale")->isChecked());

  radio(13)->click();  // 2312 D also loads the defaults
  EXPECT_EQ(ticked(), (std::vector<int>{3, 4, 8, 9, 10, 11, 15, 16}));
  EXPECT_TRUE(w<QCheckBox>("chk_default")->isChecked());

  radio(3)->click();  // 2211 C: channel A only, its PTC row
  EXPECT_EQ(ticked(), (std::vector<int>{8, 9, 20}));
  EXPECT_TRUE(box("chk_Canale", 0)->isChecked());
  EXPECT_FALSE(box("chk_Canale", 1)->isChecked());
  EXPECT_TRUE(radio(3)->isChecked());
}

TEST_F(TaraBench, StartRunsTheBenchWithTheWindowLiveAndEndsGreen) {
  startOpen("KRV2211A", 1);
  struct Seen {
    QString label;
    std::optional<QColor> labelColour, rowBox, rowCell;
    bool startEnabled = true, resumeEnabled = true, stopEnabled = false, modelEnabled = true, onEnabled = true;
    QString model, id;
  } seen;
  when([&] { return rowRunning(2); }, [&] {
    seen.model = program->frame()->findChild<QLabel*>("lbl_device_0")->text();
    seen.id = program->frame()->findChild<QLabel*>("lbl_device_1")->text();
    seen.label = label()->text();
    seen.labelColour = painted(label(), QPalette::Window);
    seen.rowBox = boxColour(box("chk_tara", 2));
    seen.rowCell = cellColour(cell("txt_k1", 2));
    seen.startEnabled = button("Command2")->isEnabled();
    seen.resumeEnabled = button("Command6")->isEnabled();
    seen.stopEnabled = button("Command5")->isEnabled();
    seen.modelEnabled = radio(4)->isEnabled();
    seen.onEnabled = button("cmd_On")->isEnabled();
  });
  button("Command2")->click();

  EXPECT_TRUE(unitPort.isOpen());
  EXPECT_EQ(seen.label, "COLLAUDO IN CORSO");
  EXPECT_EQ(seen.labelColour, kYellow);
  EXPECT_EQ(seen.rowBox, kYellow);
  EXPECT_EQ(seen.rowCell, kYellow);
  EXPECT_FALSE(seen.startEnabled);
  EXPECT_FALSE(seen.resumeEnabled);
  EXPECT_TRUE(seen.stopEnabled);
  EXPECT_FALSE(seen.modelEnabled);
  EXPECT_FALSE(seen.onEnabled);
  // The unit the run read, while it runs: its identity, and no other unit's
  // name (the family is read once the run has ended).
  EXPECT_EQ(seen.id, "ID=12/2");
  EXPECT_EQ(seen.model, "");
  EXPECT_EQ(program->frame()->findChild<QLabel*>("lbl_device_0")->text(), "KRV 2211 A");

  EXPECT_EQ(label()->text(), "COLLAUDO TERMINATO");
  EXPECT_EQ(painted(label(), QPalette::Window), kGreen);
  for (int r : {0, 1, 2, 7, 8, 9}) {
    EXPECT_EQ(boxColour(box("chk_tara", r)), kGreen) << r;
    EXPECT_EQ(cellColour(cell("txt_k1", r)), kGreen) << r;
    EXPECT_FALSE(cell("txt_k1", r)->text().isEmpty()) << r;
  }
  for (int r : {0, 1, 2}) {
    for (const char* c : {"txt_zero", "txt_half", "txt_span"}) EXPECT_EQ(cellColour(cell(c, r)), kGreen) << c << r;
  }
  EXPECT_EQ(cellColour(cell("txt_span2", 9)), kGreen);
  // The 90 mV row's Max point reads close to 90.
  EXPECT_NEAR(cell("txt_span", 0)->text().toDouble(), 90.0, 0.09);
  // Rows the model does not tick stay blank.
  EXPECT_EQ(boxColour(box("chk_tara", 3)), std::nullopt);
  EXPECT_TRUE(cell("txt_k1", 3)->text().isEmpty());
  EXPECT_FALSE(sim->supply().on());
  EXPECT_TRUE(button("Command2")->isEnabled());
  EXPECT_FALSE(button("Command5")->isEnabled());
  EXPECT_FALSE(program->link().busy());
}

TEST_F(TaraBench, AFailedGainTurnsItsRowRedAndTheRunGoesOn) {
  bench::BenchFaults faults;
  ASSERT_TRUE(bench::ApplyFault(faults, QStringLiteral("wrong-gain=200mV")).isEmpty());
  startOpen("KRV2211A", 1, faults);
  button("Command2")->click();
  EXPECT_EQ(boxColour(box("chk_tara", 1)), kRed);
  EXPECT_EQ(cellColour(cell("txt_k1", 1)), kRed);
  EXPECT_EQ(boxColour(box("chk_tara", 2)), kGreen);
  // A run with a failed row has not passed: red, and it says how many.
  EXPECT_EQ(label()->text(), "COLLAUDO TERMINATO - 1 riga non superata");
  EXPECT_EQ(painted(label(), QPalette::Window), kRed);
}

TEST_F(TaraBench, ASecondStartDuringARunIsRefusedAndDoesNotNest) {
  startOpen("KRV2211A", 1);
  bool wasEnabled = true;
  when([&] { return rowRunning(1); }, [&] {
    wasEnabled = button("Command2")->isEnabled();
    // A click on the disabled button, and one that reaches the handler
    // anyway (queued before the button was disabled).
    button("Command2")->click();
    emit button("Command2")->clicked();
    emit button("Command6")->clicked();
  });
  button("Command2")->click();
  EXPECT_FALSE(wasEnabled);
  EXPECT_EQ(label()->text(), "COLLAUDO TERMINATO");
  EXPECT_EQ(painted(label(), QPalette::Window), kGreen);
  // One consumption test (three current reads) and one pass over each row.
  EXPECT_EQ(sim->supply().currentReads(), 3);
  EXPECT_EQ(writes()[53].size(), 2u);  // row 1: k0 then k1, once
  EXPECT_TRUE(user.asked().empty());
}

TEST_F(TaraBench, StopEndsTheRunAfterTheRunningRowAndRiprendiGoesOnFromThere) {
  startOpen("KRV2211A", 1);
  when([&] { return rowRunning(1); }, [&] { button("Command5")->click(); });
  button("Command2")->click();
  // Row 1 was finished, row 2 never started.
  EXPECT_EQ(boxColour(box("chk_tara", 0)), kGreen);
  EXPECT_EQ(boxColour(box("chk_tara", 1)), kGreen);
  EXPECT_EQ(boxColour(box("chk_tara", 2)), std::nullopt);
  EXPECT_TRUE(cell("txt_k1", 2)->text().isEmpty());
  EXPECT_EQ(label()->text(), "COLLAUDO TERMINATO");
  EXPECT_EQ(painted(label(), QPalette::Window), kGreen);
  EXPECT_EQ(window->run().message(), "fermato dopo la riga 1");
  EXPECT_FALSE(sim->supply().on());
  const int reads = sim->supply().currentReads();

  sim->unit().clearTranscript();
  button("Command6")->click();
  // The rows already green are skipped, the rest are run.
  EXPECT_EQ(writes().count(50), 0u);
  EXPECT_EQ(writes().count(53), 0u);
  EXPECT_EQ(writes()[56].size(), 2u);
  for (int r : {0, 1, 2, 7, 8, 9}) EXPECT_EQ(boxColour(box("chk_tara", r)), kGreen) << r;
  EXPECT_EQ(sim->supply().currentReads(), reads);  // no second consumption test
  EXPECT_EQ(label()->text(), "COLLAUDO TERMINATO");
  EXPECT_EQ(painted(label(), QPalette::Window), kGreen);
}

TEST_F(TaraBench, ARowUntickedDuringTheRunIsSkipped) {
  startOpen("KRV2211A", 1);
  when([&] { return rowRunning(0); }, [&] { box("chk_tara", 2)->setChecked(false); });
  button("Command2")->click();
  EXPECT_EQ(boxColour(box("chk_tara", 1)), kGreen);
  EXPECT_EQ(boxColour(box("chk_tara", 2)), std::nullopt);
  EXPECT_EQ(writes().count(56), 0u);
  EXPECT_EQ(boxColour(box("chk_tara", 7)), kGreen);
}

TEST_F(TaraBench, FinalProgrammingFollowsItsBoxButNeedsTheFileReadAtTheStart) {
  // Cell 10 is written by the final programming only.
  startOpen("KRV2211A", 1);
  button("Command2")->click();
  EXPECT_EQ(writes().count(10), 1u);

  // Unticked under the run: skipped.
  sim->unit().clearTranscript();
  when([&] { return rowRunning(0); }, [&] { w<QCheckBox>("chk_programma")->setChecked(false); });
  button("Command2")->click();
  EXPECT_EQ(writes().count(10), 0u);

  // Ticked under a run that started without it: the run has no model file
  // to write from, so nothing is written.
  sim->unit().clearTranscript();
  when([&] { return rowRunning(0); }, [&] { w<QCheckBox>("chk_programma")->setChecked(true); });
  button("Command2")->click();
  EXPECT_EQ(writes().count(10), 0u);
  EXPECT_EQ(label()->text(), "COLLAUDO TERMINATO");
  EXPECT_EQ(painted(label(), QPalette::Window), kGreen);
}

TEST_F(TaraBench, ClosingTheWindowStopsTheRunAndSwitchesTheSupplyOff) {
  startOpen("KRV2211A", 1);
  bool supplyWasOn = false;
  when([&] { return rowRunning(0); }, [&] {
    supplyWasOn = sim->supply().on();
    Program::HostOf(window)->close();
  });
  button("Command2")->click();
  EXPECT_TRUE(supplyWasOn);
  EXPECT_FALSE(sim->supply().on());
  EXPECT_EQ(window->run().message(), "fermato dopo la riga 0");
  EXPECT_TRUE(cell("txt_k1", 1)->text().isEmpty());
  EXPECT_FALSE(program->link().busy());
}

TEST_F(TaraBench, ExitDuringARunStopsItFirstAndThenCloses) {
  startOpen("KRV2211A", 1);
  bool frameStillOpen = false;
  when([&] { return rowRunning(0); }, [&] {
    program->Exit();
    frameStillOpen = program->frame()->isVisible();
  });
  button("Command2")->click();
  EXPECT_TRUE(frameStillOpen);
  EXPECT_EQ(window->run().message(), "fermato dopo la riga 0");
  EXPECT_FALSE(sim->supply().on());
  EXPECT_TRUE(program->state().exitFlag);
}

TEST_F(TaraBench, StartWithoutAModelAsks) {
  start("KRV2211A");
  open();
  user.expect(Answer::Ok);
  button("Command2")->click();
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_EQ(user.asked()[0].text, "Scegliere prima il modello");
  EXPECT_FALSE(unitPort.isOpen());
  EXPECT_EQ(sim->supply().currentReads(), 0);
}

TEST_F(TaraBench, StartWhileAnotherExchangeHoldsTheLinkIsRefused) {
  startOpen("KRV2211A", 1);
  user.expect(Answer::Ok);
  bool startEnabled = true, onEnabled = false;
  program->link().run(Exchange::Command, [&] {
    startEnabled = button("Command2")->isEnabled();
    onEnabled = button("cmd_On")->isEnabled();
    // A click that arrives anyway while the link waits for the unit.
    LinkWait waiting(program->link());
    emit button("Command2")->clicked();
  });
  EXPECT_FALSE(startEnabled);
  EXPECT_TRUE(onEnabled);  // the supply is not the unit's link
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_EQ(user.asked()[0].text, "Il dispositivo sta eseguendo un'altra operazione: riprovare al termine");
  EXPECT_EQ(sim->supply().currentReads(), 0);
  EXPECT_TRUE(button("Command2")->isEnabled());
}

TEST_F(TaraBench, TaraCanaleWritesVeqToTheChannelsPtcCells) {
  startOpen("KRV2212A", 7);
  button("Command1_0")->click();
  EXPECT_EQ(w<QLineEdit>("Text4")->text(), "28984");
  EXPECT_EQ(w<QLineEdit>("Text5")->text(), "18075");
  // Word 28984 = 113 x 256 + 56, low byte first.
  EXPECT_EQ(sim->unit().cell(0, 65), 56);
  EXPECT_EQ(sim->unit().cell(0, 66), 113);
  EXPECT_EQ(writes().count(44), 0u);
  w<QLineEdit>("Text2")->setText("15000");
  w<QLineEdit>("Text3")->setText("10000");
  button("Command1_1")->click();
  // x = 4/3, Req = 2000, Veq = 30000 = 117 x 256 + 48.
  EXPECT_EQ(w<QLineEdit>("Text4")->text(), "30000");
  EXPECT_EQ(w<QLineEdit>("Text5")->text(), "20000");
  EXPECT_EQ(sim->unit().cell(0, 44), 48);
  EXPECT_EQ(sim->unit().cell(0, 45), 117);
}

TEST_F(TaraBench, TaraCanaleWithReadingsThatGiveNoResultWritesNothing) {
  startOpen("KRV2212A", 7);
  w<QLineEdit>("Text2")->setText("10000");
  w<QLineEdit>("Text3")->setText("5000");  // x = 1: no equivalent resistance
  user.expect(Answer::Ok);
  button("Command1_0")->click();
  // x = 0.8: Req = -6000, Veq = -20000, which no word holds.
  w<QLineEdit>("Text3")->setText("4000");
  user.expect(Answer::Ok);
  button("Command1_0")->click();
  ASSERT_EQ(user.asked().size(), 2u);
  EXPECT_EQ(user.asked()[0].text, "V2000 e V1000 non danno un risultato");
  EXPECT_EQ(user.asked()[1].text, "V2000 e V1000 non danno un risultato");
  EXPECT_EQ(writes().count(65), 0u);
}

TEST_F(TaraBench, OutputLinearityLogsUntilStop) {
  startOpen("KRV2212A", 5);
  QTemporaryDir dir;
  const QString path = dir.filePath("linear.dat");
  window->setLogPath(path);
  bool stopEnabled = false, startEnabled = true;
  int ticks = 0;
  when([&] { return ++ticks > 6; }, [&] {
    stopEnabled = button("Command4")->isEnabled();
    startEnabled = button("Command2")->isEnabled();
    button("Command4")->click();
  });
  button("Command9")->click();
  EXPECT_TRUE(stopEnabled);
  EXPECT_FALSE(startEnabled);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> log = f.readAll().split('\n');
  ASSERT_GE(log.size(), 3);
  EXPECT_TRUE(log[0].startsWith("801\t")) << log[0].toStdString();
  EXPECT_TRUE(log[1].startsWith("802\t")) << log[1].toStdString();
  // The meter went to port 8 for the test and back to its selector after.
  EXPECT_TRUE(button("Command9")->isEnabled());
  EXPECT_FALSE(button("Command4")->isEnabled());
  EXPECT_FALSE(program->link().busy());
}

TEST_F(TaraBench, ALinearityTestRefusedByABusyLinkLeavesTheOldLog) {
  startOpen("KRV2212A", 5);
  QTemporaryDir dir;
  const QString path = dir.filePath("linear.dat");
  pv::test::Write(path, "old\n");
  window->setLogPath(path);
  user.expect(Answer::Ok);
  program->link().run(Exchange::Command, [&] {
    LinkWait waiting(program->link());
    emit button("Command9")->clicked();
  });
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_EQ(user.asked()[0].text, "Il dispositivo sta eseguendo un'altra operazione: riprovare al termine");
  EXPECT_EQ(pv::test::Read(path), "old\n");
  EXPECT_TRUE(button("Command9")->isEnabled());
}

TEST_F(TaraBench, TwoChannelTestRefusesAMeterOnTheUnitsPort) {
  startOpen("KRV2212A", 5);
  QTemporaryDir dir;
  window->setLogPath(dir.filePath("linear.dat"));
  user.expect(Answer::Ok);
  // Its second meter sits on port 2: the unit is put there.
  w<QComboBox>("txt_comDisp")->setCurrentIndex(1);
  emit w<QComboBox>("txt_comDisp")->activated(1);
  button("Command3")->click();
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_EQ(user.asked()[0].text, "La porta Com2 del multimetro e' quella dell'unita' in prova (EUT)");
  EXPECT_FALSE(QFile::exists(dir.filePath("linear.dat")));
  EXPECT_TRUE(sim->meter(1).transcript().isEmpty());
}

} // namespace

// ---------------------------------------------------------------- one session owns the unit

namespace {
// A short run: the model's boxes, then every check and row unticked, so
// that START powers the unit, reads it and ends.
void ShortRun(TaraBench& t, int modelButton) {
  t.radio(modelButton)->click();
  for (const char* name : {"chk_Consumo", "chk_switch", "chk_controllo", "chk_programma", "chk_default"})
    t.w<QCheckBox>(QString::fromLatin1(name))->setChecked(false);
  for (int r = 0; r < 22; ++r) t.box("chk_tara", r)->setChecked(false);
}
} // namespace

TEST_F(TaraBench, AfterAStartTheCommunicationWindowNamesThePortAndTheUnitInUse) {
  start("KRV2212A");
  open();
  ShortRun(*this, 5);  // 2212 A
  auto* eut = w<QComboBox>("txt_comDisp");
  eut->setCurrentIndex(1);
  emit eut->activated(1);  // the operator chooses Com2
  auto* comm = program->frame()->findChild<QComboBox*>("cmb_Porta");
  auto* toggle = program->frame()->findChild<QPushButton*>("Check1");
  // One port number in the program: the unit selector chose it.
  EXPECT_EQ(comm->currentText(), "COM 2");
  button("Command2")->click();
  ASSERT_TRUE(unitPort.isOpen());
  EXPECT_EQ(unitPort.openedPath(), ResolveComPort(2));
  EXPECT_EQ(comm->currentText(), "COM 2");
  EXPECT_FALSE(comm->isEnabled());  // the port in use does not change under it
  EXPECT_FALSE(eut->isEnabled());
  EXPECT_TRUE(toggle->isChecked());
  EXPECT_EQ(toggle->text(), "Chiudi Com");
  EXPECT_EQ(program->frame()->findChild<QLabel*>("lbl_device_0")->text(), "KRV 2212 A");
  EXPECT_EQ(program->frame()->findChild<QLabel*>("lbl_device_1")->text(), "ID=12/2");
  EXPECT_TRUE(user.allAnswered());

  // Closing the window hands the port back closed, as the user left it.
  Program::HostOf(window)->close();
  EXPECT_FALSE(unitPort.isOpen());
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_EQ(toggle->text(), "Apri Com");
  EXPECT_TRUE(comm->isEnabled());
  EXPECT_FALSE(program->link().busy());
}

TEST_F(TaraBench, APortTheUserOpenedStaysOpenWhenTheWindowCloses) {
  start("KRV2212A");
  auto* toggle = program->frame()->findChild<QPushButton*>("Check1");
  toggle->click();  // COM 1: opens and reads the unit
  ASSERT_TRUE(unitPort.isOpen());
  open();
  ShortRun(*this, 5);
  // The unit selector shows the port in use and cannot move it.
  EXPECT_EQ(w<QComboBox>("txt_comDisp")->currentText(), "Com1");
  EXPECT_FALSE(w<QComboBox>("txt_comDisp")->isEnabled());
  button("Command2")->click();
  EXPECT_EQ(unitPort.openedPath(), ResolveComPort(1));
  Program::HostOf(window)->close();
  EXPECT_TRUE(unitPort.isOpen());
  EXPECT_TRUE(toggle->isChecked());
}

TEST_F(TaraBench, ProgDispositivoAfterACalibrationWithNothingLoadedWritesNothing) {
  start("KRV2212A");
  open();
  ShortRun(*this, 5);
  button("Command2")->click();
  ASSERT_TRUE(unitPort.isOpen());
  std::vector<int> before;
  for (int a = 0; a < 65; ++a) before.push_back(sim->unit().cell(0, a));
  const auto writesBefore = writes();
  button("Command7")->click();  // "Prog": the verification window
  auto* verification = program->frame()->findChild<QWidget*>("frm_verifica");
  ASSERT_NE(verification, nullptr);
  user.expect(Answer::Ok);
  verification->findChild<QPushButton*>("Send_prog")->click();
  EXPECT_EQ(writes(), writesBefore);
  for (int a = 0; a < 65; ++a) EXPECT_EQ(sim->unit().cell(0, a), before[static_cast<size_t>(a)]) << a;
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_EQ(user.asked()[0].text, Tr(program->state(), 92));
  EXPECT_NE(verification->findChild<QLabel*>("Label1_0")->text(), "OK");
  const QString report = verification->findChild<QPlainTextEdit*>("report_ver")->toPlainText();
  EXPECT_FALSE(report.startsWith("Download completato")) << report.toStdString();
}

TEST_F(TaraBench, TheFactoryWindowsSpeakTheProgramsLanguage) {
  start("KRV2212A");
  open();
  program->ShowVerification();
  auto* verification = program->frame()->findChild<QWidget*>("frm_verifica");
  auto* setup = program->frame()->findChild<QWidget*>("interfaccia_strum_ver");
  ASSERT_NE(verification, nullptr);
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(button("Command6")->text(), "Riprendi");
  EXPECT_EQ(verification->findChild<QPushButton*>("Send_prog")->text(), "Prog. dispositivo");
  program->SetLanguage(1);
  EXPECT_EQ(window->windowTitle(), "OLMA Series Calibration");
  EXPECT_EQ(button("Command6")->text(), "Resume");
  EXPECT_EQ(button("Command1_0")->text(), "Calibrate channel A");
  EXPECT_EQ(box("chk_Canale", 1)->text(), "Channel B");
  EXPECT_EQ(w<QCheckBox>("chk_default")->text(), "Load defaults");
  EXPECT_EQ(verification->findChild<QPushButton*>("Send_prog")->text(), "Program the unit");
  EXPECT_EQ(verification->findChild<QPushButton*>("prog_man")->text(), "Manual programming (Program window)");
  EXPECT_EQ(setup->findChild<QPushButton*>("set_al")->text(), "Set supply");
  EXPECT_EQ(setup->findChild<QLabel*>("Label1")->text(), "Choose the calibration mode:");
  auto* mode = setup->findChild<QComboBox*>("mode_aut_man");
  EXPECT_EQ(mode->itemText(0), "Automatic");
  program->SetLanguage(0);
  EXPECT_EQ(mode->itemText(1), "Manuale");
  EXPECT_EQ(window->windowTitle(), "Taratura Serie OLMA");
}
