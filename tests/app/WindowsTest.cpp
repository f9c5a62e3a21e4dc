// The main windows driven as a technician would, against a simulated unit.
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "SimulatedProgram.h"
#include "app/ui/CommWindow.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "config/EditorModel.h"
#include "config/ui/EditorWindow.h"
#include "config/ui/OptionsWindow.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "measure/ui/MeasureWindow.h"
#include "support/ScriptedPrompter.h"
#include "switches/ui/SwitchWindow.h"
#include "text/ui/AboutWindow.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace pv;
using pv::test::ScriptedPrompter;

namespace {
struct Bench : pv::test::SimulatedProgram {
  template <typename T> T* find(const QString& name) {
    T* w = program->frame()->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  QPushButton* toggle() { return find<QPushButton>("Check1"); }
  void openPort(int comIndex = 0) {
    find<QComboBox>("cmb_Porta")->setCurrentIndex(comIndex);
    toggle()->click();
  }
  bool shown(QWidget* w) { return Program::HostOf(w) && Program::HostOf(w)->isVisible(); }
};
} // namespace

TEST_F(Bench, OpeningComThreeReadsTheUnitAndShowsTheEditor) {
  qputenv("PLANOVIX_COM3", "/sim/com3");
  start("KRV2212A");
  openPort(2);
  qunsetenv("PLANOVIX_COM3");
  EXPECT_EQ(port.openedPath(), "/sim/com3");
  EXPECT_TRUE(shown(program->editorWindow()));
  EXPECT_EQ(find<QLabel>("lbl_device_1")->text(), "ID=12/2");
  EXPECT_EQ(find<QLabel>("lbl_device_0")->text(), "KRV 2212 A");
  EXPECT_EQ(find<QComboBox>("cmb_Prog_In_0")->currentText(), "Tc K");
  EXPECT_EQ(find<QLineEdit>("txt_Input_max_0")->text(), "600");  // shown as "#0.###"
  EXPECT_EQ(find<QComboBox>("cmb_Prog_Out_0")->currentText(), "4-20 mA");
  EXPECT_EQ(program->editorWindow()->displayValue(), 1);
  EXPECT_TRUE(user.asked().empty());
  toggle()->click();
  EXPECT_EQ(program->editorWindow()->displayValue(), 4);
}

TEST_F(Bench, ViewButtonPressedTwiceShowsThenHides) {
  start("KRV2212A");
  for (int i : {0, 1, 2}) {
    auto* button = find<QToolButton>(QStringLiteral("cmd_modo_%1").arg(i));
    button->click();
    QWidget* window = i == 0 ? static_cast<QWidget*>(program->editorWindow())
                      : i == 1 ? static_cast<QWidget*>(program->measureWindow())
                               : static_cast<QWidget*>(program->switchWindow());
    EXPECT_TRUE(shown(window)) << i;
    button->click();
    EXPECT_FALSE(shown(window)) << i;
  }
}

TEST_F(Bench, MeasureMenuStartOnlyStartsStopAlwaysToggles) {
  start("KRV2212A");
  openPort();
  auto* startItem = find<QAction>("mnu_Action_Measure_Start");
  auto* stopItem = find<QAction>("mnu_Action_Measure_Stop");
  int frames = 0;
  // The run returns only when it ends: Start from the menu while it runs must
  // change nothing, Stop ends it.
  QObject::connect(&program->measurement(), &MeasurementRun::frameShown, [&] {
    if (++frames == 3) {
      startItem->trigger();
      EXPECT_TRUE(program->state().measureRunning);
      stopItem->trigger();
    }
  });
  stopItem->trigger();  // nothing runs: Stop starts a run
  EXPECT_GE(frames, 3);
  EXPECT_FALSE(program->state().measureRunning);
  EXPECT_FALSE(program->state().measureLoopActive);
  int sm = 0, mi = 0;
  for (const QByteArray& c : unit.transcript()) {
    sm += c == "SM\r";
    mi += c == "MI\r";
  }
  EXPECT_EQ(mi, 1);
  EXPECT_GE(sm, 1);
  EXPECT_EQ(unit.transcript().last(), QByteArray("SM\r"));
}

TEST_F(Bench, WriteAfterEditingChangesTheUnit) {
  start("KRV2212A");
  openPort();
  auto* max = find<QLineEdit>("txt_Input_max_0");
  max->setText(" 800");
  emit max->textEdited(" 800");
  find<QToolButton>("cmd_write")->click();
  // Tc K has one decimal: 800.0 is the word 8000 at cells 20 and 21.
  EXPECT_EQ(unit.cell(0, 20), 8000 % 256);
  EXPECT_EQ(unit.cell(0, 21), 8000 / 256);
  EXPECT_EQ(max->text(), "800");  // the read that follows shows the unit's value
}

TEST_F(Bench, LanguageSwitchRecaptionsOpenWindows) {
  start("KRV2212A");
  openPort();
  program->ShowAbout();
  program->measureWindow();
  program->SetLanguage(1);
  EXPECT_EQ(toggle()->text(), "Close Com");
  EXPECT_EQ(find<QAction>("mnu_Help_About")->text(), "About PLANOVIX v.2.6");
  EXPECT_EQ(find<QAction>("mnu_File_SaveAs")->text(), "Save as...");
  EXPECT_EQ(find<QGroupBox>("frm_input_0")->title(), "Input");
  EXPECT_EQ(find<QGroupBox>("frm_soglia")->title(), "Trips");
  EXPECT_EQ(find<QRadioButton>("opt_CJC_1")->text(), "Internal");
  EXPECT_EQ(find<QGroupBox>("frm_in_0")->title(), "Input");
  EXPECT_EQ(program->aboutWindow()->windowTitle(), "About PLANOVIX v.2.6");
  EXPECT_EQ(program->state().manualFile, "Planovix_User_Guide_EN.pdf");
  EXPECT_TRUE(find<QLabel>("lbl_Link_1")->text().contains("Planovix_User_Guide_EN.pdf"));
  program->SetLanguage(0);
  EXPECT_EQ(toggle()->text(), "Chiudi Com");
  EXPECT_EQ(find<QAction>("mnu_Help_About")->text(), "Info su PLANOVIX v.2.6");
  EXPECT_EQ(find<QGroupBox>("frm_input_0")->title(), "Ingresso");
  EXPECT_EQ(program->state().manualFile, "Planovix_Manuale_IT.pdf");
  toggle()->click();
  EXPECT_EQ(toggle()->text(), "Apri Com");
}

TEST_F(Bench, VariantSevenHeadingsNameAnalogAndDigitalOutputs) {
  start("KRV2220");
  program->SetLanguage(1);
  openPort();
  EXPECT_EQ(find<QGroupBox>("frm_output_0")->title(), "Output Analog");
  EXPECT_EQ(find<QGroupBox>("frm_output_1")->title(), "Output Digital");
  EXPECT_TRUE(find<QGroupBox>("frm_freq")->isVisibleTo(program->editorWindow()));
  EXPECT_EQ(find<QLabel>("lbl_device_0")->text(), "KRV 2220");
}

TEST_F(Bench, OtherVariantsHaveOneOutputHeading) {
  start("KRV2212B");
  program->SetLanguage(1);
  openPort();
  EXPECT_EQ(find<QGroupBox>("frm_output_0")->title(), "Output");
  EXPECT_EQ(find<QGroupBox>("frm_output_1")->title(), "Output");
  EXPECT_FALSE(find<QGroupBox>("frm_freq")->isVisibleTo(program->editorWindow()));
}

TEST_F(Bench, VariantThreeWithoutCellFourEndsTheCaptionsEarly) {
  start("KRV2212B");  // variant 3: the family is read from cell 4
  program->state().identity.variant = 3;
  auto* about = find<QAction>("mnu_Help_About");
  const QString modelBefore = find<QLabel>("lbl_device_0")->text();
  const QString idBefore = find<QLabel>("lbl_device_1")->text();
  program->state().languageIndex = 1;
  // No unit answers: the cell-4 read fails and is cancelled.
  port.close();
  port.open("dead");
  port.setPeer({});
  user.setDefault(Answer::Cancel);
  program->ApplyCaptions();
  // Menus and the editor come before the cell read, and are English...
  EXPECT_EQ(about->text(), "About PLANOVIX v.2.6");
  EXPECT_EQ(find<QGroupBox>("frm_input_0")->title(), "Input");
  // ...the open/close caption and the device labels come after, and are not.
  EXPECT_EQ(toggle()->text(), "Apri Com");
  EXPECT_EQ(find<QLabel>("lbl_device_0")->text(), modelBefore);
  EXPECT_EQ(find<QLabel>("lbl_device_1")->text(), idBefore);
}

TEST_F(Bench, LanguageChangeWithThePortClosedReachesEveryCaption) {
  start("KRV2212B");
  openPort();
  toggle()->click();  // closed again
  const size_t before = unit.transcript().size();
  program->SetLanguage(1);
  EXPECT_EQ(toggle()->text(), "Open Com");
  EXPECT_EQ(find<QLabel>("lbl_device_0")->text(), "KRV 2212 B");
  EXPECT_EQ(unit.transcript().size(), before);  // nothing was asked of the unit
  EXPECT_TRUE(user.asked().empty());
}

TEST_F(Bench, TankChoicesNeverVisibleOnVariantZero) {
  start("KRV2210");
  openPort();
  EditorModel& m = program->editor();
  for (const QString& name : m.view().cmbProgIn[0].items) {
    m.setInputType(0, name);
    EXPECT_FALSE(find<QRadioButton>("opt_funz_1")->isVisibleTo(program->editorWindow())) << name.toStdString();
    EXPECT_FALSE(find<QRadioButton>("opt_funz_4")->isVisibleTo(program->editorWindow())) << name.toStdString();
  }
}

TEST_F(Bench, OptionsWindowPerChannelAndKeptWhenClosed) {
  start("KRV2212A");
  openPort();
  find<QPushButton>("cmd_Operatore_0")->click();
  OptionsWindow* options = program->optionsWindow();
  EXPECT_TRUE(shown(options));
  options->findChild<QRadioButton*>("opt_Oper_3")->click();  // A-B
  EXPECT_EQ(find<QPushButton>("cmd_Operatore_0")->text(), "A-B");
  options->findChild<QRadioButton*>("opt_Oper_6")->click();  // MAX shows the delay
  EXPECT_TRUE(options->findChild<QGroupBox*>("Frame1")->isVisibleTo(options));
  options->findChild<QRadioButton*>("opt_Oper_2")->click();
  EXPECT_FALSE(options->findChild<QGroupBox*>("Frame1")->isVisibleTo(options));
  Program::HostOf(options)->close();  // hides, keeps its state
  EXPECT_FALSE(shown(options));
  find<QPushButton>("cmd_Operatore_1")->click();
  EXPECT_TRUE(options->findChild<QRadioButton*>("opt_Oper_0")->isChecked());  // channel B's own
  find<QPushButton>("cmd_Operatore_0")->click();
  EXPECT_TRUE(options->findChild<QRadioButton*>("opt_Oper_2")->isChecked());
}

TEST_F(Bench, SaveAndOpenThroughTheFileMenu) {
  start("KRV2212A");
  openPort();
  QTemporaryDir dir;
  const QString path = dir.filePath("unit.DST");
  user.expectFile(path);
  find<QAction>("mnu_File_SaveAs")->trigger();
  EXPECT_TRUE(QFile::exists(path));
  EXPECT_EQ(QFileInfo(path).size(), 292);
  EXPECT_TRUE(program->frame()->windowTitle().endsWith(" - " + path));
  EXPECT_TRUE(find<QAction>("mnu_File_Save")->isEnabled());
  auto* max = find<QLineEdit>("txt_Input_max_0");
  max->setText(" 1");
  emit max->textEdited(" 1");
  user.expectFile(path);
  find<QAction>("mnu_File_Open")->trigger();
  EXPECT_EQ(max->text(), " 600");
}

TEST_F(Bench, FamilyOwnedTripDirectionAndDoublerAreShownButNotEditable) {
  start("KRV2312A");
  openPort();
  for (const char* name : {"optTrip_0", "optTrip_1", "chk_Doubler"})
    EXPECT_FALSE(find<QWidget>(name)->isEnabled()) << name;
  EXPECT_FALSE(find<QWidget>("optTrip_0")->toolTip().isEmpty());
}

TEST_F(Bench, TripDirectionAndDoublerAreTheUnitsOwnWithoutFamilyBits) {
  start("KRV2210");  // no family bits in cell 4
  openPort();
  for (const char* name : {"optTrip_0", "optTrip_1", "chk_Doubler"})
    EXPECT_TRUE(find<QWidget>(name)->isEnabled()) << name;
}
