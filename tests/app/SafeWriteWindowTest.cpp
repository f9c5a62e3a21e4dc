// Compare and safe write in the program: the editor marks what differs from
// the unit, "Write only the changed fields" sends only their cells, "Undo
// last write" puts the saved cells back, the compare window lists the
// differences. Against the simulated unit, through the menus' actions; the
// program starts in Italian.
#include "SimulatedProgram.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "config/ConfigFile.h"
#include "config/EditorModel.h"
#include "config/ui/CompareWindow.h"
#include "config/ui/EditorWindow.h"
#include "support/TempRecords.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pv;

namespace {

struct SafeWrite : test::SimulatedProgram {
  test::TempRecords records;

  void startOpen(const char* model = "KRV2212A") {
    start(model);
    program->frame()->findChild<QPushButton*>("Check1")->click();
    ASSERT_TRUE(port.isOpen());
    ASSERT_TRUE(program->editor().baseValid);
  }
  QLineEdit* field(const char* name) { return program->frame()->findChild<QLineEdit*>(name); }
  void type(const char* name, const QString& text) {
    QLineEdit* e = field(name);
    ASSERT_NE(e, nullptr) << name;
    e->setText(text);
    emit e->textEdited(text);
  }
  void trigger(const char* action) {
    QAction* a = program->frame()->findChild<QAction*>(action);
    ASSERT_NE(a, nullptr) << action;
    ASSERT_TRUE(a->isEnabled()) << action;
    a->trigger();
  }
  std::vector<int> written() const {
    std::vector<int> out;
    for (const QByteArray& c : unit.transcript())
      if (c.startsWith("$W")) out.push_back(static_cast<uint8_t>(c[3]));
    return out;
  }
  int entries() const { return static_cast<int>(records.entries().size()); }
};

TEST_F(SafeWrite, EditorMarksOnlyTheFieldsThatDifferFromTheUnit) {
  startOpen();
  EditorWindow* w = program->editorWindow();
  EXPECT_TRUE(w->markedControls().isEmpty()) << w->markedControls().join(' ').toStdString();
  const QString was = field("txt_Input_max_0")->text();

  type("txt_Input_max_0", QStringLiteral(" 800"));
  EXPECT_EQ(w->markedControls(), QStringList{QStringLiteral("txt_Input_max_0")});
  EXPECT_TRUE(field("txt_Input_max_0")->property("changedSinceRead").toBool());
  EXPECT_TRUE(field("txt_Input_max_0")->toolTip().startsWith(QStringLiteral("Dispositivo: ")));
  EXPECT_FALSE(field("txt_Input_min_0")->property("changedSinceRead").toBool());

  type("txt_offset_1", QStringLiteral(" 1.5"));
  EXPECT_EQ(w->markedControls().size(), 2);

  // Back to what the unit holds: no longer marked.
  type("txt_Input_max_0", was);
  EXPECT_EQ(w->markedControls(), QStringList{QStringLiteral("txt_offset_1")});
  EXPECT_FALSE(field("txt_Input_max_0")->property("changedSinceRead").toBool());
  EXPECT_TRUE(field("txt_Input_max_0")->styleSheet().isEmpty());
}

TEST_F(SafeWrite, WriteOnlyTheChangedFieldsSendsOnlyTheirCells) {
  startOpen();
  const sim::Bank before = unit.bank(0);
  type("txt_Input_max_0", QStringLiteral(" 800"));
  unit.clearTranscript();
  trigger("mnu_Action_Program_WriteChanged");
  std::vector<int> differ;
  for (int a = 0; a < 256; ++a)
    if (unit.cell(0, a) != before[static_cast<size_t>(a)]) differ.push_back(a);
  ASSERT_FALSE(differ.empty());
  EXPECT_EQ(written(), differ);
  for (int a : written()) EXPECT_TRUE(a == 20 || a == 21) << a;  // channel A's input upper word
  // The write reads the unit back: nothing differs any more.
  EXPECT_TRUE(program->editorWindow()->markedControls().isEmpty());
  EXPECT_EQ(entries(), 1);
  EXPECT_TRUE(user.asked().empty());
}

TEST_F(SafeWrite, UndoLastWritePutsTheSavedCellsBack) {
  startOpen();
  const sim::Bank before = unit.bank(0);
  const QString was = field("txt_Input_max_0")->text();
  type("txt_Input_max_0", QStringLiteral(" 800"));
  type("txt_offset_0", QStringLiteral(" 2"));
  trigger("mnu_Action_Program_Write");
  ASSERT_NE(unit.bank(0), before);
  ASSERT_EQ(entries(), 1);

  user.expect(Answer::Ok);
  trigger("mnu_Action_Program_Undo");
  ASSERT_EQ(user.asked().size(), 1u);
  // Cells 0..64 were saved; a KRV2212A's gains among them (34..64) stay.
  EXPECT_TRUE(user.asked()[0].text.startsWith(QStringLiteral("Rimettere sul dispositivo le 34 celle salvate il ")))
      << user.asked()[0].text.toStdString();
  EXPECT_EQ(unit.bank(0), before);
  // The editor shows the unit again, and the undo itself can be undone.
  EXPECT_EQ(field("txt_Input_max_0")->text(), was);
  EXPECT_EQ(entries(), 2);
}

TEST_F(SafeWrite, UndoCancelledWritesNothing) {
  startOpen();
  type("txt_Input_max_0", QStringLiteral(" 800"));
  trigger("mnu_Action_Program_Write");
  const sim::Bank after = unit.bank(0);
  unit.clearTranscript();
  user.expect(Answer::Cancel);
  trigger("mnu_Action_Program_Undo");
  EXPECT_EQ(unit.bank(0), after);
  EXPECT_TRUE(written().empty());
}

TEST_F(SafeWrite, UndoWithoutHistorySaysSo) {
  startOpen();
  user.expect(Answer::Ok);
  trigger("mnu_Action_Program_Undo");
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_EQ(user.asked()[0].text, QStringLiteral("Nessuna scrittura salvata per questo dispositivo."));
}

TEST_F(SafeWrite, CompareWindowListsUnitEditorAndFile) {
  startOpen();
  // A file with channel A's trip high changed.
  QTemporaryDir dir;
  const QString path = dir.filePath("trip.DST");
  program->editor().setText(Field::TripHighA, QStringLiteral(" 321"));
  ASSERT_EQ(program->configFile().saveTo(path), FileResult::Done);
  program->editor().setText(Field::TripHighA, field("txt_soglia_H_0")->text());
  program->editor().notify();

  type("txt_Input_max_0", QStringLiteral(" 800"));
  trigger("mnu_View_Compare");
  CompareWindow* w = program->compareWindow();
  auto* table = w->findChild<QTableWidget*>("grd_compare");
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->columnCount(), 4);  // field, device, program, unit
  EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Dispositivo"));
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Canale A Ingresso Massimo"));
  EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("800"));

  ASSERT_TRUE(w->openFile(path));
  ASSERT_EQ(table->columnCount(), 5);
  EXPECT_EQ(table->horizontalHeaderItem(3)->text(), QStringLiteral("trip.DST"));
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(1, 0)->text(), QStringLiteral("Canale A Soglie Alta"));
  EXPECT_EQ(table->item(1, 3)->text(), QStringLiteral("321"));

  // Edits follow at once.
  type("txt_Input_max_0", field("txt_Input_max_0")->text() == " 800" ? QStringLiteral(" 801") : QStringLiteral(" 800"));
  EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("801"));
}

} // namespace
