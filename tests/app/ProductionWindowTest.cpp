// The production test window in the whole program, against the simulated
// unit: it opens only by the start option, and its loops end when the port
// closes, the program exits or the window closes, leaving the unit neither
// forced nor streaming.
#include "DeviceSimulator.h"
#include "SimulatedProgram.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "factory/ProductionTest.h"
#include "factory/ui/production/ProductionWindow.h"
#include "link/DeviceLink.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace pv;

namespace {

using test::Count;

struct ProductionBench : pv::test::SimulatedProgram {
  void startOpen(const char* model = "KRV2212A") {
    SimulatedProgram::startOpen(model);
    program->ShowProductionTest();
    window = program->frame()->findChild<ProductionWindow*>("frm_test");
    ASSERT_NE(window, nullptr);
  }
  QPushButton* button(const char* name) { return window->findChild<QPushButton*>(name); }
  QLineEdit* field(const char* name) { return window->findChild<QLineEdit*>(name); }
  ProductionWindow* window = nullptr;
};

TEST_F(ProductionBench, OnlyTheStartOptionOpensTheWindow) {
  start("KRV2212A");
  EXPECT_EQ(program->frame()->findChild<ProductionWindow*>("frm_test"), nullptr);
  auto* item = program->frame()->findChild<QAction*>("mnu_test");
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(item->isVisible());
  program->ShowProductionTest();
  auto* w = program->frame()->findChild<ProductionWindow*>("frm_test");
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(item->isVisible());
  for (const char* name : {"Command6_0", "Command6_1", "Command6_2", "Command5", "Command7",
                           "Command10", "Command11", "Command8", "Command4", "Command1",
                           "Command3", "Command2"})
    EXPECT_NE(w->findChild<QPushButton*>(name), nullptr) << name;
  EXPECT_EQ(w->findChild<QLineEdit*>("Text10")->text(), "1000");
  program->SetLanguage(1);
  EXPECT_EQ(w->findChild<QGroupBox*>("fra_stab")->title(), "Stability");
  EXPECT_EQ(w->findChild<QPushButton*>("Command4")->text(), "start LINEARITY");
  program->SetLanguage(0);
  EXPECT_EQ(w->findChild<QPushButton*>("Command4")->text(), "start LINEARITA'");
}

TEST_F(ProductionBench, ClosingThePortEndsForcingWithTheUnitOutOfProgramming) {
  startOpen();
  field("Text1_2")->setText("1200");
  field("Text1_1")->setText("3000");
  at(1000, [&] {
    EXPECT_TRUE(unit.programming());
    EXPECT_TRUE(program->link().busy());
    program->frame()->findChild<QPushButton*>("Check1")->click();
  });
  button("Command11")->click();  // a+b: returns when the loop has ended
  const auto& t = unit.transcript();
  EXPECT_EQ(t.front(), "PR\r");
  EXPECT_GE(Count(t, "$I"), 2);
  EXPECT_EQ(Count(t, "$I"), Count(t, "$i"));
  EXPECT_TRUE(t.back().startsWith("$FP"));
  EXPECT_FALSE(unit.programming());
  EXPECT_EQ(unit.outputLevel(), 1200);
  EXPECT_EQ(unit.outputLevelAlt(), 3000);
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(program->link().busy());
}

TEST_F(ProductionBench, ClosingTheWindowEndsForcing) {
  startOpen();
  at(500, [&] { Program::HostOf(window)->close(); });
  button("Command7")->click();
  EXPECT_FALSE(unit.programming());
  EXPECT_GE(Count(unit.transcript(), "$I"), 2);
  EXPECT_EQ(Count(unit.transcript(), "$i"), 0);
  EXPECT_TRUE(port.isOpen());
  EXPECT_FALSE(program->productionTest().looping());
}

TEST_F(ProductionBench, AClosedPortIsOpenedForTheLoopAndClosedAgainWithTheWindow) {
  start("KRV2212A");
  program->ShowProductionTest();
  window = program->frame()->findChild<ProductionWindow*>("frm_test");
  ASSERT_FALSE(port.isOpen());
  bool openDuringLoop = false, toggleShowsIt = false;
  // The window closes while forcing: the loop ends, then the port goes back.
  at(500, [&] {
    openDuringLoop = port.isOpen();
    toggleShowsIt = program->frame()->findChild<QPushButton*>("Check1")->isChecked();
    Program::HostOf(window)->close();
  });
  button("Command7")->click();
  EXPECT_TRUE(openDuringLoop);
  EXPECT_TRUE(toggleShowsIt);
  EXPECT_FALSE(unit.programming());
  EXPECT_GE(Count(unit.transcript(), "$I"), 2);
  EXPECT_FALSE(port.isOpen());
  EXPECT_TRUE(user.asked().empty());
}

TEST_F(ProductionBench, ExitDuringTheStabilityWatchStopsTheStream) {
  startOpen();
  field("Text2")->setText("-1000000");  // every reading is out of tolerance
  field("Text1_0")->setText("1");
  at(2000, [&] {
    EXPECT_TRUE(unit.streaming());
    program->Exit();
  });
  button("Command1")->click();
  EXPECT_FALSE(unit.streaming());
  EXPECT_EQ(Count(unit.transcript(), "MI"), 1);
  EXPECT_EQ(Count(unit.transcript(), "SM"), 1);
  EXPECT_GT(window->findChild<QListWidget*>("List1")->count(), 0);
  EXPECT_TRUE(program->state().exitFlag);
}

TEST_F(ProductionBench, TheStabilityStopButtonEndsTheWatch) {
  startOpen();
  at(1500, [&] { button("Command3")->click(); });
  button("Command1")->click();
  EXPECT_FALSE(unit.streaming());
  EXPECT_FALSE(program->link().busy());
  EXPECT_TRUE(port.isOpen());
  button("Command2")->click();
  EXPECT_EQ(window->findChild<QListWidget*>("List1")->count(), 0);
}

} // namespace
