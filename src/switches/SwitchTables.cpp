#include "switches/SwitchTables.h"
#include "kernel/AppState.h"
#include "kernel/Catalogue.h"
#include "config/RangeTables.h"
#include "switches/SwitchLayouts.h"

#include <cmath>
#include <vector>

namespace pv {

namespace {
QString U(const char* s) { return QString::fromUtf8(s); }
} // namespace

const std::array<InputType, 33>& InputTypes() {
  static const std::array<InputType, 33> table = [] {
    std::array<InputType, 33> t{};
    // row, name, group, cold junction, resistive, lower, upper, minimum span
    struct Row {
      int row;
      const char* name;
      uint8_t group;
      bool cj, res;
      const char *lower, *upper, *span;
    };
    const Row rows[] = {
        {0, "EEPROM", 0, false, false, "", "", ""},
        {1, "90 mV", 0, false, false, "-100 mV", "90 mV", "5 mV"},
        {2, "200 mV", 0, false, false, "-100 mV", "200 mV", "10 mV"},
        {3, "800 mV", 0, false, false, "-100 mV", "800 mV", "20 mV"},
        {4, "10 V", 6, false, false, "0 V", "10 V", "1 V"},
        {5, "20 mA", 5, false, false, "0 mA", "20 mA", "1 mA"},
        {7, "Tc J", 0, true, false, "-200 \u00b0C", "1200 \u00b0C", "100 \u00b0C"},
        {8, "Tc K", 0, true, false, "-200 \u00b0C", "1300 \u00b0C", "100 \u00b0C"},
        {9, "Tc R", 0, true, false, "0 \u00b0C", "1750 \u00b0C", "400 \u00b0C"},
        {10, "Tc S", 0, true, false, "0 \u00b0C", "1750 \u00b0C", "400 \u00b0C"},
        {11, "Tc T", 0, true, false, "-200 \u00b0C", "400 \u00b0C", "100 \u00b0C"},
        // No cold-junction flag: type B reads near zero at room temperature.
        {12, "Tc B", 0, false, false, "0 \u00b0C", "1850 \u00b0C", "400 \u00b0C"},
        {13, "Tc E", 0, true, false, "-200 \u00b0C", "1000 \u00b0C", "100 \u00b0C"},
        {14, "Tc N", 0, true, false, "-200 \u00b0C", "1300 \u00b0C", "100 \u00b0C"},
        {16, "Res2K", 2, false, true, "0 ohm", "2000 ohm", "50 ohm"},
        {17, "Res500", 3, false, true, "0 ohm", "500 ohm", "50 ohm"},
        {18, "Pt 100", 1, false, true, "-200 \u00b0C", "850 \u00b0C", "50 \u00b0C"},
        {19, "Ni 100", 1, false, true, "-60 \u00b0C", "180 \u00b0C", "60 \u00b0C"},
        {20, "Pt 1K", 1, false, true, "-85 \u00b0C", "185 \u00b0C", "30 \u00b0C"},
        {21, "Ni 1K", 1, false, true, "-85 \u00b0C", "185 \u00b0C", "30 \u00b0C"},
        {22, "Pot500", 4, false, false, "0%", "100%", "10%"},
        {23, "Pot2K", 4, false, false, "0%", "100%", "10%"},
        {24, "KTY81-220", 1, false, true, "-55 \u00b0C", "150 \u00b0C", "50 \u00b0C"},
        {25, "KTY84-150", 1, false, true, "-40 \u00b0C", "300 \u00b0C", "50 \u00b0C"},
        {26, "Cost10K", 1, false, true, "-10 \u00b0C", "100 \u00b0C", "50 \u00b0C"},
        {27, "Cost1K", 1, false, true, "-30 \u00b0C", "40 \u00b0C", "25 \u00b0C"},
        {28, "Namur", 7, false, false, "0.1Hz", "20 KHz", "0.5 Hz"},
        {29, "Tacho", 7, false, false, "0.1Hz", "20 KHz", "0.5 Hz"},
        {30, "TTL", 7, false, false, "0.1Hz", "20 KHz", "0.5 Hz"},
        {31, "PNP", 7, false, false, "0.1Hz", "20 KHz", "0.5 Hz"},
    };
    for (const Row& r : rows)
      t[r.row] = {U(r.name), r.group, r.cj, r.res, U(r.upper), U(r.lower), U(r.span)};
    return t;
  }();
  return table;
}

int InputTypeRowByName(const QString& name) {
  if (name.isEmpty()) return -1;
  const auto& t = InputTypes();
  for (size_t i = 0; i < t.size(); ++i)
    if (t[i].name == name) return static_cast<int>(i);
  return -1;
}

const QStringList& OutputLabelsA() {
  static const QStringList list = {"EEPROM", "0-20 mA", "4-20 mA", "---", "---", "---",
                                   "---",    "---",     "0-10 V",  "2-10 V", "0-5 V", "1-5 V",
                                   "---",    "---",     "---",     "---"};
  return list;
}

const QStringList& OutputLabelsB() {
  static const QStringList list = {"0-20 mA", "4-20 mA", "0-10 V", "2-10 V",
                                   "0-5 V",   "1-5 V",   "---",    "---"};
  return list;
}

namespace {

// A run of table entries: from, from + step, ... up to to; one value when
// there is no step. Values are kept to the thousandth so that 0.2 steps give
// the decimal numbers shown.
struct Run {
  double from, to = 0, step = 0;
};

template <size_t N>
int Fill(std::array<double, N>& a, const std::vector<Run>& runs) {
  int n = 0;
  for (const Run& r : runs) {
    const int count = r.step == 0 ? 1 : static_cast<int>(std::lround((r.to - r.from) / r.step)) + 1;
    for (int i = 0; i < count; ++i) a[++n] = std::round((r.from + i * r.step) * 1000.0) / 1000.0;
  }
  return n;
}

} // namespace

const std::array<DemoRecord, 8>& DemoRecords() {
  static const std::array<DemoRecord, 8> records = [] {
    struct Runs {
      std::vector<Run> zero, span;
    };
    const Runs runs[8] = {
        {},
        // 1: millivolt, thermocouple and RTD inputs
        {{{-200, -50, 50}, {-40, 0, 10}, {5}, {10, 30, 10}, {50, 100, 50}},
         {{0, 100, 5}, {110, 400, 10}, {425, 550, 25}, {600, 850, 50}}},
        // 2: Res2K
        {{{0}, {150, 800, 50}}, {{500, 1000, 20}, {1025, 1500, 25}, {1550, 2000, 50}}},
        // 3: Res500
        {{{0, 50, 10}, {75, 250, 25}, {300}}, {{50, 200, 5}, {210, 500, 10}}},
        // 4: potentiometers
        {{{0}, {15, 80, 5}}, {{5, 6, 1}, {8, 100, 2}}},
        // 5: 20 mA
        {{{0}, {1.5, 8, 0.5}}, {{5, 10, 0.2}, {10.25, 15, 0.25}, {15.5, 20, 0.5}}},
        // 6: 10 V
        {{{0}, {1.5, 8, 0.5}}, {{0.5, 0.6, 0.1}, {0.8, 10, 0.2}}},
        // 7: frequency, in units of the multiplier; no zero table
        {{}, {{0.5, 31.5, 0.5}}},
    };
    std::array<DemoRecord, 8> r{};
    for (size_t i = 1; i < r.size(); ++i) {
      DemoRecord& rec = r[i];
      rec.zeroCount = Fill(rec.zero, runs[i].zero);
      rec.spanCount = Fill(rec.span, runs[i].span);
      // The short span tables repeat their last value up to the 63 shown entries.
      const double last = rec.span[rec.spanCount];
      while (rec.spanCount < 63) rec.span[++rec.spanCount] = last;
    }
    return r;
  }();
  return records;
}

DemoGroup DemoGroupOfSlot(int slot) {
  switch (slot) {
    case 0: return DemoGroup::Krv2210;
    case 1: case 5: case 9: return DemoGroup::GroupA;
    case 2: case 6: case 10: return DemoGroup::GroupB;
    case 3: case 7: case 11: return DemoGroup::GroupC;
    case 14: return DemoGroup::Krv2220;
    default: return DemoGroup::GroupD;  // 4, 8, 12, 13
  }
}

int DemoVariant(DemoGroup g) {
  switch (g) {
    case DemoGroup::Krv2210: return 0;
    case DemoGroup::GroupD: return 4;
    case DemoGroup::Krv2220: return 7;
    default: return 2;
  }
}

bool DemoTwoChannel(DemoGroup g) { return g == DemoGroup::GroupD; }

QStringList DemoInputEntries(int slot) {
  const auto& t = InputTypes();
  const QString dash = QStringLiteral("---");
  QStringList out;
  auto rowsOf = [&](int from, int to) {
    for (int r = from; r <= to; ++r) out << (t[r].name.isEmpty() ? dash : t[r].name);
  };
  switch (DemoGroupOfSlot(slot)) {
    case DemoGroup::Krv2210: rowsOf(0, 23); break;
    case DemoGroup::GroupA:
      rowsOf(0, 15);
      out[4] = out[5] = dash;  // voltage and current inputs belong to the D models
      break;
    case DemoGroup::GroupB:
      out << t[0].name;
      rowsOf(16, 21);
      for (int i = 0; i < 9; ++i) out << dash;
      break;
    case DemoGroup::GroupC:
      out << t[0].name << QStringLiteral("Pot");
      rowsOf(24, 27);
      for (int i = 0; i < 9; ++i) out << dash;
      break;
    case DemoGroup::GroupD: out = OutputLabelsA(); break;
    case DemoGroup::Krv2220: rowsOf(28, 31); break;
  }
  return out;
}

QStringList DemoOutputEntries(int slot) {
  if (DemoGroupOfSlot(slot) == DemoGroup::GroupD) return OutputLabelsB();
  if (slot < 0 || slot >= static_cast<int>(kDemoModels.size())) return {};
  return DemoOutputLabels(kDemoModels[slot]);
}

QString DemoSelectPrompt(int slot) {
  return DemoGroupOfSlot(slot) == DemoGroup::Krv2220 ? QStringLiteral("Select")
                                                      : QStringLiteral("Select:");
}

bool DemoHasDoubler(int slot) {
  return slot >= 0 && slot < static_cast<int>(kDemoModels.size()) && kDemoModels[slot].doublerEntry;
}

int DemoRecordFor(DemoGroup g, int p) {
  switch (g) {
    case DemoGroup::Krv2210:
      if (p == 6 || p == 15) return kDemoDashes;
      if ((p >= 1 && p <= 3) || (p >= 7 && p <= 14) || (p >= 18 && p <= 21)) return 1;
      if (p == 4) return 6;
      if (p == 5) return 5;
      if (p == 16) return 2;
      if (p == 17) return 3;
      if (p == 22 || p == 23) return 4;
      return kDemoNoLists;
    case DemoGroup::GroupA:
      if (p == 0 || (p >= 4 && p <= 6) || p == 15) return kDemoDashes;
      if ((p >= 1 && p <= 3) || (p >= 7 && p <= 14)) return 1;
      return kDemoNoLists;
    case DemoGroup::GroupB:
      if (p >= 7 && p <= 15) return kDemoDashes;
      if (p == 1) return 2;
      if (p == 2) return 3;
      if (p >= 3 && p <= 6) return 1;
      return kDemoNoLists;
    case DemoGroup::GroupC:
      if (p >= 6 && p <= 15) return kDemoDashes;
      if (p == 1) return 4;
      if (p >= 2 && p <= 5) return 1;
      return kDemoNoLists;
    case DemoGroup::GroupD: return kDemoNoLists;
    case DemoGroup::Krv2220:
      // All four sensors, "Namur" at position 0 included, have a span table.
      return (p >= 0 && p <= 3) ? 7 : kDemoNoLists;
  }
  return kDemoNoLists;
}

int DemoInputRow(DemoGroup g, int p) {
  if (p < 0) return -1;
  switch (g) {
    case DemoGroup::Krv2210:
      return (p <= 23 && p != 6 && p != 15) ? p : -1;
    case DemoGroup::GroupA:
      return (p <= 14 && (p < 4 || p > 6)) ? p : -1;
    case DemoGroup::GroupB:
      if (p == 0) return 0;
      return p <= 6 ? 15 + p : -1;
    case DemoGroup::GroupC:
      if (p == 0) return 0;
      if (p == 1) return rows::Pot2K;  // "Pot" is the unit's code 8
      return p <= 5 ? 22 + p : -1;
    case DemoGroup::GroupD: return -1;
    case DemoGroup::Krv2220: return p <= 3 ? rows::Freq : -1;
  }
  return -1;
}

bool DemoIsTemperature(DemoGroup g, int p) {
  const int r = DemoInputRow(g, p);
  return rows::IsThermocouple(r) || (r >= rows::Pt100 && r <= rows::Ni1K) ||
         (r >= rows::KTY81 && r <= rows::Cost1K);
}

int DisplayDecimals(const RangeTables& t, int code, const DeviceIdentity& id) {
  if (id.variant == 7) return 3;
  if (code == rows::mV90 || code == rows::mV200) return 1;
  if (code == rows::Volt10 && id.variant <= 1) return 2;
  if (code < 0 || code >= static_cast<int>(t.input.size())) return 0;
  return t.input[code].decimals;
}

QVector<int> CalibrationTableWords::toList() const {
  QVector<int> out;
  out << spanDefault << span << zeroDefault << zero;
  return out;
}

namespace {
int DemoRecordForInputType(uint8_t variant, int t) {
  if (variant == 7) return 7;
  switch (t) {
    case rows::Volt10: return 6;
    case rows::mA20: return 5;
    case rows::Res2K: return 2;
    case rows::Res500: return 3;
    case rows::Pot500:
    case rows::Pot2K: return 4;
    default: return 1;
  }
}
} // namespace

namespace {

// Lower and upper end of each input position of the two-channel units,
// in the order of OutputLabelsA(). The "EEPROM" and "---" positions have
// no range of their own; they keep the full range of their half.
struct PositionRange {
  double lower, upper;
};
constexpr std::array<PositionRange, 16> kPositionRanges = {{
    {0, 20}, {0, 20}, {4, 20}, {0, 20}, {0, 20}, {0, 20}, {0, 20}, {0, 20},
    {0, 10}, {2, 10}, {0, 5},  {1, 5},  {0, 10}, {0, 10}, {0, 10}, {0, 10},
}};

} // namespace

CalibrationTableWords DemoCalibrationTable(uint8_t variant, int inputType) {
  static const RangeTables tables;
  int spanPoints = 63, zeroPoints = 15;
  if (variant == 4 || variant == 5) spanPoints = zeroPoints = 16;
  if (variant == 7) zeroPoints = 1;

  DeviceIdentity id;
  id.variant = variant;
  const int d = DisplayDecimals(tables, inputType, id);
  const double scale = std::pow(10.0, d);
  auto word = [&](double v) {
    return static_cast<int>(std::clamp(std::lround(v * scale), -32768L, 32767L));
  };

  if (variant == 4 || variant == 5) {
    // These units have no span and zero lists: the run reads the table as
    // (lower, upper) pairs per input position p, at list positions
    // 2p - 1 and 2p, moved on by 3 from 16 up (past the last two span
    // points and the zero default). So the span points hold the pairs of
    // positions 1..8 (the current inputs) and the zero points those of
    // positions 8..15 (the voltage inputs).
    CalibrationTableWords w;
    for (int p = 1; p <= 8; ++p) {
      const PositionRange& r = kPositionRanges[size_t(p)];
      w.span << word(r.lower) << word(r.upper);
    }
    for (int p = 8; p <= 15; ++p) {
      const PositionRange& r = kPositionRanges[size_t(p)];
      w.zero << word(r.lower) << word(r.upper);
    }
    // The defaults stand for a switch left on "EEPROM": the row's full range.
    w.spanDefault = word(inputType == rows::Volt10 ? 10 : 20);
    w.zeroDefault = 0;
    return w;
  }

  const DemoRecord& r = DemoRecords()[DemoRecordForInputType(variant, inputType)];
  CalibrationTableWords w;
  for (int i = 1; i <= spanPoints; ++i) w.span << word(r.span[std::min(i, r.spanCount)]);
  for (int i = 1; i <= zeroPoints; ++i)
    w.zero << (r.zeroCount > 0 ? word(r.zero[std::min(i, r.zeroCount)]) : 0);
  // Defaults: the widest range of the table.
  w.spanDefault = word(r.span[r.spanCount]);
  w.zeroDefault = r.zeroCount > 0 ? word(std::max(r.zero[1], 0.0)) : 0;
  return w;
}

std::array<uint8_t, 3> FactorySwitchBytes(const DeviceIdentity& id) {
  SwitchBytes b{};
  const auto layout = LayoutFor(id);
  if (!layout) return b;
  switch (*layout) {
    case SwitchLayout::Dip2210:
      // Tc J, internal cold junction, 4-20 mA on both outputs, 0..100 °C
      DisegnaDip2210_r1(b, {rows::TcJ, true, 1, 1, 21, 9});
      break;
    case SwitchLayout::Dip11:
      DisegnaDip(b, rows::TcJ, 1, true);
      b[1] = 0x90 | 15;  // zero 9, span 15
      break;
    case SwitchLayout::Dip2212: {
      // variant 2: Tc K 0..100 °C; 3: Pt 100 0..100 °C; 6: Pot2K 0..100 %
      const int row = id.variant == 3 ? rows::Pt100 : id.variant == 6 ? rows::Pot2K : rows::TcK;
      DisegnaDip2212(b, PackInputCode(row, CodeMappingFor(id)), 1);
      const bool pot = row == rows::Pot2K;
      ApplySpanIndex(b, SwitchLayout::Dip2212, pot ? 49 : 21);
      ApplyZeroIndex(b, SwitchLayout::Dip2212, pot ? 1 : 9);
      break;
    }
    case SwitchLayout::Dip2212c:
      // channel A 4-20 mA in, 4-20 mA out; channel B 0-10 V in, 0-10 V out
      DisegnaDip2212_c(b, {2, false, 1}, {8, false, 2});
      break;
    case SwitchLayout::Dip2220:
      // Namur sensor, 4-20 mA, 20.0 x 1000 Hz full scale
      DisegnaDip2220(b, {0, 1, 40, 0}, false);
      break;
  }
  return b;
}

} // namespace pv
