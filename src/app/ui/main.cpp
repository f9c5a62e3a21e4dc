// PLANOVIX: configuration program for the signal conditioners.
#include "app/ui/Program.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("PLANOVIX"));
  pv::Program program;
  program.Startup();
  return app.exec();
}
