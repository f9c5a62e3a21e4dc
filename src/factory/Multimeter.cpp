#include "factory/Multimeter.h"

#include "link/SerialPort.h"

namespace pv {

namespace {

QByteArray FunctionWord(MeterFunction f) {
  return f == MeterFunction::Volt ? QByteArrayLiteral("VOLT") : QByteArrayLiteral("CURR");
}

bool HasLineEnd(const QByteArray& b) { return b.contains('\n') || b.contains('\r'); }

} // namespace

QByteArrayList MeterSerialSetup(bool remote, MeterFunction f) {
  if (!remote) return {QByteArrayLiteral(":SYST:LOC")};
  return {QByteArrayLiteral(":SYST:REM"), ":CONF:" + FunctionWord(f) + ":DC"};
}

QByteArrayList MeterSessionSetup(MeterFunction f) {
  return {f == MeterFunction::Volt ? QByteArrayLiteral("CONF:VOLT:DC 100,0.001")
                                   : QByteArrayLiteral("CONF:CURR:DC .1,0.001"),
          "SENS:" + FunctionWord(f) + ":DC:NPLC 1"};
}

bool Multimeter::openSession(const InstrumentPort& p) {
  if (session_ && session_->isOpen() && session_->resource() == p.target) return true;
  session_.reset();
  session_ = sessions_ ? sessions_(p.target) : nullptr;
  if (!session_) return fail(tr(instrument_text::kCannotOpen).arg(name(), p.target, QStringLiteral("unknown resource kind")));
  if (!session_->open(p.target, kSessionOpenMs)) {
    const QString why = session_->errorString();
    session_.reset();
    return fail(tr(instrument_text::kCannotOpen).arg(name(), p.target, why));
  }
  return true;
}

bool Multimeter::openLink() {
  const InstrumentPort p = where();
  if (p.kind == PortKind::Session) return openSession(p);
  return Instrument::openLink();
}

bool Multimeter::sendLine(const QByteArray& line) {
  if (where().kind == PortKind::Session) {
    if (!session_ || !session_->isOpen()) return failComm(QStringLiteral("session not open"));
    if (!session_->write(line)) return failComm(session_->errorString());
    return true;
  }
  return send(line + "\r\n");
}

bool Multimeter::SetupMultimeter(bool remote, MeterFunction f) {
  const InstrumentPort p = where();
  if (p.kind == PortKind::Manual) {
    tell(QStringLiteral("Mult = %1").arg(QString::fromLatin1(FunctionWord(f))));
    return true;
  }
  Exchange ex(*this);
  if (!ex) return false;
  if (!openLink()) return false;
  if (p.kind == PortKind::Session) {
    for (const QByteArray& line : MeterSessionSetup(f))
      if (!sendLine(line)) return false;
    return true;
  }
  for (const QByteArray& line : MeterSerialSetup(remote, f)) {
    if (!sendLine(line)) return false;
    pause(0.5);
  }
  return true;
}

std::optional<double> Multimeter::ReadMultimeter() {
  const InstrumentPort p = where();
  if (p.kind == PortKind::Manual) {
    const auto typed = askReading(QStringLiteral("Lettura Mult"));
    if (!typed) return std::nullopt;
    const auto v = typedNumber(*typed);
    if (!v) return std::nullopt;
    return *v * 1000.0;
  }
  Exchange ex(*this);
  if (!ex) return std::nullopt;
  if (!openLink()) return std::nullopt;
  QByteArray answer;
  if (p.kind == PortKind::Session) {
    if (!sendLine(QByteArrayLiteral("READ?"))) return std::nullopt;
    pause(0.5);
    for (;;) {
      if (auto line = session_->readLine(static_cast<int>(bench_.answerLimitMs))) {
        answer = *line;
        break;
      }
      if (!session_->timedOut()) {
        failComm(session_->errorString());
        return std::nullopt;
      }
      if (!askRetry()) return std::nullopt;
    }
  } else {
    discardInput();
    if (!sendLine(QByteArrayLiteral(":READ?"))) return std::nullopt;
    pause(1);
    // Whole once the line ends; a meter that stops mid-line is given the
    // full limit, and what came is taken if it reads as a number.
    for (;;) {
      if (collect(answer, HasLineEnd, bench_.answerLimitMs)) break;
      if (port_->hasError() || !port_->isOpen()) {
        failComm(QStringLiteral("the port failed"));
        return std::nullopt;
      }
      if (answer.size() > kMaxReplyBytes) {
        discardInput();
        fail(tr(instrument_text::kBadAnswer).arg(name(), place(), ShownReply(answer.left(32)) + QStringLiteral("...")));
        return std::nullopt;
      }
      if (!answer.isEmpty() && ParseReplyNumber(answer)) break;
      if (!askRetry()) return std::nullopt;
    }
    discardInput();
    const qsizetype end = answer.indexOf('\n') >= 0 ? answer.indexOf('\n') : answer.size();
    answer = answer.left(end);
  }
  const auto v = ParseReplyNumber(answer);
  if (!v) {
    fail(tr(instrument_text::kBadAnswer).arg(name(), place(), ShownReply(answer)));
    return std::nullopt;
  }
  return *v * 1000.0;
}

bool Multimeter::MultimeterBeep() {
  const InstrumentPort p = where();
  if (p.kind == PortKind::Manual) return true;
  Exchange ex(*this);
  if (!ex) return false;
  if (!openLink()) return false;
  return sendLine(QByteArrayLiteral("SYST:BEEP"));
}

} // namespace pv
