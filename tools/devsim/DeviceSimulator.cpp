#include "DeviceSimulator.h"

#include "config/CellMap.h"
#include "config/FactoryCells.h"
#include "config/RangeTables.h"
#include "link/Codecs.h"
#include "measure/ChannelDerivation.h"
#include "measure/MeasureDevice.h"
#include "switches/SwitchTables.h"

#include <algorithm>
#include <cmath>

namespace pv::sim {

namespace {

constexpr uint8_t kGarbage[] = {0xFF, 0x13};

const RangeTables& Tables() {
  static const RangeTables tables;
  return tables;
}

// Trip thresholds at 80 % (high) and 20 % (low) of a range, through the
// cell map like any other configuration.
void PutTrips(Bank& m, const DeviceIdentity& id, int c, double lower, double upper) {
  ConfigRecord r = DecodeConfig(id, Tables(), m);
  r.ch[c].tripHigh = lower + 0.8 * (upper - lower);
  r.ch[c].tripLow = lower + 0.2 * (upper - lower);
  m = EncodeConfig(id, Tables(), r, m).cells;
}

// Output calibration points: sign and exponent first, then M1, M2.
void PutPoint(Bank& m, int at, double value) {
  const Float24Bytes f = EncodeFloat24(value);
  m[at] = f.s;
  m[at + 1] = f.m1;
  m[at + 2] = f.m2;
}

struct ChannelSetup {
  int row;
  double inLow, inHigh;
  int outType;  // 0 "0-20 mA", 1 "4-20 mA", 2 "0-10 V", 3 "0-5 V"
  int wires;    // 0 two, 1 four, 2 three
  bool internalCjc;
};

constexpr double kOutLow[4] = {0, 4, 0, 0};
constexpr double kOutHigh[4] = {20, 20, 10, 5};

std::array<ChannelSetup, 2> FactorySetup(uint8_t variant) {
  switch (variant) {
    case 0:
    case 1: return {{{18, 0, 100, 1, 2, false}, {18, 0, 100, 2, 2, false}}};   // Pt 100
    case 2: return {{{8, 0, 600, 1, 0, true}, {7, 0, 400, 1, 0, true}}};      // Tc K, Tc J
    case 3: return {{{18, 0, 100, 1, 2, false}, {18, -50, 150, 1, 2, false}}};  // Pt 100
    case 4:
    case 5: return {{{5, 4, 20, 1, 0, false}, {4, 0, 10, 2, 0, false}}};      // mA, V
    case 6: return {{{23, 0, 100, 1, 0, false}, {26, 0, 100, 1, 0, false}}};  // Pot2K, Cost10K
    // Freq: the range check wants at least 0.1 Hz at the bottom.
    default: return {{{33, 1, 1000, 1, 0, false}, {33, 1, 1000, 1, 0, false}}};
  }
}

} // namespace

QByteArray EscapeBytes(const QByteArray& bytes) {
  QByteArray out;
  for (char ch : bytes) {
    const auto c = static_cast<uint8_t>(ch);
    if (c == '\\') out += "\\\\";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c >= 32 && c < 127) out += ch;
    else out += "\\x" + QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
  }
  return out;
}

Bank DefaultMemory(const ModelRow& model, const DeviceIdentity& identity) {
  Bank m{};
  const uint8_t v = identity.variant;
  const auto setup = FactorySetup(v);

  ConfigRecord r;
  for (int c = 0; c < 2; ++c) {
    const ChannelSetup& s = setup[c];
    ChannelConfig& ch = r.ch[c];
    ch.inputRow = s.row;
    ch.inputMax = s.inHigh;
    ch.inputMin = s.inLow;
    ch.outputRow = s.outType;
    ch.outputMax = kOutHigh[s.outType];
    ch.outputMin = kOutLow[s.outType];
    ch.wires = s.wires;
    ch.cjc = s.internalCjc ? 1 : 0;
    // Trips at 80 % (high) and 20 % (low) of the range.
    ch.tripHigh = s.inLow + 0.8 * (s.inHigh - s.inLow);
    ch.tripLow = s.inLow + 0.2 * (s.inHigh - s.inLow);
  }
  r.tripDelay = 2;  // seconds
  if (v == 7) {
    r.freqType = 0;   // NAMUR sensor, no 50 Hz filter
    r.freqDecimals = 1;
    r.filter = 10;
    r.auxFrequency = 50;
    r.trigger = 50 * 0.0278 + 0.122;  // about 1.5 V
  }
  if (v == 5) {
    // Physical scale: channel A 0..100 %, channel B 0..10 bar; outputs alike.
    r.physical = {100, 0, 10, 0, 100, 0, 10, 0};
  }
  // The family the model label reads lives in cell 4, beside the record.
  m[4] = model.family;
  m = EncodeConfig(identity, Tables(), r, m).cells;

  // Output calibration: value at 800 and 3500 counts; variants 0 and 7
  // keep them the other way round. Both kinds of output are calibrated,
  // so an output chosen on the switches has its pair too.
  for (int c = 0; c < 2; ++c) {
    for (const bool current : {false, true}) {
      const int points = (c == 0 ? 100 : 112) + (current ? 6 : 0);
      const double full = current ? 20.0 : 10.0;
      const bool reversed = v == 0 || v == 7;
      PutPoint(m, points, reversed ? full : 0.0);
      PutPoint(m, points + 3, reversed ? 0.0 : full);
    }
  }

  // Default span and zero of each input type, at the addresses the program
  // uses with its start-up channel selector (both channels). Selector 0's
  // addresses start 20 cells lower, on the calibration pairs and on this
  // same block, so one memory cannot serve both. Variant 5 keeps its
  // physical scale values there instead.
  for (int t = 1; t <= 31; ++t) {
    const int at = 112 + 4 * (t - 1) + 20;
    if (v == 5 && at <= 153) continue;
    const CalibrationTable table = MakeCalibrationTable(v, t);
    const WordBytes s = SplitWord(table.spanDefault);
    const WordBytes z = SplitWord(table.zeroDefault);
    m[at] = s.lo;
    m[at + 1] = s.hi;
    m[at + 2] = z.lo;
    m[at + 3] = z.hi;
  }
  return m;
}

namespace {

// A small spread from the serial number and the cell: -1..1, the same every time.
double Spread(quint32 serial, int cell) {
  quint32 h = serial * 2654435761u ^ static_cast<quint32>(cell) * 40503u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  return (static_cast<int>(h % 2001) - 1000) / 1000.0;
}

double Point(const Bank& m, int at) { return DecodeFloat24(m[at + 1], m[at + 2], m[at]); }

} // namespace

Bank WithOwnCalibration(const Bank& factory, const ModelRow& model, const DeviceIdentity& id, quint32 serial) {
  Bank m = factory;
  if (serial == 0) return m;
  for (const FactoryCell& c : FactoryCellsOf(model)) {
    switch (c.kind) {
    case FactoryCellKind::Gain:
      // The 2 kohm gain's cells also carry the PTC word; the gain wins here.
      PutPoint(m, c.first, 1.0 + 0.02 * Spread(serial, c.first));
      break;
    case FactoryCellKind::ZeroTrim:
      m[c.first] = static_cast<uint8_t>(8 + std::lround(7 * Spread(serial, c.first)));
      break;
    case FactoryCellKind::OutputPair:
      // A few thousandths off the nominal point, as a real output is.
      PutPoint(m, c.first, Point(m, c.first) + 0.005 * Spread(serial, c.first));
      PutPoint(m, c.first + 3, Point(m, c.first + 3) * (1.0 + 0.002 * Spread(serial, c.first + 3)));
      break;
    case FactoryCellKind::PtcWord:
    case FactoryCellKind::ColdJunction:
    case FactoryCellKind::PhysicalScale:
    case FactoryCellKind::InputRange:
    case FactoryCellKind::OutputRange:
      break;  // the PTC word shares the gain's cells; the others are the user's too
    }
  }
  // Only the cells that are the unit's alone change: a gain row that shares
  // cells with a configuration field (channel B's first gains lie on
  // channel A's trip thresholds) leaves them to the configuration.
  Bank own = factory;
  for (int a : FingerprintCells(model, id)) own[static_cast<size_t>(a)] = m[static_cast<size_t>(a)];
  return own;
}

Bank WithBlankCalibration(const Bank& factory, const ModelRow& model, const DeviceIdentity& id) {
  Bank m = factory;
  for (int a : FingerprintCells(model, id)) m[static_cast<size_t>(a)] = 0;
  return m;
}

DeviceSimulator::DeviceSimulator() : model_(FindModel(u"KRV2212A")) {
  identity_ = {12, model_->variant, 3, 0};
  resetMemory();
}

bool DeviceSimulator::setModel(const QString& modelId) {
  const ModelRow* m = FindModel(modelId);
  if (!m) return false;
  model_ = m;
  identity_.variant = m->variant;
  resetMemory();
  return true;
}

void DeviceSimulator::resetMemory() {
  channelsDirty_ = true;
  banks_.clear();
  banks_[0] = DefaultMemory(*model_, identity_);
}

uint8_t DeviceSimulator::cell(int bank, int address) const {
  const auto it = banks_.find(bank);
  if (it == banks_.end() || address < 0 || address > 255) return 255;
  return it->second[address];
}

void DeviceSimulator::setCell(int bank, int address, uint8_t value) {
  if (address < 0 || address > 255) return;
  if (bank == 0) channelsDirty_ = true;
  auto it = banks_.find(bank);
  if (it == banks_.end()) {
    Bank erased;
    erased.fill(255);
    it = banks_.emplace(bank, erased).first;
  }
  it->second[address] = value;
}

Bank DeviceSimulator::bank(int bank) const {
  const auto it = banks_.find(bank);
  if (it != banks_.end()) return it->second;
  Bank erased;
  erased.fill(255);
  return erased;
}

CalibrationTable DeviceSimulator::calibrationTable(int inputType) const {
  return MakeCalibrationTable(identity_.variant, inputType);
}

CalibrationTable MakeCalibrationTable(uint8_t v, int inputType) {
  const CalibrationTableWords w = DemoCalibrationTable(v, inputType);
  CalibrationTable t;
  t.span = w.span;
  t.zero = w.zero;
  t.spanDefault = w.spanDefault;
  t.zeroDefault = w.zeroDefault;
  return t;
}

double SweepFraction(qint64 nowMs, int channel) {
  constexpr double kPeriodS = 60.0;
  // A starts a fifth of the way up its range, rising; B a quarter turn on.
  const double phase = channel == 0 ? 0.125 : 0.375;
  double p = std::fmod(nowMs / 1000.0 / kPeriodS + phase, 1.0);
  if (p < 0) p += 1.0;
  const double triangle = p < 0.5 ? 2 * p : 2 - 2 * p;
  return -0.1 + 1.2 * triangle;
}

namespace {

// The unit's own memory and tables seen through the run's exchanges, so a
// switch-configured channel is derived by the very code the window uses.
class OwnMemory final : public MeasureDevice {
public:
  OwnMemory(const Bank& bank0, uint8_t variant) : bank0_(bank0), variant_(variant) {}
  IdentityBytes ReadIdentity() override { return {}; }
  std::array<int, 4> ReadSwitchState() override { return {}; }
  CellBytes ReadCells(int bank, int first, int count) override {
    CellBytes out{};
    for (int i = 0; i < count && i < 256; ++i)
      out[i] = bank == 0 && first + i >= 0 && first + i < 256 ? bank0_[first + i] : 255;
    return out;
  }
  // As the command set assembles it: defaults from the cells of the
  // start-up channel selector, points from the table.
  QVector<int> ReadCalibrationTables(int t) override {
    const CalibrationTable table = MakeCalibrationTable(variant_, t);
    const bool sign = variant_ != 7;
    const int at = 112 + 4 * (t - 1) + 20;
    auto cellWord = [&](int a) {
      return a >= 0 && a + 1 < 256 ? JoinWord(bank0_[a + 1], bank0_[a], sign) : 0;
    };
    QVector<int> out;
    out << cellWord(at) << table.span << cellWord(at + 2) << table.zero;
    return out;
  }
  void StartMeasure() override {}
  void StopMeasure() override {}
  FrameBytes ReadMeasureFrame() override { return {}; }
  qint64 nowMs() override { return 0; }
  void letEventsRun() override {}

private:
  const Bank& bank0_;
  uint8_t variant_;
};

} // namespace

const std::array<SimulatedChannel, 2>& DeviceSimulator::simulatedChannels() {
  if (!channelsDirty_) return channels_;
  channelsDirty_ = false;
  const Bank& m = banks_[0];
  channels_ = SimulatedChannelsFromCells(identity_, Tables(), m.data());
  const std::array<uint8_t, 3> sw{switches_[0], switches_[1], switches_[2]};
  for (int c = 0; c < 2; ++c) {
    const int row = SwitchInputRow(identity_, sw, c);
    if (row == rows::Eeprom) continue;
    OwnMemory own(m, identity_.variant);
    AppState state;
    state.identity = identity_;
    ChannelSettings s = channels_[c].settings;
    if (!DeriveSwitchChannel(identity_, Tables(), sw, c, row, own, state, s)) continue;
    channels_[c].settings = s;
    const auto pair = CalibrationPairFromCells(m.data() + CalibrationPairAddress(c, s.outputType));
    channels_[c].p0 = pair[0];
    channels_[c].p1 = pair[1];
  }
  return channels_;
}

void DeviceSimulator::fitTripsToRanges() {
  const auto channels = simulatedChannels();
  Bank& m = banks_[0];
  for (int c = 0; c < 2; ++c) {
    if (!channels[c].hasTrip) continue;
    const ChannelSettings& s = channels[c].settings;
    PutTrips(m, identity_, c, s.inputMin, s.inputMax);
  }
  channelsDirty_ = true;
}

int DeviceSimulator::frameDataLength() const { return FrameDataLength(identity_); }

QByteArray DeviceSimulator::measureFrame(qint64 nowMs) {
  // A one-channel unit's second output follows the same input, and must
  // not raise the alarm on a sweep of its own.
  const double a = SweepFraction(nowMs, 0);
  const std::array<double, 2> f{a, model_->inputs == 1 ? a : SweepFraction(nowMs, 1)};
  QByteArray data = frameSource_ ? frameSource_(nowMs) : EncodeSimulatedFrame(identity_, simulatedChannels(), f);
  data[0] = static_cast<char>(frameCounter_++);  // the window does not read it
  return QByteArray(1, 'A') + data + '\r';
}

void DeviceSimulator::emitFrame(qint64 nowMs) {
  if (hungUp_ || !sink_) return;
  QByteArray frame = measureFrame(nowMs);
  if (faults_.garbagePrefix) frame.prepend(reinterpret_cast<const char*>(kGarbage), 2);
  sink_(frame);
}

void DeviceSimulator::receive(const QByteArray& bytes) {
  if (hungUp_) return;
  pending_ += bytes;
  // Fixed-length frames: "$" + letter + three argument bytes + CR (the
  // arguments may be any byte, CR included), or two letters + CR. Anything
  // else is line noise and skipped one byte at a time.
  while (!pending_.isEmpty() && !hungUp_) {
    const char first = pending_[0];
    qsizetype length = 0;
    if (first == '$') length = 6;
    else if (first >= 'A' && first <= 'Z') length = 3;
    else {
      pending_.remove(0, 1);
      continue;
    }
    if (pending_.size() < length) return;  // wait for the rest
    if (pending_[length - 1] != '\r') {
      pending_.remove(0, 1);
      continue;
    }
    const QByteArray command = pending_.left(length);
    pending_.remove(0, length);
    transcript_.append(command);
    ++commands_;
    execute(command);
    if (observer_) observer_(command);
    if (faults_.hangUpAfter >= 0 && commands_ >= faults_.hangUpAfter) {
      hungUp_ = true;
      streaming_ = false;
      pending_.clear();
      if (hangUp_) hangUp_();
    }
  }
}

void DeviceSimulator::answer(const QByteArray& command, const QByteArray& bytes) {
  if (!sink_) return;
  if (faults_.dropAnswers > 0 && (!faults_.dropOnly || faults_.dropOnly(command))) {
    --faults_.dropAnswers;
    return;
  }
  if (faults_.garbagePrefix) sink_(QByteArray(reinterpret_cast<const char*>(kGarbage), 2) + bytes);
  else sink_(bytes);
}

void DeviceSimulator::execute(const QByteArray& command) {
  auto arg = [&](int i) { return static_cast<uint8_t>(command[2 + i]); };
  auto byte = [](int value) { return static_cast<char>(value & 0xFF); };
  const QByteArray crlf("\r\n");

  if (command == "SM\r") {
    streaming_ = false;
  } else if (command == "MI\r") {
    programming_ = false;
    streaming_ = true;
  } else if (command == "PR\r") {
    streaming_ = false;
    programming_ = true;
    if (faults_.badProgramming != 0) {
      if (faults_.badProgramming > 0) --faults_.badProgramming;
      if (sink_) sink_(QByteArrayLiteral("OK\r"));
    } else if (sink_) {
      sink_(QByteArrayLiteral("OK\r\n"));
    }
  } else if (command.startsWith("$FP")) {
    programming_ = false;
  } else if (command.startsWith("$R")) {
    if (!programming_) return;
    const int bank = arg(0), address = arg(1);
    QByteArray a("*");
    a += byte(bank);
    a += byte(address);
    a += byte(cell(bank, address));
    answer(command, a + crlf);
  } else if (command.startsWith("$W")) {
    if (programming_) setCell(arg(0), arg(1), arg(2));
  } else if (command.startsWith("$V")) {
    QByteArray a("*");
    a += byte(identity_.variant);
    a += byte(identity_.hardwareRevision);
    a += byte(identity_.spare);
    a += byte(identity_.deviceCode);
    answer(command, a + crlf);
  } else if (command.startsWith("$D")) {
    const bool longAnswer = LongSwitchAnswer(identity_);
    QByteArray a("*");
    for (int k = 0; k < (longAnswer ? 4 : 2); ++k) a += byte(switches_[k]);
    answer(command, a + crlf);
  } else if (command.startsWith("$S")) {
    const CalibrationTable t = calibrationTable(arg(0));
    QByteArray a("*");
    uint8_t check = 0;
    for (const QVector<int>* list : {&t.span, &t.zero}) {
      for (int value : *list) {
        const WordBytes w = SplitWord(value);
        a += byte(w.lo);
        a += byte(w.hi);
        check ^= w.lo ^ w.hi;
      }
    }
    a += byte(check);  // check byte; the program does not read it
    answer(command, a + crlf);
  } else if (command.startsWith("$I")) {
    outputLevel_ = arg(0) * 256 + arg(1);
  } else if (command.startsWith("$i")) {
    outputLevelAlt_ = arg(0) * 256 + arg(1);
  }
}

} // namespace pv::sim
