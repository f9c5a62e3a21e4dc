// The cell map both ways, on buffers alone.
#include "DeviceSimulator.h"
#include "config/ConfigCodec.h"
#include "link/Codecs.h"

#include <gtest/gtest.h>

namespace pv {
namespace {

struct Editor {
  AppState state;
  RangeTables tables;
  EditorModel model{state, tables};
  explicit Editor(DeviceIdentity id, int language = 1) {
    state.identity = id;
    state.languageIndex = static_cast<uint8_t>(language);
    state.languageOffset = static_cast<int16_t>(300 * language);
    model.fillLists();
  }
  void decode(const CellImage& cells) {
    DecodeCells(model, cells);
    if (state.identity.deviceCode == 12 && state.identity.variant == 5) DecodePhysical(model, cells);
  }
  CellImage written(const CellImage& before) {
    const Encoded e = EncodeCells(model);
    EXPECT_TRUE(e.ok()) << e.fault.toStdString();
    CellImage after = before;
    for (const auto& [a, v] : e.cells) after[a] = v;
    return after;
  }
};

CellImage Bank0(const sim::DeviceSimulator& unit) { return unit.bank(0); }

// A unit's memory with every field away from its default: negative limits,
// an offset of -1.0, thresholds that are not round in binary, options set.
CellImage Busy(CellImage m, const DeviceIdentity& id) {
  m[3] |= 0x80 | 0x40 | (6 << 3);  // down-scale, relay NO, operation MAX
  m[5] |= 2;                       // square root on channel B
  m[7] = 0xF6;                     // -1.0
  if (id.variant != 0 && id.variant != 7) m[8] = 0x05;
  m[9] = 1 | (3 << 2);
  for (int t : {28, 31, 10, 13}) {
    if (id.variant == 0 && t >= 28) continue;
    if (id.variant != 0 && t < 28) continue;
    const Float24Bytes b = EncodeFloat24(t == 28 || t == 10 ? 123.456 : 0.1);
    m[t] = b.m2;
    m[t + 1] = b.m1;
    m[t + 2] = b.s;
  }
  if (id.variant == 0) {
    m[28] = 0x11;  // response time word (revision 4)
    m[29] = 0x01;
    m[4] |= 0x80 | 0x40;  // high speed, minimum trip
  }
  if (id.variant == 7) m[64] = 1;  // 0.1498 V: truncation would give 0
  return m;
}

TEST(ConfigCodec, ReadThenWriteLeavesEveryCellOfEveryVariant) {
  for (const QString& model : ModelIds()) {
    sim::DeviceSimulator unit;
    ASSERT_TRUE(unit.setModel(model));
    for (int revision : {3, 4}) {
      DeviceIdentity id = unit.identity();
      id.hardwareRevision = static_cast<uint8_t>(revision);
      for (bool busy : {false, true}) {
        const CellImage before = busy ? Busy(Bank0(unit), id) : Bank0(unit);
        Editor e(id);
        e.decode(before);
        EXPECT_EQ(e.written(before), before)
            << model.toStdString() << " variant " << int(id.variant) << " busy " << busy;
      }
    }
  }
  // Variant 1 has no model of its own in the simulator: a KRV2210 memory.
  sim::DeviceSimulator unit;
  unit.setModel(QStringLiteral("KRV2210"));
  DeviceIdentity id = unit.identity();
  id.variant = 1;
  const CellImage before = Busy(Bank0(unit), id);
  Editor e(id);
  e.decode(before);
  EXPECT_EQ(e.written(before), before);
}

TEST(ConfigCodec, WordsDecimalsAndSignedness) {
  Editor e({12, 2, 3, 0});
  CellImage cells{};
  cells[0] = 1;  // "90 mV"
  cells[20] = 0xFF;
  cells[21] = 0xFF;
  e.decode(cells);
  EXPECT_EQ(e.model.f.txtInputMax[0], "-0.01");

  Editor seven({12, 7, 3, 0});
  cells = {};
  cells[4] = 0;  // no decimals
  cells[20] = 0xFF;
  cells[21] = 0xFF;
  seven.decode(cells);
  EXPECT_EQ(seven.model.f.txtInputMax[0], "65535");

  // 90 mV upper limit 90 is the word 9000 in cells 20 and 21.
  e.model.setInputType(0, QStringLiteral("90 mV"));
  e.model.f.txtInputMax[0] = QStringLiteral("90");
  const CellImage out = e.written(cells);
  EXPECT_EQ(out[20], 0x28);
  EXPECT_EQ(out[21], 0x23);
}

TEST(ConfigCodec, OffsetTriggerAndResponseTime) {
  Editor e({12, 7, 3, 0});
  CellImage cells{};
  cells[7] = 0xF6;
  cells[64] = 0;
  e.decode(cells);
  EXPECT_EQ(e.model.f.txtOffset[0], "-1.0");
  EXPECT_EQ(e.model.f.txtTrig, "0.122");
  cells[64] = 255;
  e.decode(cells);
  EXPECT_EQ(e.model.f.txtTrig, "7.211");
  // A typed trigger is rounded to the nearest cell, not truncated.
  e.model.f.txtTrig = QStringLiteral("0.1498");
  EXPECT_EQ(e.written(cells)[64], 1);
  // A negative offset goes out as value x 10 + 256.
  e.model.f.txtOffset[0] = QStringLiteral("-2.5");
  EXPECT_EQ(e.written(cells)[7], 231);

  Editor r({12, 0, 4, 0});
  cells = {};
  r.decode(cells);
  EXPECT_EQ(r.model.f.txtDelay, "0.2");
  r.model.f.txtDelay = QStringLiteral("0.1");
  CellImage prior{};
  prior[28] = prior[29] = 0x55;
  const CellImage out = r.written(prior);
  EXPECT_EQ(out[28], 0);
  EXPECT_EQ(out[29], 0);
  r.model.f.txtDelay = QStringLiteral("1.36");  // (1.36 - 0.2) / 0.058 = 20
  EXPECT_EQ(r.written(prior)[28], 20);
}

TEST(ConfigCodec, SharedCellsKeepTheirOwners) {
  // Cell 8: channel B's offset and the trip delay.
  Editor two({12, 2, 3, 0});
  CellImage cells{};
  cells[8] = 7;
  two.decode(cells);
  EXPECT_EQ(two.model.f.txtOffset[1], "0.7");
  EXPECT_EQ(two.model.f.txtSogliaDelay, "7");
  two.model.f.txtSogliaDelay = QStringLiteral("30");  // only the delay edited: it wins
  EXPECT_EQ(two.written(cells)[8], 30);
  two.model.f.txtOffset[1] = QStringLiteral("-0.5");  // both edited: the offset owns it here
  EXPECT_EQ(two.written(cells)[8], 251);

  Editor zero({12, 0, 3, 0});
  zero.decode(cells);
  zero.model.f.txtSogliaDelay = QStringLiteral("2");
  zero.model.f.txtOffset[1] = QStringLiteral("1");
  EXPECT_EQ(zero.written(cells)[8], 15);  // the delay owns it on variant 0: 2 s x 7.5

  // Variant 0's trip block sits on channel B's input words.
  zero.model.f.txtSogliaH[0] = QStringLiteral("500");
  const CellImage out = zero.written(cells);
  EXPECT_EQ(DecodeFloat24(out[11], out[10], out[12]), 500);

  // The family bits of cell 4 survive a write on variants 2..6.
  Editor fam({12, 3, 3, 0});
  cells = {};
  cells[0] = cells[1] = rows::Pt100;
  cells[4] = 96 | 4;
  fam.decode(cells);
  EXPECT_FALSE(fam.model.f.chkDoubler);
  EXPECT_EQ(fam.written(cells)[4], 96 | 4);

  // The doubler bit that a read found is written back.
  Editor dbl({12, 0, 3, 0});
  cells = {};
  cells[0] = cells[1] = rows::mV200;
  cells[4] = 32;
  dbl.decode(cells);
  EXPECT_TRUE(dbl.model.f.chkDoubler);
  EXPECT_EQ(dbl.model.f.cmbProgIn[1].text, "DOUBLER");
  EXPECT_EQ(dbl.written(cells)[4] & 32, 32);
}

TEST(ConfigCodec, ValuesThatDoNotFitAreRefused) {
  Editor e({12, 2, 3, 0});
  CellImage cells{};
  cells[0] = cells[1] = rows::mV90;
  e.decode(cells);
  e.model.f.txtInputMax[0] = QStringLiteral("400");  // 40000 does not fit a signed word
  EXPECT_FALSE(EncodeCells(e.model).ok());
  e.model.f.txtInputMax[0] = QStringLiteral("90");
  e.model.f.txtOffset[0] = QStringLiteral("13");  // 130 would read back as -12.6
  EXPECT_FALSE(EncodeCells(e.model).ok());

  Editor zero({12, 0, 3, 0});
  zero.decode(cells);
  zero.model.setInputType(0, QStringLiteral("Freq"));  // row 33 has no five-bit code
  EXPECT_FALSE(EncodeCells(zero.model).ok());
}

TEST(ConfigCodec, PhysicalScaleCells) {
  Editor e({12, 5, 3, 0});
  CellImage cells{};
  cells[0] = cells[1] = rows::Volt10;
  e.decode(cells);
  const char* values[8] = {"100", "0", "10", "-5", "20", "4", "7.5", "1"};
  e.model.f.txtFisicoMax[2] = values[0];
  e.model.f.txtFisicoMin[2] = values[1];
  e.model.f.txtFisicoMax[3] = values[2];
  e.model.f.txtFisicoMin[3] = values[3];
  e.model.f.txtFisicoOutMax[0] = values[4];
  e.model.f.txtFisicoOutMin[0] = values[5];
  e.model.f.txtFisicoOutMax[1] = values[6];
  e.model.f.txtFisicoOutMin[1] = values[7];
  const CellImage out = e.written(cells);
  for (int k = 0; k < 8; ++k) {
    const int a = 128 + 3 * k;
    EXPECT_NEAR(DecodeFloat24(out[a + 1], out[a], out[a + 2]), QString(values[k]).toDouble(), 1e-6) << a;
  }
  EXPECT_EQ(out[152], 0);
}

} // namespace
} // namespace pv
