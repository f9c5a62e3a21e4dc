// Renders every window of the program into PNG files, in both languages,
// against whatever unit "COM 1" resolves to (the simulator in the script
// that calls this). Used to look at the windows and for the README.
#include "app/ui/CommWindow.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "config/ui/EditorWindow.h"
#include "config/ui/OptionsWindow.h"
#include "config/ui/CompareWindow.h"
#include "config/EditorModel.h"
#include "config/ConfigFile.h"
#include "factory/ui/EepromWindow.h"
#include "factory/ui/calibration/CalibrationWindow.h"
#include "factory/ui/production/ProductionWindow.h"
#include "text/ui/AboutWindow.h"
#include "text/ui/LanguageWindow.h"
#include "measure/ui/MeasureWindow.h"
#include "switches/SwitchWizardModel.h"
#include "switches/ui/SwitchWindow.h"
#include "kernel/AppState.h"
#include "kernel/Catalogue.h"
#include "Shots.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>

using namespace pv;

using shots::Save;
using shots::SaveDesktop;
using shots::Settle;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(dir);
  Program program;
  program.Startup();
  Settle();
  Save(program.frame(), dir, QStringLiteral("startup"));
  SaveDesktop(QStringLiteral("startup"));

  // Open "COM 1": the program reads the unit and shows the editor.
  program.frame()->findChild<QPushButton*>(QStringLiteral("Check1"))->click();
  Settle();
  for (int lang = 0; lang < 2; ++lang) {
    program.SetLanguage(lang);
    const QString suffix = lang == 0 ? QStringLiteral("_it") : QStringLiteral("_en");
    Save(program.frame(), dir, QStringLiteral("main") + suffix);
    SaveDesktop(QStringLiteral("main") + suffix);
    Save(program.editorWindow(), dir, QStringLiteral("editor") + suffix);
    program.ShowAbout();
    Save(Program::HostOf(program.aboutWindow()), dir, QStringLiteral("about") + suffix);
    SaveDesktop(QStringLiteral("about") + suffix);
    Program::HostOf(program.aboutWindow())->hide();
    program.ShowLanguage();
    Save(Program::HostOf(program.languageWindow()), dir, QStringLiteral("language"));
    Program::HostOf(program.languageWindow())->hide();
    program.optionsWindow();
    program.editorWindow()->optionsRequested(0);
    Save(Program::HostOf(program.optionsWindow()), dir, QStringLiteral("options") + suffix);
    Program::HostOf(program.optionsWindow())->hide();
  }
  // Compare and safe write: two fields edited after the read are marked,
  // and the compare window lists them beside the unit's values and a file's.
  {
    EditorModel& m = program.editor();
    const QString tripWas = m.text(Field::TripHighA);
    m.setText(Field::TripHighA, QStringLiteral(" 321"));
    const QString file = QDir(dir).filePath(QStringLiteral("compare.DST"));
    program.configFile().saveTo(file);
    m.setText(Field::TripHighA, tripWas);
    m.setText(Field::InputMaxA, QStringLiteral(" 800"));
    m.setText(Field::OffsetB, QStringLiteral(" 1.5"));
    m.notify();
    program.ShowCompare();
    program.compareWindow()->openFile(file);
    QFile::remove(file);
    for (int lang = 0; lang < 2; ++lang) {
      program.SetLanguage(lang);
      const QString suffix = lang == 0 ? QStringLiteral("_it") : QStringLiteral("_en");
      Save(program.editorWindow(), dir, QStringLiteral("editor_marked") + suffix);
      Save(Program::HostOf(program.compareWindow()), dir, QStringLiteral("compare") + suffix);
      SaveDesktop(QStringLiteral("compare") + suffix);
    }
    Program::HostOf(program.compareWindow())->hide();
    program.Read();
  }
  // The EEPROM window after a read of the whole memory, in both languages.
  program.ShowEeprom();
  program.eepromWindow()->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
  for (int lang = 0; lang < 2; ++lang) {
    program.SetLanguage(lang);
    Save(Program::HostOf(program.eepromWindow()), dir, lang == 0 ? QStringLiteral("eeprom_it") : QStringLiteral("eeprom_en"));
    SaveDesktop(lang == 0 ? QStringLiteral("eeprom_it") : QStringLiteral("eeprom_en"));
  }
  Program::HostOf(program.eepromWindow())->hide();
  // A measurement run in each language: grab the window and the whole
  // frame a few seconds in, then stop.
  for (int lang = 0; lang < 2; ++lang) {
    program.SetLanguage(lang);
    const QString suffix = lang == 0 ? QStringLiteral("_it") : QStringLiteral("_en");
    QTimer::singleShot(4000, [&] {
      Save(Program::HostOf(program.measureWindow()), dir, QStringLiteral("measure") + suffix);
      Save(program.frame(), dir, QStringLiteral("main_measure") + suffix);
      SaveDesktop(QStringLiteral("measure") + suffix);
      program.state().measureRunning = false;
    });
    program.StartStop();
    Program::HostOf(program.measureWindow())->hide();
  }

  // The switch wizard on the unit, then in demonstration mode.
  program.SetLanguage(0);
  program.View(2);
  Save(Program::HostOf(program.switchWindow()), dir, QStringLiteral("switch_unit_it"));
  Save(program.frame(), dir, QStringLiteral("main_switch_it"));
  SaveDesktop(QStringLiteral("switch_unit_it"));
  program.SetLanguage(1);
  Save(Program::HostOf(program.switchWindow()), dir, QStringLiteral("switch_unit_en"));
  SaveDesktop(QStringLiteral("switch_unit_en"));
  SwitchWizardModel& sw = program.switches();
  sw.enterDemo();
  sw.chooseDemoModel(0);
  const int tcj = sw.input(0).items.indexOf(QStringLiteral("Tc J"));
  if (tcj >= 0) sw.inputSelected(0, tcj);
  sw.outputSelected(0, 1);
  if (!sw.spanList().entries.isEmpty()) sw.spanClicked(std::min<int>(10, sw.spanList().entries.size() - 1));
  if (!sw.zeroList().entries.isEmpty()) sw.zeroClicked(std::min<int>(3, sw.zeroList().entries.size() - 1));
  Save(Program::HostOf(program.switchWindow()), dir, QStringLiteral("switch_demo_en"));
  program.SetLanguage(0);
  Save(Program::HostOf(program.switchWindow()), dir, QStringLiteral("switch_demo_it"));
  SaveDesktop(QStringLiteral("switch_demo_it"));
  // One demonstration per model group, first input and output chosen.
  program.SetLanguage(1);
  for (int slot : {0, 1, 4, 5, 8, 9, 12, 13, 14}) {
    sw.chooseDemoModel(slot);
    if (!sw.input(0).items.isEmpty()) sw.inputSelected(0, std::min<int>(1, sw.input(0).items.size() - 1));
    if (!sw.output(0).items.isEmpty()) sw.outputSelected(0, 1);
    if (sw.spanList().entries.size() > 8) sw.spanClicked(8);
    if (sw.zeroList().entries.size() > 2) sw.zeroClicked(2);
    Save(Program::HostOf(program.switchWindow()), dir,
         QStringLiteral("switch_demo_") + QString::fromLatin1(kDemoModels[slot].id));
  }
  sw.leaveDemo();
  Program::HostOf(program.switchWindow())->hide();

  // The factory windows at rest, in both languages: the calibration window
  // with a model chosen, the production test window.
  for (int lang = 0; lang < 2; ++lang) {
    program.SetLanguage(lang);
    const QString suffix = lang == 0 ? QStringLiteral("_it") : QStringLiteral("_en");
    program.ShowCalibration();
    if (auto* model = program.calibrationWindow()->findChild<QRadioButton*>(QStringLiteral("opt_modello_5")))
      model->click();
    Save(Program::HostOf(program.calibrationWindow()), dir, QStringLiteral("frm_tara") + suffix);
    SaveDesktop(QStringLiteral("frm_tara") + suffix);
    program.ShowProductionTest();
    Save(Program::HostOf(program.productionWindow()), dir, QStringLiteral("production_test") + suffix);
    SaveDesktop(QStringLiteral("factory") + suffix);
    Program::HostOf(program.productionWindow())->hide();
    Program::HostOf(program.calibrationWindow())->hide();
  }
  program.Exit();
  return 0;
}
