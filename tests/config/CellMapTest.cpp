// The cell map both ways against memories written out by hand from the cell
// layout (not produced by the code under test), and the properties a write
// must keep: no edit changes nothing, one edit changes only its own cells.
#include "config/CellMap.h"
#include "config/EditorModel.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace pv {
namespace {

const RangeTables& Tables() {
  static const RangeTables t;
  return t;
}

// A memory filled with a pattern no field would produce, so that a cell the
// record does not own shows up if a write touches it.
CellImage Filled(std::initializer_list<std::pair<int, uint8_t>> cells, uint8_t fill = 0x5A) {
  CellImage m;
  m.fill(fill);
  for (const auto& [a, v] : cells) m[a] = v;
  return m;
}

// The cells an encoding must hold, as (address, byte) pairs.
void ExpectCells(const CellImage& cells, std::initializer_list<std::pair<int, int>> expected) {
  for (const auto& [a, v] : expected) EXPECT_EQ(cells[a], v) << "cell " << a;
}

std::set<int> Differences(const CellImage& a, const CellImage& b) {
  std::set<int> out;
  for (int i = 0; i < 256; ++i)
    if (a[i] != b[i]) out.insert(i);
  return out;
}

// KRV2212A (code 12, variant 2): Tc K on A, Tc J on B.
const CellImage kKrv2212A = Filled({
    {0, 0x08}, {1, 0x07},               // Tc K, Tc J
    {3, 0xD2},                          // sqrt, operation 2, relay NO, down scale
    {4, 0x95},                          // 4-20 mA, 4 wires, internal CJC, family 0, high speed
    {5, 0x41},                          // tank; bit 6 is not channel B's here
    {6, 0x42},                          // 0-10 V; bit 6 is not channel B's here
    {7, 0xF6}, {8, 0x05}, {9, 0xAD},    // offset -1.0; 0.5 / delay 5; over-range 1 and 3
    {12, 0xA0}, {13, 0x0F}, {14, 0x0C}, {15, 0xFE},  // B input 400.0 .. -50.0
    {16, 0x10}, {17, 0x27}, {18, 0x00}, {19, 0x00},  // B output 10 .. 0
    {20, 0x70}, {21, 0x17}, {22, 0x00}, {23, 0x00},  // A input 600.0 .. 0
    {24, 0x20}, {25, 0x4E}, {26, 0xA0}, {27, 0x0F},  // A output 20 .. 4
    {28, 0x00}, {29, 0xF0}, {30, 0x43},              // trip high 480 (0x43F00000)
    {31, 0x00}, {32, 0xF0}, {33, 0x42},              // trip low 120 (0x42F00000)
});

// KRV2210 (code 12, variant 0, revision 4): "10 V" with the doubler.
const CellImage kKrv2210 = Filled({
    {0, 0x04}, {1, 0x04},               // 10 V, and its copy
    {3, 0x00}, {4, 0xE1},               // 4-20 mA, doubler, minimum trip, high speed
    {5, 0x00}, {6, 0x02},
    {7, 0x00}, {8, 15}, {9, 0x00},      // delay 15 / 7.5 = 2.0 s
    {10, 0x00}, {11, 0xFA}, {12, 0x45}, // trip high 8000 = 8 V x 10^3 (0x45FA0000)
    {13, 0x00}, {14, 0xFA}, {15, 0x44}, // trip low 2000 = 2 V x 10^3
    {16, 0x10}, {17, 0x27}, {18, 0x00}, {19, 0x00},
    {20, 0x10}, {21, 0x27}, {22, 0x00}, {23, 0x00},  // A input 10.000 .. 0
    {24, 0x20}, {25, 0x4E}, {26, 0xA0}, {27, 0x0F},
    {28, 0x11}, {29, 0x01},             // response time word 273
});

// KRV2220 (code 12, variant 7): frequency input, unsigned words, two trips.
const CellImage kKrv2220 = Filled({
    {0, 0x5B},                          // sensor 3, 50 Hz filter; bits 4-7 not the record's
    {1, 0x77},                          // not the record's
    {3, 0x40}, {5, 0x40},               // relay NO on both channels
    {4, 0x05},                          // 4-20 mA, one decimal in the frequency words
    {6, 0x42},                          // 0-10 V, minimum trip on B
    {7, 0x00}, {8, 3}, {9, 0x00},
    {12, 0x50}, {13, 0xC3}, {14, 0x0A}, {15, 0x00},  // B repeats A's input
    {16, 0x10}, {17, 0x27}, {18, 0x00}, {19, 0x00},
    {20, 0x50}, {21, 0xC3}, {22, 0x0A}, {23, 0x00},  // A input 5000.0 Hz (unsigned 50000) .. 1.0
    {24, 0x20}, {25, 0x4E}, {26, 0xA0}, {27, 0x0F},
    {28, 0x00}, {29, 0x48}, {30, 0x44}, {31, 0x00}, {32, 0x48}, {33, 0x43},  // A 800 / 200
    {34, 0x00}, {35, 0x61}, {36, 0x44}, {37, 0x00}, {38, 0xC8}, {39, 0x42},  // B 900 / 100
    {53, 0x2C}, {54, 0x01}, {63, 50}, {64, 100},     // filter 300, aux 50, trigger 2.902 V
});

TEST(CellMapGolden, Krv2212aDecodes) {
  const ConfigRecord r = DecodeConfig({12, 2, 3, 0}, Tables(), kKrv2212A);
  const ChannelConfig& a = r.ch[0];
  EXPECT_EQ(a.inputRow, rows::TcK);
  EXPECT_EQ(a.decimals, 1);
  EXPECT_DOUBLE_EQ(a.inputMax, 600);
  EXPECT_DOUBLE_EQ(a.inputMin, 0);
  EXPECT_EQ(a.outputRow, 1);
  EXPECT_DOUBLE_EQ(a.outputMax, 20);
  EXPECT_DOUBLE_EQ(a.outputMin, 4);
  EXPECT_EQ(a.function, 2);
  EXPECT_EQ(a.operation, 2);
  EXPECT_EQ(a.relay, 1);
  EXPECT_EQ(a.burnOut, 1);
  EXPECT_EQ(a.wires, 1);
  EXPECT_EQ(a.cjc, 1);
  EXPECT_EQ(a.tripDirection, 0);
  EXPECT_DOUBLE_EQ(a.tripHigh, 480);
  EXPECT_DOUBLE_EQ(a.tripLow, 120);
  EXPECT_DOUBLE_EQ(a.offset, -1.0);
  EXPECT_EQ(a.overRange, 1);
  const ChannelConfig& b = r.ch[1];
  EXPECT_EQ(b.inputRow, rows::TcJ);
  EXPECT_DOUBLE_EQ(b.inputMax, 400);
  EXPECT_DOUBLE_EQ(b.inputMin, -50);
  EXPECT_EQ(b.outputRow, 2);
  EXPECT_DOUBLE_EQ(b.outputMax, 10);
  EXPECT_EQ(b.function, 1);
  EXPECT_EQ(b.relay, 0);          // bit 6 of cell 5 is not channel B's relay here
  EXPECT_EQ(b.tripDirection, 0);  // nor bit 6 of cell 6 its trip direction
  EXPECT_DOUBLE_EQ(b.offset, 0.5);
  EXPECT_EQ(b.overRange, 3);
  EXPECT_FALSE(r.doubler);
  EXPECT_TRUE(r.highSpeed);
  EXPECT_DOUBLE_EQ(r.tripDelay, 5);
}

TEST(CellMapGolden, Krv2212aEncodesOnlyItsBits) {
  // A record written by hand onto a memory of 0x5A everywhere.
  ConfigRecord r;
  // Channel A asks for a maximum trip; bit 6 of cell 4 is the family's and stays 1.
  r.ch[0] = {rows::TcK, 1, 600, 0, 1, 20, 4, 2, 2, 1, 1, 1, 1, 0, 480, 120, -1.0, 1};
  r.ch[1] = {rows::TcJ, 1, 400, -50, 2, 10, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0.5, 3};
  r.highSpeed = true;
  r.tripDelay = 5;
  const CellImage base = Filled({});
  const EncodedCells e = EncodeConfig({12, 2, 3, 0}, Tables(), r, base);
  ASSERT_TRUE(e.ok()) << e.fault.toStdString();
  const CellImage& m = e.cells;
  EXPECT_EQ(m[0], 0x48);  // bits 5-7 stay 010
  EXPECT_EQ(m[1], 0x47);
  EXPECT_EQ(m[3], 0xD2);  // relay of channel A in bit 6 of cell 3
  EXPECT_EQ(m[4], 0xD5);  // bits 5-6 (family) stay 10; direction not written
  EXPECT_EQ(m[5], 0x41);  // bit 6 stays as it was
  EXPECT_EQ(m[6], 0x42);  // bits 5-7 stay 010
  EXPECT_EQ(m[7], 0xF6);
  EXPECT_EQ(m[8], 0x05);  // B's offset and the delay both differ from the base's: the offset owns it here
  EXPECT_EQ(m[9], 0x5D);  // bits 4-7 stay 0101
  const uint8_t words[] = {0xA0, 0x0F, 0x0C, 0xFE, 0x10, 0x27, 0x00, 0x00,
                           0x70, 0x17, 0x00, 0x00, 0x20, 0x4E, 0xA0, 0x0F};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[12 + i], words[i]) << "cell " << 12 + i;
  const uint8_t trip[] = {0x00, 0xF0, 0x43, 0x00, 0xF0, 0x42};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(m[28 + i], trip[i]) << "cell " << 28 + i;
  EXPECT_EQ(m[2], 0x5A);
  for (int a = 34; a < 256; ++a) EXPECT_EQ(m[a], 0x5A) << "cell " << a;
  // The cells a write sends: every cell the record owns a bit of.
  const std::vector<int> sent = {0, 1, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14, 15, 16, 17, 18, 19,
                                 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33};
  EXPECT_EQ(e.addresses, sent);
}

TEST(CellMapGolden, Krv2210DecodesTripScaleDelayAndResponseTime) {
  const ConfigRecord r = DecodeConfig({12, 0, 4, 0}, Tables(), kKrv2210);
  EXPECT_EQ(r.ch[0].inputRow, rows::Volt10);
  EXPECT_EQ(r.ch[1].inputRow, rows::Volt10);
  EXPECT_DOUBLE_EQ(r.ch[0].inputMax, 10);
  EXPECT_DOUBLE_EQ(r.ch[1].inputMax, 10);  // channel B repeats A's words
  EXPECT_DOUBLE_EQ(r.ch[0].tripHigh, 8);   // stored x 10^3 on this row
  EXPECT_DOUBLE_EQ(r.ch[0].tripLow, 2);
  EXPECT_EQ(r.ch[0].tripDirection, 1);
  EXPECT_TRUE(r.doubler);
  EXPECT_TRUE(r.highSpeed);
  EXPECT_DOUBLE_EQ(r.tripDelay, 2.0);
  EXPECT_NEAR(r.responseTime, 273 * 0.058 + 0.2, 1e-12);
}

TEST(CellMapGolden, Krv2210EditsLandInTheirCells) {
  const DeviceIdentity id{12, 0, 4, 0};
  ConfigRecord r = DecodeConfig(id, Tables(), kKrv2210);
  r.ch[0].tripHigh = 9;  // 9000 = 0x460CA000: M2 0xA0, M1 0x0C, S 0x46
  r.tripDelay = 4;       // 30 tenths of 0.75 s... 4 x 7.5 = 30
  r.responseTime = 1.36; // (1.36 - 0.2) / 0.058 = 20
  const EncodedCells e = EncodeConfig(id, Tables(), r, kKrv2210);
  ASSERT_TRUE(e.ok());
  ExpectCells(e.cells, {{10, 0xA0}, {11, 0x0C}, {12, 0x46}, {8, 30}, {28, 20}, {29, 0}});
  EXPECT_EQ(Differences(kKrv2210, e.cells), (std::set<int>{8, 10, 11, 12, 28, 29}));
}

TEST(CellMapGolden, Krv2220DecodesFrequencyAndBothTrips) {
  const ConfigRecord r = DecodeConfig({12, 7, 3, 0}, Tables(), kKrv2220);
  EXPECT_EQ(r.ch[0].inputRow, rows::Freq);
  EXPECT_EQ(r.freqType, 3);
  EXPECT_TRUE(r.filter50Hz);
  EXPECT_EQ(r.freqDecimals, 1);
  EXPECT_DOUBLE_EQ(r.ch[0].inputMax, 5000);  // unsigned word 50000
  EXPECT_DOUBLE_EQ(r.ch[0].inputMin, 1);
  EXPECT_EQ(r.ch[0].relay, 1);
  EXPECT_EQ(r.ch[1].relay, 1);
  EXPECT_EQ(r.ch[0].tripDirection, 0);
  EXPECT_EQ(r.ch[1].tripDirection, 1);
  EXPECT_DOUBLE_EQ(r.ch[0].tripHigh, 800);
  EXPECT_DOUBLE_EQ(r.ch[0].tripLow, 200);
  EXPECT_DOUBLE_EQ(r.ch[1].tripHigh, 900);
  EXPECT_DOUBLE_EQ(r.ch[1].tripLow, 100);
  EXPECT_DOUBLE_EQ(r.tripDelay, 3);
  EXPECT_EQ(r.filter, 300);
  EXPECT_EQ(r.auxFrequency, 50);
  EXPECT_NEAR(r.trigger, 2.902, 1e-12);
}

TEST(CellMapGolden, Krv2220EditsAndUnownedCells) {
  const DeviceIdentity id{12, 7, 3, 0};
  ConfigRecord r = DecodeConfig(id, Tables(), kKrv2220);
  r.freqType = 5;
  r.filter50Hz = false;
  r.ch[1].relay = 0;
  r.ch[1].tripDirection = 0;
  r.ch[0].inputMax = 6000;  // 60000 = 0xEA60, into A's words and B's copy
  r.trigger = 0.1498;       // rounds to cell 1, truncation would give 0
  const EncodedCells e = EncodeConfig(id, Tables(), r, kKrv2220);
  ASSERT_TRUE(e.ok());
  ExpectCells(e.cells, {{0, 0x55}, {1, 0x77}, {5, 0x00}, {6, 0x02}, {20, 0x60}, {21, 0xEA}, {12, 0x60},
                        {13, 0xEA}, {64, 1}});
  EXPECT_EQ(Differences(kKrv2220, e.cells), (std::set<int>{0, 5, 6, 12, 13, 20, 21, 64}));
  EXPECT_EQ(std::count(e.addresses.begin(), e.addresses.end(), 1), 0);  // cell 1 is never sent
}

TEST(CellMapGolden, SpecialInputCodes) {
  // Code 18 on variant 6 is "Res300K", with one more decimal: 30000 = 300.00.
  const CellImage res = Filled({{0, 18}, {20, 0x30}, {21, 0x75}});
  const ConfigRecord r6 = DecodeConfig({12, 6, 2, 0}, Tables(), res);
  EXPECT_EQ(r6.ch[0].inputRow, rows::Res300K);
  EXPECT_DOUBLE_EQ(r6.ch[0].inputMax, 300);
  EXPECT_EQ(DecodeConfig({12, 2, 2, 0}, Tables(), res).ch[0].inputRow, rows::Pt100);

  // Variant 0 keeps "Freq" as the whole cell 33; other rows in bits 0-4.
  const CellImage freq = Filled({{0, 33}, {1, 33}});
  EXPECT_EQ(DecodeConfig({12, 0, 3, 0}, Tables(), freq).ch[0].inputRow, rows::Freq);
  EXPECT_EQ(DecodeConfig({12, 0, 3, 0}, Tables(), Filled({{0, 0xE1}})).ch[0].inputRow, rows::mV90);
  ConfigRecord r0 = DecodeConfig({12, 0, 3, 0}, Tables(), freq);
  r0.ch[0].inputRow = rows::mV90;  // leaving "Freq" clears the row's upper bits
  r0.ch[0].inputMax = 50;          // limits that fit the new row's two decimals
  r0.ch[0].inputMin = 0;
  EncodedCells e = EncodeConfig({12, 0, 3, 0}, Tables(), r0, freq);
  ASSERT_TRUE(e.ok());
  ExpectCells(e.cells, {{0, 1}, {1, 1}});
  r0.ch[0].inputRow = rows::Freq;
  e = EncodeConfig({12, 0, 3, 0}, Tables(), r0, Filled({{0, 0xE1}, {1, 0xE1}}));
  ExpectCells(e.cells, {{0, 33}, {1, 33}});
}

TEST(CellMapGolden, PhysicalScaleOnVariant5) {
  CellImage m = Filled({{0, rows::Volt10}, {1, rows::Volt10}});
  // 100 = 0x42C80000 at 128 (M2 M1 S), -5 = 0xC0A00000 at 137.
  m[128] = 0x00, m[129] = 0xC8, m[130] = 0x42;
  m[137] = 0x00, m[138] = 0xA0, m[139] = 0xC0;
  const DeviceIdentity id{12, 5, 3, 0};
  ConfigRecord r = DecodeConfig(id, Tables(), m);
  EXPECT_DOUBLE_EQ(r.physical[0], 100);
  EXPECT_DOUBLE_EQ(r.physical[3], -5);
  r.physical[7] = 1;  // 0x3F800000 at 149
  const EncodedCells e = EncodeConfig(id, Tables(), r, m);
  ASSERT_TRUE(e.ok());
  ExpectCells(e.cells, {{149, 0x00}, {150, 0x80}, {151, 0x3F}});
  EXPECT_EQ(Differences(m, e.cells), (std::set<int>{149, 150, 151}));
  EXPECT_EQ(e.cells[152], 0x5A);  // read, but no field's
}

TEST(CellMapRefuses, ValuesTheCellsCannotHold) {
  const DeviceIdentity id{12, 2, 3, 0};
  ConfigRecord r = DecodeConfig(id, Tables(), kKrv2212A);
  ConfigRecord bad = r;
  bad.ch[0].tripHigh = 1e39;  // needs exponent 255: Inf / NaN to the unit
  EncodedCells e = EncodeConfig(id, Tables(), bad, kKrv2212A);
  EXPECT_FALSE(e.ok());
  EXPECT_TRUE(e.fault.contains(QStringLiteral("trip high threshold")));
  bad = r;
  bad.ch[0].inputMax = 4000;  // 40000 does not fit a signed word
  EXPECT_TRUE(EncodeConfig(id, Tables(), bad, kKrv2212A).fault.contains(QStringLiteral("input upper limit")));
  bad = r;
  bad.ch[0].offset = 13;  // 130 tenths would read back as -12.6
  EXPECT_FALSE(EncodeConfig(id, Tables(), bad, kKrv2212A).ok());
  bad = r;
  bad.ch[0].inputRow = rows::Freq;  // no five-bit code outside variants 0 and 7
  EXPECT_FALSE(EncodeConfig(id, Tables(), bad, kKrv2212A).ok());
  // A Float24 the unit holds with exponent 255 goes back as it is when unedited.
  CellImage odd = kKrv2212A;
  odd[29] = 0x80, odd[30] = 0x7F;
  const EncodedCells same = EncodeConfig(id, Tables(), DecodeConfig(id, Tables(), odd), odd);
  EXPECT_TRUE(same.ok());
  EXPECT_EQ(same.cells, odd);
}

// --- properties over random memories ---

std::vector<DeviceIdentity> Identities() {
  std::vector<DeviceIdentity> out;
  for (uint8_t v = 0; v <= 7; ++v) out.push_back({12, v, v == 0 ? uint8_t(4) : uint8_t(3), 0});
  out.push_back({12, 0, 3, 0});
  out.push_back({12, 6, 2, 0});
  out.push_back({11, 2, 3, 0});
  return out;
}

CellImage Random(std::mt19937& rng) {
  CellImage m;
  for (auto& c : m) c = static_cast<uint8_t>(rng());
  return m;
}

TEST(CellMapProperty, NoEditGivesBackEveryCell) {
  std::mt19937 rng(20261206);
  for (const DeviceIdentity& id : Identities()) {
    for (int i = 0; i < 300; ++i) {
      const CellImage m = Random(rng);
      const EncodedCells e = EncodeConfig(id, Tables(), DecodeConfig(id, Tables(), m), m);
      ASSERT_TRUE(e.ok()) << "variant " << int(id.variant) << ": " << e.fault.toStdString();
      ASSERT_EQ(Differences(m, e.cells), std::set<int>{}) << "variant " << int(id.variant) << " try " << i;
    }
  }
}

TEST(CellMapProperty, NoEditThroughTheEditorGivesBackEveryCell) {
  std::mt19937 rng(7);
  for (const DeviceIdentity& id : Identities()) {
    AppState state;
    state.identity = id;
    RangeTables tables;
    EditorModel editor(state, tables);
    editor.fillLists();
    for (int i = 0; i < 60; ++i) {
      const CellImage m = Random(rng);
      state.familyCell = m[4];
      editor.load(DecodeConfig(id, tables, m));
      const EncodedCells e = EncodeConfig(id, tables, editor.record(), m);
      ASSERT_TRUE(e.ok()) << "variant " << int(id.variant) << ": " << e.fault.toStdString();
      ASSERT_EQ(Differences(m, e.cells), std::set<int>{}) << "variant " << int(id.variant) << " try " << i;
    }
  }
}

TEST(CellMapProperty, OneEditChangesOnlyItsOwnCells) {
  std::mt19937 rng(99);
  for (const DeviceIdentity& id : Identities()) {
    const CellLayout L = CellLayoutFor(id);
    for (int i = 0; i < 40; ++i) {
      CellImage m = Random(rng);
      m[0] = (m[0] & 0xE0) | rows::Pt100;  // a row with a decimal everywhere it exists
      m[20] = 0x10, m[21] = 0x00;          // small words: an edit of one step fits
      m[24] = 0x10, m[25] = 0x00;
      m[7] = 3;
      m[14] = m[22], m[15] = m[23];  // where B repeats A, its copy agrees
      const ConfigRecord was = DecodeConfig(id, Tables(), m);
      auto edited = [&](auto change) {
        ConfigRecord r = was;
        change(r);
        const EncodedCells e = EncodeConfig(id, Tables(), r, m);
        EXPECT_TRUE(e.ok()) << e.fault.toStdString();
        return Differences(m, e.cells);
      };
      const bool bRepeatsA = L.frequencyInput || was.doubler;
      std::set<int> upper{20, 21};
      if (bRepeatsA && !L.inputCopyInCell1) upper.insert({12, 13});
      const std::set<int> max = edited([](ConfigRecord& r) { r.ch[0].inputMax += 1; });
      EXPECT_TRUE(max.count(20)) << int(id.variant);
      EXPECT_TRUE(std::includes(upper.begin(), upper.end(), max.begin(), max.end())) << int(id.variant);
      if (bRepeatsA && !L.inputCopyInCell1) {
        EXPECT_TRUE(max.count(12)) << int(id.variant);
      }
      EXPECT_EQ(edited([](ConfigRecord& r) { r.ch[0].outputMax += 0.001; }), (std::set<int>{24}));
      EXPECT_EQ(edited([](ConfigRecord& r) { r.ch[0].offset = 0.4; }), (std::set<int>{7}));
      EXPECT_EQ(edited([](ConfigRecord& r) { r.highSpeed = !r.highSpeed; }), (std::set<int>{4}));
      EXPECT_EQ(edited([](ConfigRecord& r) { r.ch[1].overRange ^= 1; }), (std::set<int>{9}));
      EXPECT_EQ(edited([](ConfigRecord& r) { r.ch[0].burnOut ^= 1; }), (std::set<int>{3}));
      const int t = L.tripBlock;
      const std::set<int> high = edited([](ConfigRecord& r) { r.ch[0].tripHigh = 12.5; });
      EXPECT_TRUE(std::includes(std::set<int>{t, t + 1, t + 2}.begin(), std::set<int>{t, t + 1, t + 2}.end(),
                                high.begin(), high.end()));
      EXPECT_FALSE(high.empty());
    }
  }
}

} // namespace
} // namespace pv
