#include "switches/SwitchReport.h"
#include "kernel/AppState.h"
#include "config/RangeTables.h"
#include "link/Codecs.h"
#include "switches/SwitchWizardModel.h"
#include "text/Numbers.h"

#include <QJsonArray>
#include <algorithm>

namespace pv {

bool SoftwareConfigured(SwitchLayout layout, const SwitchBytes& b, int c) {
  switch (layout) {
    case SwitchLayout::Dip2210: return DecodeDip2210(b).inputCode == 0;
    case SwitchLayout::Dip11: return DecodeDip11(b).inputCode == 0;
    case SwitchLayout::Dip2212: return DecodeDip2212(b).packedCode == 0;
    case SwitchLayout::Dip2212c: return DecodeDip2212c(b)[c & 1].inputPos == 0;
    case SwitchLayout::Dip2220: return b[1] == 0;
  }
  return false;
}

SwitchReport DescribeSwitches(const SwitchWizardModel& m, const RangeTables& tables) {
  SwitchReport r;
  r.bytes = m.bytes();
  const auto layout = LayoutFor(m.effectiveIdentity());
  if (!layout) return r;
  r.layout = QString::fromLatin1(LayoutName(*layout));
  const int channels = *layout == SwitchLayout::Dip2212c ? 2 : 1;
  for (int c = 0; c < channels; ++c) {
    SwitchChannelReport ch;
    ch.input = m.input(c).text;
    ch.output = m.output(c).text;
    if (m.visibility().optionFrame[c] || *layout == SwitchLayout::Dip2212c) {
      const auto& cap = m.optionCaptions(c);
      ch.optionCaption = cap.frame;
      ch.option = m.option(c) ? cap.on : cap.off;
    }
    ch.software = SoftwareConfigured(*layout, r.bytes, c);
    r.channels << ch;
  }
  // The lists a software-configured unit still shows (those of input code
  // 1 on some layouts) are not its range.
  const bool allSoftware =
      std::all_of(r.channels.begin(), r.channels.end(), [](const auto& ch) { return ch.software; });
  if (*layout == SwitchLayout::Dip2220) {
    r.multiplier = kMultipliers[std::max(m.multiplier(), 0)];
    r.unit = tables.input[rows::Freq].unit;
  } else {
    r.unit = tables.input[m.inputCodeA()].unit;
  }
  if (allSoftware) {
    r.multiplier.reset();
    r.unit.clear();
  }
  const double factor = r.multiplier ? *r.multiplier : 1;
  if (!allSoftware && m.spanList().hasSelection()) {
    r.spanIndex = m.spanList().selected;
    r.spanText = m.spanList().entries[*r.spanIndex].text;
    r.spanValue = m.spanList().selectedValue() * factor;
  }
  if (!allSoftware && m.zeroList().hasSelection()) {
    r.zeroIndex = m.zeroList().selected;
    r.zeroText = m.zeroList().entries[*r.zeroIndex].text;
    r.zeroValue = m.zeroList().selectedValue();
  }
  r.check = QString::fromLatin1(CheckText(m.check()));
  r.limits = m.limitsText();
  return r;
}

SwitchReport ReadSwitchReport(AppState& state, const RangeTables& tables, SwitchUnit& unit,
                              Prompter& prompter) {
  SwitchWizardModel model(state, tables, prompter);
  model.setUnit(&unit);
  model.ReadSwitch();
  return DescribeSwitches(model, tables);
}

namespace {
// Switch 1 first, as the banks are drawn: "SW1 0100 1110" means switch 2 on...
QString BankText(int bank, uint8_t byte) {
  QString s = QStringLiteral("SW%1 ").arg(bank + 1);
  for (int k = 0; k < BankSwitchCount(bank); ++k) {
    if (k == 4) s += QLatin1Char(' ');
    s += (byte >> k) & 1 ? QLatin1Char('1') : QLatin1Char('0');
  }
  return s;
}
QString Num(double v) { return FormatNumber(v, QStringLiteral("#0.###")); }
} // namespace

QString RenderSwitchReport(const SwitchReport& r) {
  QStringList out;
  out << QStringLiteral("bytes: %1 %2 %3").arg(Hex2(r.bytes[0]), Hex2(r.bytes[1]), Hex2(r.bytes[2]));
  out << QStringLiteral("banks (switch 1 first, 1 = On): %1, %2, %3")
             .arg(BankText(0, r.bytes[0]), BankText(1, r.bytes[1]), BankText(2, r.bytes[2]));
  out << QStringLiteral("layout: ") + (r.layout.isEmpty() ? QStringLiteral("unknown") : r.layout);
  for (int c = 0; c < r.channels.size(); ++c) {
    const auto& ch = r.channels[c];
    const QString p = r.channels.size() > 1 ? QStringLiteral("channel %1 ").arg(QChar('A' + c))
                                            : QString();
    if (ch.software) {
      out << p + QStringLiteral("input: EEPROM (configured by software)");
      continue;
    }
    out << p + QStringLiteral("input: ") + (ch.input.isEmpty() ? QStringLiteral("-") : ch.input);
    out << p + QStringLiteral("output: ") + (ch.output.isEmpty() ? QStringLiteral("-") : ch.output);
    if (!ch.optionCaption.isEmpty()) out << p + ch.optionCaption + QStringLiteral(": ") + ch.option;
  }
  if (r.multiplier) out << QStringLiteral("multiplier: %1").arg(*r.multiplier);
  if (r.spanValue)
    out << QStringLiteral("span: %1 %2 (entry %3)").arg(Num(*r.spanValue), r.unit).arg(*r.spanIndex);
  if (r.zeroValue)
    out << QStringLiteral("zero: %1 %2 (entry %3)").arg(Num(*r.zeroValue), r.unit).arg(*r.zeroIndex);
  if (!r.limits.isEmpty()) out << QStringLiteral("limits: ") + QString(r.limits).replace("\r\n", " / ");
  out << QStringLiteral("check: ") + (r.check.isEmpty() ? QStringLiteral("-") : r.check);
  return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QJsonObject SwitchReportJson(const SwitchReport& r) {
  QJsonObject o;
  o["bytes"] = QJsonArray{r.bytes[0], r.bytes[1], r.bytes[2]};
  o["layout"] = r.layout;
  QJsonArray chans;
  for (const auto& ch : r.channels) {
    QJsonObject c{{"input", ch.input}, {"output", ch.output}, {"software", ch.software}};
    if (!ch.optionCaption.isEmpty()) {
      c["optionCaption"] = ch.optionCaption;
      c["option"] = ch.option;
    }
    chans.append(c);
  }
  o["channels"] = chans;
  if (r.multiplier) o["multiplier"] = *r.multiplier;
  if (r.spanValue) o["span"] = QJsonObject{{"index", *r.spanIndex}, {"value", *r.spanValue}, {"text", r.spanText}};
  if (r.zeroValue) o["zero"] = QJsonObject{{"index", *r.zeroIndex}, {"value", *r.zeroValue}, {"text", r.zeroText}};
  o["unit"] = r.unit;
  o["limits"] = r.limits;
  o["check"] = r.check;
  return o;
}

} // namespace pv
