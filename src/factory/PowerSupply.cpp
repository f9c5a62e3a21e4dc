#include "factory/PowerSupply.h"

#include "link/SerialPort.h"

namespace pv {

QByteArray SupplyVoltageCommand(const QString& volts) {
  return QByteArrayLiteral("SV ") + volts.toLatin1() + '\r';
}

QByteArray SupplyOutputCommand(bool on) {
  return on ? QByteArrayLiteral("KOE\r") : QByteArrayLiteral("KOD\r");
}

bool PowerSupply::SetPowerSupply(bool on, const QString& volts) {
  if (isManual()) {
    tell(QStringLiteral("Alim = %1 Volt = %2").arg(on ? QStringLiteral("True") : QStringLiteral("False"), volts));
    return true;
  }
  Exchange ex(*this);
  if (!ex) return false;
  if (!openLink()) return false;
  if (!send(SupplyVoltageCommand(volts))) return false;
  pause(0.5);
  if (!send(SupplyOutputCommand(on))) return false;
  pause(1);
  return true;
}

SupplyCurrent PowerSupply::ReadSupplyCurrent() {
  if (isManual()) {
    const auto typed = askReading(QStringLiteral("Lettura mA Alim"));
    if (!typed) return {};
    const auto v = typedNumber(*typed);
    if (!v) return {};
    return {SupplyCurrent::Ok, *v};
  }
  Exchange ex(*this);
  if (!ex) return {};
  if (!openLink()) return {};
  if (!send(kSupplyCurrentQuery)) return {};
  pause(0.5);
  QByteArray answer;
  // The supply's own limit: one second after the pause, then -1.
  if (!collect(answer, [](const QByteArray& b) { return b.size() >= 8; }, 1000)) {
    if (port_->hasError() || !port_->isOpen()) {
      failComm(QStringLiteral("the port failed"));
      return {};
    }
    setLastError(tr(instrument_text::kSilent).arg(name(), place()));
    return {SupplyCurrent::TimedOut, -1};
  }
  const QByteArray amperes = answer.mid(1, 5);
  const auto v = ParseReplyNumber(amperes);
  if (!v) {
    fail(tr(instrument_text::kBadAnswer).arg(name(), place(), ShownReply(answer.left(8))));
    return {};
  }
  return {SupplyCurrent::Ok, *v * 1000.0};
}

} // namespace pv
