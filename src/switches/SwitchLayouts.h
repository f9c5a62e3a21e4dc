#pragma once
// The three DIP-switch banks of the switch-configured units ("SW1", "SW2",
// "SW3") and how each layout packs the user's choices into them.
//
// Switch k of a bank is bit k-1 of its byte (switch 1 = least significant
// bit); a set bit is the "On" position. "SW3" has four switches.
//
//   layout             first byte (SW1)             second byte (SW2)          third byte (SW3)
//   DisegnaDip2210_r1  0-4 input code, 5 option,    0-1 output B, 2-7 span     0-3 zero
//                      6-7 output A
//   DisegnaDip (code 11) 0-4 input code,            0-3 span, 4-7 zero         unchanged
//                      5-6 output, 7 option
//   DisegnaDip2212     0-3 packed input, 4-7 zero   0-5 span, 6-7 output       unchanged
//   DisegnaDip2212_c   channel A: 0-3 input pos.,   channel B, same layout     unchanged
//                      4 option, 5-7 output pos.
//   DisegnaDip2220     0 (demo: copy of SW3)        0-5 span, 6-7 multiplier   0-1 input pos., 2-3 output
//
// Every field is masked to its width, so no choice can spill into a
// neighbouring field.
#include <array>
#include <cstdint>
#include <optional>

namespace pv {

struct DeviceIdentity;

using SwitchBytes = std::array<uint8_t, 3>;

enum class SwitchLayout { Dip11, Dip2210, Dip2212, Dip2212c, Dip2220 };

// Layout of a unit: device code 11 -> Dip11; variants 0, 1 -> Dip2210;
// 2, 3, 6 -> Dip2212; 4, 5 -> Dip2212c; 7 -> Dip2220; nothing otherwise.
std::optional<SwitchLayout> LayoutFor(const DeviceIdentity& id);
const char* LayoutName(SwitchLayout layout);

// Banks as drawn: 8, 8 and 4 switches.
constexpr int kBankCount = 3;
int BankSwitchCount(int bank);
// Switch sw (1-based) of bank (0-based) is on.
bool SwitchOn(const SwitchBytes& bytes, int bank, int sw);

// --- input code adjustment -------------------------------------------------
// The four-bit input field of DisegnaDip2212 cannot hold the resistive and
// thermistor rows, so those units count from row 15: rows 16..30 pack as
// 1..15. Variant 6 reuses code 3 (row 18 on other units) for "Res300K".
enum class CodeMapping { Plain, Minus15, Minus15Res300K };
// Device code 12 variant 3 -> Minus15, variant 6 -> Minus15Res300K.
CodeMapping CodeMappingFor(const DeviceIdentity& id);
// Row 0 ("EEPROM") packs as 0 and 0 unpacks as row 0 under every mapping.
int PackInputCode(int row, CodeMapping m);
int UnpackInputCode(int packed, CodeMapping m);

// --- the encoders ----------------------------------------------------------
struct Dip2210Fields {
  int inputCode = 0;  // 0..31
  bool option = false;
  int outputA = 0, outputB = 0;  // 0..3
  int span = 0;                  // 0..63
  int zero = 0;                  // 0..15
  friend bool operator==(const Dip2210Fields&, const Dip2210Fields&) = default;
};
void DisegnaDip2210_r1(SwitchBytes& b, const Dip2210Fields& f);  // rewrites all three
Dip2210Fields DecodeDip2210(const SwitchBytes& b);

struct Dip11Fields {
  int inputCode = 0;  // 0..31
  int output = 0;     // 0..3
  bool option = false;
  int span = 0, zero = 0;  // 0..15, decoding only
  friend bool operator==(const Dip11Fields&, const Dip11Fields&) = default;
};
// Replaces bits 5-7 of the first byte; bits 0-4 only when an input is given
// (the input selector is not empty).
void DisegnaDip(SwitchBytes& b, std::optional<int> inputCode, int output, bool option);
Dip11Fields DecodeDip11(const SwitchBytes& b);

struct Dip2212Fields {
  int packedCode = 0;  // 0..15, after PackInputCode
  int output = 0;      // 0..3
  int span = 0;        // 0..63
  int zero = 0;        // 0..15
  friend bool operator==(const Dip2212Fields&, const Dip2212Fields&) = default;
};
// Replaces the input bits of the first byte and the output bits of the second.
void DisegnaDip2212(SwitchBytes& b, int packedCode, int output);
Dip2212Fields DecodeDip2212(const SwitchBytes& b);

struct ChannelDip {
  int inputPos = 0;   // 0..15, position in the 16-entry label list
  bool option = false;
  int outputPos = 0;  // 0..7, position in the 8-entry label list
  friend bool operator==(const ChannelDip&, const ChannelDip&) = default;
};
void DisegnaDip2212_c(SwitchBytes& b, const ChannelDip& a, const ChannelDip& bCh);  // SW1, SW2
std::array<ChannelDip, 2> DecodeDip2212c(const SwitchBytes& b);

struct Dip2220Fields {
  int inputPos = 0;    // 0..3
  int output = 0;      // 0..3
  int span = 0;        // 0..63
  int multiplier = 0;  // 0 "1000", 1 "100", 2 "10", 3 "1"
  friend bool operator==(const Dip2220Fields&, const Dip2220Fields&) = default;
};
// Rewrites all three; the first byte is 0, or in demonstration mode a copy
// of the third.
void DisegnaDip2220(SwitchBytes& b, const Dip2220Fields& f, bool demo);
Dip2220Fields DecodeDip2220(const SwitchBytes& b);

// A list click replaces only its own field. Dip2220 has no zero field and
// its span goes through DisegnaDip2220; Dip2212c has no lists.
void ApplySpanIndex(SwitchBytes& b, SwitchLayout layout, int index);
void ApplyZeroIndex(SwitchBytes& b, SwitchLayout layout, int index);

// Span and zero indices named by the bytes (-1 where the layout has none).
struct SpanZeroIndex {
  int span = -1, zero = -1;
};
SpanZeroIndex DecodeSpanZero(const SwitchBytes& b, SwitchLayout layout);

// Multiplier selector entries and their factors.
constexpr std::array<int, 4> kMultipliers = {1000, 100, 10, 1};

} // namespace pv
