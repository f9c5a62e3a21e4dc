#include "switches/SwitchLayouts.h"
#include "kernel/AppState.h"

namespace pv {

namespace {
uint8_t Byte(int v) { return static_cast<uint8_t>(v & 0xFF); }
int Field(int value, int width) { return value < 0 ? 0 : value & ((1 << width) - 1); }
} // namespace

std::optional<SwitchLayout> LayoutFor(const DeviceIdentity& id) {
  if (id.deviceCode == 11) return SwitchLayout::Dip11;
  switch (id.variant) {
    case 0:
    case 1: return SwitchLayout::Dip2210;
    case 2:
    case 3:
    case 6: return SwitchLayout::Dip2212;
    case 4:
    case 5: return SwitchLayout::Dip2212c;
    case 7: return SwitchLayout::Dip2220;
    default: return std::nullopt;
  }
}

const char* LayoutName(SwitchLayout layout) {
  switch (layout) {
    case SwitchLayout::Dip11: return "DisegnaDip";
    case SwitchLayout::Dip2210: return "DisegnaDip2210_r1";
    case SwitchLayout::Dip2212: return "DisegnaDip2212";
    case SwitchLayout::Dip2212c: return "DisegnaDip2212_c";
    case SwitchLayout::Dip2220: return "DisegnaDip2220";
  }
  return "";
}

int BankSwitchCount(int bank) { return bank == 2 ? 4 : 8; }

bool SwitchOn(const SwitchBytes& bytes, int bank, int sw) {
  if (bank < 0 || bank >= kBankCount || sw < 1 || sw > BankSwitchCount(bank)) return false;
  return (bytes[bank] >> (sw - 1)) & 1;
}

CodeMapping CodeMappingFor(const DeviceIdentity& id) {
  if (id.deviceCode != 12) return CodeMapping::Plain;
  if (id.variant == 3) return CodeMapping::Minus15;
  if (id.variant == 6) return CodeMapping::Minus15Res300K;
  return CodeMapping::Plain;
}

int PackInputCode(int row, CodeMapping m) {
  if (row <= 0) return 0;
  if (m == CodeMapping::Plain) return Field(row, 4);
  if (m == CodeMapping::Minus15Res300K && row == 32) row = 18;
  return Field(row - 15, 4);
}

int UnpackInputCode(int packed, CodeMapping m) {
  packed = Field(packed, 4);
  if (packed == 0 || m == CodeMapping::Plain) return packed;
  const int row = packed + 15;
  if (m == CodeMapping::Minus15Res300K && row == 18) return 32;
  return row;
}

void DisegnaDip2210_r1(SwitchBytes& b, const Dip2210Fields& f) {
  b[0] = Byte(Field(f.inputCode, 5) | (f.option ? 32 : 0) | Field(f.outputA, 2) << 6);
  b[1] = Byte(Field(f.outputB, 2) | Field(f.span, 6) << 2);
  b[2] = Byte(Field(f.zero, 4));
}

Dip2210Fields DecodeDip2210(const SwitchBytes& b) {
  return {b[0] & 31, (b[0] & 32) != 0, (b[0] & 192) / 64, b[1] & 3, (b[1] & 252) / 4, b[2] & 15};
}

void DisegnaDip(SwitchBytes& b, std::optional<int> inputCode, int output, bool option) {
  int v = (b[0] & 31) | Field(output, 2) << 5 | (option ? 128 : 0);
  if (inputCode) v = (v & ~31) | Field(*inputCode, 5);
  b[0] = Byte(v);
}

Dip11Fields DecodeDip11(const SwitchBytes& b) {
  return {b[0] & 31, (b[0] >> 5) & 3, (b[0] & 128) != 0, b[1] & 15, (b[1] & 240) / 16};
}

void DisegnaDip2212(SwitchBytes& b, int packedCode, int output) {
  b[0] = Byte((b[0] & 0xF0) | Field(packedCode, 4));
  b[1] = Byte((b[1] & 63) | Field(output, 2) << 6);
}

Dip2212Fields DecodeDip2212(const SwitchBytes& b) {
  return {b[0] & 15, (b[1] & 192) / 64, b[1] & 63, (b[0] & 240) / 16};
}

namespace {
uint8_t PackChannel(const ChannelDip& c) {
  return Byte(Field(c.inputPos, 4) | (c.option ? 16 : 0) | Field(c.outputPos, 3) << 5);
}
ChannelDip UnpackChannel(uint8_t v) { return {v & 15, (v & 16) != 0, (v & 224) / 32}; }
} // namespace

void DisegnaDip2212_c(SwitchBytes& b, const ChannelDip& a, const ChannelDip& bCh) {
  b[0] = PackChannel(a);
  b[1] = PackChannel(bCh);
}

std::array<ChannelDip, 2> DecodeDip2212c(const SwitchBytes& b) {
  return {UnpackChannel(b[0]), UnpackChannel(b[1])};
}

void DisegnaDip2220(SwitchBytes& b, const Dip2220Fields& f, bool demo) {
  b[1] = Byte(Field(f.span, 6) | Field(f.multiplier, 2) << 6);
  b[2] = Byte(Field(f.inputPos, 2) | Field(f.output, 2) << 2);
  b[0] = demo ? b[2] : 0;
}

Dip2220Fields DecodeDip2220(const SwitchBytes& b) {
  return {b[2] & 3, (b[2] & 12) / 4, b[1] & 63, (b[1] & 192) / 64};
}

void ApplySpanIndex(SwitchBytes& b, SwitchLayout layout, int index) {
  switch (layout) {
    case SwitchLayout::Dip2210: b[1] = Byte((b[1] & 3) | Field(index, 6) << 2); break;
    case SwitchLayout::Dip2212:
    case SwitchLayout::Dip2220: b[1] = Byte((b[1] & 192) | Field(index, 6)); break;
    case SwitchLayout::Dip11: b[1] = Byte((b[1] & 240) | Field(index, 4)); break;
    case SwitchLayout::Dip2212c: break;
  }
}

void ApplyZeroIndex(SwitchBytes& b, SwitchLayout layout, int index) {
  switch (layout) {
    case SwitchLayout::Dip2210: b[2] = Byte(Field(index, 4)); break;
    case SwitchLayout::Dip2212: b[0] = Byte((b[0] & 15) | Field(index, 4) << 4); break;
    case SwitchLayout::Dip11: b[1] = Byte((b[1] & 15) | Field(index, 4) << 4); break;
    case SwitchLayout::Dip2220:
    case SwitchLayout::Dip2212c: break;
  }
}

SpanZeroIndex DecodeSpanZero(const SwitchBytes& b, SwitchLayout layout) {
  switch (layout) {
    case SwitchLayout::Dip2210: {
      const auto f = DecodeDip2210(b);
      return {f.span, f.zero};
    }
    case SwitchLayout::Dip2212: {
      const auto f = DecodeDip2212(b);
      return {f.span, f.zero};
    }
    case SwitchLayout::Dip11: {
      const auto f = DecodeDip11(b);
      return {f.span, f.zero};
    }
    case SwitchLayout::Dip2220: return {DecodeDip2220(b).span, -1};
    case SwitchLayout::Dip2212c: return {};
  }
  return {};
}

} // namespace pv
