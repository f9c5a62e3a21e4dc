// The measurement window and the switch wizard, driven through the program.
#include "SimulatedProgram.h"
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "kernel/ui/Widgets.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "measure/ui/MeasureWindow.h"
#include "support/ScriptedPrompter.h"
#include "switches/SwitchTables.h"
#include "switches/SwitchWizardModel.h"
#include "switches/ui/DipBank.h"
#include "switches/ui/SwitchWindow.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pv;
using pv::test::ScriptedPrompter;

namespace {
struct Panels : pv::test::SimulatedProgram {
  void start(const char* model, bool open = true) {
    SimulatedProgram::start(model);
    if (open) program->frame()->findChild<QPushButton*>("Check1")->click();
  }
};
} // namespace

TEST_F(Panels, MeasurementShowsValuesLampsAndSavesTheTrend) {
  start("KRV2212A");
  MeasureWindow* w = program->measureWindow();
  int frames = 0;
  QObject::connect(&program->measurement(), &MeasurementRun::frameShown, [&] {
    if (++frames == 20) w->findChild<QPushButton*>("Cmd_StopRead")->click();
  });
  w->findChild<QPushButton*>("Cmd_StartRead")->click();
  EXPECT_EQ(frames, 20);
  EXPECT_FALSE(program->state().measureRunning);
  const QString in = w->findChild<QLabel*>("txt_misura_in_0")->text();
  const QString out = w->findChild<QLabel*>("txt_misura_out_0")->text();
  EXPECT_TRUE(in.endsWith(QString::fromUtf8("\u00b0C"))) << in.toStdString();
  EXPECT_TRUE(out.endsWith(" mA")) << out.toStdString();
  EXPECT_TRUE(w->findChild<QLabel*>("lbl_progIn_0")->text().startsWith("Tc K"));
  EXPECT_EQ(w->findChild<QLabel*>("lbl_soglie_2")->text(), "Allarme");
  program->SetLanguage(1);
  EXPECT_EQ(w->findChild<QLabel*>("lbl_soglie_2")->text(), "Alarm");
  program->SetLanguage(0);

  QTemporaryDir dir;
  const QString path = dir.filePath("trend.csv");
  ASSERT_TRUE(w->saveCsv(path));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = f.readAll().split('\n');
  EXPECT_GE(lines.size(), 21);  // a header and one row per frame
}

TEST_F(Panels, SwitchBanksFollowTheUnitBytes) {
  unit.setModel("KRV2211A");
  const auto bytes = FactorySwitchBytes(unit.identity());
  unit.setSwitches({bytes[0], bytes[1], bytes[2], 0});
  start("KRV2211A");
  program->View(2);
  SwitchWindow* w = program->switchWindow();
  for (int b = 0; b < 2; ++b) {
    DipBank* bank = w->bank(b);
    EXPECT_EQ(bank->byte(), bytes[b]);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(bank->isOn(i), ((bytes[b] >> i) & 1) == 1) << b << i;
  }
  // Clicking another span re-plans the banks, and the drawing follows.
  SwitchWizardModel& m = program->switches();
  auto* span = w->findChild<QListWidget*>("lst_span");
  ASSERT_GT(span->count(), 5);
  emit span->itemClicked(span->item(5));
  EXPECT_EQ(w->bank(1)->byte(), m.bytes()[1]);
  EXPECT_EQ(span->currentRow(), 5);
}

TEST_F(Panels, DemonstrationWorksWithNoUnitAndNoPort) {
  start("KRV2212A", false);
  program->View(2);
  SwitchWindow* w = program->switchWindow();
  w->findChild<QPushButton*>("aiuto_switch")->click();
  auto* models = w->findChild<QComboBox*>("aiuto_modello");
  ASSERT_EQ(models->count(), 15);
  emit models->activated(0);  // KRV2210, chosen in the window
  auto* input = w->findChild<QComboBox*>("cmb_SW_in_0");
  const int tcj = input->findText("Tc J");
  ASSERT_GE(tcj, 0);
  emit input->activated(tcj);
  w->findChild<QRadioButton*>("opt_far_1")->click();
  auto* zero = w->findChild<QListWidget*>("lst_zero");
  QStringList zeros;
  for (int i = 0; i < zero->count(); ++i) zeros << zero->item(i)->text();
  EXPECT_TRUE(zeros.contains("-328.0"));
  EXPECT_TRUE(zeros.contains("32.0"));
  EXPECT_TRUE(user.asked().empty());
  EXPECT_FALSE(port.isOpen());
  // Leaving empties the selectors and both lists; the window keeps its state
  // when closed and opened again.
  w->findChild<QPushButton*>("close_aiuto_switch")->click();
  EXPECT_EQ(zero->count(), 0);
  EXPECT_EQ(input->currentIndex(), -1);
  Program::HostOf(w)->close();
  program->View(2);
  EXPECT_EQ(program->switchWindow(), w);
  EXPECT_TRUE(w->findChild<QPushButton*>("aiuto_switch")->isVisibleTo(w));
}
