#include "factory/FunctionGenerator.h"

namespace pv {

bool FunctionGenerator::openLink() {
  dropSession();
  return ScpiInstrument::openLink();
}

bool FunctionGenerator::refuseValue(const QString& value) {
  return fail(tr(instrument_text::kOutOfRange).arg(name(), value));
}

bool FunctionGenerator::write(const QByteArray& command) {
  Exchange ex(*this);
  if (!ex) return false;
  if (!isOpen() && !openLink()) return false;
  if (!session().write(command)) {
    const QString why = session().errorString();
    dropSession();
    return failComm(why);
  }
  return true;
}

} // namespace pv
