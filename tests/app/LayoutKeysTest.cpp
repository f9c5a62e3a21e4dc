// Layout and keyboard as a user meets them: the frame fills a laptop screen,
// windows open cascaded and never exactly over one another, small windows
// close on Escape and take the keys when they open, the progress fill
// empties after a transfer, and Qt's own words follow the language.
#include "SimulatedProgram.h"
#include "app/ui/CommWindow.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "config/ui/CompareWindow.h"
#include "config/ui/EditorWindow.h"
#include "config/ui/OptionsWindow.h"
#include "factory/ui/EepromWindow.h"
#include "measure/ui/MeasureWindow.h"
#include "switches/ui/SwitchWindow.h"
#include "kernel/ui/Widgets.h"
#include "text/ui/AboutWindow.h"
#include "text/ui/LanguageWindow.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

using namespace pv;

namespace {
struct Layout : test::SimulatedProgram {
  QPushButton* toggle() { return program->frame()->findChild<QPushButton*>("Check1"); }
  QMenu* menu(const char* name) { return program->frame()->findChild<QMenu*>(QLatin1String(name)); }
  void activate() {
    program->frame()->activateWindow();
    QApplication::setActiveWindow(program->frame());
  }
};
} // namespace

TEST_F(Layout, TheFrameFillsALaptopScreen) {
  // The offscreen screen is 800 x 600, well under 1440 wide.
  start("KRV2212A");
  EXPECT_TRUE(program->frame()->isMaximized());
}

TEST_F(Layout, WindowsOpenCascadedInsideTheFrame) {
  start("KRV2212A");
  toggle()->click();
  program->View(1);
  program->View(2);
  program->ShowCompare();
  program->ShowEeprom();
  QMdiSubWindow* comm = MainFrame::HostOf(program->comm());
  const QRect area = program->frame()->area()->viewport()->rect();
  std::set<std::pair<int, int>> corners;
  for (QWidget* w : std::initializer_list<QWidget*>{program->editorWindow(), program->measureWindow(),
                                                    program->switchWindow(), program->compareWindow(),
                                                    program->eepromWindow()}) {
    QMdiSubWindow* host = MainFrame::HostOf(w);
    ASSERT_TRUE(host->isVisible()) << w->objectName().toStdString();
    EXPECT_FALSE(host->geometry().intersects(comm->geometry())) << w->objectName().toStdString();
    EXPECT_TRUE(area.contains(host->geometry().topLeft())) << w->objectName().toStdString();
    EXPECT_TRUE(corners.insert({host->x(), host->y()}).second) << w->objectName().toStdString() << " opened over another";
  }
  // The editor keeps its working place right below the communication window.
  EXPECT_EQ(MainFrame::HostOf(program->editorWindow())->pos(), QPoint(0, comm->geometry().bottom() + 3));
  // A window shown again stays where it is.
  QMdiSubWindow* eeprom = MainFrame::HostOf(program->eepromWindow());
  eeprom->move(eeprom->pos() + QPoint(5, 7));
  const QPoint moved = eeprom->pos();
  program->ShowEeprom();
  EXPECT_EQ(eeprom->pos(), moved);
}

TEST_F(Layout, SmallWindowsCloseOnEscapeAndTakeTheKeysWhenTheyOpen) {
  start("KRV2212A");
  toggle()->click();
  activate();
  auto escapeCloses = [&](QWidget* window) {
    QMdiSubWindow* host = MainFrame::HostOf(window);
    ASSERT_TRUE(host->isVisible()) << window->objectName().toStdString();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr) << window->objectName().toStdString();
    EXPECT_TRUE(window->isAncestorOf(focused)) << window->objectName().toStdString() << " opened without the keys";
    QTest::keyClick(focused, Qt::Key_Escape);
    EXPECT_FALSE(host->isVisible()) << window->objectName().toStdString();
  };
  program->ShowAbout();
  escapeCloses(program->aboutWindow());
  program->ShowLanguage();
  escapeCloses(program->languageWindow());
  emit program->editorWindow()->optionsRequested(0);
  escapeCloses(program->optionsWindow());
  // Escape in the editor closes nothing.
  QWidget* field = program->frame()->findChild<QWidget*>("txt_Input_max_0");
  field->setFocus();
  QTest::keyClick(field, Qt::Key_Escape);
  EXPECT_TRUE(MainFrame::HostOf(program->editorWindow())->isVisible());
}

TEST_F(Layout, TheProgressFillEmptiesWhenATransferEnds) {
  start("KRV2212A");
  // Sampled once the read is well into its cells.
  int duringRead = 0;
  auto check = std::make_shared<std::function<void()>>();
  *check = [&, check] {
    int reads = 0;
    for (const QByteArray& c : unit.transcript()) reads += c.startsWith("$R");
    if (reads >= 30) duringRead = program->comm()->progress()->fillWidth();
    else clock.schedule(clock.nowMs() + 5, *check);
  };
  clock.schedule(clock.nowMs() + 5, *check);
  toggle()->click();  // opens and reads 65 cells
  EXPECT_GT(duringRead, 0);
  EXPECT_EQ(program->comm()->progress()->fillWidth(), 0);
}

TEST_F(Layout, QtsOwnWordsAndTheMenusFollowTheLanguage) {
  start("KRV2212A");
  // Italian at start: the buttons of Qt's own dialogs too.
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Annulla");
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), "&Apri");
  EXPECT_EQ(menu("mnu_help")->title(), menu("mnu_Help")->title());
  EXPECT_EQ(menu("mnu_help")->title(), "A&iuto");
  EXPECT_EQ(menu("mnu_view")->title(), "&Visualizza");
  EXPECT_EQ(menu("mnu_collaudo")->title(), "&Collaudo");
  program->SetLanguage(1);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
  for (auto [frame, comm] : std::initializer_list<std::pair<const char*, const char*>>{
           {"mnu_file", "mnu_File"}, {"mnu_view", "mnu_View"}, {"mnu_action", "mnu_Action"},
           {"mnu_prog", "mnu_Action_Program"}, {"mnu_meas", "mnu_Action_Measure"},
           {"mnu_collaudo", "mnu_Collaudo"}, {"mnu_help", "mnu_Help"}})
    EXPECT_EQ(menu(frame)->title(), menu(comm)->title()) << frame;
  EXPECT_EQ(menu("mnu_help")->title(), "&Help");
  EXPECT_EQ(menu("mnu_collaudo")->title(), "&Factory test");
  EXPECT_EQ(program->frame()->findChild<QAction*>("mnu_Collaudo_Taratura")->text(), "&Calibration");
  program->SetLanguage(0);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Annulla");
}
