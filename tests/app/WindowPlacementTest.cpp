// What a new user met first: windows placed and captioned as the program
// says, the editor shown on every open, the file name kept in the title.
#include "DeviceSimulator.h"
#include "SimulatedProgram.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "config/ui/EditorWindow.h"
#include "config/ui/OptionsWindow.h"
#include "measure/ui/MeasureWindow.h"
#include "switches/ui/DipBank.h"
#include "switches/ui/SwitchWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pv;

namespace {
struct Placement : pv::test::SimulatedProgram {
  QPushButton* toggle() { return program->frame()->findChild<QPushButton*>("Check1"); }
  template <typename T> T* find(const char* name) {
    T* w = program->frame()->findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  bool shown(QWidget* w) { return Program::HostOf(w) && Program::HostOf(w)->isVisible(); }
};
} // namespace

TEST_F(Placement, OpenCloseOpenShowsTheEditorEachTime) {
  start("KRV2212A");
  toggle()->click();
  EXPECT_TRUE(shown(program->editorWindow()));
  toggle()->click();
  toggle()->click();
  EXPECT_TRUE(shown(program->editorWindow()));
}

TEST_F(Placement, TheTitleKeepsTheFileNameAfterARead) {
  start("KRV2212A");
  toggle()->click();
  QTemporaryDir dir;
  const QString path = dir.filePath("unit.DST");
  user.expectFile(path);
  find<QAction>("mnu_File_SaveAs")->trigger();
  program->Read();
  EXPECT_TRUE(program->frame()->windowTitle().endsWith(" - " + path)) << program->frame()->windowTitle().toStdString();
  program->SetLanguage(1);
  EXPECT_TRUE(program->frame()->windowTitle().endsWith(" - " + path));
}

TEST_F(Placement, WritingIsNotOnTheCloseKey) {
  start("KRV2212A");
  const QKeySequence write = find<QAction>("mnu_Action_Program_Write")->shortcut();
  EXPECT_FALSE(write.isEmpty());
  for (const QKeySequence& close : QKeySequence::keyBindings(QKeySequence::Close)) EXPECT_NE(write, close);
  EXPECT_NE(write, QKeySequence(QStringLiteral("Ctrl+W")));
  // Both menu bars show the one action.
  EXPECT_EQ(program->frame()->findChildren<QAction*>("mnu_Action_Program_Write").size(), 1);
}

TEST_F(Placement, ItalianEditorCaptionsComeFromTheStringTable) {
  start("KRV2212A");
  toggle()->click();
  EXPECT_EQ(find<QLabel>("lbl_max_in_0")->text(), "Massimo");
  EXPECT_EQ(find<QLabel>("lbl_min_out_1")->text(), "Minimo");
  EXPECT_EQ(find<QLabel>("lbl_offset_0")->text(), "Scostamento");
  EXPECT_EQ(find<QLabel>("lbl_hi_0")->text(), "Alta");
  EXPECT_EQ(find<QLabel>("lbl_lo_0")->text(), "Bassa");
  EXPECT_EQ(find<QLabel>("lbl_delay")->text(), "Ritardo");
  EXPECT_EQ(find<QRadioButton>("optTrip_0")->text(), "Massimo");
  EXPECT_EQ(find<QAction>("mnu_Action_Program_Read")->text(), "Leggi");
  program->SetLanguage(1);
  EXPECT_EQ(find<QLabel>("lbl_max_in_0")->text(), "Max");
  EXPECT_EQ(find<QLabel>("lbl_hi_0")->text(), "Hi");
  EXPECT_EQ(find<QAction>("mnu_Action_Measure_Stop")->text(), "Stop");
  find<QPushButton>("cmd_Operatore_0")->click();
  EXPECT_EQ(program->optionsWindow()->findChild<QLabel*>("Label21")->text(), "Delay");
  program->SetLanguage(0);
  EXPECT_EQ(program->optionsWindow()->findChild<QLabel*>("Label21")->text(), "Ritardo");
}

TEST_F(Placement, FrequencyUnitShowsEachBankCaptionOnce) {
  start("KRV2220");
  toggle()->click();
  program->View(2);
  SwitchWindow* w = program->switchWindow();
  QStringList captions;
  for (int b = 0; b < 3; ++b)
    if (w->bank(b)->isVisibleTo(w)) captions << w->bank(b)->caption();
  EXPECT_EQ(captions, (QStringList{"SW2", "SW1"}));
  // Another model afterwards shows its three banks again.
  unit.setModel("KRV2210");
  program->Read();
  captions.clear();
  for (int b = 0; b < 3; ++b)
    if (w->bank(b)->isVisibleTo(w)) captions << w->bank(b)->caption();
  EXPECT_EQ(captions, (QStringList{"SW1", "SW2", "SW3"}));
}

TEST_F(Placement, WindowsOpenBelowTheCommunicationWindowAndInsideTheFrame) {
  for (const char* model : {"KRV2211A", "KRV2212D", "KRV2220", "KRV2312D"}) {
    start(model);
    toggle()->click();
    program->View(1);
    program->View(2);
    QMdiSubWindow* comm = MainFrame::HostOf(program->frame()->findChild<QWidget*>("frm_comm"));
    const QRect area = program->frame()->area()->viewport()->rect();
    for (QWidget* w : std::initializer_list<QWidget*>{program->editorWindow(), program->measureWindow(),
                                                      program->switchWindow()}) {
      QMdiSubWindow* host = MainFrame::HostOf(w);
      ASSERT_NE(host, nullptr);
      EXPECT_TRUE(host->isVisible()) << model;
      EXPECT_FALSE(host->geometry().intersects(comm->geometry())) << model << " " << w->objectName().toStdString();
      EXPECT_TRUE(area.contains(host->geometry())) << model << " " << w->objectName().toStdString();
      // What does not fit scrolls.
      auto* scroll = qobject_cast<QScrollArea*>(host->widget());
      ASSERT_NE(scroll, nullptr);
      if (w->sizeHint().height() > scroll->viewport()->height()) {
        EXPECT_TRUE(scroll->verticalScrollBar()->isVisible()) << model;
      }
    }
    program.reset();
    port.close();
    link.reset();
  }
}

TEST_F(Placement, AWindowTheUserEnlargedKeepsItsSize) {
  start("KRV2212A");
  program->View(1);
  QMdiSubWindow* host = MainFrame::HostOf(program->measureWindow());
  const QSize bigger = host->size() + QSize(40, 30);
  host->resize(bigger);
  program->SetLanguage(1);  // new captions: the window lays itself out again
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(host->size(), bigger);
}
