#pragma once
// Fixed tables of input types, frequency sensors, output types and
// over-range choices. A row's index is what the unit stores and what a
// configuration file stores, so rows never move.
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace pv {

struct DeviceIdentity;

struct InputRange {
  QString name;
  uint8_t decimals = 0;  // words in the unit hold value * 10^decimals
  QString unit;
  double lower = 0, upper = 0, minSpan = 0;
  QString variant;  // "0" every unit, "255" separator never offered, else the variant
};

struct FrequencySensor {
  QString name;
  uint8_t defaultTrigger = 0;
  QString unit;
  double number = 0;  // carried along; nothing reads it
};

struct OutputRange {
  QString name;
  QString unit;
  double lower = 0, upper = 0, minSpan = 0;
};

struct OverRange {
  QString name;
  double percent = 0;
};

// The tables, filled once at start-up. The input table is not const: on
// variant 7 the write check widens the "Freq" row for the rest of the run.
struct RangeTables {
  std::array<InputRange, 52> input;
  std::array<FrequencySensor, 11> frequency;
  std::array<OutputRange, 4> output;
  std::array<OutputRange, 17> switchOutput;
  std::array<OverRange, 4> overRange;

  RangeTables();  // fills all five in their order

  // Whether input row i may be offered on a unit of this identity.
  bool InputAvailable(int row, const DeviceIdentity& id) const;
  // Row whose name equals the text, first from row 0; -1 when none.
  int InputRowByName(const QString& name) const;
  int OutputRowByName(const QString& name) const;
  // Percentage of the over-range row named so; -1 when none matches.
  double OverRangePercentByName(const QString& name) const;
  // Over-range row whose percentage equals p; -1 when none.
  int OverRangeRowByPercent(double p) const;

  // List contents for the editor of a unit of this identity.
  QStringList InputList(const DeviceIdentity& id) const;
  QStringList FrequencyList() const;
  QStringList OutputList() const;
  QStringList OverRangeList() const;
};

// Input rows by meaning, for the rules that test them.
namespace rows {
constexpr int Eeprom = 0;
constexpr int mV90 = 1, mV200 = 2, mV800 = 3;
constexpr int Volt10 = 4, mA20 = 5;
constexpr int TcJ = 7, TcK = 8, TcR = 9, TcS = 10, TcT = 11, TcB = 12, TcE = 13, TcN = 14;
constexpr int Res2K = 16, Res500 = 17, Pt100 = 18, Ni100 = 19, Pt1K = 20, Ni1K = 21;
constexpr int Pot500 = 22, Pot2K = 23, KTY81 = 24, KTY84 = 25, Cost10K = 26, Cost1K = 27;
constexpr int KTY83 = 28, Vish10K = 29;
constexpr int Res300K = 32, Freq = 33;
inline bool IsThermocouple(int r) { return r >= TcJ && r <= TcN; }
} // namespace rows

} // namespace pv
