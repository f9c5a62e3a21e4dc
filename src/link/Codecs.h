#pragma once
// The device's number encodings: 16-bit words split into two cells, and two
// three-byte floating-point formats. Pure functions.
//
// Float24: the top three bytes of an IEEE-754 single. S = sign and exponent
// bits 7..1, M1 = exponent bit 0 and mantissa bits 22..16, M2 = bits 15..8.
// ShortFloat: signed 16-bit mantissa word H,L and an exponent byte E (bias 127).
#include <QString>
#include <cstdint>
#include <optional>

namespace pv {

QString Hex2(uint8_t value);                 // "05", "FF"
uint8_t HexPairToByte(const QString& text);  // "1F" -> 31; upper-case digits only

struct WordBytes {
  uint8_t hi = 0, lo = 0;
  friend bool operator==(const WordBytes&, const WordBytes&) = default;
};
// -32768..65535; a negative value is taken modulo 65536.
WordBytes SplitWord(int value);
int JoinWord(uint8_t hi, uint8_t lo, bool isSigned);

struct Float24Bytes {
  uint8_t s = 0, m1 = 0, m2 = 0;
  friend bool operator==(const Float24Bytes&, const Float24Bytes&) = default;
};
// Argument order as the device tables list them.
double DecodeFloat24(uint8_t m1, uint8_t m2, uint8_t s);
Float24Bytes EncodeFloat24(double value);
// The bytes of a value the format can hold: none for a value that is not
// finite, needs exponent 255 (the unit would read Inf or NaN) or is not zero
// but smaller than the smallest normal number, 2^-126 (it would be stored
// as zero).
std::optional<Float24Bytes> TryEncodeFloat24(double value);
// The shortest "#0.###"-like text of a value that encodes to the same Float24
// (after multiplying by scale) as the value itself: a threshold read as
// 0.0999994 shows as "0.1" and is written back as the same three bytes.
QString Float24Text(double value, double scale);

double DecodeShortFloat(uint8_t h, uint8_t l, uint8_t e);

} // namespace pv
