#include "factory/PowerSupply.h"

#include "link/SerialPort.h"

#include <cmath>

namespace pv {

QByteArray SupplyVoltageCommand(const QString& volts) {
  return QByteArrayLiteral("SV ") + volts.toLatin1() + '\r';
}

QByteArray SupplyOutputCommand(bool on) {
  return on ? QByteArrayLiteral("KOE\r") : QByteArrayLiteral("KOD\r");
}

std::optional<QString> SupplyVoltsText(double volts) {
  if (!std::isfinite(volts) || volts < 0 || volts > kSupplyMaxVolts) return std::nullopt;
  return QString::number(volts, 'f', 2);
}

std::optional<QString> SupplyVoltsText(const QString& typed) {
  const auto v = ParseReplyNumber(typed.toUtf8());
  if (!v) return std::nullopt;
  return SupplyVoltsText(*v);
}

bool PowerSupply::SetPowerSupply(bool on, const QString& typed) {
  const std::optional<QString> text = SupplyVoltsText(typed);
  if (!text) return fail(tr(instrument_text::kOutOfRange).arg(name(), typed));
  const QString& volts = *text;
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
