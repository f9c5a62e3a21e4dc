#include "CliBench.h"

#include "link/QtSerialPort.h"

#include <array>

namespace pv {

InstrumentIo RealInstrumentIo(Clock& clock) {
  return {[] { return std::make_unique<QtSerialPort>(); }, RealSessions(clock)};
}

std::unique_ptr<CalibrationBench> OpenCliBench(const AppState& state, Clock& clock, Prompter& prompter,
                                               InstrumentIo& io, const std::map<QString, QString>& selectors,
                                               QTextStream& err) {
  std::array<std::unique_ptr<SerialPort>, 5> made;
  for (auto& port : made) {
    port = io.makePort();
    if (!port) {
      err << "planovix-cli: no serial ports on this system\n";
      return nullptr;
    }
  }
  auto take = [&made](InstrumentKind kind, int element) {
    switch (kind) {
    case InstrumentKind::PowerSupply: return std::move(made[0]);
    case InstrumentKind::Calibrator: return std::move(made[1]);
    case InstrumentKind::SwitchingUnit: return std::move(made[3]);
    default: return std::move(made[element == 0 ? 2 : 4]);
    }
  };
  auto bench = std::make_unique<CalibrationBench>(state, clock, prompter, take, io.sessions);
  auto selector = [&selectors](const char* option) {
    const auto it = selectors.find(QString::fromLatin1(option));
    return it == selectors.end() ? QString() : it->second;
  };
  bench->supply().setSelector(selector("--supply"));
  bench->calibrator().setSelector(selector("--calibrator"));
  bench->meter(0).setSelector(selector("--meter"));
  bench->switches().setSelector(selector("--switch"));
  if (selectors.count(QStringLiteral("--meter-b"))) bench->meter(1).setSelector(selector("--meter-b"));
  return bench;
}

} // namespace pv
