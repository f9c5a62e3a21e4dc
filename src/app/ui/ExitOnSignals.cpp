#include "app/ui/ExitOnSignals.h"

#include "app/TerminationSignals.h"
#include "app/ui/Program.h"

#include <QApplication>
#include <QDialog>

namespace pv {

void ExitOnSignals(TerminationSignals& stops, Program& program) {
  QObject::connect(&stops, &TerminationSignals::received, &program, [&program] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    program.Exit();
  });
}

} // namespace pv
