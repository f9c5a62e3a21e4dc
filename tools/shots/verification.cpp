// Renders the calibration verification windows during and after a run on
// the simulated bench: the unit on "COM 1", the instruments on the
// calibration window's starting selectors (Com3..Com6), as
// tools/shots/verification.sh arranges. Used to look at the windows.
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "factory/ui/verification/VerificationWindow.h"

#include "Shots.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

using namespace pv;

namespace {
void Settle() {
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
}

void Save(QWidget* w, const QString& dir, const QString& name) {
  Settle();
  const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
  if (!w->grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  else std::printf("%s\n", qPrintable(path));
}

void Choose(QWidget* in, const char* name, const QString& text) {
  auto* c = in->findChild<QComboBox*>(QLatin1String(name));
  const int i = c ? c->findText(text) : -1;
  if (i < 0) return;
  c->setCurrentIndex(i);
  emit c->activated(i);
}

void Type(QWidget* in, const char* name, const QString& text) {
  if (auto* e = in->findChild<QLineEdit*>(QLatin1String(name))) e->setText(text);
}
} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  const QString model = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("KRV2210");
  QDir().mkpath(dir);
  Program program;
  program.Startup();
  Settle();
  program.frame()->findChild<QPushButton*>(QStringLiteral("Check1"))->click();
  Settle();
  program.ShowVerification();
  VerificationWindow* window = program.verificationWindow();
  window->findChild<QPushButton*>(QStringLiteral("Send_prog"))->click();
  window->findChild<QPushButton*>(QStringLiteral("comm_strum"))->click();
  InstrumentSetupWindow* setup = program.instrumentSetupWindow();
  Choose(setup, "mode_aut_man", QStringLiteral("Automatico"));
  Type(setup, "val_alim_ver", QStringLiteral("24"));
  Choose(setup, "outvi", QStringLiteral("V"));
  Choose(setup, "calibratore_in", QStringLiteral("Pt100"));
  Type(setup, "minimo", QStringLiteral("0"));
  Type(setup, "mezzo_scala", QStringLiteral("50"));
  Type(setup, "massimo", QStringLiteral("100"));
  Choose(setup, "disp_un_sw", model);
  Choose(setup, "sel_can_usw", QStringLiteral("Canale 0"));
  Settle();
  Save(Program::HostOf(setup), dir, QStringLiteral("verification_setup_it"));
  // During the run: the half-scale point is being applied.
  QTimer::singleShot(13000, [&] {
    Save(Program::HostOf(window), dir, QStringLiteral("verification_running_it"));
    Save(program.frame(), dir, QStringLiteral("main_verification_running_it"));
  });
  setup->findChild<QPushButton*>(QStringLiteral("imp_strum"))->click();
  Save(Program::HostOf(window), dir, QStringLiteral("verification_it"));
  Save(program.frame(), dir, QStringLiteral("main_verification_it"));
  shots::SaveDesktop(QStringLiteral("verification_it"));
  program.SetLanguage(1);
  Save(program.frame(), dir, QStringLiteral("main_verification_en"));
  shots::SaveDesktop(QStringLiteral("verification_en"));
  program.Exit();
  return 0;
}
