#include "config/WriteChecks.h"

#include "config/EditorRules.h"
#include "kernel/Catalogue.h"
#include "text/Numbers.h"
#include "text/Texts.h"

#include <algorithm>

namespace pv {

namespace {

constexpr int kNotANumber = 93;

QString ChannelPrefix(const AppState& s, int c) {
  return Tr(s, 72) + (c == 0 ? QStringLiteral(" A: ") : QStringLiteral(" B: "));
}

// What an input or output range breaks: " (MAX)", " (MIN)", " (SPAN)".
QString RangeAdditions(double hi, double lo, double lower, double upper, double minSpan) {
  QString add;
  if (hi > upper) add += QStringLiteral(" (MAX)");
  if (lo < lower) add += QStringLiteral(" (MIN)");
  if (hi - lo < minSpan) add += QStringLiteral(" (SPAN)");
  return add;
}

// How the not-a-number message names a field: "Channel A: Input max".
QString FieldName(const AppState& s, Field f) {
  const int i = Index(f);
  const QString channel = ChannelPrefix(s, i % 2);
  const QString max = QStringLiteral(" max"), min = QStringLiteral(" min"), space = QStringLiteral(" ");
  switch (f) {
  case Field::InputMaxA: case Field::InputMaxB: return channel + Tr(s, 48) + max;
  case Field::InputMinA: case Field::InputMinB: return channel + Tr(s, 48) + min;
  case Field::OutputMaxA: case Field::OutputMaxB: return channel + Tr(s, 49) + max;
  case Field::OutputMinA: case Field::OutputMinB: return channel + Tr(s, 49) + min;
  case Field::OffsetA: case Field::OffsetB: return channel + Tr(s, 66);
  case Field::TripHighA: case Field::TripHighB: return channel + Tr(s, 50) + space + Tr(s, 113);
  case Field::TripLowA: case Field::TripLowB: return channel + Tr(s, 50) + space + Tr(s, 114);
  case Field::TripDelay: return Tr(s, 50) + space + Tr(s, 115);
  case Field::ResponseTime: return Tr(s, 130);
  case Field::Filter: return Tr(s, 82);
  case Field::AuxFrequency: return QStringLiteral("Aux");
  case Field::Trigger: return Tr(s, 81);
  default: {
    // Physical scale: max A, min A, max B, min B, then the outputs.
    const int k = i - Index(Field::PhysicalMaxA);
    const QString unit = ChannelPrefix(s, (k / 2) % 2) + Tr(s, 131);
    return unit + (k >= 4 ? space + Tr(s, 49) : QString()) + (k % 2 ? min : max);
  }
  }
}

// The fields the check reads, in the order it names the first bad one.
std::vector<Field> CheckedFields(const AppState& s, const ConfigRecord& r, int last) {
  const CellLayout L = CellLayoutFor(s.identity);
  const bool bRepeatsA = r.doubler || s.identity.variant == 0 || s.identity.variant == 7;
  std::vector<Field> out;
  for (int c = 0; c <= last; ++c) {
    if (!(c == 1 && bRepeatsA)) out.insert(out.end(), {Of(Field::InputMaxA, c), Of(Field::InputMinA, c)});
    out.insert(out.end(), {Of(Field::OutputMaxA, c), Of(Field::OutputMinA, c), Of(Field::OffsetA, c)});
  }
  for (int c = 0; c < TripChannels(s.identity); ++c)
    out.insert(out.end(), {Of(Field::TripHighA, c), Of(Field::TripLowA, c)});
  out.push_back(Field::TripDelay);
  if (L.responseTime) out.push_back(Field::ResponseTime);
  if (L.frequencyInput) out.insert(out.end(), {Field::Filter, Field::AuxFrequency, Field::Trigger});
  if (L.physicalScale)
    for (int c = 0; c < 2; ++c)
      for (int k : {2 * c, 2 * c + 1, 4 + 2 * c, 5 + 2 * c}) out.push_back(PhysicalField(k));
  return out;
}

InputRange Widened(InputRange row) {
  row.lower = 0.1;
  row.upper = 20000;
  row.minSpan = 100;
  return row;
}

} // namespace

void WidenFrequencyRow(RangeTables& tables) {
  tables.input[rows::Freq] = Widened(tables.input[rows::Freq]);
}

WriteCheckResult RunWriteChecks(const AppState& s, const RangeTables& T, const ConfigRecord& r,
                                const FieldTexts& texts) {
  WriteCheckResult out;
  auto find = [&out](Check check, int channel, int id, bool fatal, QString text) {
    out.findings.push_back({check, channel, id, fatal, std::move(text)});
  };
  const int v = s.identity.variant;
  const QString exceeds = QStringLiteral(" ") + Tr(s, 65);

  // Thermocouple pairing.
  if (IsCode12Variant(s.identity, 2) && s.channelSelector >= 1) {
    const bool bTcInternal = rows::IsThermocouple(InputRowOf(r, 1)) && r.ch[1].cjc == 1;
    const bool aTcInternal = rows::IsThermocouple(InputRowOf(r, 0)) && r.ch[0].cjc == 1;
    if (bTcInternal && !aTcInternal) {
      find(Check::ThermocouplePairing, 1, 62, true, Tr(s, 62));
      return out;
    }
  }

  const int last = std::clamp<int>(s.channelSelector, 0, 1);
  // A field emptied or holding no number would go to the unit as 0.
  for (Field f : CheckedFields(s, r, last)) {
    const QString& text = texts[static_cast<size_t>(Index(f))];
    if (ParseWholeNumber(text)) continue;
    const int k = Index(f) - Index(Field::PhysicalMaxA);
    const int channel = f <= Field::TripLowB ? Index(f) % 2 : k >= 0 ? (k / 2) % 2 : -1;
    find(Check::NotANumber, channel, kNotANumber, true, Tr(s, kNotANumber).arg(FieldName(s, f), text));
    return out;
  }

  const bool bRepeatsA = r.doubler || v == 0 || v == 7;
  out.inputOfBFromA = bRepeatsA;
  for (int c = 0; c <= last; ++c) {
    // Input range (channel B repeats channel A where the unit says so).
    const ChannelConfig& in = r.ch[bRepeatsA ? 0 : c];
    if (const int row = InputRowOf(r, bRepeatsA ? 0 : c); row >= 0 && row < static_cast<int>(T.input.size())) {
      const InputRange& limits = T.input[static_cast<size_t>(row)];
      const QString add = RangeAdditions(in.inputMax, in.inputMin, limits.lower, limits.upper, limits.minSpan);
      if (!add.isEmpty()) find(Check::InputRange, c, 63, false, ChannelPrefix(s, c) + Tr(s, 63) + add + exceeds);
    }
    // Output range.
    if (const int row = r.ch[c].outputRow; row >= 0 && row < static_cast<int>(T.output.size())) {
      const OutputRange& limits = T.output[static_cast<size_t>(row)];
      const QString add =
          RangeAdditions(r.ch[c].outputMax, r.ch[c].outputMin, limits.lower, limits.upper, limits.minSpan);
      if (!add.isEmpty()) find(Check::OutputRange, c, 64, false, ChannelPrefix(s, c) + Tr(s, 64) + add + exceeds);
    }
    // Offset, in tenths.
    const double tenths = RoundHalfEven(r.ch[c].offset * 10.0, 6);
    if (tenths < -125 || tenths > 125) find(Check::Offset, c, 66, false, ChannelPrefix(s, c) + Tr(s, 66) + exceeds);
  }

  // Trips, against the "Freq" row widened on variant 7.
  out.widenFrequencyRow = v == 7;
  for (int c = 0; c < TripChannels(s.identity); ++c) {
    const int row = InputRowOf(r, c);
    QString add;
    const double hi = r.ch[c].tripHigh, lo = r.ch[c].tripLow;
    if (row >= 0 && row < static_cast<int>(T.input.size())) {
      const InputRange limits =
          out.widenFrequencyRow && row == rows::Freq ? Widened(T.input[rows::Freq]) : T.input[static_cast<size_t>(row)];
      if (hi > limits.upper) add += " (Hi>" + NumToText(limits.upper) + ")";
      if (hi < limits.lower) add += " (Hi<" + NumToText(limits.lower) + ")";
      if (lo > limits.upper) add += " (Lo>" + NumToText(limits.upper) + ")";
      if (lo < limits.lower) add += " (Lo<" + NumToText(limits.lower) + ")";
      if (hi - lo < limits.minSpan / 100) add += " (Diff<" + NumToText(limits.minSpan / 100) + ")";
    }
    if (r.tripDelay < 0 || r.tripDelay > 255) add += " (Delay)";
    if (!add.isEmpty()) find(Check::Trips, c, 50, false, ChannelPrefix(s, c) + Tr(s, 50) + add + exceeds);
  }
  return out;
}

} // namespace pv
