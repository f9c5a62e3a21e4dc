#include "switches/SwitchSheet.h"

#include "config/RangeTables.h"
#include "kernel/AppState.h"
#include "switches/DipPainting.h"
#include "switches/SwitchReport.h"
#include "switches/SwitchWizardModel.h"
#include "text/Numbers.h"
#include "text/Texts.h"

#include <QFont>
#include <QPainter>

namespace pv {

namespace {
constexpr double kGap = 240;  // design units between banks
QString Num(double v) { return FormatNumber(v, QStringLiteral("#0.###")); }
} // namespace

std::optional<SheetPicture> SwitchBanksPicture(const SwitchWizardModel& m, const RangeTables& tables,
                                               const AppState& s) {
  if (m.demoMode()) return std::nullopt;
  const SwitchReport report = DescribeSwitches(m, tables);
  if (report.layout.isEmpty() || report.channels.isEmpty()) return std::nullopt;
  if (std::all_of(report.channels.begin(), report.channels.end(), [](const auto& ch) { return ch.software; }))
    return std::nullopt;

  struct Bank {
    QString caption;
    int switches;
    uint8_t value;
  };
  QVector<Bank> shown;
  const auto banks = m.banks();
  for (int b = 0; b < 3; ++b)
    if (banks[b].visible) shown << Bank{banks[b].caption, banks[b].switches, m.bytes()[b]};
  if (shown.isEmpty()) return std::nullopt;

  SheetPicture pic;
  pic.title = Tr(s, 151);
  const QSizeF bank = DipBankDesignSize();
  const double design = shown.size() * bank.width() + (shown.size() - 1) * kGap;
  pic.size = QSizeF(design * kSheetBankScale, bank.height() * kSheetBankScale);
  pic.paint = [shown, bank](QPainter& p) {
    p.scale(kSheetBankScale, kSheetBankScale);
    QFont font;
    font.setStyleStrategy(QFont::PreferNoShaping);  // "Off" stays three letters in the PDF
    for (int i = 0; i < shown.size(); ++i) {
      p.save();
      p.translate(i * (bank.width() + kGap), 0);
      PaintDipBank(p, shown[i].caption, shown[i].switches, shown[i].value, font);
      p.restore();
    }
  };

  const bool two = report.channels.size() > 1;
  for (int c = 0; c < report.channels.size(); ++c) {
    const SwitchChannelReport& ch = report.channels[c];
    QString line = two ? Tr(s, 72) + (c == 0 ? QStringLiteral(" A: ") : QStringLiteral(" B: ")) : QString();
    if (ch.software) {
      line += Tr(s, 48) + QStringLiteral(": ") + tables.input[rows::Eeprom].name;
    } else {
      line += Tr(s, 48) + QStringLiteral(": ") + (ch.input.isEmpty() ? QStringLiteral("\u2014") : ch.input);
      line += QStringLiteral("   ") + Tr(s, 49) + QStringLiteral(": ") +
              (ch.output.isEmpty() ? QStringLiteral("\u2014") : ch.output);
      if (!ch.optionCaption.isEmpty()) line += QStringLiteral("   ") + ch.optionCaption + QStringLiteral(": ") + ch.option;
    }
    pic.notes << line;
  }
  QStringList range;
  if (report.spanValue) range << QStringLiteral("Span: ") + Num(*report.spanValue) + QLatin1Char(' ') + report.unit;
  if (report.zeroValue) range << QStringLiteral("Zero: ") + Num(*report.zeroValue) + QLatin1Char(' ') + report.unit;
  if (report.multiplier) range << Tr(s, 83) + QStringLiteral(": ") + QString::number(*report.multiplier);
  if (!report.check.isEmpty()) range << Tr(s, 56).trimmed() + QStringLiteral(": ") + report.check;
  if (!range.isEmpty()) pic.notes << range.join(QStringLiteral("   "));
  return pic;
}

} // namespace pv
