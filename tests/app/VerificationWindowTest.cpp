// The verification windows: the set-up window against scripted instruments
// (what each button sends, the messages, the report shown), and the
// verification window in the whole program against the simulated unit (the
// download through the configuration write, the port checks).
#include "SimulatedProgram.h"
#include "app/ui/MainFrame.h"
#include "config/ui/EditorWindow.h"
#include "factory/Verification.h"
#include "factory/ui/verification/VerificationWindow.h"
#include "kernel/ui/Widgets.h"
#include "support/VerificationBench.h"
#include "text/Texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <map>

namespace pv::test {
namespace {

struct Windows : VerificationBench {
  bool portOpen = false;
  VerificationWindow window{state, core, prompter, [this] { return portOpen; }};
  InstrumentSetupWindow setup{state, core, prompter};

  Windows() {
    window.setSetupWindow(&setup);
    window.openFresh();
  }
  template <typename T> T* find(const char* name) {
    T* w = window.findChild<T*>(QLatin1String(name));
    if (!w) w = setup.findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void click(const char* name) { find<QPushButton>(name)->click(); }
  void choose(const char* combo, const QString& text) {
    QComboBox* c = find<QComboBox>(combo);
    const int i = c->findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    c->setCurrentIndex(i);
    emit c->activated(i);
  }
};

TEST(VerificationSetupWindow, FramesAppearOnceAModeIsChosen) {
  Windows w;
  w.click("comm_strum");
  EXPECT_EQ(w.find<QLabel>("Label1")->text(), "Selezionare Modo di taratura:");
  EXPECT_TRUE(w.find<QGroupBox>("alimentatore")->isHidden());
  EXPECT_TRUE(w.find<QPushButton>("imp_strum")->isHidden());
  w.choose("mode_aut_man", "Manuale");
  EXPECT_EQ(w.find<QLabel>("Label1")->text(), "Modo di taratura: Manuale");
  for (const char* f : {"alimentatore", "multimetro", "Calibratore", "un_switch"})
    EXPECT_FALSE(w.find<QGroupBox>(f)->isHidden()) << f;
  EXPECT_EQ(w.find<QComboBox>("calibratore_in")->count(), 18);
  EXPECT_EQ(w.find<QComboBox>("calibratore_in")->itemText(1), "mVH: (-200 : 800)");
  EXPECT_EQ(w.find<QComboBox>("disp_un_sw")->count(), 14);
  EXPECT_EQ(w.setup.windowTitle(), "Impostazione strumenti");
  EXPECT_EQ(w.window.windowTitle(), "Verifica taratura");
}

TEST(VerificationSetupWindow, SupplyRefuses17Point9AndSends24) {
  Windows w;
  w.find<QLineEdit>("val_alim_ver")->setText("17.9");
  w.prompter.expect(Answer::Ok);
  w.click("set_al");
  EXPECT_EQ(w.lastMessage(), "Valore di alimentazione errato!");
  EXPECT_TRUE(w.supplyWrites.empty());
  w.find<QLineEdit>("val_alim_ver")->setText("24");
  w.click("set_al");
  EXPECT_EQ(w.supplyWrites, (std::vector<QByteArray>{"SV 24.00\r", "KOE\r"}));
}

TEST(VerificationSetupWindow, ChoosingADeviceShowsItsChannelSelector) {
  Windows w;
  EXPECT_TRUE(w.find<QComboBox>("sel_can_usw")->isHidden());
  w.choose("disp_un_sw", "KRV2212A");
  EXPECT_FALSE(w.find<QComboBox>("sel_can_usw")->isHidden());
  EXPECT_EQ(w.find<QLabel>("lbl_canale")->text(), "Impostare canale di uscita");
  w.choose("disp_un_sw", "KRV2211B");
  EXPECT_EQ(w.find<QLabel>("lbl_canale")->text(), "Impostare canale di misura");
  w.choose("sel_can_usw", "Canale 1");
  w.prompter.expect(Answer::Ok);
  w.click("set_usw");
  EXPECT_EQ(w.lastMessage(), "secondo canale di uscita non tarabile");
  EXPECT_TRUE(w.switchWrites.empty());
}

TEST(VerificationSetupWindow, AVoltRunFillsTheReportAndTheLampFollowsTheDownload) {
  Windows w;
  w.core.setDownload([] { return DownloadOutcome::Written; });
  w.click("Send_prog");
  EXPECT_EQ(w.find<QLabel>("Label1_0")->text(), "OK");
  EXPECT_EQ(w.find<Lamp>("Spia_verifica")->vbColor(), kGreen);
  w.choose("calibratore_in", "V");
  w.choose("outvi", "V");
  w.find<QLineEdit>("minimo")->setText("0");
  w.find<QLineEdit>("mezzo_scala")->setText("5");
  w.find<QLineEdit>("massimo")->setText("10");
  w.readings = {"0.0012\r\n", "5.0004\r\n", "10.0031\r\n"};
  w.click("set_cali");
  const QString text = w.find<QPlainTextEdit>("report_ver")->toPlainText();
  EXPECT_EQ(text, QStringLiteral("Download completato. Programmazioni effettuate:     1\n"
                                 "Impostare strumentazione\n"
                                 "Taratura in corso N\u00b0 : 1 V Range: 0 \u00f7 10 V\n"
                                 "Valore di zero: 00.001 V\n"
                                 "Valore di 1/2 scala: 05.000 V\n"
                                 "Valore di span: 10.003 V\n"
                                 "Taratura dispositivo N\u00b0 1 : terminata\n"
                                 "__________________________________________________________\n"));
  EXPECT_TRUE(w.find<QPushButton>("set_cali")->isEnabled());

  QTemporaryDir dir;
  w.prompter.expectFile(dir.filePath("verifica.txt"));
  w.click("salva_report");
  QFile f(dir.filePath("verifica.txt"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(f.readAll()), text);
}

TEST(VerificationSetupWindow, AllInstrumentsSkipsTheUntickedAndStopsAtARefusal) {
  Windows w;
  w.find<QCheckBox>("Check_alim_ver")->setChecked(false);
  w.choose("outvi", "mA");
  w.choose("disp_un_sw", "KRV2210");
  w.choose("sel_can_usw", "Canale 0");
  // No calibrator input chosen: the run refuses after the other three.
  w.prompter.expect(Answer::Ok);
  w.click("imp_strum");
  EXPECT_EQ(w.lastMessage(), "Impostare calibratore");
  EXPECT_TRUE(w.supplyWrites.empty());
  EXPECT_EQ(w.meterWrites, (std::vector<QByteArray>{":SYST:REM\r\n", ":CONF:CURR:DC\r\n"}));
  EXPECT_EQ(w.switchWrites.size(), 5u);  // the channel only: no input chosen
  EXPECT_TRUE(w.calWire.isEmpty());
  // A refused meter stops the rest.
  w.switchWrites.clear();
  w.find<QComboBox>("outvi")->setCurrentIndex(-1);
  w.prompter.expect(Answer::Ok);
  w.click("imp_strum");
  EXPECT_EQ(w.lastMessage(), "Impostare tipo di uscita");
  EXPECT_TRUE(w.switchWrites.empty());
}

TEST(VerificationSetupWindow, StopSwitchesTheSupplyOff) {
  Windows w;
  w.click("stop_ver");
  EXPECT_EQ(w.supplyWrites, (std::vector<QByteArray>{"SV 24.00\r", "KOD\r"}));
  EXPECT_EQ(w.find<QLabel>("Label1_0")->text(), "STOP");
  EXPECT_EQ(w.find<Lamp>("Spia_verifica")->vbColor(), kRed);
}

TEST(VerificationSetupWindow, DuringARunOnlyStopIsLive) {
  Windows w;
  w.choose("calibratore_in", "mA");
  w.choose("outvi", "mA");
  w.find<QLineEdit>("minimo")->setText("4");
  w.find<QLineEdit>("massimo")->setText("20");
  w.readings = {"0.004\r\n", "0.012\r\n", "0.020\r\n"};
  std::map<std::string, bool> enabled;
  // While the run waits before its half-scale point.
  w.clock.schedule(9500, [&] {
    for (const char* b : {"set_cali", "set_al", "imp_strum", "comm_strum", "Send_prog", "stop_ver"})
      enabled[b] = w.find<QPushButton>(b)->isEnabled();
    w.click("stop_ver");
  });
  w.click("set_cali");
  EXPECT_EQ(enabled, (std::map<std::string, bool>{{"set_cali", false}, {"set_al", false}, {"imp_strum", false},
                                                  {"comm_strum", false}, {"Send_prog", false}, {"stop_ver", true}}));
  const QString text = w.find<QPlainTextEdit>("report_ver")->toPlainText();
  EXPECT_TRUE(text.endsWith("Valore di zero: 04.000 mA\nVerifica interrotta (STOP)\n")) << text.toStdString();
  EXPECT_EQ(w.supplyWrites.back(), "KOD\r");
  EXPECT_TRUE(w.find<QPushButton>("set_cali")->isEnabled());
  EXPECT_TRUE(w.find<QPushButton>("comm_strum")->isEnabled());
}

// ---------------------------------------------------------------- in the program

struct VerificationProgram : SimulatedProgram {
  VerificationWindow* window = nullptr;
  void startVerification(bool openPort) {
    start("KRV2212A");
    if (openPort) {
      program->frame()->findChild<QPushButton*>("Check1")->click();
      ASSERT_TRUE(port.isOpen());
    }
    unit.clearTranscript();
    program->ShowVerification();
    window = program->frame()->findChild<VerificationWindow*>("frm_verifica");
    ASSERT_NE(window, nullptr);
  }
  QString report() const { return window->findChild<QPlainTextEdit*>("report_ver")->toPlainText(); }
  void click(const char* name) { window->findChild<QPushButton*>(QLatin1String(name))->click(); }
};

TEST_F(VerificationProgram, DownloadWritesTheEditorsConfigurationAndCountsIt) {
  startVerification(true);
  EXPECT_TRUE(Program::HostOf(window)->isVisible());
  EXPECT_EQ(window->findChild<QLabel*>("Label1_0")->text(), "STOP");
  click("Send_prog");
  int writes = 0;
  for (const QByteArray& c : unit.transcript()) writes += c.startsWith("$W");
  EXPECT_GT(writes, 0);
  EXPECT_EQ(report(), "Download completato. Programmazioni effettuate:     1\nImpostare strumentazione");
  EXPECT_EQ(window->findChild<QLabel*>("Label1_0")->text(), "OK");
  click("Send_prog");
  EXPECT_TRUE(report().startsWith("Download completato. Programmazioni effettuate:     2\n"));
  // Opening again starts the count afresh.
  program->ShowVerification();
  EXPECT_TRUE(report().isEmpty());
  EXPECT_EQ(program->verification().count(), 0);
  EXPECT_TRUE(user.allAnswered());
}

TEST_F(VerificationProgram, APortThatCannotBeOpenedSendsNothing) {
  startVerification(false);
  // The download opens the unit through the session; here the port is taken.
  port.failNextOpen(OpenError::Busy);
  user.expect(Answer::Ok);
  click("Send_prog");
  EXPECT_TRUE(user.asked().back().text.startsWith(Tr(program->state(), 67)));
  EXPECT_EQ(report(), "Errore di comunicazione");
  EXPECT_EQ(window->findChild<QLabel*>("Label1_0")->text(), "STOP");
  user.expect(Answer::Ok);
  click("prog_def");
  EXPECT_EQ(user.asked().back().text, "Porta Com non aperta");
  user.expect(Answer::Ok);
  click("prog_man");
  EXPECT_EQ(user.asked().back().text, "Porta Com non aperta");
  EXPECT_TRUE(unit.transcript().isEmpty());
}

TEST_F(VerificationProgram, PrepButtonsShowTheSetupAndTheConfigurationWindows) {
  startVerification(true);
  click("comm_strum");
  EXPECT_TRUE(Program::HostOf(program->instrumentSetupWindow())->isVisible());
  Program::HostOf(program->editorWindow())->hide();
  click("prog_man");
  EXPECT_TRUE(Program::HostOf(program->editorWindow())->isVisible());
  click("prog_def");  // port open: nothing to do, nothing asked
  EXPECT_TRUE(user.allAnswered());
}

} // namespace
} // namespace pv::test
