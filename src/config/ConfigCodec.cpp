#include "config/ConfigCodec.h"

#include "text/Texts.h"
#include "link/Codecs.h"
#include "text/Numbers.h"

#include <QSignalBlocker>
#include <cmath>
#include <map>

namespace pv {

namespace {

const QString kFmt = QStringLiteral("#0.###");

double Pow10(int d) { return std::pow(10.0, d); }

QString Key(const char* name, int index = -1) {
  return index < 0 ? QString::fromLatin1(name) : QStringLiteral("%1_%2").arg(name).arg(index);
}

bool Code12(const AppState& s, int v) {
  return s.identity.deviceCode == 12 && s.identity.variant == v;
}

// Trips carried by the unit: channel A always, channel B only on code 12
// variant 7.
int LastTripChannel(const AppState& s) { return Code12(s, 7) ? 1 : 0; }

// Variant 0 keeps its trip block at 10..15, on top of channel B's input
// words (12..15). Channel B repeats channel A's input there, so the trip
// owns those cells and channel B's input words are neither read nor written.
int TripBlock(const AppState& s, int c) { return (s.identity.variant == 0 ? 10 : 28) + 6 * c; }

// Variant 0 stores the thresholds of the "10 V" and "20 mA" rows scaled by
// 10^d; every other case in the engineering unit. Returns the exponent.
int TripScaleExponent(const EditorModel& m, int c) {
  if (m.state().identity.variant != 0) return 0;
  const int r = m.inputRow(c);
  if (r == rows::Volt10 || r == rows::mA20) return m.tables().input[r].decimals;
  return 0;
}

// Cell 4 bits 5 and 6 name the model family on variants 2..6 (the caption
// routine reads them to tell KRV2212 from KRV2311...). There the doubler and
// channel A's trip direction cannot be stored: a write must never rename
// the unit, so those two bits go back as they were read.
bool FamilyInCell4(const AppState& s) { return s.identity.variant >= 2 && s.identity.variant <= 6; }

int InputDecimals(const EditorModel& m, int row, uint8_t cell4) {
  const AppState& s = m.state();
  int d = (s.identity.variant == 7) ? (cell4 >> 2) & 3 : m.tables().input[row].decimals;
  if (row == rows::Res300K && Code12(s, 6)) ++d;  // one more decimal on this row
  return d;
}

double Word(const CellImage& cell, int lo, bool isSigned) {
  return JoinWord(cell[lo + 1], cell[lo], isSigned);
}

} // namespace

QString Float24Text(uint8_t m1, uint8_t m2, uint8_t s, double scale) {
  const double v = DecodeFloat24(m1, m2, s) / scale;
  const Float24Bytes want{s, m1, m2};
  QString pattern = QStringLiteral("#0");
  for (int k = 0; k <= 12; ++k) {
    if (k == 1) pattern += '.';
    if (k >= 1) pattern += '#';
    const QString t = FormatNumber(v, pattern);
    if (EncodeFloat24(ParseLeadingNumber(t) * scale) == want) return t;
  }
  return QString::number(v, 'g', 17);
}

void DecodeCells(EditorModel& m, const CellImage& cell) {
  AppState& s = m.state();
  EditorFields& f = m.f;
  const RangeTables& T = m.tables();
  const int v = s.identity.variant;
  const bool isSigned = v != 7;  // words are unsigned on variant 7 only
  s.signedValues = isSigned;
  for (int a = 0; a <= 64; ++a) {
    m.base[a] = cell[a];
    m.baseValid[a] = true;
  }
  m.forgetKept();

  const QSignalBlocker quiet(&m);
  const int last = std::clamp<int>(s.channelSelector, 0, 1);
  for (int c = 0; c <= last; ++c) {
    int row;
    if (Code12(s, 7)) {
      row = rows::Freq;
    } else {
      const int code = cell[c] & 31;
      row = (Code12(s, 6) && code == 18) ? rows::Res300K : code;
    }
    f.cmbProgIn[c].text = T.input[row].name;
    const int out = cell[4 + 2 * c] & 3;
    m.setOutputType(c, T.output[out].name);  // its rule runs; the words below win

    const int d = InputDecimals(m, row, cell[4]);
    const int base = c == 0 ? 20 : 12;
    const int inBase = (v == 0 && c == 1) ? 20 : base;  // see TripBlock
    ChannelSettings& ch = s.channels[c];
    ch.inputType = static_cast<uint8_t>(row);
    ch.outputType = static_cast<uint8_t>(out);
    ch.inputDecimals = static_cast<uint8_t>(d);
    ch.inputMax = Word(cell, inBase, isSigned) / Pow10(d);
    ch.inputMin = Word(cell, inBase + 2, isSigned) / Pow10(d);
    ch.outputMax = Word(cell, base + 4, isSigned) / 1000.0;
    ch.outputMin = Word(cell, base + 6, isSigned) / 1000.0;
    ch.inputUnit = T.input[row].unit;
    ch.outputUnit = T.output[out].unit;
    f.txtInputMax[c] = FormatNumber(ch.inputMax, kFmt);
    f.txtInputMin[c] = FormatNumber(ch.inputMin, kFmt);
    f.txtOutputMax[c] = FormatNumber(ch.outputMax, kFmt);
    f.txtOutputMin[c] = FormatNumber(ch.outputMin, kFmt);

    const uint8_t fn = cell[3 + 2 * c];
    const uint8_t io = cell[4 + 2 * c];
    f.optBreak[c] = fn >> 7;
    if (v != 7) {
      f.optFili[c] = (io >> 2) & 3;
      f.optCJC[c] = (io >> 4) & 1;
    } else if (c == 0) {
      const int ft = cell[0] & 7;
      f.chk50hz = (cell[0] & 8) != 0;
      m.setFreqType(T.frequency[ft].name);
    }
    f.optFunz[c] = fn & 7;
    ch.function = fn & 7;
    // Bits 3..5 hold the operation (eight of them); bit 6 is the trip relay.
    ch.operatorOption = (fn >> 3) & 7;
    f.cmdOperatore[c] = QString::fromLatin1(kOperationCaptions[ch.operatorOption]);
  }

  f.cmbOverRange[0].text = T.overRange[cell[9] & 3].name;
  f.cmbOverRange[1].text = T.overRange[(cell[9] >> 2) & 3].name;
  f.chkDoubler = v != 7 && !FamilyInCell4(s) && (cell[4] & 32) != 0;
  if (f.chkDoubler) f.cmbProgIn[1].text = m.doublerText();
  f.chkHS = (cell[4] & 128) != 0;
  f.txtFilter = QString::number(JoinWord(cell[54], cell[53], false));
  f.txtAuxFreq = QString::number(cell[63]);
  f.txtTrig = FormatNumber(cell[64] * 0.0278 + 0.122, kFmt);
  m.keep(Key("txt_Trig"), f.txtTrig, 0, {{64, cell[64]}});
  for (int c = 0; c < 2; ++c) {
    const int raw = cell[7 + c];
    f.txtOffset[c] = FormatNumber((raw > 127 ? raw - 256 : raw) / 10.0, QStringLiteral("#0.0"));
    m.keep(Key("txt_offset", c), f.txtOffset[c], 0, {{7 + c, cell[7 + c]}});
  }

  for (int c = 0; c <= last; ++c) m.inputTypeChanged(c);  // limit captions + visibility
  // The refresh clears the high-speed box for some inputs; a read shows what
  // the unit holds, so that its next write does not change the cell.
  f.chkHS = (cell[4] & 128) != 0;

  for (int c = 0; c <= LastTripChannel(s); ++c) {
    const int t = TripBlock(s, c);
    const int e = TripScaleExponent(m, c);
    f.optTrip[c] = (cell[4 + 2 * c] >> 6) & 1;
    // The relay of channel c is bit 6 of cell 3 + 2c, where the write puts
    // it; read as "3 + c" it would land on channel A's trip direction.
    f.optRele[c] = (cell[3 + 2 * c] >> 6) & 1;
    f.txtSogliaH[c] = Float24Text(cell[t + 1], cell[t], cell[t + 2], Pow10(e));
    f.txtSogliaL[c] = Float24Text(cell[t + 4], cell[t + 3], cell[t + 5], Pow10(e));
    m.keep(Key("txt_soglia_H", c), f.txtSogliaH[c], e, {{t, cell[t]}, {t + 1, cell[t + 1]}, {t + 2, cell[t + 2]}});
    m.keep(Key("txt_soglia_L", c), f.txtSogliaL[c], e,
           {{t + 3, cell[t + 3]}, {t + 4, cell[t + 4]}, {t + 5, cell[t + 5]}});
    TripRecord& tr = s.trips[c];
    tr.direction = static_cast<int16_t>(f.optTrip[c]);
    tr.high = DecodeFloat24(cell[t + 1], cell[t], cell[t + 2]) / Pow10(e);
    tr.low = DecodeFloat24(cell[t + 4], cell[t + 3], cell[t + 5]) / Pow10(e);
  }
  if (v == 0) {
    f.txtSogliaDelay = FormatNumber(RoundHalfEven(cell[8] / 0.75) / 10.0, kFmt);
  } else {
    f.txtSogliaDelay = QString::number(cell[8]);
  }
  s.trips[0].delay = static_cast<int16_t>(std::lround(ParseLeadingNumber(f.txtSogliaDelay)));
  m.keep(Key("txt_soglia_Delay"), f.txtSogliaDelay, 0, {{8, cell[8]}});

  if (Code12(s, 0) && s.identity.hardwareRevision >= 4) {
    const int n = cell[28] + 256 * cell[29];
    f.txtDelay = FormatNumber(n * 0.058 + 0.2, QStringLiteral("#0.0"));
    m.keep(Key("txt_Delay"), f.txtDelay, 0, {{28, cell[28]}, {29, cell[29]}});
  }
}

namespace {
// Order from cell 128, three cells each: {0 max, 1 min, 2 out max, 3 out
// min; field index}. These are the cells the read decodes (128, 131, ...
// 149); cells 152 and 153 are read but belong to no field.
constexpr std::array<std::pair<int, int>, 8> kPhysical = {{
    {0, 2}, {1, 2}, {0, 3}, {1, 3}, {2, 0}, {3, 0}, {2, 1}, {3, 1}}};

QString& PhysicalField(EditorFields& f, int which, int index) {
  switch (which) {
  case 0: return f.txtFisicoMax[index];
  case 1: return f.txtFisicoMin[index];
  case 2: return f.txtFisicoOutMax[index];
  default: return f.txtFisicoOutMin[index];
  }
}
} // namespace

void DecodePhysical(EditorModel& m, const CellImage& cell) {
  AppState& s = m.state();
  for (int a = 128; a <= 153; ++a) {
    m.base[a] = cell[a];
    m.baseValid[a] = true;
  }
  for (size_t k = 0; k < kPhysical.size(); ++k) {
    const int a = 128 + 3 * static_cast<int>(k);
    const auto [which, index] = kPhysical[k];
    QString& text = PhysicalField(m.f, which, index);
    text = Float24Text(cell[a + 1], cell[a], cell[a + 2], 1.0);
    m.keep(QStringLiteral("fisico_%1").arg(k), text, 0,
           {{a, cell[a]}, {a + 1, cell[a + 1]}, {a + 2, cell[a + 2]}});
    const double value = DecodeFloat24(cell[a + 1], cell[a], cell[a + 2]);
    ChannelSettings& ch = s.channels[which < 2 ? index - 2 : index];
    switch (which) {
    case 0: ch.physicalMax = value; break;
    case 1: ch.physicalMin = value; break;
    case 2: ch.physicalOutMax = value; break;
    default: ch.physicalOutMin = value; break;
    }
  }
  emit m.changed();
}

// What an input or output range breaks: " (MAX)", " (MIN)", " (SPAN)".
static QString RangeAdditions(double hi, double lo, double lower, double upper, double minSpan) {
  QString add;
  if (hi > upper) add += QStringLiteral(" (MAX)");
  if (lo < lower) add += QStringLiteral(" (MIN)");
  if (hi - lo < minSpan) add += QStringLiteral(" (SPAN)");
  return add;
}

std::vector<CheckMessage> RunChecks(EditorModel& m) {
  AppState& s = m.state();
  EditorFields& f = m.f;
  RangeTables& T = m.tables();
  std::vector<CheckMessage> out;
  const int v = s.identity.variant;
  auto num = [](const QString& t) { return ParseLeadingNumber(t); };
  auto prefix = [](int c) { return QStringLiteral("Channel ") + (c == 0 ? "A: " : "B: "); };
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

Encoded EncodeCells(EditorModel& m) {
  AppState& s = m.state();
  EditorFields& f = m.f;
  const RangeTables& T = m.tables();
  const int v = s.identity.variant;
  const bool isSigned = v != 7;
  std::map<int, uint8_t> cells;
  QString fault;
  auto fail = [&](const QString& what) {
    if (fault.isEmpty()) fault = what;
  };
  auto num = [](const QString& t) { return ParseLeadingNumber(t); };
  auto put = [&](int a, long value) { cells[a] = static_cast<uint8_t>(value & 0xFF); };
  auto putKept = [&](const QString& key, const QString& text, int context) {
    const EditorModel::Kept* k = m.kept(key, text, context);
    if (!k) return false;
    for (const auto& [a, value] : k->cells) cells[a] = value;
    return true;
  };
  auto putWord = [&](int lo, double value, double scale, const char* what) {
    const long n = std::lround(value * scale);
    const long min = isSigned ? -32768 : 0, max = isSigned ? 32767 : 65535;
    if (!std::isfinite(value) || n < min || n > max) return fail(QString::fromLatin1(what));
    const WordBytes w = SplitWord(static_cast<int>(n));
    put(lo, w.lo);
    put(lo + 1, w.hi);
  };
  auto putFloat = [&](int a, double value) {
    const Float24Bytes b = EncodeFloat24(value);
    put(a, b.m2);
    put(a + 1, b.m1);
    put(a + 2, b.s);
  };

  const bool copyB = f.chkDoubler || v == 0 || v == 7;
  if (copyB) {
    f.txtInputMax[1] = f.txtInputMax[0];
    f.txtInputMin[1] = f.txtInputMin[0];
  }
  std::array<int, 2> row{m.inputRow(0), copyB ? m.inputRow(0) : m.inputRow(1)};
  std::array<int, 2> out{m.outputRow(0), m.outputRow(1)};
  for (int c = 0; c < 2; ++c) {
    if (row[c] < 0) fail(QStringLiteral("input type"));
    if (out[c] < 0) fail(QStringLiteral("output type"));
  }
  if (!fault.isEmpty()) return {{}, fault};

  // Input type codes: five bits; "Res300K" travels as 18 on variant 6.
  auto code = [&](int r) -> int {
    const int n = (r == rows::Res300K && Code12(s, 6)) ? 18 : r;
    if (n > 31) fail(QStringLiteral("input type %1 does not fit its cell").arg(T.input[r].name));
    return n & 31;
  };
  if (v == 7) {
    // The input is always "Freq"; cell 0 holds the sensor type and 50 Hz box.
    int ft = -1;
    for (int i = 0; i <= 6; ++i)
      if (T.frequency[i].name == f.cmbFreqType.text) ft = i;
    if (ft < 0) ft = m.base[0] & 7;
    put(0, (m.base[0] & 0xF0) | ft | (f.chk50hz ? 8 : 0));
  } else {
    put(0, (m.base[0] & 0xE0) | code(row[0]));
    if (v == 0) put(1, cells[0]);  // a copy of channel A's type
    else put(1, (m.base[1] & 0xE0) | code(row[1]));
  }

  for (int c = 0; c < 2; ++c) {
    const int op = s.channels[c].operatorOption;
    if (op > 7) fail(QStringLiteral("operation %1").arg(op));
    put(3 + 2 * c, (f.optFunz[c] & 7) | (op & 7) << 3 | (f.optRele[c] & 1) << 6 |
                       (f.optBreak[c] & 1) << 7);
  }
  {
    const uint8_t b4 = m.base[4], b6 = m.base[6];
    long c4 = out[0] | (f.optTrip[0] & 1) << 6 | (f.chkHS ? 128 : 0);
    long c6 = out[1] | (f.optTrip[1] & 1) << 6 | (b6 & 0x80);
    if (v == 7) {
      c4 |= b4 & 0x3C;  // decimals of the frequency words, and bits 4..5
      c6 |= b6 & 0x3C;
    } else {
      c4 |= (f.optFili[0] & 3) << 2 | (f.optCJC[0] & 1) << 4 | (f.chkDoubler ? 32 : 0);
      c6 |= (f.optFili[1] & 3) << 2 | (f.optCJC[1] & 1) << 4 | (b6 & 0x20);
    }
    if (FamilyInCell4(s)) {
      if ((c4 & 0x40) != (b4 & 0x40)) fail(QStringLiteral("trip direction of this model"));
      c4 = (c4 & ~0x60L) | (b4 & 0x60);
    }
    put(4, c4);
    put(6, c6);
  }

  // Offsets, signed tenths in one byte.
  std::array<long, 2> offset{};
  for (int c = 0; c < 2; ++c) {
    const long n = std::lround(RoundHalfEven(num(f.txtOffset[c]) * 10.0, 6));
    offset[c] = n;
  }
  auto offsetByte = [&](int c) -> long {
    if (offset[c] < -128 || offset[c] > 127) fail(QStringLiteral("offset"));
    return offset[c] < 0 ? offset[c] + 256 : offset[c];
  };
  if (!putKept(Key("txt_offset", 0), f.txtOffset[0], 0)) put(7, offsetByte(0));

  // Cell 8 is channel B's offset and the trip delay at once. Unedited, it
  // goes back as read. Edited, the edited field wins; when both were edited
  // the owner wins: the delay on variants 0 and 7, where channel B repeats
  // channel A's input and has no offset of its own, else channel B's offset.
  {
    const bool offEdited = m.edited(Key("txt_offset", 1), f.txtOffset[1]);
    const bool delayEdited = m.edited(Key("txt_soglia_Delay"), f.txtSogliaDelay);
    bool useDelay;
    if (!offEdited && !delayEdited) {
      putKept(Key("txt_soglia_Delay"), f.txtSogliaDelay, 0);
      useDelay = false;
    } else {
      useDelay = (delayEdited && !offEdited) || (delayEdited && (v == 0 || v == 7));
      if (useDelay) {
        const double shown = num(f.txtSogliaDelay);
        const long n = v == 0 ? std::lround(RoundHalfEven(shown * 7.5)) : std::lround(shown);
        if (n < 0 || n > 255) fail(QStringLiteral("trip delay"));
        put(8, n);
      } else {
        put(8, offsetByte(1));
      }
    }
  }

  {
    long c9 = m.base[9] & 0xF0;
    for (int c = 0; c < 2; ++c) {
      int i = -1;
      for (size_t k = 0; k < T.overRange.size(); ++k)
        if (T.overRange[k].name == f.cmbOverRange[c].text) i = static_cast<int>(k);
      c9 |= (i >= 0 ? i : (m.base[9] >> (2 * c)) & 3) << (2 * c);
    }
    put(9, c9);
  }

  for (int c = 0; c < 2; ++c) {
    const int base = c == 0 ? 20 : 12;
    const int d = InputDecimals(m, row[c], m.base[4]);
    if (!(v == 0 && c == 1)) {  // variant 0: cells 12..15 belong to the trip
      putWord(base, num(f.txtInputMax[c]), Pow10(d), "input upper limit");
      putWord(base + 2, num(f.txtInputMin[c]), Pow10(d), "input lower limit");
    }
    putWord(base + 4, num(f.txtOutputMax[c]), 1000, "output upper limit");
    putWord(base + 6, num(f.txtOutputMin[c]), 1000, "output lower limit");
  }

  for (int c = 0; c <= LastTripChannel(s); ++c) {
    const int t = TripBlock(s, c);
    const int e = TripScaleExponent(m, c);
    if (!putKept(Key("txt_soglia_H", c), f.txtSogliaH[c], e)) putFloat(t, num(f.txtSogliaH[c]) * Pow10(e));
    if (!putKept(Key("txt_soglia_L", c), f.txtSogliaL[c], e))
      putFloat(t + 3, num(f.txtSogliaL[c]) * Pow10(e));
  }

  if (Code12(s, 0) && s.identity.hardwareRevision >= 4 && !putKept(Key("txt_Delay"), f.txtDelay, 0)) {
    long n = std::lround((num(f.txtDelay) - 0.2) / 0.058);
    if (n < 0) n = 0;
    if (n > 65535) fail(QStringLiteral("response time"));
    put(28, n & 0xFF);
    put(29, n >> 8);
  }

  if (v == 7) {
    const long filter = std::lround(num(f.txtFilter));
    if (filter < 0 || filter > 65535) fail(QStringLiteral("filter"));
    put(53, filter & 0xFF);
    put(54, filter >> 8);
    const long aux = std::lround(num(f.txtAuxFreq));
    if (aux < 0 || aux > 255) fail(QStringLiteral("auxiliary frequency"));
    put(63, aux);
    if (!putKept(Key("txt_Trig"), f.txtTrig, 0)) {
      // Rounded, not truncated: 0.1498 V must give back cell 1, not 0.
      const long n = std::lround((num(f.txtTrig) - 0.122) / 0.0278);
      if (n < 0 || n > 255) fail(QStringLiteral("trigger level"));
      put(64, n);
    }
  }

  if (Code12(s, 5)) {
    // Cells 128, 131, ... 149 in the editor's field order.
    for (size_t k = 0; k < kPhysical.size(); ++k) {
      const int a = 128 + 3 * static_cast<int>(k);
      const QString& text = PhysicalField(f, kPhysical[k].first, kPhysical[k].second);
      if (!putKept(QStringLiteral("fisico_%1").arg(k), text, 0)) putFloat(a, num(text));
    }
  }

  Encoded result;
  result.fault = fault;
  if (fault.isEmpty()) result.cells.assign(cells.begin(), cells.end());
  return result;
}

} // namespace pv
