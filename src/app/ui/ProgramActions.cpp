#include "app/ui/ProgramActions.h"
#include "text/Texts.h"

#include <QAction>
#include <QKeySequence>

namespace pv {

namespace {
QAction* Make(QObject* parent, const char* name, const QKeySequence& key = {}) {
  auto* a = new QAction(parent);
  a->setObjectName(QLatin1String(name));
  if (!key.isEmpty()) a->setShortcut(key);
  return a;
}
} // namespace

ProgramActions::ProgramActions(QObject* parent)
    : QObject(parent),
      fileOpen(Make(this, "mnu_File_Open", QKeySequence::Open)),
      fileSave(Make(this, "mnu_File_Save", QKeySequence::Save)),
      fileSaveAs(Make(this, "mnu_File_SaveAs", QKeySequence(QStringLiteral("Ctrl+Shift+S")))),
      viewProgram(Make(this, "mnu_View_Program", QKeySequence(QStringLiteral("Ctrl+1")))),
      viewMeasure(Make(this, "mnu_View_Measure", QKeySequence(QStringLiteral("Ctrl+2")))),
      viewSwitch(Make(this, "mnu_View_Switch", QKeySequence(QStringLiteral("Ctrl+3")))),
      read(Make(this, "mnu_Action_Program_Read", QKeySequence(QStringLiteral("Ctrl+R")))),
      // A key no text field takes for itself: on X11 a focused field eats
      // Ctrl+U (delete line), and the input method Ctrl+Shift+U. Ctrl+W
      // closes windows everywhere else; writing must not be one slip away.
      write(Make(this, "mnu_Action_Program_Write", QKeySequence(Qt::Key_F6))),
      writeChanged(Make(this, "mnu_Action_Program_WriteChanged", QKeySequence(Qt::SHIFT | Qt::Key_F6))),
      undoWrite(Make(this, "mnu_Action_Program_Undo")),
      compare(Make(this, "mnu_View_Compare", QKeySequence(QStringLiteral("Ctrl+4")))),
      start(Make(this, "mnu_Action_Measure_Start", QKeySequence(QStringLiteral("F5")))),
      stop(Make(this, "mnu_Action_Measure_Stop", QKeySequence(QStringLiteral("Shift+F5")))),
      language(Make(this, "mnu_Lang", QKeySequence(QStringLiteral("Ctrl+L")))),
      about(Make(this, "mnu_Help_About", QKeySequence(QStringLiteral("F1")))),
      exit(Make(this, "mnu_Exit")),
      eeprom(Make(this, "mnu_Collaudo_EEprom")),
      taratura(Make(this, "mnu_Collaudo_Taratura")),
      station(Make(this, "mnu_Collaudo_Station")),
      test(Make(this, "mnu_test")),
      records(Make(this, "mnu_Collaudo_Records")) {
}

void ProgramActions::applyCaptions(const AppState& s) {
  fileOpen->setText(Tr(s, 53));
  fileSave->setText(Tr(s, 54));
  fileSaveAs->setText(Tr(s, 55));
  viewProgram->setText(Tr(s, 35));
  viewMeasure->setText(Tr(s, 36));
  viewSwitch->setText(Tr(s, 37));
  read->setText(Tr(s, 46));
  write->setText(Tr(s, 47));
  writeChanged->setText(Tr(s, 122));
  undoWrite->setText(Tr(s, 121));
  compare->setText(Tr(s, 120) + QStringLiteral("..."));
  start->setText(Tr(s, 116));
  stop->setText(Tr(s, 117));
  language->setText(Tr(s, 90));
  about->setText(Tr(s, 51) + QLatin1Char(' ') + ProductTitle(s));
  exit->setText(Tr(s, 52));
  eeprom->setText(Tr(s, 107));
  taratura->setText(Tr(s, 104));
  station->setText(Tr(s, 195));
  test->setText(Tr(s, 240));
  records->setText(Tr(s, 686) + QStringLiteral("..."));
}

void ProgramActions::setDeviceActionsEnabled(bool on) {
  for (QAction* a : {read, write, writeChanged, undoWrite, start, stop}) a->setEnabled(on);
}

} // namespace pv
