// The EEPROM window in the running program, against a simulated unit:
// opened from the frame's factory menu, its buttons bound to the editor
// core, its device buttons waiting while the link is busy.
#include "SimulatedProgram.h"

#include "factory/EepromEditor.h"
#include "factory/ui/EepromWindow.h"
#include "app/ui/MainFrame.h"
#include "link/DeviceLink.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

using namespace pv;

namespace {
struct EepromBench : pv::test::SimulatedProgram {
  template <typename T> T* find(const QString& name) {
    T* w = program->frame()->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  void open(const char* model = "KRV2212A") {
    start(model);
    find<QComboBox>("cmb_Porta")->setCurrentIndex(0);
    find<QPushButton>("Check1")->click();
    find<QAction>("mnu_Collaudo_EEprom")->trigger();
    ASSERT_NE(program->eepromWindow(), nullptr);
    unit.clearTranscript();
  }
  QPushButton* button(int i) { return find<QPushButton>(QStringLiteral("Command%1").arg(i)); }
  QListWidget* list(int i) { return find<QListWidget>(QStringLiteral("List%1").arg(i)); }
  QLineEdit* field(const char* name) { return find<QLineEdit>(QLatin1String(name)); }
  int writes() const {
    int n = 0;
    for (const QByteArray& c : unit.transcript()) n += c.startsWith("$W");
    return n;
  }
};
} // namespace

TEST_F(EepromBench, TheFactoryMenuOpensTheWindowWithItsControls) {
  open();
  QMenu* collaudo = program->frame()->factoryMenu();
  EXPECT_TRUE(collaudo->menuAction()->isVisible());
  EXPECT_EQ(collaudo->title(), "&Collaudo");
  EXPECT_TRUE(collaudo->actions().contains(find<QAction>("mnu_Collaudo_EEprom")));
  EepromWindow* w = program->eepromWindow();
  EXPECT_EQ(w->objectName(), "frm_eeprom");
  EXPECT_TRUE(Program::HostOf(w)->isVisible());
  EXPECT_EQ(Program::HostOf(w)->windowTitle(), "EEPROM");
  EXPECT_EQ(button(3)->text(), "Leggi EEprom");
  EXPECT_EQ(button(5)->text(), "Scrivi EEprom");
  EXPECT_EQ(button(6)->text(), "Salva su file EEprom.dat");
  EXPECT_EQ(button(2)->text(), "Carica da file EEprom.dat");
  EXPECT_EQ(button(7)->text(), "Verifica");
  EXPECT_EQ(button(1)->text(), "Leggi");
  EXPECT_EQ(button(4)->text(), "Scrivi");
  for (const char* name : {"txt_banco", "txt_start", "txt_valore", "txt_valoreA", "txt_valoreB", "txt_valoreC"})
    EXPECT_NE(field(name), nullptr) << name;
  EXPECT_TRUE(find<QRadioButton>("Option2_0")->isChecked());
  program->SetLanguage(1);
  EXPECT_EQ(button(3)->text(), "Read EEprom");
  EXPECT_EQ(button(7)->text(), "Verify");
}

TEST_F(EepromBench, ReadAllThenVerifyShowsZeroErrors) {
  open();
  button(3)->click();
  ASSERT_EQ(list(1)->count(), 256);
  EXPECT_EQ(list(1)->item(0)->text(), QStringLiteral(" 0\t %1").arg(unit.cell(0, 0)));
  EXPECT_EQ(list(1)->item(255)->text(), QStringLiteral(" 255\t %1").arg(unit.cell(0, 255)));
  user.expect(Answer::Ok);
  button(7)->click();
  ASSERT_FALSE(user.asked().empty());
  EXPECT_EQ(user.asked().back().text, " 0 errori");
  EXPECT_EQ(user.asked().back().icon, Icon::Information);
  EXPECT_EQ(list(2)->count(), 0);
  EXPECT_EQ(writes(), 0);
}

TEST_F(EepromBench, IntReadThroughTheFields) {
  open();
  unit.setCell(0, 0x50, 0x34);
  unit.setCell(0, 0x51, 0x12);
  field("txt_start")->setText("80");
  find<QRadioButton>("Option2_1")->click();
  button(1)->click();
  EXPECT_EQ(field("txt_valore")->text(), "4660");
  EXPECT_EQ(field("txt_valoreA")->text(), "52");
  EXPECT_EQ(field("txt_valoreB")->text(), "18");
  EXPECT_EQ(field("txt_valoreC")->text(), "0");
}

TEST_F(EepromBench, FloatWriteAtAnotherBankFillsTheRawFields) {
  open();
  field("txt_banco")->setText("2");
  field("txt_start")->setText("30");
  find<QRadioButton>("Option2_2")->click();
  field("txt_valore")->setText("-2.5");
  button(4)->click();
  EXPECT_EQ(field("txt_valoreA")->text(), "192");
  EXPECT_EQ(field("txt_valoreB")->text(), "32");
  EXPECT_EQ(field("txt_valoreC")->text(), "0");
  EXPECT_EQ(unit.cell(2, 30), 0xC0);
  EXPECT_EQ(unit.cell(2, 31), 0x20);
  EXPECT_EQ(unit.cell(2, 32), 0x00);
}

TEST_F(EepromBench, WriteAllAsksThenWritesBankZeroWhateverTheBankField) {
  open();
  button(3)->click();
  field("txt_banco")->setText("9");
  list(1)->item(3)->setText(" 3\t 77");  // edited by hand
  user.expect(Answer::Ok);
  button(5)->click();
  EXPECT_EQ(user.asked().back().buttons, Buttons::OkCancel);
  EXPECT_EQ(writes(), 256);
  for (const QByteArray& c : unit.transcript())
    if (c.startsWith("$W")) {
      EXPECT_EQ(c[2], '\0');
    }
  EXPECT_EQ(unit.cell(0, 3), 77);
  EXPECT_TRUE(user.allAnswered());
}

TEST_F(EepromBench, AnEditedLineOutsideAByteIsRefusedAndNothingIsWritten) {
  open();
  button(3)->click();
  list(1)->item(10)->setText(" 10\t 300");
  user.expect(Answer::Ok);
  button(5)->click();
  ASSERT_FALSE(user.asked().empty());
  EXPECT_TRUE(user.asked().back().text.startsWith("Riga 11: \"300\"")) << user.asked().back().text.toStdString();
  EXPECT_EQ(writes(), 0);
}

TEST_F(EepromBench, DeviceButtonsWaitWhileTheLinkIsBusy) {
  open();
  bool seenDisabled = false, fileButtonsEnabled = false;
  program->link().run(Exchange::Read, [&] {
    seenDisabled = !button(3)->isEnabled() && !button(5)->isEnabled() && !button(7)->isEnabled() &&
                   !button(1)->isEnabled() && !button(4)->isEnabled();
    fileButtonsEnabled = button(6)->isEnabled() && button(2)->isEnabled();
  });
  EXPECT_TRUE(seenDisabled);
  EXPECT_TRUE(fileButtonsEnabled);
  EXPECT_TRUE(button(3)->isEnabled());
}

TEST_F(EepromBench, ClosingHidesAndKeepsTheList) {
  open();
  button(3)->click();
  Program::HostOf(program->eepromWindow())->close();
  EXPECT_FALSE(Program::HostOf(program->eepromWindow())->isVisible());
  find<QAction>("mnu_Collaudo_EEprom")->trigger();
  EXPECT_TRUE(Program::HostOf(program->eepromWindow())->isVisible());
  EXPECT_EQ(list(1)->count(), 256);
}

TEST_F(EepromBench, WithThePortClosedTheWindowOpensTheUnitAndHandsItBackClosed) {
  start("KRV2212A");
  find<QAction>("mnu_Collaudo_EEprom")->trigger();
  auto* toggle = find<QPushButton>("Check1");
  ASSERT_FALSE(port.isOpen());
  button(3)->click();  // "Leggi EEprom" opens the port the communication window shows
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(list(1)->count(), 256);
  EXPECT_TRUE(toggle->isChecked());
  EXPECT_FALSE(find<QComboBox>("cmb_Porta")->isEnabled());
  EXPECT_TRUE(user.asked().empty());
  Program::HostOf(program->eepromWindow())->close();
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(toggle->isChecked());
}
