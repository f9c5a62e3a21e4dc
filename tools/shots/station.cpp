// The gang station window during a run against simulators (tools/shots/station.sh):
// one PNG while units are written, one once every slot has its outcome.
//   planovix-shots-station DIR FILE.DST PORTS LANGUAGE
#include "config/ui/StationWindow.h"
#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

using namespace pv;

namespace {
class NoPrompter final : public Prompter {
public:
  Answer ask(const QString&, const QString&, Buttons, Icon) override { return Answer::Cancel; }
  std::optional<QString> askText(const QString&, const QString&, const QString&) override { return {}; }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }
};

void Wait(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 50);
}
} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 5) {
    std::fprintf(stderr, "usage: planovix-shots-station DIR FILE.DST PORTS LANGUAGE\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  AppState state;
  state.languageIndex = static_cast<uint8_t>(QByteArray(argv[4]).toInt());
  state.languageOffset = ComputeLanguageOffset(state.languageIndex);
  NoPrompter prompter;
  StationWindow w(state, prompter);
  w.setFile(QString::fromLocal8Bit(argv[2]));
  w.setPorts(QString::fromLocal8Bit(argv[3]));
  w.resize(900, 560);
  w.show();
  const QString suffix = state.languageIndex == 0 ? QStringLiteral("-it") : QStringLiteral("-en");
  w.startAll();
  Wait(2500);
  w.grab().save(dir + QStringLiteral("/station-writing") + suffix + QStringLiteral(".png"));
  Wait(9000);
  w.grab().save(dir + QStringLiteral("/station-done") + suffix + QStringLiteral(".png"));
  w.stopAll();
  while (w.running()) QApplication::processEvents(QEventLoop::AllEvents, 50);
  return 0;
}
