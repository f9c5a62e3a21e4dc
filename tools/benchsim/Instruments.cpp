#include "Instruments.h"

#include <QLocale>
#include <array>
#include <cmath>

namespace pv::bench {

// ---------------------------------------------------------------- lines

void LineInstrument::receive(const QByteArray& bytes) {
  for (char ch : bytes) {
    if (openEntry_) {
      openEntry_ = false;
      if (ch == '\n') {  // the LF of a CR LF pair: same command
        transcript_.last() += ch;
        continue;
      }
    }
    if (ch == '\r' || ch == '\n') {
      transcript_.append(line_ + ch);
      openEntry_ = ch == '\r';
      const QByteArray done = line_;
      line_.clear();
      if (!done.trimmed().isEmpty()) command(done);
      continue;
    }
    line_ += ch;
    // A line without end (noise, a wrong baud rate) must not grow forever.
    if (line_.size() > 1 << 20) line_.clear();
  }
}

// ---------------------------------------------------------------- SCPI

namespace {

// "CONFigure" -> short "CONF", long "CONFIGURE".
bool NodeMatches(const QString& node, const QString& keyword) {
  QString shortForm;
  for (QChar c : keyword)
    if (c.isUpper() || c.isDigit()) shortForm += c;
  const QString n = node.toUpper();
  return n == shortForm || n == keyword.toUpper();
}

double ParseNumber(const QString& text, bool* ok) {
  return QLocale::c().toDouble(text.trimmed(), ok);
}

} // namespace

bool ScpiMatch(const QStringList& path, const QStringList& pattern) {
  if (path.size() != pattern.size()) return false;
  for (int i = 0; i < path.size(); ++i)
    if (!NodeMatches(path[i], pattern[i])) return false;
  return true;
}

ScpiCommand ParseScpi(const QByteArray& line) {
  ScpiCommand c;
  QString text = QString::fromLatin1(line).trimmed();
  const qsizetype blank = text.indexOf(QLatin1Char(' '));
  QString header = blank < 0 ? text : text.left(blank);
  if (blank >= 0) c.arguments = text.mid(blank + 1).trimmed();
  if (header.endsWith(QLatin1Char('?'))) {
    c.query = true;
    header.chop(1);
  }
  if (header.startsWith(QLatin1Char(':'))) header.remove(0, 1);
  c.path = header.split(QLatin1Char(':'));
  return c;
}

QByteArray ScpiNumber(double value) {
  QByteArray text = QByteArray::number(value, 'E', 8);  // C locale always
  if (!text.startsWith('-')) text.prepend('+');
  return text;
}

// ---------------------------------------------------------------- supply

void PowerSupply::command(const QByteArray& raw) {
  const QByteArray line = raw.trimmed().toUpper();
  if (line.startsWith("SV")) {
    bool ok = false;
    const double v = QLocale::c().toDouble(QString::fromLatin1(line.mid(2)).trimmed(), &ok);
    if (ok && v >= 0) volts_ = v;
  } else if (line == "KOE") {
    on_ = true;
  } else if (line == "KOD") {
    on_ = false;
  } else if (line == "A") {
    ++reads_;
    lastAmps_ = load_ ? load_(on_, volts_) : 0.0;
    // Five characters of amperes after one leading character.
    QByteArray amps = QByteArray::number(std::clamp(lastAmps_, 0.0, 9.999), 'f', 3);
    send("I" + amps + "A\r\n");
  }
}

// ---------------------------------------------------------------- calibrator

namespace {

// Units of the 0x81 value per output function: what one count sources.
struct FunctionUnit {
  int function;
  Source::Kind kind;
  double perCount;
};
constexpr std::array<FunctionUnit, 8> kFunctionUnits = {{
    {0, Source::Kind::Voltage, 1e-6},       // low millivolts: microvolts
    {1, Source::Kind::Voltage, 1e-5},       // high millivolts: 10 uV
    {2, Source::Kind::Voltage, 1e-4},       // volts: 0.1 mV
    {3, Source::Kind::Current, 1e-7},       // milliamperes: 0.1 uA
    {4, Source::Kind::Resistance, 1e-3},    // low ohms: milliohms
    {5, Source::Kind::Resistance, 1e-2},    // kilohms range: 10 milliohms
    {8, Source::Kind::Temperature, 1e-3},   // thermocouple simulation: m degC
    {9, Source::Kind::Temperature, 1e-3},   // resistance thermometer simulation
}};

constexpr uint8_t kSelect = 0x80, kSet = 0x81, kMeasureMode = 0x82, kRead = 0x01;

} // namespace

Source Calibrator::output() const {
  for (const FunctionUnit& u : kFunctionUnits)
    if (u.function == function_) return {u.kind, setting_ * u.perCount};
  return {};
}

void Calibrator::receive(const QByteArray& bytes) {
  for (char ch : bytes) {
    const auto b = static_cast<uint8_t>(ch);
    if (at_ == 0 && b != 1) {
      // Not our address: answer it so nobody waits, and stay in step.
      transcript_.append(QByteArray(1, ch));
      send(QByteArray(1, ch));
      continue;
    }
    bytes_[at_] = b;
    uint8_t answer = b;
    // The reading leaves in the data bytes of a read, most significant first.
    if (at_ >= 2 && at_ <= 5 && bytes_[1] == kRead)
      answer = static_cast<uint8_t>((static_cast<quint32>(reading_) >> (8 * (5 - at_))) & 0xFF);
    if (at_ == 1 && b == kRead) reading_ = measuring_ ? static_cast<qint32>(std::lround(ambient_ * 100)) : 0;
    send(QByteArray(1, static_cast<char>(answer)));
    if (++at_ == 7) {
      at_ = 0;
      transcript_.append(QByteArray(reinterpret_cast<const char*>(bytes_), 7));
      frame(bytes_);
    }
  }
}

void Calibrator::frame(const uint8_t f[7]) {
  const int sum = (f[2] + f[3] + f[4] + f[5]) & 127;
  if (sum != f[6]) {
    ++badChecksums_;
    return;
  }
  switch (f[1]) {
    case kSelect:
      // Inside the measurement bracket a select sets up the measurement;
      // the output keeps its function.
      if (measuring_) {
        measureSetup_ = {f[2], f[3], f[4], f[5]};
      } else {
        function_ = f[2];
        sensor_ = f[3];
      }
      break;
    case kSet:
      setting_ = static_cast<qint32>((quint32(f[2]) << 24) | (quint32(f[3]) << 16) |
                                     (quint32(f[4]) << 8) | quint32(f[5]));
      break;
    case kMeasureMode: measuring_ = f[2] != 0; break;
    case kRead: ++temperatureReads_; break;
    default: break;
  }
}

// ---------------------------------------------------------------- meter

void Multimeter::configure(const ScpiCommand& c, const QString& what) {
  function_ = what == QLatin1String("VOLT") ? Function::Volt : Function::Current;
  const QStringList args = c.arguments.split(QLatin1Char(','), Qt::SkipEmptyParts);
  range_ = args.isEmpty() ? QStringLiteral("AUTO") : args[0].trimmed();
}

void Multimeter::command(const QByteArray& line) {
  const ScpiCommand c = ParseScpi(line);
  auto is = [&](std::initializer_list<const char*> nodes, bool query = false) {
    QStringList pattern;
    for (const char* n : nodes) pattern << QLatin1String(n);
    return c.query == query && ScpiMatch(c.path, pattern);
  };
  if (is({"SYSTem", "REMote"})) {
    remote_ = true;
  } else if (is({"SYSTem", "LOCal"})) {
    remote_ = false;
  } else if (is({"CONFigure", "VOLTage", "DC"}) || is({"CONFigure", "VOLTage"})) {
    configure(c, QStringLiteral("VOLT"));
  } else if (is({"CONFigure", "CURRent", "DC"}) || is({"CONFigure", "CURRent"})) {
    configure(c, QStringLiteral("CURR"));
  } else if (is({"SENSe", "VOLTage", "DC", "NPLCycles"}) || is({"SENSe", "CURRent", "DC", "NPLCycles"})) {
    bool ok = false;
    const double n = ParseNumber(c.arguments, &ok);
    if (ok) nplc_ = n;
    else errors_ << QStringLiteral("-224,\"Illegal parameter value\"");
  } else if (is({"READ"}, true) || is({"MEASure", "VOLTage", "DC"}, true)) {
    last_ = probe_ ? probe_(function_) : 0.0;
    ++readings_;
    served_.append(last_);
    if (served_.size() > kKeptReadings) served_.removeFirst();
    send(ScpiNumber(last_) + lineEnd_);
  } else if (is({"SYSTem", "BEEPer"})) {
    ++beeps_;
  } else if (is({"*IDN"}, true)) {
    send("PLANOVIX-BENCH,SIMULATED DMM,0,1.0" + lineEnd_);
  } else if (is({"*RST"}) || is({"*CLS"})) {
    if (is({"*RST"})) {
      function_ = Function::Volt;
      range_ = QStringLiteral("AUTO");
    }
    errors_.clear();
  } else if (is({"SYSTem", "ERRor"}, true)) {
    send((errors_.isEmpty() ? QByteArray("+0,\"No error\"") : errors_.takeFirst().toLatin1()) + lineEnd_);
  } else {
    errors_ << QStringLiteral("-113,\"Undefined header\"");
  }
}

// ---------------------------------------------------------------- switch

namespace {

// "(@101,103:105)" -> 101, 103, 104, 105; empty on a malformed list.
QList<int> ChannelList(const QString& text) {
  QString t = text.trimmed();
  if (!t.startsWith(QLatin1String("(@")) || !t.endsWith(QLatin1Char(')'))) return {};
  t = t.mid(2, t.size() - 3);
  QList<int> out;
  for (const QString& part : t.split(QLatin1Char(','))) {
    const QStringList ends = part.split(QLatin1Char(':'));
    bool ok1 = false, ok2 = false;
    const int a = ends[0].trimmed().toInt(&ok1);
    const int b = ends.size() == 2 ? ends[1].trimmed().toInt(&ok2) : a;
    if (!ok1 || (ends.size() == 2 && !ok2) || ends.size() > 2 || b < a || b - a > 1000) return {};
    for (int ch = a; ch <= b; ++ch) out << ch;
  }
  return out;
}

} // namespace

void SwitchUnit::command(const QByteArray& line) {
  const ScpiCommand c = ParseScpi(line);
  const QList<int> channels = ChannelList(c.arguments);
  if (ScpiMatch(c.path, {QStringLiteral("ROUTe"), QStringLiteral("CLOSe")})) {
    if (c.query) {
      QByteArray a;
      for (int ch : channels) a += QByteArray(a.isEmpty() ? "" : ",") + (isClosed(ch) ? "1" : "0");
      send(a + "\r\n");
    } else {
      for (int ch : channels) close(ch);
    }
  } else if (ScpiMatch(c.path, {QStringLiteral("ROUTe"), QStringLiteral("OPEN")}) && !c.query) {
    for (int ch : channels) open(ch);
  } else if (ScpiMatch(c.path, {QStringLiteral("*RST")})) {
    closed_.clear();
  }
}

// ---------------------------------------------------------------- generator

void FunctionGenerator::reset() {
  output_ = false;
  frequency_ = 1000;
  volts_ = 0.1;
  offset_ = 0;
  shape_ = QStringLiteral("SIN");
  load_ = QStringLiteral("50");
}

void FunctionGenerator::command(const QByteArray& line) {
  // "FREQuency 5000;VOLTage 5": commands joined by semicolons.
  for (const QByteArray& part : line.split(';'))
    if (!part.trimmed().isEmpty()) one(part);
}

void FunctionGenerator::one(const QByteArray& text) {
  const ScpiCommand c = ParseScpi(text);
  auto is = [&](std::initializer_list<const char*> nodes) {
    QStringList pattern;
    for (const char* n : nodes) pattern << QLatin1String(n);
    return ScpiMatch(c.path, pattern);
  };
  bool ok = true;
  const QString arg = c.arguments.trimmed().toUpper();
  if (is({"*RST"})) {
    reset();
  } else if (is({"*IDN"}) && c.query) {
    send("PLANOVIX-BENCH,SIMULATED GENERATOR,0,1.0\n");
  } else if (is({"OUTPut"})) {
    if (arg == QLatin1String("ON") || arg == QLatin1String("1")) output_ = true;
    else if (arg == QLatin1String("OFF") || arg == QLatin1String("0")) output_ = false;
    else ok = false;
  } else if (is({"OUTPut", "LOAD"})) {
    load_ = arg;
  } else if (is({"FREQuency"})) {
    const double f = ParseNumber(arg, &ok);
    if (ok) frequency_ = f;
  } else if (is({"VOLTage"})) {
    const double v = ParseNumber(arg, &ok);
    if (ok) volts_ = v;
  } else if (is({"VOLTage", "OFFSet"})) {
    const double v = ParseNumber(arg, &ok);
    if (ok) offset_ = v;
  } else if (is({"FUNCtion"})) {
    shape_ = arg;
  } else if (is({"FUNCtion", "USER"})) {
    userName_ = arg;
  } else if (is({"FUNCtion", "SHAPe"})) {
    shape_ = arg == QLatin1String("USER") ? QStringLiteral("USER:") + userName_ : arg;
  } else if (is({"DATA"})) {
    // "VOLATILE, 1,1,0,...": the waveform points after the memory name.
    QStringList items = c.arguments.split(QLatin1Char(','));
    if (items.isEmpty() || items[0].trimmed().toUpper() != QLatin1String("VOLATILE")) ok = false;
    QList<double> points;
    for (int i = 1; ok && i < items.size(); ++i) {
      const double p = ParseNumber(items[i], &ok);
      points << p;
    }
    if (ok) volatile_ = points;
  } else if (is({"DATA", "COPY"})) {
    // "PULSE, VOLATILE": the volatile waveform kept under a name.
    const QStringList items = c.arguments.split(QLatin1Char(','));
    if (items.size() == 2 && items[1].trimmed().toUpper() == QLatin1String("VOLATILE")) pulse_ = volatile_;
    else ok = false;
  } else {
    ok = false;
  }
  if (!ok) errors_ << QString::fromLatin1(text.trimmed().left(60));
}

} // namespace pv::bench
