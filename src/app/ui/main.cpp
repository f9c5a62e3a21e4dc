// PLANOVIX: configuration program for the signal conditioners.
#include "app/TerminationSignals.h"
#include "app/ui/ExitOnSignals.h"
#include "app/ui/Program.h"
#include "link/UnitSession.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("PLANOVIX"));
  // The installed desktop entry and icon carry this name; desktops match the
  // running window to them by it.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.planovix.Planovix"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.planovix.Planovix")));
  QCommandLineParser options;
  options.setApplicationDescription(QStringLiteral("PLANOVIX: signal conditioner configuration"));
  options.addHelpOption();
  // The production bench's window has no menu item; the factory opens it
  // with this option.
  const QCommandLineOption productionTest(
      QStringLiteral("production-test"),
      QStringLiteral("Open the production test window (function generator, output forcing, "
                     "stability and frequency sweep)."));
  options.addOption(productionTest);
  // Calibration verification, until the calibration window opens it.
  const QCommandLineOption verification(
      QStringLiteral("verification"),
      QStringLiteral("Open the calibration verification window (download, instrument set-up, report)."));
  options.addOption(verification);
  // A bench whose unit sits on another port than COM 1 starts with it chosen.
  const QCommandLineOption port(QStringLiteral("port"),
                                QStringLiteral("The unit's port at start: COM <n>, 1 to 8 (default 1)."),
                                QStringLiteral("n"), QStringLiteral("1"));
  options.addOption(port);
  // A production line opens the gang station straight away.
  const QCommandLineOption station(QStringLiteral("station"),
                                   QStringLiteral("Open the gang programming station with FILE (.DST) to write."),
                                   QStringLiteral("FILE"));
  options.addOption(station);
  options.process(app);
  pv::Program program;
  program.Startup();
  program.session().choosePort(options.value(port).toInt());
  // A session logout, a closed terminal or Ctrl+C does what Exit does.
  pv::TerminationSignals stops;
  pv::ExitOnSignals(stops, program);
  if (options.isSet(productionTest)) program.ShowProductionTest();
  if (options.isSet(verification)) program.ShowVerification();
  if (options.isSet(station)) program.ShowStation(options.value(station));
  return app.exec();
}
