#include "config/EditorState.h"

#include "link/Codecs.h"
#include "text/Numbers.h"

#include <climits>
#include <cmath>

namespace pv {

const std::array<const char*, 8> kOperationCaptions = {"= A", "= B", "A+B", "A-B", "A*B", "A/B", "MAX", "MIN"};

namespace {

constexpr std::array<const char*, kFieldCount> kControls = {
    "txt_Input_max_0",     "txt_Input_max_1",     "txt_Input_min_0",     "txt_Input_min_1",
    "txt_Output_max_0",    "txt_Output_max_1",    "txt_Output_min_0",    "txt_Output_min_1",
    "txt_offset_0",        "txt_offset_1",        "txt_soglia_H_0",      "txt_soglia_H_1",
    "txt_soglia_L_0",      "txt_soglia_L_1",      "txt_soglia_Delay",    "txt_Delay",
    "txt_filter",          "txt_aux_freq",        "txt_Trig",            "txt_Fisico_max_2",
    "txt_Fisico_min_2",    "txt_Fisico_max_3",    "txt_Fisico_min_3",    "txt_FisicoOut_max_0",
    "txt_FisicoOut_min_0", "txt_FisicoOut_max_1", "txt_FisicoOut_min_1"};

// The record's double behind a field; null for the whole-number fields.
template <typename Record>
auto* Slot(Record& r, Field f) {
  const int i = Index(f);
  const int c = i % 2;
  switch (f) {
  case Field::InputMaxA: case Field::InputMaxB: return &r.ch[c].inputMax;
  case Field::InputMinA: case Field::InputMinB: return &r.ch[c].inputMin;
  case Field::OutputMaxA: case Field::OutputMaxB: return &r.ch[c].outputMax;
  case Field::OutputMinA: case Field::OutputMinB: return &r.ch[c].outputMin;
  case Field::OffsetA: case Field::OffsetB: return &r.ch[c].offset;
  case Field::TripHighA: case Field::TripHighB: return &r.ch[c].tripHigh;
  case Field::TripLowA: case Field::TripLowB: return &r.ch[c].tripLow;
  case Field::TripDelay: return &r.tripDelay;
  case Field::ResponseTime: return &r.responseTime;
  case Field::Trigger: return &r.trigger;
  case Field::Filter: case Field::AuxFrequency: return static_cast<decltype(&r.trigger)>(nullptr);
  default: return &r.physical[static_cast<size_t>(i - Index(Field::PhysicalMaxA))];
  }
}

} // namespace

QString FieldControl(Field f) { return QLatin1String(kControls[static_cast<size_t>(Index(f))]); }

double ValueOf(const ConfigRecord& r, Field f) {
  if (f == Field::Filter) return r.filter;
  if (f == Field::AuxFrequency) return r.auxFrequency;
  return *Slot(r, f);
}

void SetValueOf(ConfigRecord& r, Field f, double value) {
  if (f == Field::Filter || f == Field::AuxFrequency) {
    const double whole = std::round(value);
    const int n = std::isfinite(whole) && whole >= INT_MIN && whole <= INT_MAX ? static_cast<int>(whole) : -1;
    (f == Field::Filter ? r.filter : r.auxFrequency) = n;
    return;
  }
  *Slot(r, f) = value;
}

QString ReadText(const ConfigRecord& r, Field f, const CellLayout& L, const RangeTables& T) {
  const QString fmt = QStringLiteral("#0.###");
  const double v = ValueOf(r, f);
  switch (f) {
  case Field::OffsetA: case Field::OffsetB: case Field::ResponseTime:
    return FormatNumber(v, QStringLiteral("#0.0"));
  case Field::TripHighA: case Field::TripHighB: case Field::TripLowA: case Field::TripLowB: {
    // Variant 0 stores the "10 V" and "20 mA" thresholds x 10^d.
    const int row = r.ch[Index(f) % 2].inputRow;
    const bool scaled = L.tripScaledByRow && (row == rows::Volt10 || row == rows::mA20);
    return Float24Text(v, scaled ? std::pow(10.0, T.input[static_cast<size_t>(row)].decimals) : 1.0);
  }
  case Field::Filter: case Field::AuxFrequency:
    return QString::number(static_cast<int>(v));
  default:
    return f >= Field::PhysicalMaxA ? Float24Text(v, 1.0) : FormatNumber(v, fmt);
  }
}

ConfigRecord BlankRecord() {
  ConfigRecord r;
  for (ChannelConfig& ch : r.ch) ch.inputRow = ch.outputRow = ch.overRange = -1;
  r.freqType = -1;
  return r;
}

} // namespace pv
