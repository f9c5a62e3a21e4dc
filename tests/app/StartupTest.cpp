// The program as a user first sees it, driven through its real windows.
#include "app/ui/CommWindow.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "kernel/ui/Widgets.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "support/ScriptedPrompter.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMdiSubWindow>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace pv;
using pv::test::ScriptedPrompter;

namespace {
struct Fixture : ::testing::Test {
  MemorySerialPort port;
  FakeClock clock;
  ScriptedPrompter user;
  std::unique_ptr<Program> program;
  void SetUp() override {
    program = std::make_unique<Program>(Program::Parts{&port, &clock, &user});
    program->Startup();
  }
  template <typename T> T* find(const char* name) {
    return program->frame()->findChild<T*>(QString::fromLatin1(name));
  }
};
} // namespace

TEST_F(Fixture, StartsWithPortClosedAndStartUpIdentity) {
  auto* toggle = find<QPushButton>("Check1");
  ASSERT_NE(toggle, nullptr);
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_EQ(toggle->text(), "Apri Com");
  EXPECT_FALSE(port.isOpen());

  auto* ports = find<QComboBox>("cmb_Porta");
  ASSERT_EQ(ports->count(), 8);
  EXPECT_EQ(ports->currentText(), "COM 1");
  EXPECT_EQ(ports->itemText(7), "COM 8");

  EXPECT_EQ(find<QLabel>("lbl_device_1")->text(), "ID=12/0");
  EXPECT_EQ(find<QLabel>("lbl_device_0")->text(), "KRV 2210");
  EXPECT_EQ(program->comm()->progress()->fillWidth(), 0);
  EXPECT_EQ(program->comm()->lamp()->vbColor(), kGreen);

  EXPECT_FALSE(program->comm()->factoryMenu()->menuAction()->isVisible());
  // The frame's factory menu offers the EEPROM editor and the calibration.
  EXPECT_TRUE(program->frame()->factoryMenu()->menuAction()->isVisible());
  EXPECT_TRUE(find<QAction>("mnu_Collaudo_EEprom")->isVisible());
  EXPECT_TRUE(find<QAction>("mnu_Collaudo_Taratura")->isVisible());
  for (const char* name : {"mnu_File_Open", "mnu_File_Save", "mnu_File_SaveAs", "mnu_View_Program",
                           "mnu_Action_Program_Read", "mnu_Action_Measure_Start", "mnu_Help_About",
                           "mnu_Exit", "mnu_Lang"})
    EXPECT_NE(find<QAction>(name), nullptr) << name;
  EXPECT_EQ(find<QAction>("mnu_Help_About")->text(), "Info su PLANOVIX v.2.6");
  EXPECT_EQ(find<QAction>("mnu_Exit")->text(), "Esci");
  EXPECT_EQ(program->state().channelSelector, 1);
  EXPECT_TRUE(program->state().switchEventsEnabled);
}

TEST_F(Fixture, ToggleOpensTheChosenPortAndCloses) {
  qputenv("PLANOVIX_COM3", "/sim/unit-on-com3");
  user.setDefault(Answer::Cancel);  // no unit answers: the read gives up
  auto* ports = find<QComboBox>("cmb_Porta");
  ports->setCurrentIndex(2);
  auto* toggle = find<QPushButton>("Check1");
  toggle->click();
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.openedPath(), "/sim/unit-on-com3");
  EXPECT_TRUE(toggle->isChecked());
  EXPECT_EQ(toggle->text(), "Chiudi Com");
  toggle->click();
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(toggle->text(), "Apri Com");
  qunsetenv("PLANOVIX_COM3");
}

TEST_F(Fixture, FailedOpenShowsInUseAndReleasesTheToggle) {
  port.failNextOpen(OpenError::Busy);
  auto* toggle = find<QPushButton>("Check1");
  user.expect(Answer::Ok);
  toggle->click();
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(toggle->text(), "Apri Com");
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_TRUE(user.asked()[0].text.startsWith("Porta COM utilizzata da un altra applicazione"));
  EXPECT_EQ(user.asked()[0].title, "PLANOVIX v.2.6");
  EXPECT_EQ(user.asked()[0].icon, Icon::Critical);
}

TEST_F(Fixture, PermissionProblemNamesTheDialoutGroupInEnglish) {
  program->SetLanguage(1);
  port.failNextOpen(OpenError::Permission);
  user.expect(Answer::Ok);
  auto* toggle = find<QPushButton>("Check1");
  toggle->click();
  EXPECT_EQ(toggle->text(), "Open Com");
  ASSERT_EQ(user.asked().size(), 1u);
  EXPECT_TRUE(user.asked()[0].text.startsWith("COM Port already in use"));
  EXPECT_TRUE(user.asked()[0].text.contains("dialout"));
}

TEST_F(Fixture, ExitClosesEverythingAndSetsTheFlag) {
  program->Exit();
  EXPECT_TRUE(program->state().exitFlag);
  EXPECT_FALSE(program->frame()->isVisible());
  EXPECT_FALSE(port.isOpen());
}
