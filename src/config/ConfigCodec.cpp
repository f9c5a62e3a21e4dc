#include "config/ConfigCodec.h"

#include "kernel/Catalogue.h"
#include "text/Texts.h"
#include "link/Codecs.h"
#include "text/Numbers.h"

#include <cmath>
#include <optional>

namespace pv {

namespace {
bool Code12(const AppState& s, int v) { return IsCode12Variant(s.identity, v); }
// Trips carried by the unit: channel A always, channel B only on code 12 variant 7.
int LastTripChannel(const AppState& s) { return TripChannels(s.identity) - 1; }
} // namespace

QString Float24Text(double value, double scale) {
  const auto want = TryEncodeFloat24(value * scale);
  if (!want) return QString::number(value, 'g', 17);
  QString pattern = QStringLiteral("#0");
  for (int k = 0; k <= 12; ++k) {
    if (k == 1) pattern += '.';
    if (k >= 1) pattern += '#';
    const QString t = FormatNumber(value, pattern);
    if (TryEncodeFloat24(ParseLeadingNumber(t) * scale) == want) return t;
  }
  return QString::number(value, 'g', 17);
}

// What an input or output range breaks: " (MAX)", " (MIN)", " (SPAN)".
static QString RangeAdditions(double hi, double lo, double lower, double upper, double minSpan) {
  QString add;
  if (hi > upper) add += QStringLiteral(" (MAX)");
  if (lo < lower) add += QStringLiteral(" (MIN)");
  if (hi - lo < minSpan) add += QStringLiteral(" (SPAN)");
  return add;
}

namespace {
constexpr int kNotANumber = 93;

std::optional<QString> FirstNonNumber(const EditorModel& m, int last) {
  const AppState& s = m.state();
  const EditorFields& f = m.f;
  const EditorFields& was = m.loadedFields();
  const CellLayout layout = CellLayoutFor(s.identity);
  std::optional<QString> bad;
  auto check = [&](const QString& now, const QString& then, const QString& name) {
    if (bad || now == then || ParseWholeNumber(now)) return;
    bad = Tr(s, kNotANumber).arg(name, now);
  };
  auto channel = [&s](int c) { return Tr(s, 72) + (c == 0 ? QStringLiteral(" A: ") : QStringLiteral(" B: ")); };
  const bool bRepeatsA = f.chkDoubler || s.identity.variant == 0 || s.identity.variant == 7;
  for (int c = 0; c <= last; ++c) {
    if (!(c == 1 && bRepeatsA)) {
      check(f.txtInputMax[c], was.txtInputMax[c], channel(c) + Tr(s, 48) + QStringLiteral(" max"));
      check(f.txtInputMin[c], was.txtInputMin[c], channel(c) + Tr(s, 48) + QStringLiteral(" min"));
    }
    check(f.txtOutputMax[c], was.txtOutputMax[c], channel(c) + Tr(s, 49) + QStringLiteral(" max"));
    check(f.txtOutputMin[c], was.txtOutputMin[c], channel(c) + Tr(s, 49) + QStringLiteral(" min"));
    check(f.txtOffset[c], was.txtOffset[c], channel(c) + Tr(s, 66));
  }
  for (int c = 0; c <= LastTripChannel(s); ++c) {
    check(f.txtSogliaH[c], was.txtSogliaH[c], channel(c) + Tr(s, 50) + QLatin1Char(' ') + Tr(s, 113));
    check(f.txtSogliaL[c], was.txtSogliaL[c], channel(c) + Tr(s, 50) + QLatin1Char(' ') + Tr(s, 114));
  }
  check(f.txtSogliaDelay, was.txtSogliaDelay, Tr(s, 50) + QLatin1Char(' ') + Tr(s, 115));
  if (layout.responseTime) check(f.txtDelay, was.txtDelay, Tr(s, 130));
  if (layout.frequencyInput) {
    check(f.txtFilter, was.txtFilter, Tr(s, 82));
    check(f.txtAuxFreq, was.txtAuxFreq, QStringLiteral("Aux"));
    check(f.txtTrig, was.txtTrig, Tr(s, 81));
  }
  if (layout.physicalScale) {
    for (int c = 0; c < 2; ++c) {
      check(f.txtFisicoMax[2 + c], was.txtFisicoMax[2 + c], channel(c) + Tr(s, 131) + QStringLiteral(" max"));
      check(f.txtFisicoMin[2 + c], was.txtFisicoMin[2 + c], channel(c) + Tr(s, 131) + QStringLiteral(" min"));
      check(f.txtFisicoOutMax[c], was.txtFisicoOutMax[c], channel(c) + Tr(s, 131) + QStringLiteral(" ") + Tr(s, 49) + QStringLiteral(" max"));
      check(f.txtFisicoOutMin[c], was.txtFisicoOutMin[c], channel(c) + Tr(s, 131) + QStringLiteral(" ") + Tr(s, 49) + QStringLiteral(" min"));
    }
  }
  return bad;
}
} // namespace

std::vector<CheckMessage> RunChecks(EditorModel& m) {
  AppState& s = m.state();
  EditorFields& f = m.f;
  RangeTables& T = m.tables();
  std::vector<CheckMessage> out;
  const int v = s.identity.variant;
  auto num = [](const QString& t) { return ParseLeadingNumber(t); };
  auto prefix = [&s](int c) { return Tr(s, 72) + (c == 0 ? QStringLiteral(" A: ") : QStringLiteral(" B: ")); };
  const QString exceeds = QStringLiteral(" ") + Tr(s, 65);

  // 2. Thermocouple pairing.
  if (Code12(s, 2) && s.channelSelector >= 1) {
    const bool bTcInternal = rows::IsThermocouple(m.inputRow(1)) && f.optCJC[1] == 1;
    const bool aTcInternal = rows::IsThermocouple(m.inputRow(0)) && f.optCJC[0] == 1;
    if (bTcInternal && !aTcInternal) {
      out.push_back({true, 62, Tr(s, 62)});
      return out;
    }
  }

  const int last = std::clamp<int>(s.channelSelector, 0, 1);
  // A field emptied or holding no number would go to the unit as 0: the
  // write ends. A text still as loaded keeps the loaded value and is fine.
  if (auto bad = FirstNonNumber(m, last); bad) {
    out.push_back({true, kNotANumber, *bad});
    return out;
  }
  for (int c = 0; c <= last; ++c) {
    // 3. Input range (channel B repeats channel A where the unit says so).
    if (f.chkDoubler || v == 0 || v == 7) {
      f.txtInputMax[1] = f.txtInputMax[0];
      f.txtInputMin[1] = f.txtInputMin[0];
    }
    const int r = m.inputRow((f.chkDoubler || v == 0 || v == 7) ? 0 : c);
    if (r >= 0) {
      const InputRange& row = T.input[r];
      const QString add = RangeAdditions(num(f.txtInputMax[c]), num(f.txtInputMin[c]), row.lower,
                                         row.upper, row.minSpan);
      if (!add.isEmpty()) out.push_back({false, 63, prefix(c) + Tr(s, 63) + add + exceeds});
    }
    // 4. Output range.
    const int o = m.outputRow(c);
    if (o >= 0) {
      const OutputRange& row = T.output[o];
      const QString add = RangeAdditions(num(f.txtOutputMax[c]), num(f.txtOutputMin[c]), row.lower,
                                         row.upper, row.minSpan);
      if (!add.isEmpty()) out.push_back({false, 64, prefix(c) + Tr(s, 64) + add + exceeds});
    }
    // 5. Offset, in tenths.
    const double off10 = RoundHalfEven(num(f.txtOffset[c]) * 10.0, 6);
    if (off10 < -125 || off10 > 125)
      out.push_back({false, 66, prefix(c) + Tr(s, 66) + exceeds});
  }

  // 6. Trips. On variant 7 the "Freq" row is widened first, for good.
  for (int c = 0; c <= LastTripChannel(s); ++c) {
    if (v == 7) {
      InputRange& fr = T.input[rows::Freq];
      fr.lower = 0.1;
      fr.upper = 20000;
      fr.minSpan = 100;
    }
    const int r = m.inputRow(c);
    QString add;
    const double hi = num(f.txtSogliaH[c]), lo = num(f.txtSogliaL[c]);
    if (r >= 0) {
      const InputRange& row = T.input[r];
      if (hi > row.upper) add += " (Hi>" + NumToText(row.upper) + ")";
      if (hi < row.lower) add += " (Hi<" + NumToText(row.lower) + ")";
      if (lo > row.upper) add += " (Lo>" + NumToText(row.upper) + ")";
      if (lo < row.lower) add += " (Lo<" + NumToText(row.lower) + ")";
      if (hi - lo < row.minSpan / 100) add += " (Diff<" + NumToText(row.minSpan / 100) + ")";
    }
    const double delay = num(f.txtSogliaDelay);
    if (delay < 0 || delay > 255) add += " (Delay)";
    if (!add.isEmpty()) out.push_back({false, 50, prefix(c) + Tr(s, 50) + add + exceeds});
  }
  return out;
}

} // namespace pv
