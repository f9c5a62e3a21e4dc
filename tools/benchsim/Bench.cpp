#include "Bench.h"

#include "config/FactoryCells.h"
#include "config/RangeTables.h"
#include "link/Codecs.h"
#include "measure/ChannelDerivation.h"
#include "measure/FrameDisplay.h"
#include "SimulatedFrame.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>
#include <random>

namespace pv::bench {

namespace {

// What the unit's family decides on the bench, by variant.
struct FamilyRow {
  double amps, ampsPerVolt;  // supply current: amps + ampsPerVolt * volts
  double gain10V, gain20mA;  // nominal k of the 10 V and 20 mA ranges
  bool zeroCodeFullDrive;    // a forced code 0 drives the output to its top
  bool olderFixture;         // wired on the single-channel fixture (relays 101..117)
};
constexpr std::array<FamilyRow, 8> kFamilies = {{
    {0.036, -0.0005, 5700, 10300, false, true},  // 0: 26 mA at 20 V, 24 at 24 V, 21 at 30 V
    {0.036, -0.0005, 5700, 10300, false, true},  // 1: same board as 0
    {0.018, 0, 19900, 38500, true, false},       // 2..7: regulated, 18 mA at any voltage
    {0.018, 0, 19900, 38500, true, false},
    {0.018, 0, 19900, 38500, true, false},
    {0.018, 0, 19900, 38500, true, false},
    {0.018, 0, 19900, 38500, true, false},
    {0.018, 0, 19900, 38500, true, false},
}};

const FamilyRow& Family(const ModelRow& m) { return kFamilies[m.variant & 7]; }

// The nominal gain of each calibrated input row (its gain cells are the
// factory map's, by the same code).
struct GainRow {
  int row;
  double nominal;  // 0: the family's value
};
constexpr std::array<GainRow, 7> kGainRows = {{
    {1, 56.5},   // 90 mV
    {2, 113},    // 200 mV
    {3, 453},    // 800 mV
    {4, 0},      // 10 V
    {5, 0},      // 20 mA
    {16, 1},     // 2 kohm
    {17, 1},     // 500 ohm
}};

double NominalGain(const GainRow& g, const FamilyRow& fam) {
  if (g.nominal > 0) return g.nominal;
  return g.row == 4 ? fam.gain10V : fam.gain20mA;
}

// Thermocouple rows measure their millivolts through the 90 mV gain.
int GainRowOf(int row) { return row >= 7 && row <= 14 ? 1 : row; }

const GainRow* GainRowFor(int row) {
  for (const GainRow& g : kGainRows)
    if (g.row == GainRowOf(row)) return &g;
  return nullptr;
}

// A value of the factory map on a unit of this model, or nullptr where the
// unit has none (channel B's inputs on a one-input model, any input of a
// frequency unit).
const FactoryCell* UnitCell(const ModelRow& model, FactoryCellKind kind, int c, int code) {
  const FactoryCell* r = FindFactoryCell(CalibrationLayoutOf(model), kind, c, code);
  if (!r) return nullptr;
  for (const FactoryCell& own : FactoryCellsOf(model))
    if (own.kind == kind && own.channel == c && own.code == code) return r;
  return nullptr;
}

// Zero-offset trim cells of the 10 V and 20 mA ranges hold one's
// complement signed bytes (the trim is written as 255 - m), in the row's
// last decimal.
double OnesComplement(uint8_t b) { return b >= 128 ? -(255.0 - b) : b; }

// Rough Seebeck coefficients, mV per degree C, of the thermocouple rows.
double MillivoltsPerDegree(int row) {
  switch (row) {
    case 7: return 0.0517;   // J
    case 8: return 0.0410;   // K
    case 9: return 0.0118;   // R
    case 10: return 0.0103;  // S
    case 11: return 0.0427;  // T
    case 12: return 0.0077;  // B
    case 13: return 0.0681;  // E
    case 14: return 0.0388;  // N
    default: return 0;
  }
}

// What the unit's input rows take.
constexpr int kFrequencyRow = 33;

InputClass ClassOfRow(int row) {
  if (row >= 1 && row <= 3) return InputClass::Millivolt;
  if (row == 4) return InputClass::Volt;
  if (row == 5) return InputClass::Milliamp;
  if (row >= 7 && row <= 14) return InputClass::Millivolt;  // thermocouples
  if (row == 16 || row == 17 || row == 32) return InputClass::Resistance;
  if (row >= 18 && row <= 30) return InputClass::Resistance;  // sensors on the resistance terminals
  if (row == kFrequencyRow) return InputClass::Frequency;
  return InputClass::None;
}
bool TemperatureRow(int row) { return (row >= 7 && row <= 14) || (row >= 18 && row <= 21); }

// Input terminals the calibrator reaches, by the closed relays of the
// input group (bit 0 = first relay of the group).
struct InputPattern {
  unsigned closed;
  InputClass input;
};
// Two-channel fixture, relays 103..107.
constexpr std::array<InputPattern, 5> kInputPatterns = {{
    {0b00000, InputClass::Millivolt},     // all open: the low-level voltage terminals
    {0b01100, InputClass::Volt},          // 105, 106: leads on the high-level voltage terminals
    {0b11001, InputClass::Milliamp},      // 103, 106, 107: through the current terminals
    {0b01011, InputClass::Resistance},    // 103, 104, 106: the resistance terminals
    {0b01000, InputClass::PtcReference},  // 106 alone: the PTC input, on the reference network while 113 is open
}};
// Single-channel fixture, relays 101..105.
constexpr std::array<InputPattern, 4> kOlderInputPatterns = {{
    {0b00000, InputClass::Millivolt},   // all open
    {0b01100, InputClass::Volt},        // 103, 104
    {0b11110, InputClass::Milliamp},    // 102..105
    {0b00111, InputClass::Resistance},  // 101, 102, 103
}};

unsigned Mask(const SwitchUnit& s, int first, int count) {
  unsigned m = 0;
  for (int i = 0; i < count; ++i)
    if (s.isClosed(first + i)) m |= 1u << i;
  return m;
}

const RangeTables& Tables() {
  static const RangeTables tables;
  return tables;
}

double Word(const sim::DeviceSimulator& u, int at, bool isSigned) {
  return JoinWord(u.cell(0, at + 1), u.cell(0, at), isSigned);
}

// A Float24 of a factory row as the unit reads it (its cell order).
double StoredFloat(const sim::DeviceSimulator& u, const FactoryCell& row, int at) {
  const uint8_t three[3] = {u.cell(0, at), u.cell(0, at + 1), u.cell(0, at + 2)};
  return Float24FromCells(row.kind, three);
}

void PutFloat(sim::DeviceSimulator& u, const FactoryCell& row, double v) {
  const std::array<uint8_t, 3> b = Float24InCells(row.kind, EncodeFloat24(v));
  for (int i = 0; i < 3; ++i) u.setCell(0, row.first + i, b[static_cast<size_t>(i)]);
}

// Every switch ON: bytes 1 and 2 all ones, and the third byte's four
// switches on units that answer four bytes.
std::array<uint8_t, 4> AllOn(const DeviceIdentity& id) {
  return {255, 255, static_cast<uint8_t>(LongSwitchAnswer(id) ? 15 : 0), 0};
}

constexpr double kTopVolts = 12.0, kTopMilliamps = 24.0;
// A bowed output leaves its end points alone and misses half scale by this
// share of its span.
constexpr double kBow = 0.03;
// A wrong-gain unit is this much off its nominal gain (the check allows 2 %).
constexpr double kWrongGain = 1.08;
// A bad cold-junction sensor reads this many degrees high (the unit can
// correct 12.7 at most).
constexpr double kColdJunctionFault = 14.0;
// A high-consumption unit draws this much more.
constexpr double kExtraAmps = 0.012;

} // namespace

QString FaultHelp() {
  return QStringLiteral(
      "wrong-gain=[A:|B:]RANGE (RANGE: 90mV 200mV 800mV 10V 20mA 2kohm 500ohm or a row number), "
      "dead-output[=A|B][:V|:mA], bowed-output[=A|B][:V|:mA], high-consumption, cold-junction, "
      "silent-calibrator, silent-meter[=A|B|usb]");
}

QString ApplyFault(BenchFaults& f, const QString& text) {
  const QString name = text.section(QLatin1Char('='), 0, 0).trimmed().toLower();
  const QString arg = text.section(QLatin1Char('='), 1).trimmed();
  // "[A:|B:]rest" -> channel, rest
  auto channelOf = [](QString a, int* channel) {
    *channel = 0;
    if (a.startsWith(QLatin1String("B"), Qt::CaseInsensitive) &&
        (a.size() == 1 || a[1] == QLatin1Char(':'))) {
      *channel = 1;
      a = a.mid(2);
    } else if (a.startsWith(QLatin1String("A"), Qt::CaseInsensitive) &&
               (a.size() == 1 || a[1] == QLatin1Char(':'))) {
      a = a.mid(2);
    }
    return a;
  };
  int channel = 0;
  if (name == QLatin1String("wrong-gain")) {
    const QString range = channelOf(arg, &channel).remove(QLatin1Char(' ')).toLower();
    static const std::map<QString, int> rows = {
        {QStringLiteral("90mv"), 1},  {QStringLiteral("200mv"), 2},   {QStringLiteral("800mv"), 3},
        {QStringLiteral("10v"), 4},   {QStringLiteral("20ma"), 5},    {QStringLiteral("2kohm"), 16},
        {QStringLiteral("500ohm"), 17}};
    bool ok = false;
    int row = range.toInt(&ok);
    if (!ok) row = rows.count(range) ? rows.at(range) : 0;
    if (!GainRowFor(row)) return QStringLiteral("wrong-gain: unknown range \"%1\"").arg(arg);
    f.wrongGainRow[static_cast<size_t>(channel)] = row;
  } else if (name == QLatin1String("dead-output") || name == QLatin1String("bowed-output")) {
    const QString kind = channelOf(arg, &channel).toLower();
    int which = 3;
    if (kind == QLatin1String("v")) which = 1;
    else if (kind == QLatin1String("ma")) which = 2;
    else if (!kind.isEmpty()) return QStringLiteral("%1: output \"%2\" is not V or mA").arg(name, kind);
    auto& target = name == QLatin1String("dead-output") ? f.deadOutput : f.bowedOutput;
    target[static_cast<size_t>(channel)] |= which;
  } else if (name == QLatin1String("high-consumption") && arg.isEmpty()) {
    f.highConsumption = true;
  } else if (name == QLatin1String("cold-junction") && arg.isEmpty()) {
    f.coldJunction = true;
  } else if (name == QLatin1String("silent-calibrator") && arg.isEmpty()) {
    f.silentCalibrator = true;
  } else if (name == QLatin1String("silent-meter")) {
    const QString which = arg.toLower();
    if (which.isEmpty()) f.silentMeter = {true, true, true};
    else if (which == QLatin1String("a")) f.silentMeter[0] = true;
    else if (which == QLatin1String("b")) f.silentMeter[1] = true;
    else if (which == QLatin1String("usb")) f.silentMeter[2] = true;
    else return QStringLiteral("silent-meter: \"%1\" is not A, B or usb").arg(arg);
  } else {
    return QStringLiteral("unknown fault \"%1\"; known: %2").arg(text, FaultHelp());
  }
  return {};
}

UnitTruth NominalTruth(const ModelRow& model, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> spread(-1.0, 1.0);
  auto u = [&] { return seed == 0 ? 0.0 : spread(random); };
  const FamilyRow& fam = Family(model);
  UnitTruth t;
  for (ChannelTruth& ch : t.channel) {
    for (const GainRow& g : kGainRows) {
      ch.gain[g.row] = NominalGain(g, fam) * (1 + 0.006 * u());
    }
    ch.zero[4] = 0.0034 * (1 + 0.5 * u());   // V
    ch.zero[5] = -0.0062 * (1 + 0.5 * u());  // mA
    const double v800 = 0.03 * u(), v3500 = 10.0 + 0.03 * u();
    ch.volts.b = (v3500 - v800) / 2700;
    ch.volts.a = v800 - 800 * ch.volts.b;
    const double i800 = 0.05 * u(), i3500 = 20.0 + 0.05 * u();
    ch.milliamps.b = (i3500 - i800) / 2700;
    ch.milliamps.a = i800 - 800 * ch.milliamps.b;
    ch.coldJunctionError = 1.5 * u();
    ch.ptcExcitation = 2201 * (1 + 0.01 * u());
    ch.ptcSeries = 2120 * (1 + 0.01 * u());
  }
  t.consumptionA = fam.amps + 0.0005 * u();
  t.consumptionPerVolt = fam.ampsPerVolt;
  return t;
}

SimulatedBench::SimulatedBench(const ModelRow& model, const UnitTruth& truth, const BenchFaults& faults)
    : model_(model), truth_(truth), faults_(faults) {
  unit_.setModel(QLatin1String(model.id));
  // Fresh from assembly: nominal gain coefficients in the gain cells the
  // unit has, both outputs on their current pair (the run reads the current
  // pair to decode the stream).
  for (const FactoryCell& r : FactoryCellsOf(model))
    if (r.kind == FactoryCellKind::Gain)
      if (const GainRow* g = GainRowFor(r.code)) PutFloat(unit_, r, NominalGain(*g, Family(model)));
  for (int c = 0; c < 2; ++c) unit_.setCell(0, 4 + 2 * c, unit_.cell(0, 4 + 2 * c) & ~3u);
  unit_.setFrameSource([this](qint64) { return frameData(); });
  unit_.setCommandObserver([this](const QByteArray& command) { observe(command); });

  meters_[0] = std::make_unique<Multimeter>("\r\n");
  meters_[1] = std::make_unique<Multimeter>("\r\n");
  meters_[2] = std::make_unique<Multimeter>("\n");
  // The first meter and the USB meter sit on the routed output; the second
  // meter is wired to channel B's terminals.
  auto routed = [this](Multimeter::Function fn) {
    const Routing r = routing();
    if (fn == Multimeter::Function::Volt) return r.meterOnCurrent ? 0.0 : outputVolts(r.meterChannel);
    return r.meterOnCurrent ? outputMilliamps(r.meterChannel) / 1000 : 0.0;
  };
  meters_[0]->setProbe(routed);
  meters_[2]->setProbe(routed);
  meters_[1]->setProbe([this](Multimeter::Function fn) {
    return fn == Multimeter::Function::Volt ? outputVolts(1) : outputMilliamps(1) / 1000;
  });
  for (size_t i = 0; i < meters_.size(); ++i) meters_[i]->setSilent(faults_.silentMeter[i]);
  calibrator_.setSilent(faults_.silentCalibrator);
  supply_.setLoad([this](bool on, double volts) { return supplyAmps(on, volts); });
  if (faults_.dipOperator) unit_.setSwitches(AllOn(unit_.identity()));
}

void SimulatedBench::observe(const QByteArray& command) {
  if (command.startsWith("$D") && faults_.dipOperator) {
    const bool wasOn = unit_.switches()[0] == 255;
    unit_.setSwitches(wasOn ? std::array<uint8_t, 4>{} : AllOn(unit_.identity()));
  } else if (command == "PR\r" || command == "MI\r" || command.startsWith("$FP")) {
    forced_ = {-1, -1};
  } else if ((command.startsWith("$I") || command.startsWith("$i")) && unit_.programming()) {
    const int c = command[1] == 'I' ? 0 : 1;
    const int code = static_cast<uint8_t>(command[2]) * 256 + static_cast<uint8_t>(command[3]);
    forced_[static_cast<size_t>(c)] = code;
    lastForced_[static_cast<size_t>(c)] = code;
  }
}

Routing SimulatedBench::routing() const {
  Routing r;
  const SwitchUnit& s = switch_;
  if (Family(model_).olderFixture) {
    const unsigned m = Mask(s, 101, 5);
    for (const InputPattern& p : kOlderInputPatterns)
      if (p.closed == m) r.input = p.input;
    r.calibratorConnected = r.input != InputClass::None;
    r.inputChannel = s.isClosed(109) ? 1 : 0;    // 109: calibrator onto channel B
    r.meterChannel = s.isClosed(111) ? 1 : 0;    // 111: meter onto channel B's output
    r.meterOnCurrent = s.isClosed(114);          // 114..116: the current loop through the meter
    return r;
  }
  const unsigned m = Mask(s, 103, 5);
  for (const InputPattern& p : kInputPatterns)
    if (p.closed == m) r.input = p.input;
  // 113: the calibrator's leads; on the PTC path they replace the
  // reference network, so the calibrator's resistance reaches the input.
  r.calibratorConnected = s.isClosed(113);
  if (r.input == InputClass::PtcReference && r.calibratorConnected) r.input = InputClass::Resistance;
  r.referenceOhms = s.isClosed(114) ? 2000 : 1000;  // 114: the 2000 ohm reference instead of 1000
  r.inputChannel = s.isClosed(101) ? 1 : 0;   // 101: calibrator onto channel B
  r.meterChannel = s.isClosed(102) ? 1 : 0;   // 102: meter onto channel B's output
  r.meterOnCurrent = s.isClosed(108);         // 108: the current loop through the meter
  return r;
}

int SimulatedBench::inputRow(int c) const {
  // A frequency unit keeps its sensor in cell 0; its input is always "Freq".
  if (model_.variantRow().frequencyInput) return kFrequencyRow;
  return unit_.cell(0, c);
}

double SimulatedBench::inputValue(int c) const {
  const Routing r = routing();
  if (c == 1 && model_.inputs < 2) return 0;
  // The function generator is wired straight to a frequency input; the
  // unit counts edges of any waveform of at least 20 mV.
  if (ClassOfRow(inputRow(c)) == InputClass::Frequency)
    return generator_.output() && std::fabs(generator_.volts()) >= 0.02 ? generator_.frequency() : 0;
  if (r.inputChannel != c) return 0;
  const int row = inputRow(c);
  // The PTC reference network on a millivolt input: the unit's own
  // excitation divided by its series resistor and the reference.
  if (r.input == InputClass::PtcReference) {
    if (ClassOfRow(row) != InputClass::Millivolt || TemperatureRow(row)) return 0;
    const ChannelTruth& t = truth_.channel[static_cast<size_t>(c)];
    return t.ptcExcitation * r.referenceOhms / (r.referenceOhms + t.ptcSeries);
  }
  if (!r.calibratorConnected) return 0;
  if (ClassOfRow(row) != r.input) return 0;
  const Source s = calibrator_.output();
  switch (r.input) {
    case InputClass::Millivolt:
      if (TemperatureRow(row)) return s.kind == Source::Kind::Temperature ? s.value : 0;
      return s.kind == Source::Kind::Voltage ? s.value * 1000 : 0;
    case InputClass::Volt: return s.kind == Source::Kind::Voltage ? s.value : 0;
    case InputClass::Milliamp: return s.kind == Source::Kind::Current ? s.value * 1000 : 0;
    case InputClass::Resistance:
      if (TemperatureRow(row)) return s.kind == Source::Kind::Temperature ? s.value : 0;
      return s.kind == Source::Kind::Resistance ? s.value : 0;
    default: return 0;
  }
}

double SimulatedBench::measuredValue(int c) const {
  const int row = inputRow(c);
  const ChannelTruth& t = truth_.channel[static_cast<size_t>(c)];
  const Routing r = routing();
  const Source source = calibrator_.output();
  const bool thermocouple = row >= 7 && row <= 14;
  // A thermocouple input sees the calibrator's millivolts when routed,
  // otherwise 0 mV; a simulated couple (temperature) is handled below.
  const bool routedHere = r.inputChannel == c && r.calibratorConnected && r.input == InputClass::Millivolt &&
                          !(c == 1 && model_.inputs < 2);
  const bool temperatureSource = thermocouple && routedHere && source.kind == Source::Kind::Temperature;
  double x = inputValue(c);
  if (thermocouple) x = routedHere && source.kind == Source::Kind::Voltage ? source.value * 1000 : 0;

  const GainRow* g = GainRowFor(row);
  if (const FactoryCell* cell = g ? UnitCell(model_, FactoryCellKind::Gain, c, g->row) : nullptr;
      cell && !temperatureSource) {
    const double stored = StoredFloat(unit_, *cell, cell->first);
    auto it = t.gain.find(g->row);
    double real = it == t.gain.end() ? stored : it->second;
    if (faults_.wrongGainRow[static_cast<size_t>(c)] == g->row) real *= kWrongGain;
    if (std::isfinite(stored) && real != 0) x = x * stored / real;
  }
  if (auto z = t.zero.find(row); z != t.zero.end()) x += z->second;
  if (const FactoryCell* trim = UnitCell(model_, FactoryCellKind::ZeroTrim, c, row))
    x += OnesComplement(unit_.cell(0, trim->first)) * std::pow(10.0, -Tables().input[static_cast<size_t>(row)].decimals);
  if (thermocouple) {
    // The cold junction as the unit's sensor reads it, with its stored
    // offset (signed tenths of a degree).
    const double error = t.coldJunctionError + (faults_.coldJunction ? kColdJunctionFault : 0);
    const double offset = static_cast<int8_t>(unit_.cell(0, 7 + c)) / 10.0;
    const double coldJunction = calibrator_.ambient() + error + offset;
    // A simulated couple is compensated against the calibrator's own
    // junction, so only the unit's sensor error and offset remain.
    x = temperatureSource ? source.value + error + offset : coldJunction + x / MillivoltsPerDegree(row);
  }
  return x;
}

double SimulatedBench::streamedCode(int c) const {
  const int row = inputRow(c);
  if (row >= static_cast<int>(Tables().input.size())) return 800;
  const bool isSigned = model_.variantRow().signedWords;
  const double scale = std::pow(10.0, Tables().input[static_cast<size_t>(row)].decimals);
  const CalibrationLayout layout = CalibrationLayoutOf(model_);
  const int inBase = FindFactoryCell(layout, FactoryCellKind::InputRange, c, 0)->first;
  const int outBase = FindFactoryCell(layout, FactoryCellKind::OutputRange, c, 0)->first;
  const double inMax = Word(unit_, inBase, isSigned) / scale;
  const double inMin = Word(unit_, inBase + 2, isSigned) / scale;
  const double outMax = Word(unit_, outBase, isSigned) / 1000;
  const double outMin = Word(unit_, outBase + 2, isSigned) / 1000;
  const double x = measuredValue(c);
  const double y = inMax == inMin ? outMin : outMin + (outMax - outMin) * (x - inMin) / (inMax - inMin);

  const int type = unit_.cell(0, 4 + 2 * c) & 3;
  const FactoryCell& pairCell = *FindFactoryCell(layout, FactoryCellKind::OutputPair, c, type <= 1 ? 0 : 2);
  const sim::Bank cells = unit_.bank(0);
  auto pair = CalibrationPairFromCells(cells.data() + pairCell.first);
  if (pairCell.highValueFirst) std::swap(pair[0], pair[1]);
  if (!std::isfinite(pair[0]) || !std::isfinite(pair[1]) || pair[0] == pair[1]) return 800;
  // The code as the firmware computes and streams it; only the DAC
  // itself stops at 0..4095.
  return std::round(800 + 2700 * (y - pair[0]) / (pair[1] - pair[0]));
}

double SimulatedBench::dacCode(int c) const {
  const int forced = forced_[static_cast<size_t>(c)];
  return forced >= 0 ? forced : streamedCode(c);
}

double SimulatedBench::terminal(int c, bool current) const {
  if (c == 1 && !model_.secondOutput) return 0;
  const ChannelTruth& t = truth_.channel[static_cast<size_t>(c)];
  const double code = std::clamp(dacCode(c), 0.0, 4095.0);
  const int kind = current ? 2 : 1;
  const double top = current ? kTopMilliamps : kTopVolts;
  if (faults_.deadOutput[static_cast<size_t>(c)] & kind)
    return top * 0.0002 * code / 4095;  // leakage of a dead stage
  if (forced_[static_cast<size_t>(c)] == 0 && Family(model_).zeroCodeFullDrive) return top;
  double v = current ? t.milliamps.at(code) : t.volts.at(code);
  if ((faults_.bowedOutput[static_cast<size_t>(c)] & kind) && code > 800 && code < 3500) {
    const double span = current ? 20.0 : 10.0;
    v += kBow * span * std::sin(M_PI * (code - 800) / 2700);
  }
  return std::clamp(v, current ? 0.0 : -0.2, top);
}

double SimulatedBench::outputVolts(int c) const { return terminal(c, false); }
double SimulatedBench::outputMilliamps(int c) const { return terminal(c, true); }

// Below this the unit's converter does not start.
constexpr double kStartVolts = 12;

bool SimulatedBench::unitPowered() const { return supply_.on() && supply_.volts() >= kStartVolts; }

double SimulatedBench::supplyAmps(bool on, double volts) const {
  if (!on || volts < kStartVolts) return 0;
  return truth_.consumptionA + truth_.consumptionPerVolt * volts + (faults_.highConsumption ? kExtraAmps : 0);
}

QByteArray SimulatedBench::frameData() const {
  QByteArray data(FrameDataLength(unit_.identity()), '\0');
  data[0] = 1;
  // Value c is channel c's DAC code. The status byte that may share value
  // 1's first byte is left out: the code matters more to the bench.
  for (int c = 0; c < 2; ++c) {
    const auto b = ShortFloatBytes(streamedCode(c));
    for (int i = 0; i < 3; ++i)
      if (3 * c + 1 + i < data.size()) data[3 * c + 1 + i] = static_cast<char>(b[static_cast<size_t>(i)]);
  }
  auto put = [&](int value, double v) {
    const auto b = ShortFloatBytes(v);
    for (int i = 0; i < 3; ++i)
      if (3 * value + 1 + i < data.size()) data[3 * value + 1 + i] = static_cast<char>(b[static_cast<size_t>(i)]);
  };
  // The older generation also carries its one input as value 3 (channel B
  // repeats it); the 13-byte frame carries both inputs as values 2 and 3.
  for (int c = 0; c < 2; ++c) {
    const int at = InputValueIndex(unit_.identity(), c);
    if (at >= 0 && !(c == 1 && at == InputValueIndex(unit_.identity(), 0))) put(at, streamedInput(c));
  }
  return data;
}

double SimulatedBench::streamedInput(int c) const {
  const double x = measuredValue(c);
  const int row = inputRow(c);
  // The older generation sends its 10 V and 20 mA inputs in mV and uA.
  if (IsCode12Variant(unit_.identity(), 0) && (row == 4 || row == 5)) return x * 1000;
  const CalibrationLayout layout = CalibrationLayoutOf(model_);
  if (layout != CalibrationLayout::PhysicalScale) return x;
  // The physical-scale model sends the input on the channel's physical
  // scale (its maximum and minimum, where and as the configuration keeps
  // them); a scale whose two ends are equal is off, as the calibration
  // sets it, and the input goes out as measured.
  const FactoryCell* top = FindFactoryCell(layout, FactoryCellKind::PhysicalScale, c, 2 * c);
  const FactoryCell* bottom = FindFactoryCell(layout, FactoryCellKind::PhysicalScale, c, 2 * c + 1);
  if (!top || !bottom || row >= static_cast<int>(Tables().input.size())) return x;
  const double pMax = StoredFloat(unit_, *top, top->first), pMin = StoredFloat(unit_, *bottom, bottom->first);
  const bool isSigned = model_.variantRow().signedWords;
  const double scale = std::pow(10.0, Tables().input[static_cast<size_t>(row)].decimals);
  const int inBase = FindFactoryCell(layout, FactoryCellKind::InputRange, c, 0)->first;
  const double inMax = Word(unit_, inBase, isSigned) / scale, inMin = Word(unit_, inBase + 2, isSigned) / scale;
  if (!std::isfinite(pMax) || !std::isfinite(pMin) || pMax == pMin || inMax == inMin) return x;
  return pMin + (pMax - pMin) * (x - inMin) / (inMax - inMin);
}

QJsonObject SimulatedBench::state() const {
  QJsonObject o;
  o[QStringLiteral("model")] = QLatin1String(model_.id);
  QJsonArray closed;
  for (int ch : switch_.closed()) closed.append(ch);
  const Routing r = routing();
  static const char* kClassNames[] = {"none", "millivolt", "volt", "milliamp", "resistance", "ptc-reference", "frequency"};
  o[QStringLiteral("routing")] = QJsonObject{
      {QStringLiteral("closed"), closed},
      {QStringLiteral("input"), QLatin1String(kClassNames[static_cast<int>(r.input)])},
      {QStringLiteral("calibratorConnected"), r.calibratorConnected},
      {QStringLiteral("inputChannel"), r.inputChannel == 0 ? QStringLiteral("A") : QStringLiteral("B")},
      {QStringLiteral("meterChannel"), r.meterChannel == 0 ? QStringLiteral("A") : QStringLiteral("B")},
      {QStringLiteral("meterOn"), r.meterOnCurrent ? QStringLiteral("current") : QStringLiteral("voltage")}};
  o[QStringLiteral("supply")] = QJsonObject{{QStringLiteral("on"), supply_.on()},
                                            {QStringLiteral("volts"), supply_.volts()},
                                            {QStringLiteral("currentReads"), supply_.currentReads()},
                                            {QStringLiteral("lastAmps"), supply_.lastAnswerAmps()}};
  const Source s = calibrator_.output();
  o[QStringLiteral("calibrator")] = QJsonObject{{QStringLiteral("function"), calibrator_.function()},
                                                {QStringLiteral("sensor"), calibrator_.sensor()},
                                                {QStringLiteral("value"), calibrator_.setting()},
                                                {QStringLiteral("sourced"), s.value},
                                                {QStringLiteral("measuring"), calibrator_.measuring()},
                                                {QStringLiteral("temperatureReads"), calibrator_.temperatureReads()},
                                                {QStringLiteral("badChecksums"), calibrator_.badChecksums()},
                                                {QStringLiteral("silent"), calibrator_.silent()}};
  QJsonArray units;
  for (int c = 0; c < 2; ++c) {
    units.append(QJsonObject{{QStringLiteral("inputRow"), inputRow(c)},
                             {QStringLiteral("input"), inputValue(c)},
                             {QStringLiteral("measured"), measuredValue(c)},
                             {QStringLiteral("streamedCode"), streamedCode(c)},
                             {QStringLiteral("forcedCode"), forced_[static_cast<size_t>(c)]},
                             {QStringLiteral("lastForcedCode"), lastForced_[static_cast<size_t>(c)]},
                             {QStringLiteral("volts"), outputVolts(c)},
                             {QStringLiteral("milliamps"), outputMilliamps(c)}});
  }
  // The unit's cell memory (bank 0, cells 0..255) as it stands.
  QJsonArray cells;
  for (uint8_t b : unit_.bank(0)) cells.append(b);
  o[QStringLiteral("unit")] = QJsonObject{{QStringLiteral("programming"), unit_.programming()},
                                          {QStringLiteral("streaming"), unit_.streaming()},
                                          {QStringLiteral("channels"), units},
                                          {QStringLiteral("cells"), cells}};
  QJsonArray meters;
  static const char* kMeterNames[] = {"meter-a", "meter-b", "usb-meter"};
  for (int i = 0; i < 3; ++i) {
    const Multimeter& m = *meters_[static_cast<size_t>(i)];
    QJsonArray served;
    for (double v : m.served()) served.append(v);
    meters.append(QJsonObject{{QStringLiteral("name"), QLatin1String(kMeterNames[i])},
                              {QStringLiteral("function"), m.function() == Multimeter::Function::Volt ? QStringLiteral("VOLT") : QStringLiteral("CURR")},
                              {QStringLiteral("remote"), m.remote()},
                              {QStringLiteral("readings"), m.readings()},
                              {QStringLiteral("lastReading"), m.lastReading()},
                              {QStringLiteral("served"), served},
                              {QStringLiteral("beeps"), m.beeps()}});
  }
  o[QStringLiteral("meters")] = meters;
  // How many commands each end received, and the last few of them.
  QJsonObject commands;
  auto recent = [](const QList<QByteArray>& lines) {
    QJsonArray last;
    for (qsizetype i = std::max<qsizetype>(0, lines.size() - 8); i < lines.size(); ++i)
      last.append(QString::fromLatin1(sim::EscapeBytes(lines[i])));
    return QJsonObject{{QStringLiteral("count"), static_cast<qint64>(lines.size())}, {QStringLiteral("last"), last}};
  };
  commands[QStringLiteral("unit")] = recent(unit_.transcript());
  commands[QStringLiteral("supply")] = recent(supply_.transcript());
  commands[QStringLiteral("calibrator")] = recent(calibrator_.transcript());
  commands[QStringLiteral("switch")] = recent(switch_.transcript());
  for (int i = 0; i < 3; ++i) commands[QLatin1String(kMeterNames[i])] = recent(meters_[static_cast<size_t>(i)]->transcript());
  commands[QStringLiteral("generator")] = recent(generator_.transcript());
  o[QStringLiteral("commands")] = commands;
  o[QStringLiteral("generator")] = QJsonObject{{QStringLiteral("output"), generator_.output()},
                                               {QStringLiteral("frequency"), generator_.frequency()},
                                               {QStringLiteral("shape"), generator_.shape()},
                                               {QStringLiteral("volts"), generator_.volts()},
                                               {QStringLiteral("offset"), generator_.offset()},
                                               {QStringLiteral("userPoints"), generator_.userPoints()},
                                               {QStringLiteral("storedPoints"), generator_.storedPoints()}};
  return o;
}

} // namespace pv::bench
