#pragma once
// Number and text conventions used everywhere a number is shown, typed,
// written to a file or sent to a device. None of them depends on the
// user's locale: the decimal separator is always '.'.
#include <QString>
#include <optional>

namespace pv {

// Plain number-to-text: a blank before non-negative values (" 1200", "-200",
// " 0.5"), at most 15 significant digits, no exponent for ordinary magnitudes.
QString NumToText(double value);

// As NumToText, with as many digits as the value needs to read back as the
// same double (at most 17): a number passed through a file keeps its value.
// " 1.25e-08" stays 1.25e-08, where NumToText would give " 0.0000000125" only
// down to 15 decimals.
QString NumToExactText(double value);

// The longest leading part of the text that reads as a number; leading blanks
// are skipped; an empty or non-numeric text gives 0. "12abc" gives 12,
// " -1.5e2x" gives -150, "1,5" gives 1.
double ParseLeadingNumber(const QString& text);

// The whole text as one number ("." the decimal point, blanks around it
// allowed), or nothing: "", "abc", "12abc" and "12,5" are not numbers. For
// values that must not fall back to 0 as the leading-number rule does.
std::optional<double> ParseWholeNumber(const QString& text);

// Formats with a pattern of '#', '0' and one optional '.':
// "0" before the point forces a digit, "#" does not; after the point "0" is a
// fixed decimal and "#" an optional one. Rounds half away from zero, as a
// display would. "#0.###" of 12.5 gives "12.5"; "00.000" of 1.5 gives "01.500".
QString FormatNumber(double value, const QString& pattern);

// Round to the given number of decimals, ties to the even neighbour.
double RoundHalfEven(double value, int decimals = 0);

} // namespace pv
