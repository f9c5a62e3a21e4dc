#include "switches/SwitchRanges.h"
#include "kernel/Catalogue.h"
#include "kernel/AppState.h"
#include "config/RangeTables.h"
#include "text/Numbers.h"

#include <cmath>

namespace pv {

QStringList SwitchList::texts() const {
  QStringList out;
  for (const auto& e : entries) out << e.text;
  return out;
}

TableSlice TableSliceFor(const DeviceIdentity& id, int spanPoints, int zeroPoints) {
  if (id.deviceCode == 11) return {0, 1, 15, 16, 17, 15};  // 16 words each, default first
  return {0, 1, spanPoints, spanPoints + 1, spanPoints + 2, zeroPoints};
}

int TableCode(int inputCode, const DeviceIdentity& id) {
  if (id.variant == 7) return 1;
  if (inputCode <= 0) return 1;
  if (IsCode12Variant(id, 6) && inputCode == rows::Res300K) return rows::Pt100;
  return inputCode;
}

namespace {
QString Shown(double v) { return FormatNumber(v, QStringLiteral("#0.###")); }
} // namespace

bool FillListsFromWords(const QVector<int>& words, const TableSlice& s, int decimals,
                        bool frequency, SwitchList& span, SwitchList& zero) {
  const int needed = std::max({s.spanDefault + 1, s.spanFirst + s.spanCount, s.zeroDefault + 1,
                               s.zeroFirst + s.zeroCount});
  if (words.size() < needed) return false;
  const double scale = std::pow(10.0, decimals);
  auto fill = [&](SwitchList& list, int def, int first, int count) {
    list.clear();
    if (frequency) {
      list.entries.append({QStringLiteral("EEPROM"), 0});
    } else {
      const double v = words[def] / scale;
      list.entries.append({QStringLiteral("Def: ") + Shown(v), v});
    }
    for (int i = 0; i < count; ++i) {
      const double v = words[first + i] / scale;
      list.entries.append({Shown(v), v});
    }
  };
  fill(span, s.spanDefault, s.spanFirst, s.spanCount);
  fill(zero, s.zeroDefault, s.zeroFirst, s.zeroCount);
  return true;
}

void FillDemoLists(DemoGroup g, int inputPos, bool fahrenheit, int multiplierFactor,
                   SwitchList& span, SwitchList& zero) {
  span.clear();
  zero.clear();
  const int rec = DemoRecordFor(g, inputPos);
  if (rec == kDemoNoLists) return;
  if (rec == kDemoDashes) {
    span.entries.append({QStringLiteral("-----"), 0});
    zero.entries.append({QStringLiteral("-----"), 0});
    return;
  }
  const DemoRecord& r = DemoRecords()[rec];
  const bool toF = fahrenheit && DemoIsTemperature(g, inputPos);
  auto entry = [&](double v) -> ListEntry {
    if (toF) return {FormatNumber(v * 9 / 5 + 32, QStringLiteral("#0.0")), v};
    if (rec == 7) return {Shown(v * multiplierFactor), v};
    return {Shown(v), v};
  };
  const ListEntry def{QStringLiteral("Default"), 0};
  span.entries.append(def);
  for (int i = 1; i <= r.spanCount; ++i) span.entries.append(entry(r.span[i]));
  if (r.zeroCount == 0) return;  // frequency: no zero list
  zero.entries.append(def);
  for (int i = 1; i <= r.zeroCount; ++i) zero.entries.append(entry(r.zero[i]));
}

const char* CheckText(CheckResult r) {
  switch (r) {
    case CheckResult::Ok: return "OK";
    case CheckResult::Err: return "ERR";
    case CheckResult::None: break;
  }
  return "";
}

CheckResult CheckSpanZero(const SwitchList& span, const SwitchList& zero, const InputRange& row,
                          bool variantZero) {
  if (!span.hasSelection() || !zero.hasSelection()) return CheckResult::None;
  const double s = span.selectedValue();
  const double z = zero.selectedValue();
  bool err = s - z < row.minSpan || z < row.lower || s > row.upper;
  // Only the full-range unit may mix its default with a chosen value.
  if (!variantZero && ((span.selected == 0) != (zero.selected == 0))) err = true;
  return err ? CheckResult::Err : CheckResult::Ok;
}

CheckResult CheckFrequency(const SwitchList& span, int factor, const InputRange& freqRow) {
  if (!span.hasSelection()) return CheckResult::None;
  return factor * span.selectedValue() > freqRow.upper ? CheckResult::Err : CheckResult::Ok;
}

CheckResult CheckTwoChannel(const ChannelChoice& a, const ChannelChoice& b) {
  if (a.inputPos < 0 || a.outputPos < 0 || b.inputPos < 0 || b.outputPos < 0)
    return CheckResult::None;
  const QString dash = QStringLiteral("---");
  if (a.inputText == dash || a.outputText == dash || b.inputText == dash || b.outputText == dash)
    return CheckResult::Err;
  if ((a.inputPos == 0) != (b.inputPos == 0)) return CheckResult::Err;
  return CheckResult::Ok;
}

int DefaultCellAddress(Table t, int tableCode, int channelSelector) {
  return 4 * (tableCode - 1) + (t == Table::Span ? 112 : 114) + (channelSelector == 1 ? 20 : 0);
}

QString LimitsText(int row) {
  const auto& t = InputTypes();
  if (row <= 0 || row >= static_cast<int>(t.size()) || t[row].upper.isEmpty())
    return QStringLiteral("No range");
  const InputType& r = t[row];
  return QStringLiteral("In: ") + r.name + QStringLiteral(" ;Min.Lim.=") + r.lower +
         QStringLiteral("; Max.Lim. ") + r.upper + QStringLiteral("; Span min: ") + r.minSpan;
}

namespace {
QString ChannelLimits(const QString& label) {
  struct L {
    const char *label, *lower, *upper;
    int spanRow;  // row of the input type table with the same kind of signal
  };
  static const L labels[] = {
      {"0-20 mA", "0 mA", "20 mA", rows::mA20}, {"4-20 mA", "4 mA", "20 mA", rows::mA20},
      {"0-10 V", "0 V", "10 V", rows::Volt10},  {"2-10 V", "2 V", "10 V", rows::Volt10},
      {"0-5 V", "0 V", "5 V", rows::Volt10},    {"1-5 V", "1 V", "5 V", rows::Volt10},
  };
  if (label == QLatin1String("EEPROM")) return label;
  for (const L& l : labels) {
    if (label != QLatin1String(l.label)) continue;
    return QStringLiteral("In: ") + label + QStringLiteral("; Min.Lim.= ") + l.lower +
           QStringLiteral(" Max.Lim.= ") + l.upper + QStringLiteral("; Span min= ") +
           InputTypes()[l.spanRow].minSpan;
  }
  return QStringLiteral("No range");
}
} // namespace

QString TwoChannelLimitsText(const QString& inputA, const QString& inputB) {
  // Channel B doubling channel A has channel A's limits.
  const QString b = inputB == QLatin1String(kDoublerEntry) ? inputA : inputB;
  return QStringLiteral("CH1: ") + ChannelLimits(inputA) + QStringLiteral("\r\nCH2: ") +
         ChannelLimits(b);
}

} // namespace pv
