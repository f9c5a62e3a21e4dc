#include "InstrumentCli.h"
#include "CliBench.h"

#include "factory/Calibrator.h"
#include "factory/FunctionGenerator.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/ProductionTest.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "link/Clock.h"
#include "link/SerialPort.h"
#include "text/StringTable.h"

#include <QJsonArray>
#include <array>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>

namespace pv {

namespace {

enum Exit { kOk = kExitOk, kFailed = kExitDevice, kUsage = kExitUsage };

// The operator at a terminal: instructions and questions on standard error,
// readings typed on standard input. A silent instrument is given up
// (Retry/Cancel answered Cancel), so a script never hangs.
class OperatorPrompter final : public Prompter {
public:
  OperatorPrompter(QTextStream& in, QTextStream& err) : in_(in), err_(err) {}
  Answer ask(const QString&, const QString& text, Buttons buttons, Icon) override {
    if (buttons == Buttons::RetryCancel) {
      err_ << "planovix-cli: " << text << " (giving up)\n";
      err_.flush();
      return Answer::Cancel;
    }
    err_ << "planovix-cli: " << text << "\n";
    err_.flush();
    told << text;
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
  }
  std::optional<QString> askText(const QString&, const QString& prompt, const QString&) override {
    // On a line of its own, so what follows reads well when the answer
    // comes from a pipe rather than a keyboard.
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
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }

  QStringList told;
  std::optional<QString> typed;

private:
  QTextStream& in_;
  QTextStream& err_;
};

std::optional<qint64> WholeNumber(const QString& text) {
  const auto v = ParseReplyNumber(text.toUtf8());
  if (!v || *v != std::floor(*v) || std::abs(*v) > 1e15) return std::nullopt;
  return static_cast<qint64>(*v);
}

// A number for output: twelve significant digits, so 42.50000000001 is 42.5.
double Clean(double v) { return QString::number(v, 'g', 12).toDouble(); }
QString Shown(double v) { return QString::number(v, 'g', 12); }

} // namespace

int InstrumentCommand(CliRun& run) {
  QTextStream& out = run.io.out;
  QTextStream& err = run.io.err;
  Clock& clock = run.io.clock;
  InstrumentIo& io = run.instruments();
  std::map<QString, QString> ports = {{"--supply", "Com4"},  {"--calibrator", "Com6"},
                                      {"--meter", "Com3"},   {"--switch", "Com5"},
                                      {"--generator", "UsbDevice1"}};
  for (const auto& [option, value] : run.args.values) ports[option] = value;
  const bool json = run.json();
  const QStringList& rest = run.args.words;
  const QString& cmd = run.args.command;
  auto usage = [&](const QString& text) { return CliUsage(err, text); };
  if (!ports.count("--meter-b")) ports["--meter-b"] = ports["--meter"];

  // Arguments and selectors are checked before any instrument is touched.
  auto checkSerial = [&](const char* option) -> bool {
    return ParseSerialInstrumentPort(ports[option]).kind != PortKind::Invalid;
  };
  QJsonObject result;
  bool on = false;
  QString volts;
  int f = 0, sensor = 0, meter = 0;
  qint64 value = 0;
  bool remote = true;
  MeterFunction function = MeterFunction::Volt;
  QString text;
  GeneratorButton button = GeneratorButton::On;
  if (cmd == "supply") {
    if (rest.size() != 2 || (rest[0] != "on" && rest[0] != "off"))
      return usage("supply takes on|off and VOLTS");
    on = rest[0] == "on";
    // The supply takes 0 to 30 V, sent with two decimals ("SV 24.00").
    const std::optional<QString> text = SupplyVoltsText(rest[1]);
    if (!text || rest[1].contains(' ')) return usage("VOLTS is a number from 0 to 30 such as 24.00");
    volts = *text;
    result = {{"supply", rest[0]}, {"volts", volts}};
  } else if (cmd == "supply-current" || cmd == "ambient" || cmd == "meter-beep") {
    if (!rest.isEmpty()) return usage(cmd + " takes no arguments");
  } else if (cmd == "calibrator-function") {
    if (rest.isEmpty() || rest.size() > 2) return usage("calibrator-function takes F [SENSOR]");
    const auto ff = WholeNumber(rest[0]);
    const auto ss = rest.size() == 2 ? WholeNumber(rest[1]) : std::optional<qint64>(0);
    if (!ff || !ss) return usage("F and SENSOR are whole numbers");
    f = static_cast<int>(*ff);
    sensor = static_cast<int>(*ss);
    const bool needsSensor = f == 8 || f == 9;
    if (needsSensor != (rest.size() == 2) || !CalibratorFunctionBytes(f, sensor))
      return usage("F is 0..5, or 8 or 9 followed by a sensor code 0..255");
    result = {{"function", f}};
    if (needsSensor) result["sensor"] = sensor;
  } else if (cmd == "calibrator-set") {
    if (rest.size() != 1) return usage("calibrator-set takes one VALUE");
    const auto v = WholeNumber(rest[0]);
    if (!v || !CalibratorValueBytes(*v))
      return usage("VALUE is a whole number from -2147483648 to 4294967295");
    value = *v;
    result = {{"value", value}};
  } else if (cmd == "meter-setup" || cmd == "meter-read") {
    const int want = cmd == "meter-setup" ? 3 : 1;
    if (rest.size() != want)
      return usage(cmd == "meter-setup" ? "meter-setup takes INDEX REM|LOC VOLT|CURR"
                                        : "meter-read takes INDEX");
    if (rest[0] != "0" && rest[0] != "1") return usage("INDEX is 0 or 1");
    meter = rest[0].toInt();
    result = {{"meter", meter}};
    if (want == 3) {
      if (rest[1] != "REM" && rest[1] != "LOC") return usage("the mode is REM or LOC");
      if (rest[2] != "VOLT" && rest[2] != "CURR") return usage("the function is VOLT or CURR");
      remote = rest[1] == "REM";
      function = rest[2] == "VOLT" ? MeterFunction::Volt : MeterFunction::Curr;
      result["mode"] = rest[1];
      result["function"] = rest[2];
    }
  } else if (cmd == "route") {
    if (rest.size() != 1 || !IsWellFormedSwitchPattern(rest[0]))
      return usage("route takes one PATTERN of three-digit channels and A or C, e.g. 101A102C");
    text = rest[0];
    result = {{"route", text}};
  } else if (cmd == "generator") {
    static const std::map<QString, GeneratorButton> kButtons = {
        {"on", GeneratorButton::On},       {"off", GeneratorButton::Off},
        {"freq", GeneratorButton::Frequency}, {"ttl", GeneratorButton::Ttl},
        {"tacho", GeneratorButton::Tacho}, {"bounce", GeneratorButton::Bounce}};
    if (rest.isEmpty() || !kButtons.count(rest[0]))
      return usage("generator takes on|off|freq F|ttl|tacho|bounce");
    button = kButtons.at(rest[0]);
    const bool waveform = button == GeneratorButton::Ttl || button == GeneratorButton::Tacho ||
                          button == GeneratorButton::Bounce;
    const int most = button == GeneratorButton::Frequency ? 2 : waveform ? 2 : 1;
    const int least = button == GeneratorButton::Frequency ? 2 : 1;
    if (rest.size() < least || rest.size() > most)
      return usage(button == GeneratorButton::Frequency ? "generator freq takes F"
                   : waveform ? "generator " + rest[0] + " takes at most F"
                              : "generator " + rest[0] + " takes no arguments");
    text = rest.size() == 2 ? rest[1] : QStringLiteral("1000");
    if (!GeneratorFrequencyText(text) || text.contains(' '))
      return usage(QStringLiteral("F is a frequency in Hz from %1 to %2 such as 1000")
                       .arg(QString::fromLatin1(*GeneratorFrequencyText(kGeneratorMinHz)),
                            QString::fromLatin1(*GeneratorFrequencyText(kGeneratorMaxHz))));
    result = {{"generator", rest[0]}};
    if (button != GeneratorButton::On && button != GeneratorButton::Off) result["frequency"] = text;
  } else if (cmd == "generator-send") {
    if (rest.isEmpty()) return usage("generator-send takes the command text");
    text = rest.join(' ');
    result = {{"sent", text}};
  }

  const char* option = cmd.startsWith("supply")       ? "--supply"
                       : cmd.startsWith("calibrator") || cmd == "ambient" ? "--calibrator"
                       : cmd == "route"                ? "--switch"
                       : cmd.startsWith("generator")   ? "--generator"
                       : meter == 1                    ? "--meter-b"
                                                       : "--meter";
  const QString selector = ports[option];
  const bool serialOnly = QByteArray(option) == "--supply" || QByteArray(option) == "--calibrator" ||
                          QByteArray(option) == "--switch";
  if (serialOnly && !checkSerial(option))
    return usage(QStringLiteral("%1 takes Com1..Com8, Usb1..Usb4, Manuale or a device path, not \"%2\"")
                     .arg(QString::fromLatin1(option), selector));
  if (QByteArray(option).startsWith("--meter") &&
      ParseMultimeterPort(selector).kind == PortKind::Invalid)
    return usage(QStringLiteral("%1 takes Com1..Com8, Usb1..Usb4, Manuale, a device path or a "
                                "resource, not \"%2\"")
                     .arg(QString::fromLatin1(option), selector));
  if (QByteArray(option) == "--generator" && ParseGeneratorPort(selector).kind == PortKind::Invalid)
    return usage(QStringLiteral("--generator takes UsbDevice1, Usb1..Usb4, a device path or a "
                                "resource, not \"%1\"")
                     .arg(selector));

  AppState state;
  SetEnglish(state);
  OperatorPrompter prompter(run.io.in, err);
  Bench bench{state, clock, prompter};
  std::unique_ptr<SerialPort> port = io.makePort ? io.makePort() : nullptr;
  if (!port && QByteArray(option) != "--generator") {
    err << "planovix-cli: no serial ports on this system\n";
    return kFailed;
  }

  bool ok = false;
  auto answerJson = [](const CalData& d) {
    return QJsonArray{d[0], d[1], d[2], d[3]};
  };
  if (cmd == "supply" || cmd == "supply-current") {
    PowerSupply supply(bench, *port);
    supply.setSelector(selector);
    if (cmd == "supply") {
      ok = supply.SetPowerSupply(on, volts);
    } else {
      const SupplyCurrent c = supply.ReadSupplyCurrent();
      ok = c.status == SupplyCurrent::Ok;
      if (c.status == SupplyCurrent::TimedOut)
        err << "planovix-cli: " << supply.lastError() << " (no full answer within 1 s: -1)\n";
      if (ok) {
        result = {{"current_mA", Clean(c.mA)}};
        if (!json) out << Shown(c.mA) << "\n";
      }
    }
  } else if (cmd == "calibrator-function" || cmd == "calibrator-set" || cmd == "ambient") {
    Calibrator cal(bench, *port);
    cal.setSelector(selector);
    if (cmd == "ambient") {
      const auto t = cal.ReadCalibratorTemperature();
      ok = t.has_value();
      if (ok) {
        result = {{"ambient_C", Clean(*t)}};
        if (!json) out << Shown(*t) << "\n";
      }
    } else {
      const auto d = cmd == "calibrator-set" ? CalibratorValueBytes(value)
                                             : CalibratorFunctionBytes(f, sensor);
      const uint8_t command = cmd == "calibrator-set" ? kCalSetOutput : kCalSetFunction;
      if (cal.isManual() && cmd == "calibrator-set") {
        ok = cal.SetCalibratorOutput(static_cast<double>(value));
      } else {
        const auto answer = cal.CalibratorExchange(kCalAddress, command, *d);
        ok = answer.has_value();
        if (ok && !cal.isManual()) result["answer"] = answerJson(*answer);
      }
    }
  } else if (cmd.startsWith("meter")) {
    Multimeter dmm(bench, *port, io.sessions);
    dmm.setSelector(selector);
    if (cmd == "meter-setup") {
      ok = dmm.SetupMultimeter(remote, function);
    } else if (cmd == "meter-read") {
      const auto r = dmm.ReadMultimeter();
      ok = r.has_value();
      if (ok) {
        result["reading"] = Clean(*r);
        if (!json) out << Shown(*r) << "\n";
      }
    } else {
      ok = dmm.MultimeterBeep();
    }
  } else if (cmd == "route") {
    SwitchingUnit unit(bench, *port);
    unit.setSelector(selector);
    ok = unit.SetSwitches(text);
    if (ok && !unit.isManual()) result["commands"] = static_cast<int>(SwitchCommands(text).size());
  } else if (cmd == "generator") {
    // The production test's buttons, through the same core as the window.
    FunctionGenerator gen(bench, io.sessions);
    gen.setSelector(selector);
    const int sent = PressGeneratorButton(gen, button, text);
    ok = sent >= 0;
    if (ok) result["commands"] = sent;
  } else {
    FunctionGenerator gen(bench, io.sessions);
    gen.setSelector(selector);
    ok = gen.write(text.toUtf8());
  }

  if (!ok) {
    // A typed reading that is not a number is the operator's bad input.
    if (prompter.typed && !ParseReplyNumber(prompter.typed->toUtf8())) return kUsage;
    return kFailed;
  }
  if (!prompter.told.isEmpty()) result["manual"] = prompter.told.join('\n');
  if (json) out << QJsonDocument(result).toJson(QJsonDocument::Compact) << "\n";
  return kOk;
}

} // namespace pv
