#include "InstrumentCli.h"
#include "CliBench.h"

#include "factory/Calibrator.h"
#include "factory/FunctionGenerator.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/ProductionTest.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "link/Clock.h"
#include "link/SerialPort.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <map>

namespace pv {

namespace {

std::optional<qint64> WholeNumber(const QString& text) {
  const auto v = ParseReplyNumber(text.toUtf8());
  if (!v || *v != std::floor(*v) || std::abs(*v) > 1e15) return std::nullopt;
  return static_cast<qint64>(*v);
}

// A number for output: twelve significant digits, so 42.50000000001 is 42.5.
double Clean(double v) { return QString::number(v, 'g', 12).toDouble(); }
QString Shown(double v) { return QString::number(v, 'g', 12); }

// What an instrument command's action works with.
struct Call {
  Bench& bench;
  SerialPort* port;  // the instrument's serial port (the generator uses a session)
  QString selector;
  SessionFactory& sessions;
  QJsonObject& result;
  CliRun& run;
  // A value the command prints: as text unless the result goes out as JSON.
  void show(const char* key, double value) {
    result[QLatin1String(key)] = Clean(value);
    if (!run.json()) run.io.out << Shown(value) << "\n";
  }
};

// The option's selector, else its default (--meter-b: --meter's).
QString Selector(const CliRun& run, const QString& option) {
  static const std::map<QString, QString> defaults = {{"--supply", "Com4"},
                                                      {"--calibrator", "Com6"},
                                                      {"--meter", "Com3"},
                                                      {"--switch", "Com5"},
                                                      {"--generator", "UsbDevice1"}};
  if (run.args.values.count(option)) return run.args.value(option.toLatin1().constData());
  if (option == QLatin1String("--meter-b")) return Selector(run, QStringLiteral("--meter"));
  return defaults.at(option);
}

// The arguments are checked by the command before this: the selector is
// checked, the instrument's port made and act run; the result goes out as
// JSON, with the instructions a manual instrument was given.
int OnInstrument(CliRun& run, const char* option, QJsonObject result, const std::function<bool(Call&)>& act) {
  const QString name = QString::fromLatin1(option);
  const QString selector = Selector(run, name);
  if (!BenchSelectorsValid({{name, selector}}, {option}, run.io.err)) return kExitUsage;
  AppState state;
  SetEnglish(state);
  BenchPrompter prompter(run.io.in, run.io.err, false);
  Bench bench{state, run.io.clock, prompter};
  InstrumentIo& io = BenchIo(run);
  std::unique_ptr<SerialPort> port = io.makePort ? io.makePort() : nullptr;
  if (!port && name != QLatin1String("--generator")) {
    run.io.err << "planovix-cli: no serial ports on this system\n";
    return kExitDevice;
  }
  Call call{bench, port.get(), selector, io.sessions, result, run};
  if (!act(call)) {
    // A typed reading that is not a number is the operator's bad input.
    if (prompter.typed && !ParseReplyNumber(prompter.typed->toUtf8())) return kExitUsage;
    return kExitDevice;
  }
  if (!prompter.told.isEmpty()) result["manual"] = prompter.told.join('\n');
  if (run.json()) run.io.out << QJsonDocument(result).toJson(QJsonDocument::Compact) << "\n";
  return kExitOk;
}

int Usage(CliRun& run, const QString& text) { return CliUsage(run.io.err, text); }

bool NoArguments(CliRun& run) {
  if (run.args.words.isEmpty()) return true;
  Usage(run, run.args.command + QStringLiteral(" takes no arguments"));
  return false;
}

// The calibrator's answer to a command: its four data bytes.
bool CalibratorCommand(Call& c, Calibrator& cal, uint8_t command, const CalData& data) {
  const auto answer = cal.CalibratorExchange(kCalAddress, command, data);
  if (answer && !cal.isManual()) c.result["answer"] = QJsonArray{(*answer)[0], (*answer)[1], (*answer)[2], (*answer)[3]};
  return answer.has_value();
}

// meter-setup and meter-read: INDEX 0 or 1 first; nothing after a usage error.
std::optional<int> MeterIndex(CliRun& run, int words, const char* usage) {
  const QStringList& w = run.args.words;
  if (w.size() != words) {
    Usage(run, QLatin1String(usage));
    return std::nullopt;
  }
  if (w[0] != QLatin1String("0") && w[0] != QLatin1String("1")) {
    Usage(run, QStringLiteral("INDEX is 0 or 1"));
    return std::nullopt;
  }
  return w[0].toInt();
}

const char* MeterOption(int index) { return index == 1 ? "--meter-b" : "--meter"; }

} // namespace

int SupplyCommand(CliRun& run) {
  const QStringList& w = run.args.words;
  if (w.size() != 2 || (w[0] != QLatin1String("on") && w[0] != QLatin1String("off")))
    return Usage(run, QStringLiteral("supply takes on|off and VOLTS"));
  const bool on = w[0] == QLatin1String("on");
  // The supply takes 0 to 30 V, sent with two decimals ("SV 24.00").
  const std::optional<QString> volts = SupplyVoltsText(w[1]);
  if (!volts || w[1].contains(' ')) return Usage(run, QStringLiteral("VOLTS is a number from 0 to 30 such as 24.00"));
  return OnInstrument(run, "--supply", {{"supply", w[0]}, {"volts", *volts}}, [&](Call& c) {
    PowerSupply supply(c.bench, *c.port);
    supply.setSelector(c.selector);
    return supply.SetPowerSupply(on, *volts);
  });
}

int SupplyCurrentCommand(CliRun& run) {
  if (!NoArguments(run)) return kExitUsage;
  return OnInstrument(run, "--supply", {}, [&](Call& c) {
    PowerSupply supply(c.bench, *c.port);
    supply.setSelector(c.selector);
    const SupplyCurrent current = supply.ReadSupplyCurrent();
    if (current.status == SupplyCurrent::TimedOut)
      run.io.err << "planovix-cli: " << supply.lastError() << " (no full answer within 1 s: -1)\n";
    if (current.status != SupplyCurrent::Ok) return false;
    c.show("current_mA", current.mA);
    return true;
  });
}

int CalibratorFunctionCommand(CliRun& run) {
  const QStringList& w = run.args.words;
  if (w.isEmpty() || w.size() > 2) return Usage(run, QStringLiteral("calibrator-function takes F [SENSOR]"));
  const auto f = WholeNumber(w[0]);
  const auto sensor = w.size() == 2 ? WholeNumber(w[1]) : std::optional<qint64>(0);
  if (!f || !sensor) return Usage(run, QStringLiteral("F and SENSOR are whole numbers"));
  const bool needsSensor = *f == 8 || *f == 9;
  const auto data = CalibratorFunctionBytes(static_cast<int>(*f), static_cast<int>(*sensor));
  if (needsSensor != (w.size() == 2) || !data)
    return Usage(run, QStringLiteral("F is 0..5, or 8 or 9 followed by a sensor code 0..255"));
  QJsonObject result{{"function", static_cast<int>(*f)}};
  if (needsSensor) result["sensor"] = static_cast<int>(*sensor);
  return OnInstrument(run, "--calibrator", result, [&](Call& c) {
    Calibrator cal(c.bench, *c.port);
    cal.setSelector(c.selector);
    return CalibratorCommand(c, cal, kCalSetFunction, *data);
  });
}

int CalibratorSetCommand(CliRun& run) {
  const QStringList& w = run.args.words;
  if (w.size() != 1) return Usage(run, QStringLiteral("calibrator-set takes one VALUE"));
  const auto value = WholeNumber(w[0]);
  const auto data = value ? CalibratorValueBytes(*value) : std::nullopt;
  if (!data) return Usage(run, QStringLiteral("VALUE is a whole number from -2147483648 to 4294967295"));
  return OnInstrument(run, "--calibrator", {{"value", *value}}, [&](Call& c) {
    Calibrator cal(c.bench, *c.port);
    cal.setSelector(c.selector);
    if (cal.isManual()) return cal.SetCalibratorOutput(static_cast<double>(*value));
    return CalibratorCommand(c, cal, kCalSetOutput, *data);
  });
}

int AmbientCommand(CliRun& run) {
  if (!NoArguments(run)) return kExitUsage;
  return OnInstrument(run, "--calibrator", {}, [&](Call& c) {
    Calibrator cal(c.bench, *c.port);
    cal.setSelector(c.selector);
    const auto t = cal.ReadCalibratorTemperature();
    if (t) c.show("ambient_C", *t);
    return t.has_value();
  });
}

int MeterSetupCommand(CliRun& run) {
  const std::optional<int> index = MeterIndex(run, 3, "meter-setup takes INDEX REM|LOC VOLT|CURR");
  if (!index) return kExitUsage;
  const QStringList& w = run.args.words;
  if (w[1] != QLatin1String("REM") && w[1] != QLatin1String("LOC")) return Usage(run, QStringLiteral("the mode is REM or LOC"));
  if (w[2] != QLatin1String("VOLT") && w[2] != QLatin1String("CURR"))
    return Usage(run, QStringLiteral("the function is VOLT or CURR"));
  const bool remote = w[1] == QLatin1String("REM");
  const MeterFunction function = w[2] == QLatin1String("VOLT") ? MeterFunction::Volt : MeterFunction::Curr;
  return OnInstrument(run, MeterOption(*index), {{"meter", *index}, {"mode", w[1]}, {"function", w[2]}}, [&](Call& c) {
    Multimeter dmm(c.bench, *c.port, c.sessions);
    dmm.setSelector(c.selector);
    return dmm.SetupMultimeter(remote, function);
  });
}

int MeterReadCommand(CliRun& run) {
  const std::optional<int> index = MeterIndex(run, 1, "meter-read takes INDEX");
  if (!index) return kExitUsage;
  return OnInstrument(run, MeterOption(*index), {{"meter", *index}}, [&](Call& c) {
    Multimeter dmm(c.bench, *c.port, c.sessions);
    dmm.setSelector(c.selector);
    const auto reading = dmm.ReadMultimeter();
    if (reading) c.show("reading", *reading);
    return reading.has_value();
  });
}

int MeterBeepCommand(CliRun& run) {
  if (!NoArguments(run)) return kExitUsage;
  return OnInstrument(run, "--meter", {}, [&](Call& c) {
    Multimeter dmm(c.bench, *c.port, c.sessions);
    dmm.setSelector(c.selector);
    return dmm.MultimeterBeep();
  });
}

int RouteCommand(CliRun& run) {
  const QStringList& w = run.args.words;
  if (w.size() != 1 || !IsWellFormedSwitchPattern(w[0]))
    return Usage(run, QStringLiteral("route takes one PATTERN of three-digit channels and A or C, e.g. 101A102C"));
  return OnInstrument(run, "--switch", {{"route", w[0]}}, [&](Call& c) {
    SwitchingUnit unit(c.bench, *c.port);
    unit.setSelector(c.selector);
    const bool ok = unit.SetSwitches(w[0]);
    if (ok && !unit.isManual()) c.result["commands"] = static_cast<int>(SwitchCommands(w[0]).size());
    return ok;
  });
}

int GeneratorCommand(CliRun& run) {
  static const std::map<QString, GeneratorButton> kButtons = {
      {"on", GeneratorButton::On},          {"off", GeneratorButton::Off},     {"freq", GeneratorButton::Frequency},
      {"ttl", GeneratorButton::Ttl},        {"tacho", GeneratorButton::Tacho}, {"bounce", GeneratorButton::Bounce}};
  const QStringList& w = run.args.words;
  if (w.isEmpty() || !kButtons.count(w[0])) return Usage(run, QStringLiteral("generator takes on|off|freq F|ttl|tacho|bounce"));
  const GeneratorButton button = kButtons.at(w[0]);
  const bool frequency = button == GeneratorButton::Frequency;
  const bool waveform = button == GeneratorButton::Ttl || button == GeneratorButton::Tacho || button == GeneratorButton::Bounce;
  const int most = frequency || waveform ? 2 : 1;
  const int least = frequency ? 2 : 1;
  if (w.size() < least || w.size() > most)
    return Usage(run, frequency  ? QStringLiteral("generator freq takes F")
                      : waveform ? "generator " + w[0] + " takes at most F"
                                 : "generator " + w[0] + " takes no arguments");
  const QString hz = w.size() == 2 ? w[1] : QStringLiteral("1000");
  if (!GeneratorFrequencyText(hz) || hz.contains(' '))
    return Usage(run, QStringLiteral("F is a frequency in Hz from %1 to %2 such as 1000")
                          .arg(QString::fromLatin1(*GeneratorFrequencyText(kGeneratorMinHz)),
                               QString::fromLatin1(*GeneratorFrequencyText(kGeneratorMaxHz))));
  QJsonObject result{{"generator", w[0]}};
  if (button != GeneratorButton::On && button != GeneratorButton::Off) result["frequency"] = hz;
  // The production test's buttons, through the same core as the window.
  return OnInstrument(run, "--generator", result, [&](Call& c) {
    FunctionGenerator gen(c.bench, c.sessions);
    gen.setSelector(c.selector);
    const int sent = PressGeneratorButton(gen, button, hz);
    if (sent >= 0) c.result["commands"] = sent;
    return sent >= 0;
  });
}

int GeneratorSendCommand(CliRun& run) {
  if (run.args.words.isEmpty()) return Usage(run, QStringLiteral("generator-send takes the command text"));
  const QString text = run.args.words.join(' ');
  return OnInstrument(run, "--generator", {{"sent", text}}, [&](Call& c) {
    FunctionGenerator gen(c.bench, c.sessions);
    gen.setSelector(c.selector);
    return gen.write(text.toUtf8());
  });
}

} // namespace pv
