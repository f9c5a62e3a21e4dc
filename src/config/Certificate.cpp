#include "config/Certificate.h"

#include "text/Texts.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>

namespace pv {

using namespace certificate_text;

namespace {

QString Number(double v) {
  QString t = QString::number(v, 'f', 3);
  return t;
}

} // namespace

QString OutcomeText(const AppState& s, const QString& outcome) {
  if (outcome == QLatin1String(kOutcomePass)) return Tr(s, kPass);
  if (outcome == QLatin1String(kOutcomeFail)) return Tr(s, kFail);
  if (outcome == QLatin1String(kOutcomeStopped)) return Tr(s, kStopped);
  if (outcome == QLatin1String(kOutcomeError)) return Tr(s, kError);
  if (outcome == QLatin1String(kOutcomeDone)) return Tr(s, kDone);
  if (outcome == QLatin1String(kOutcomeRunning)) return Tr(s, kRunning);
  return outcome;
}

QString KindText(const AppState& s, const QString& kind) {
  if (kind == QLatin1String(kEventCalibration)) return Tr(s, kCalibration);
  if (kind == QLatin1String(kEventVerification)) return Tr(s, kVerification);
  return kind;
}

QString LimitsText(const FactoryRow& r) {
  if (r.low && r.high) return Number(*r.low) + QStringLiteral(" \u2026 ") + Number(*r.high);
  if (r.low) return QStringLiteral("\u2265 ") + Number(*r.low);
  if (r.high) return QStringLiteral("\u2264 ") + Number(*r.high);
  return {};
}

SheetContent CertificateContent(const AppState& s, const FactoryRecord& r) {
  SheetContent c;
  c.productTitle = ProductTitle(s);
  c.title = Tr(s, kTitle) + QStringLiteral(" \u2014 ") + KindText(s, r.kind);
  QStringList instruments;
  for (const QJsonValue& v : r.details.value(QStringLiteral("instruments")).toArray()) {
    const QJsonObject i = v.toObject();
    QString text = i.value(QStringLiteral("name")).toString();
    const QString idn = i.value(QStringLiteral("idn")).toString();
    const QString selector = i.value(QStringLiteral("selector")).toString();
    if (!idn.isEmpty()) text += QStringLiteral(" (") + idn + QLatin1Char(')');
    else if (!selector.isEmpty()) text += QStringLiteral(" (") + selector + QLatin1Char(')');
    instruments << text;
  }
  QString fingerprint = r.fingerprint;
  if (!r.fingerprintAfter.isEmpty() && r.fingerprintAfter != r.fingerprint)
    fingerprint = (fingerprint.isEmpty() ? QString() : fingerprint + QStringLiteral(" \u2192 ")) + r.fingerprintAfter;
  const QJsonValue ambient = r.details.value(QStringLiteral("ambient"));
  c.header = {{Tr(s, kModel), r.model},
              {Tr(s, kFingerprint), fingerprint},
              {Tr(s, kLabel), r.label},
              {Tr(s, kDate), r.started.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))},
              {Tr(s, kStation), r.station},
              {Tr(s, kOperator), r.operatorName},
              {Tr(s, kInstruments), instruments.join(QStringLiteral(", "))},
              {Tr(s, kAmbient), ambient.isDouble() ? QString::number(ambient.toDouble(), 'f', 1) + QStringLiteral(" \u00b0C") : QString()},
              {Tr(s, kResult), OutcomeText(s, r.outcome) + (r.reason.isEmpty() ? QString() : QStringLiteral(": ") + r.reason)}};
  SheetTable t;
  t.title = Tr(s, kMeasurements);
  t.columns = {Tr(s, kValue), Tr(s, kLimits), Tr(s, kResult)};
  for (const FactoryRow& row : r.rows) {
    SheetRow line;
    line.label = row.step + QStringLiteral("  ") + row.item;
    QString value = row.text.isEmpty() && row.value ? Number(*row.value) : row.text;
    if (!row.unit.isEmpty()) value += QLatin1Char(' ') + row.unit;
    const QString limits = LimitsText(row);
    line.values = {value, limits.isEmpty() ? QString() : limits + (row.unit.isEmpty() ? QString() : QLatin1Char(' ') + row.unit),
                   row.colour.isEmpty() && limits.isEmpty() ? QString() : Tr(s, row.pass ? kPass : kFail)};
    t.rows << line;
  }
  c.tables << t;
  c.signature = Tr(s, kSignature);
  return c;
}

} // namespace pv
