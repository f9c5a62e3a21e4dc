#include "Numbers.h"

#include <QLocale>
#include <cmath>
#include <cstdlib>
#include <string>

namespace pv {

namespace {
// Drops trailing zeros of a fixed-point text, and the point if nothing follows.
QString TrimFraction(QString s) {
  if (!s.contains('.')) return s;
  while (s.endsWith('0')) s.chop(1);
  if (s.endsWith('.')) s.chop(1);
  return s;
}
} // namespace

QString NumToText(double value) {
  if (std::isnan(value)) return QStringLiteral(" NaN");
  if (std::isinf(value)) return value > 0 ? QStringLiteral(" Inf") : QStringLiteral("-Inf");
  QString body;
  const double mag = std::fabs(value);
  if (mag != 0 && (mag >= 1e15 || mag < 1e-9)) {
    body = QString::number(value, 'g', 15);
  } else {
    int intDigits = mag >= 1 ? static_cast<int>(std::floor(std::log10(mag))) + 1 : 1;
    int decimals = std::max(0, 15 - intDigits);
    body = TrimFraction(QString::number(value, 'f', decimals));
  }
  if (body == QLatin1String("-0")) body = QStringLiteral("0");
  return body.startsWith('-') ? body : QLatin1Char(' ') + body;
}

QString NumToExactText(double value) {
  if (!std::isfinite(value)) return NumToText(value);
  const double mag = std::fabs(value);
  // The same notation as NumToText; only the number of digits differs.
  const char format = (mag != 0 && (mag >= 1e15 || mag < 1e-9)) ? 'g' : 'f';
  QString body = QString::number(value, format, QLocale::FloatingPointShortest);
  if (body == QLatin1String("-0")) body = QStringLiteral("0");
  return body.startsWith('-') ? body : QLatin1Char(' ') + body;
}

double ParseLeadingNumber(const QString& text) {
  const std::string s = text.toStdString();
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  const size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  size_t end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j, ++expDigits;
    if (expDigits > 0) end = j;
  }
  // strtod under the "C" numeric locale the process keeps; Qt's C-locale
  // conversion avoids any dependence on the user's settings.
  bool ok = false;
  double v = QLocale::c().toDouble(QString::fromStdString(s.substr(start, end - start)), &ok);
  if (!ok || !std::isfinite(v)) return 0.0;
  return v;
}

std::optional<double> ParseWholeNumber(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  // Only digits, one point, a sign and an exponent: QLocale would take
  // "inf", "nan" and group separators too.
  for (QChar ch : t)
    if (!ch.isDigit() && !QStringLiteral("+-.eE").contains(ch)) return std::nullopt;
  bool ok = false;
  const double v = QLocale::c().toDouble(t, &ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

QString FormatNumber(double value, const QString& pattern) {
  const int point = pattern.indexOf('.');
  const QString intPart = point < 0 ? pattern : pattern.left(point);
  const QString fracPart = point < 0 ? QString() : pattern.mid(point + 1);
  const int minInt = intPart.count('0');
  const int minFrac = fracPart.count('0');
  const int maxFrac = fracPart.size();

  // Half away from zero at maxFrac decimals.
  const double scale = std::pow(10.0, maxFrac);
  double scaled = std::fabs(value) * scale;
  // A small relative nudge keeps 2.675 (stored as 2.67499..) rounding up as typed.
  scaled = std::floor(scaled + 0.5 + scaled * 1e-15);
  const bool negative = value < 0 && scaled != 0;

  QString digits = QString::number(scaled, 'f', 0);
  while (digits.size() <= maxFrac) digits.prepend('0');
  QString ip = digits.left(digits.size() - maxFrac);
  QString fp = digits.right(maxFrac);
  while (fp.size() > minFrac && fp.endsWith('0')) fp.chop(1);
  // Leading zeros of the integer part beyond what the pattern forces.
  while (ip.size() > 1 && ip.startsWith('0') && ip.size() > minInt) ip.remove(0, 1);
  if (ip == QLatin1String("0") && minInt == 0 && !fp.isEmpty()) ip.clear();
  while (ip.size() < minInt) ip.prepend('0');
  QString out = ip;
  if (!fp.isEmpty()) out += QLatin1Char('.') + fp;
  if (out.isEmpty()) out = QStringLiteral("0");
  return negative ? QLatin1Char('-') + out : out;
}

double RoundHalfEven(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const double x = value * scale;
  double r = std::nearbyint(x);  // default rounding mode is to-nearest-even
  // Values such as 0.125 * 100 land exactly on .5 only when representable;
  // treat a near tie as a tie so that typed decimals round as written.
  const double diff = std::fabs(x - std::trunc(x));
  if (std::fabs(diff - 0.5) < 1e-9 * std::max(1.0, std::fabs(x))) {
    const double lower = std::floor(x);
    r = (std::fmod(lower, 2.0) == 0.0) ? lower : lower + 1.0;
  }
  return r / scale;
}

} // namespace pv
