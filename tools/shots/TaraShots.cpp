// Renders the calibration window during a run on a real (or simulated)
// bench: the program on its real ports and clock, "2212 A" chosen, START
// pressed; one picture while a row runs, then STOP, one picture at the end.
// tools/shots/tara.sh runs it against planovix-benchsim under a virtual
// display. Questions are answered on their own (Ignore, OK) and printed.
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "factory/ui/calibration/CalibrationWindow.h"
#include "kernel/Prompter.h"

#include "Shots.h"
#include "link/UnitSession.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>

using namespace pv;

namespace {

class UnattendedPrompter final : public Prompter {
public:
  Answer ask(const QString&, const QString& text, Buttons buttons, Icon) override {
    std::fprintf(stderr, "question: %s\n", qPrintable(text));
    switch (buttons) {
      case Buttons::AbortRetryIgnore: return Answer::Ignore;
      case Buttons::RetryCancel:
      case Buttons::OkCancel: return Answer::Cancel;
      case Buttons::YesNo: return Answer::No;
      case Buttons::Ok: break;
    }
    return Answer::Ok;
  }
  std::optional<QString> askText(const QString&, const QString& prompt, const QString&) override {
    std::fprintf(stderr, "prompt: %s\n", qPrintable(prompt));
    return std::nullopt;
  }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }
};

void Save(QWidget* w, const QString& dir, const QString& name) {
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
  const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
  if (!w->grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  else std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  // The row whose run is pictured (default 13: channel B's 200 mV).
  const int row = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 13;
  QDir().mkpath(dir);
  UnattendedPrompter user;
  Program program(Program::Parts{nullptr, nullptr, &user});
  program.Startup();
  // The bench has the unit on COM 2: the operator chooses it.
  program.session().choosePort(2);
  program.ShowCalibration();
  CalibrationWindow* w = program.calibrationWindow();
  w->findChild<QRadioButton*>(QStringLiteral("opt_modello_5"))->click();
  auto* watched = w->findChild<QCheckBox*>(QStringLiteral("chk_tara_%1").arg(row));

  // While the run goes on: once the row has run a few seconds, picture it
  // and press STOP.
  QTimer poll;
  int seen = 0;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!watched->autoFillBackground() || watched->palette().color(QPalette::Window) != QColor(255, 255, 0)) return;
    if (++seen < 15) return;
    poll.stop();
    Save(Program::HostOf(w), dir, QStringLiteral("frm_tara_run"));
    Save(program.frame(), dir, QStringLiteral("frm_tara_main"));
    shots::SaveDesktop(QStringLiteral("frm_tara_run"));
    w->findChild<QPushButton*>(QStringLiteral("Command5"))->click();
  });
  poll.start(200);
  QTimer::singleShot(200, [&] {
    w->findChild<QPushButton*>(QStringLiteral("Command2"))->click();  // returns when the run has ended
    Save(Program::HostOf(w), dir, QStringLiteral("frm_tara_end"));
    shots::SaveDesktop(QStringLiteral("frm_tara_end"));
    program.Exit();
    QTimer::singleShot(500, &app, &QApplication::quit);
  });
  return app.exec();
}
