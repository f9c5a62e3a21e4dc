#include "factory/Calibrator.h"

#include "text/Numbers.h"

namespace pv {

uint8_t CalibratorChecksum(const CalData& d) {
  return static_cast<uint8_t>((d[0] + d[1] + d[2] + d[3]) & 127);
}

QByteArray CalibratorFrame(uint8_t address, uint8_t command, const CalData& d) {
  const char bytes[7] = {static_cast<char>(address), static_cast<char>(command),
                         static_cast<char>(d[0]),   static_cast<char>(d[1]),
                         static_cast<char>(d[2]),   static_cast<char>(d[3]),
                         static_cast<char>(CalibratorChecksum(d))};
  return QByteArray(bytes, 7);
}

std::optional<CalData> CalibratorValueBytes(qint64 value) {
  if (value < -(qint64(1) << 31) || value > (qint64(1) << 32) - 1) return std::nullopt;
  const auto u = static_cast<uint32_t>(value < 0 ? (qint64(1) << 32) + value : value);
  return CalData{static_cast<uint8_t>(u >> 24), static_cast<uint8_t>(u >> 16),
                 static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
}

std::optional<CalData> CalibratorFunctionBytes(int f, int sensor) {
  if (f >= 0 && f <= 5) return CalData{static_cast<uint8_t>(f), 0, 0, 0};
  if ((f == 8 || f == 9) && sensor >= 0 && sensor <= 255)
    return CalData{static_cast<uint8_t>(f), static_cast<uint8_t>(sensor), 0, 64};
  return std::nullopt;
}

std::optional<CalData> Calibrator::CalibratorExchange(uint8_t address, uint8_t command,
                                                      CalData data) {
  if (isManual()) return data;
  Exchange ex(*this);
  if (!ex) return std::nullopt;
  if (!openLink()) return std::nullopt;
  const QByteArray frame = CalibratorFrame(address, command, data);
  discardInput();
  for (int i = 0; i < frame.size(); ++i) {
    if (!send(frame.mid(i, 1))) return std::nullopt;
    QByteArray answer;
    if (!awaitAnswer(answer, [](const QByteArray& b) { return !b.isEmpty(); }))
      return std::nullopt;
    if (i >= 2 && i <= 5) data[i - 2] = static_cast<uint8_t>(answer[0]);
  }
  return data;
}

bool Calibrator::SetCalibratorOutput(double value) {
  const double whole = RoundHalfEven(value);
  if (isManual()) {
    tell(QStringLiteral("Cal = %1").arg(QString::number(value, 'g', 15)));
    return true;
  }
  const auto d = CalibratorValueBytes(static_cast<qint64>(whole));
  if (!d) return fail(tr(instrument_text::kOutOfRange).arg(name(), QString::number(value, 'g', 15)));
  return CalibratorExchange(kCalAddress, kCalSetOutput, *d).has_value();
}

bool Calibrator::SelectFunction(int f, int sensor) {
  const auto d = CalibratorFunctionBytes(f, sensor);
  if (!d) return fail(tr(instrument_text::kOutOfRange).arg(name()).arg(f));
  return CalibratorExchange(kCalAddress, kCalSetFunction, *d).has_value();
}

std::optional<double> Calibrator::ReadCalibratorTemperature() {
  if (isManual()) {
    const auto typed = askReading(QStringLiteral("Temperatura Ambiente"));
    if (!typed) return std::nullopt;
    return typedNumber(*typed);
  }
  static constexpr struct {
    uint8_t command;
    CalData data;
  } kSetup[] = {
      {kCalBracket, {1, 0, 0, 0}},
      {kCalSetFunction, {8, 1, 1, 0}},
      {kCalSetFunction, {8, 1, 0, 0}},
      {kCalSetFunction, {8, 1, 0, 0xC0}},
  };
  for (const auto& step : kSetup)
    if (!CalibratorExchange(kCalAddress, step.command, step.data)) return std::nullopt;
  pause(1);
  const auto a = CalibratorExchange(kCalAddress, kCalReadValue, {8, 1, 0, 0xC0});
  if (!a) return std::nullopt;
  // Two's complement like the output value, so a cold room reads negative.
  const auto raw = static_cast<int32_t>((uint32_t((*a)[0]) << 24) | (uint32_t((*a)[1]) << 16) |
                                        (uint32_t((*a)[2]) << 8) | uint32_t((*a)[3]));
  const double celsius = raw / 100.0;
  if (!CalibratorExchange(kCalAddress, kCalBracket, {0, 0, 0, 0})) return std::nullopt;
  return celsius;
}

} // namespace pv
