#include "link/Codecs.h"

#include "text/Numbers.h"

#include <cmath>

namespace pv {

QString Hex2(uint8_t value) {
  return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

static int HexDigit(QChar c) {
  if (c >= '0' && c <= '9') return c.unicode() - '0';
  if (c >= 'A' && c <= 'F') return c.unicode() - 'A' + 10;
  return 0;  // the table holds upper-case digits only
}

uint8_t HexPairToByte(const QString& text) {
  if (text.size() < 2) return 0;
  return static_cast<uint8_t>(16 * HexDigit(text[0]) + HexDigit(text[1]));
}

WordBytes SplitWord(int value) {
  if (value < 0) value += 65536;
  value &= 0xFFFF;  // out-of-range values must not spill into other cells
  return {static_cast<uint8_t>(value / 256), static_cast<uint8_t>(value % 256)};
}

int JoinWord(uint8_t hi, uint8_t lo, bool isSigned) {
  int v = hi * 256 + lo;
  if (isSigned && hi > 127) v -= 65536;
  return v;
}

double DecodeFloat24(uint8_t m1, uint8_t m2, uint8_t s) {
  const double sign = s >= 128 ? -1.0 : 1.0;
  const int e = (s & 127) * 2 + (m1 >= 128 ? 1 : 0);
  const double f = ((m1 & 127) * 65536.0 + m2 * 256.0) / 8388608.0;
  return sign * (1.0 + f) * std::ldexp(1.0, e - 127);
}

Float24Bytes EncodeFloat24(double v) {
  if (v == 0 || !std::isfinite(v)) return {};
  const int sign = v < 0 ? 1 : 0;
  v = std::fabs(v);
  int exponent = 0;
  while (v >= 2.0) { v /= 2.0; ++exponent; }
  while (v < 1.0) { v *= 2.0; --exponent; }
  int e = exponent + 127;
  if (e < 0) return {};  // below the format's range: store zero
  if (e > 255) e = 255;
  long mantissa = std::lround((v - 1.0) * 8388608.0);
  if (mantissa >= 8388608) {  // rounding carried into the exponent
    mantissa = 0;
    e = std::min(e + 1, 255);
  }
  const long value24 = (static_cast<long>(e & 1) << 23) | mantissa;
  Float24Bytes out;
  out.s = static_cast<uint8_t>(sign * 128 + e / 2);
  out.m1 = static_cast<uint8_t>((value24 >> 16) & 0xFF);
  out.m2 = static_cast<uint8_t>((value24 >> 8) & 0xFF);
  return out;
}

std::optional<Float24Bytes> TryEncodeFloat24(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  // Below the smallest normal number the bytes would be those of zero (or a
  // value the unit reads as another): refused, never written as 0.
  if (v != 0 && std::fabs(v) < std::ldexp(1.0, -126)) return std::nullopt;
  const Float24Bytes b = EncodeFloat24(v);
  // Exponent 255 is the Inf / NaN pattern: S bits 0..6 all set and M1 bit 7.
  if ((b.s & 0x7F) == 0x7F && (b.m1 & 0x80) != 0) return std::nullopt;
  return b;
}

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

double DecodeShortFloat(uint8_t h, uint8_t l, uint8_t e) {
  const int m = h * 256 + l;
  const double f = m < 32768 ? 1.0 + m / 32768.0 : -(1.0 + (m - 32768) / 32768.0);
  return f * std::ldexp(1.0, e - 127);
}

} // namespace pv
