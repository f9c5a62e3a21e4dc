// PLANOVIX: configuration program for the signal conditioners.
#include "app/TerminationSignals.h"
#include "app/ui/ExitOnSignals.h"
#include "app/ui/Program.h"
#include "kernel/Version.h"
#include "link/UnitSession.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstring>

namespace {

struct Options {
  QCommandLineParser parser;
  // The production bench's window has no menu item; the factory opens it
  // with this option.
  QCommandLineOption productionTest{
      QStringLiteral("production-test"),
      QStringLiteral("Open the production test window (function generator, output forcing, "
                     "stability and frequency sweep).")};
  // Calibration verification, until the calibration window opens it.
  QCommandLineOption verification{
      QStringLiteral("verification"),
      QStringLiteral("Open the calibration verification window (download, instrument set-up, report).")};
  // A bench whose unit sits on another port than COM 1 starts with it chosen.
  QCommandLineOption port{QStringLiteral("port"),
                          QStringLiteral("The unit's port at start: COM <n>, 1 to 8 (default 1)."),
                          QStringLiteral("n"), QStringLiteral("1")};
  // A production line opens the gang station straight away.
  QCommandLineOption station{QStringLiteral("station"),
                             QStringLiteral("Open the gang programming station with FILE (.DST) to write."),
                             QStringLiteral("FILE")};

  Options() {
    parser.setApplicationDescription(QStringLiteral("PLANOVIX: signal conditioner configuration"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({productionTest, verification, port, station});
  }
};

void Name() {
  QCoreApplication::setApplicationName(QStringLiteral("PLANOVIX"));
  QCoreApplication::setApplicationVersion(QStringLiteral(PLANOVIX_VERSION));
}

// --help and --version print and end before any window exists, so they work
// over ssh and on a console with no display.
bool AsksOnlyForText(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    for (const char* o : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
      if (std::strcmp(argv[i], o) == 0) return true;
  }
  return false;
}

} // namespace

int main(int argc, char** argv) {
  if (AsksOnlyForText(argc, argv)) {
    QCoreApplication text(argc, argv);
    Name();
    // --version names the command, as every other program's does.
    QCoreApplication::setApplicationName(QStringLiteral("planovix"));
    Options options;
    options.parser.process(text);  // prints and exits
    return 0;
  }
  QApplication app(argc, argv);
  Name();
  // The installed desktop entry and icon carry this name; desktops match the
  // running window to them by it.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.planovix.Planovix"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.planovix.Planovix")));
  Options options;
  options.parser.process(app);
  pv::Program program;
  program.Startup();
  program.session().choosePort(options.parser.value(options.port).toInt());
  // A session logout, a closed terminal or Ctrl+C does what Exit does.
  pv::TerminationSignals stops;
  pv::ExitOnSignals(stops, program);
  if (options.parser.isSet(options.productionTest)) program.ShowProductionTest();
  if (options.parser.isSet(options.verification)) program.ShowVerification();
  if (options.parser.isSet(options.station)) program.ShowStation(options.parser.value(options.station));
  return app.exec();
}
