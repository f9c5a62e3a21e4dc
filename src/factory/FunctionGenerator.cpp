#include "factory/FunctionGenerator.h"

namespace pv {

bool FunctionGenerator::openLink() {
  const InstrumentPort p = where();
  session_.reset();
  if (p.kind != PortKind::Session) return fail(tr(instrument_text::kBadPort).arg(name(), p.text));
  session_ = sessions_ ? sessions_(p.target) : nullptr;
  if (!session_) return fail(tr(instrument_text::kCannotOpen).arg(name(), p.target, QStringLiteral("unknown resource kind")));
  if (!session_->open(p.target, kGeneratorOpenMs)) {
    const QString why = session_->errorString();
    session_.reset();
    return fail(tr(instrument_text::kCannotOpen).arg(name(), p.target, why));
  }
  session_->setIoTimeoutMs(ioTimeoutMs_);
  return true;
}

bool FunctionGenerator::refuseValue(const QString& value) {
  return fail(tr(instrument_text::kOutOfRange).arg(name(), value));
}

void FunctionGenerator::setIoTimeoutMs(int ms) {
  ioTimeoutMs_ = ms;
  if (session_) session_->setIoTimeoutMs(ms);
}

bool FunctionGenerator::write(const QByteArray& command) {
  Exchange ex(*this);
  if (!ex) return false;
  if (!isOpen() && !openLink()) return false;
  if (!session_->write(command)) {
    const QString why = session_->errorString();
    session_.reset();
    return failComm(why);
  }
  return true;
}

} // namespace pv
