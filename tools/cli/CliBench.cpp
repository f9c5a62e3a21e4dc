#include "CliBench.h"
#include "CliBase.h"

#include "factory/InstrumentPort.h"

#include "link/QtSerialPort.h"

#include <array>

namespace pv {

InstrumentIo RealInstrumentIo(Clock& clock) {
  return {[] { return std::make_unique<QtSerialPort>(); }, RealSessions(clock)};
}

InstrumentIo& BenchIo(CliRun& run) {
  if (run.io.instruments) return *run.io.instruments;
  if (!run.realInstruments) run.realInstruments = std::make_shared<InstrumentIo>(RealInstrumentIo(run.io.clock));
  return *run.realInstruments;
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

Answer BenchPrompter::ask(const QString&, const QString& text, Buttons buttons, Icon) {
  const bool giveUp = buttons == Buttons::RetryCancel || (cautious_ && buttons == Buttons::OkCancel);
  err_ << "planovix-cli: " << text << (giveUp ? " (giving up)" : "") << "\n";
  err_.flush();
  if (giveUp) return Answer::Cancel;
  told << text;
  if (buttons == Buttons::YesNo) return cautious_ ? Answer::No : Answer::Yes;
  return Answer::Ok;
}

std::optional<QString> BenchPrompter::askText(const QString&, const QString& prompt, const QString&) {
  // On a line of its own, so what follows reads well when the answer comes
  // from a pipe rather than a keyboard.
  err_ << "planovix-cli: " << prompt << "?\n";
  err_.flush();
  const QString line = in_.readLine();
  if (line.isNull()) {
    err_ << "planovix-cli: no reading on standard input\n";
    return std::nullopt;
  }
  typed = line.trimmed();
  return typed;
}

bool BenchSelectorsValid(const std::map<QString, QString>& values, std::initializer_list<const char*> options,
                         QTextStream& err) {
  for (const char* option : options) {
    const auto it = values.find(QString::fromLatin1(option));
    if (it == values.end()) continue;
    const QString name = QString::fromLatin1(option);
    const QString& selector = it->second;
    if (name.startsWith(QLatin1String("--meter"))) {
      if (ParseMultimeterPort(selector).kind != PortKind::Invalid) continue;
      CliUsage(err, QStringLiteral("%1 takes Com1..Com8, Usb1..Usb4, Manuale, a device path or a resource, not \"%2\"")
                        .arg(name, selector));
    } else if (name == QLatin1String("--generator")) {
      if (ParseGeneratorPort(selector).kind != PortKind::Invalid) continue;
      CliUsage(err, QStringLiteral("--generator takes UsbDevice1, Usb1..Usb4, a device path or a resource, not \"%1\"")
                        .arg(selector));
    } else {
      if (ParseSerialInstrumentPort(selector).kind != PortKind::Invalid) continue;
      CliUsage(err, QStringLiteral("%1 takes Com1..Com8, Usb1..Usb4, Manuale or a device path, not \"%2\"")
                        .arg(name, selector));
    }
    return false;
  }
  return true;
}

} // namespace pv
