// The field-by-field compare: exactly the changed field is listed, with its
// caption in the user's language, both values and the unit; fields the
// unit's layout does not own are never listed.
#include "config/ConfigDiff.h"
#include "config/CellMap.h"
#include "DeviceSimulator.h"
#include "config/ConfigDevice.h"
#include "config/EditorModel.h"
#include "kernel/Catalogue.h"
#include "link/SimRig.h"

#include <functional>
#include <gtest/gtest.h>

namespace pv {
namespace {

struct Unit {
  AppState s;
  RangeTables tables;
  DeviceIdentity id;
  uint8_t cell4 = 0;
  ConfigRecord record;
  explicit Unit(const char* model, int languageOffset = 300) {
    sim::DeviceSimulator u;
    u.setModel(QString::fromLatin1(model));
    id = u.identity();
    CellImage cells{};
    for (int a = 0; a < 256; ++a) cells[static_cast<size_t>(a)] = u.cell(0, a);
    cell4 = cells[4];
    record = DecodeConfig(id, tables, cells);
    s.identity = id;
    s.languageOffset = static_cast<qint16>(languageOffset);
  }
  std::vector<FieldDiff> diff(const ConfigRecord& b) const { return DiffConfig(s, tables, id, cell4, record, b); }
};

struct OneField {
  const char* key;
  const char* caption;  // English
  std::function<void(ConfigRecord&)> change;
  const char* value;    // the changed record's value as shown
};

TEST(ConfigDiff, OneChangedFieldOfEachKindIsTheOnlyOneListed) {
  const Unit u("KRV2212A");
  const std::vector<OneField> cases = {
      {"A.input_max", "Channel A Input Max", [](ConfigRecord& r) { r.ch[0].inputMax = 123.5; }, "123.5"},
      {"B.input_min", "Channel B Input Min", [](ConfigRecord& r) { r.ch[1].inputMin = -7.25; }, "-7.25"},
      {"A.output_max", "Channel A Output Max", [](ConfigRecord& r) { r.ch[0].outputMax = 9.5; }, "9.5"},
      {"A.offset", "Channel A Offset", [](ConfigRecord& r) { r.ch[0].offset = 1.5; }, "1.5"},
      {"B.cjc", "Channel B CJC", [](ConfigRecord& r) { r.ch[1].cjc ^= 1; }, nullptr},
      {"A.wires", "Channel A Wires", [](ConfigRecord& r) { r.ch[0].wires = r.ch[0].wires == 2 ? 1 : 2; }, nullptr},
      {"A.function", "Channel A Function", [](ConfigRecord& r) { r.ch[0].function = r.ch[0].function == 2 ? 1 : 2; }, nullptr},
      {"B.burn_out", "Channel B Burn-out", [](ConfigRecord& r) { r.ch[1].burnOut ^= 1; }, nullptr},
      {"A.over_range", "Channel A Over range", [](ConfigRecord& r) { r.ch[0].overRange = (r.ch[0].overRange + 1) & 3; }, nullptr},
      {"B.operation", "Channel B Options", [](ConfigRecord& r) { r.ch[1].operation = 3; }, "A-B"},
      {"A.relay", "Channel A Relay", [](ConfigRecord& r) { r.ch[0].relay ^= 1; }, nullptr},
      {"A.trip_high", "Channel A Trips Hi", [](ConfigRecord& r) { r.ch[0].tripHigh = 77; }, "77"},
      {"A.trip_low", "Channel A Trips Lo", [](ConfigRecord& r) { r.ch[0].tripLow = -3; }, "-3"},
      {"trip_delay", "Trips Delay", [](ConfigRecord& r) { r.tripDelay = 2.5; }, "2.5"},
      {"high_speed", "HS", [](ConfigRecord& r) { r.highSpeed = !r.highSpeed; }, nullptr},
  };
  for (const OneField& c : cases) {
    SCOPED_TRACE(c.key);
    ConfigRecord b = u.record;
    c.change(b);
    const std::vector<FieldDiff> d = u.diff(b);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].key, QLatin1String(c.key));
    EXPECT_EQ(d[0].caption, QLatin1String(c.caption));
    EXPECT_NE(d[0].a, d[0].b);
    if (c.value) {
      EXPECT_EQ(d[0].b, QLatin1String(c.value));
    }
  }
}

TEST(ConfigDiff, ValuesAreShownWithTheEditorsWordsAndUnits) {
  Unit u("KRV2212A");
  u.record.ch[0].inputRow = rows::TcJ;
  u.record.ch[0].cjc = 0;
  u.record.ch[0].burnOut = 0;
  u.record.ch[0].outputRow = 0;
  ConfigRecord b = u.record;
  b.ch[0].inputRow = rows::TcK;  // same unit: only the type differs
  b.ch[0].cjc = 1;
  b.ch[0].burnOut = 1;
  b.ch[0].inputMax = 400;
  const std::vector<FieldDiff> d = u.diff(b);
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].key, QLatin1String("A.input_type"));
  EXPECT_EQ(d[0].a, u.tables.input[rows::TcJ].name);
  EXPECT_EQ(d[0].b, u.tables.input[rows::TcK].name);
  EXPECT_EQ(d[1].key, QLatin1String("A.input_max"));
  EXPECT_EQ(d[1].b, QLatin1String("400"));
  EXPECT_EQ(d[1].unit, u.tables.input[rows::TcJ].unit);
  EXPECT_FALSE(d[1].unit.isEmpty());
  EXPECT_EQ(d[2].a, QLatin1String("External"));
  EXPECT_EQ(d[2].b, QLatin1String("Internal"));
  EXPECT_EQ(d[3].a, QLatin1String("Up"));
  EXPECT_EQ(d[3].b, QLatin1String("Down"));
}

TEST(ConfigDiff, ItalianCaptionsAndValues) {
  Unit u("KRV2212A", 0);
  u.record.ch[0].cjc = 0;
  ConfigRecord b = u.record;
  b.ch[0].cjc = 1;
  b.ch[1].outputMin = 4;
  u.record.ch[1].outputMin = 0;
  const std::vector<FieldDiff> d = u.diff(b);
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].caption, QStringLiteral("Canale A CJC"));
  EXPECT_EQ(d[0].a, QStringLiteral("Esterno"));
  EXPECT_EQ(d[0].b, QStringLiteral("Interno"));
  EXPECT_EQ(d[1].caption, QStringLiteral("Canale B Uscita Minimo"));
}

TEST(ConfigDiff, DifferentUnitsTravelWithTheirValues) {
  const Unit u("KRV2212A");
  ConfigRecord a = u.record, b = u.record;
  a.ch[0].inputRow = rows::Volt10;
  b.ch[0].inputRow = rows::mA20;
  a.ch[0].inputMax = b.ch[0].inputMax = 10;
  const std::vector<FieldDiff> d = DiffConfig(u.s, u.tables, u.id, u.cell4, a, b);
  const auto max = std::find_if(d.begin(), d.end(), [](const FieldDiff& f) { return f.key == "A.input_max"; });
  ASSERT_NE(max, d.end());
  EXPECT_TRUE(max->unit.isEmpty());
  EXPECT_EQ(max->a, "10 " + u.tables.input[rows::Volt10].unit);
  EXPECT_EQ(max->b, "10 " + u.tables.input[rows::mA20].unit);
}

TEST(ConfigDiff, OnlyFieldsTheLayoutOwnsAreListed) {
  // Physical scale: code 12 variant 5 only.
  {
    const Unit scale("KRV2312D");
    ConfigRecord b = scale.record;
    b.physical[2] = 12.5;
    const std::vector<FieldDiff> d = scale.diff(b);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].key, QLatin1String("physical_3"));
    EXPECT_EQ(d[0].caption, QLatin1String("Physical scale Input Max B"));
    EXPECT_EQ(d[0].controls, QStringList{QStringLiteral("txt_Fisico_max_3")});
  }
  {
    const Unit plain("KRV2212A");
    ConfigRecord b = plain.record;
    b.physical[2] = 12.5;
    EXPECT_TRUE(plain.diff(b).empty());
  }
  // Variants 2..6: channel A's direction bit names the family, the doubler is not stored.
  {
    const Unit family("KRV2211A");
    ASSERT_TRUE(CellLayoutFor(family.id).familyInCell4);
    ConfigRecord b = family.record;
    b.ch[0].tripDirection ^= 1;
    b.doubler = !b.doubler;
    EXPECT_TRUE(family.diff(b).empty());
  }
  // Frequency input: its settings are fields, channel B's input is channel A's.
  {
    const Unit freq("KRV2220");
    ConfigRecord b = freq.record;
    b.trigger = freq.record.trigger + 1;
    b.ch[1].inputMax = 999;
    b.ch[0].inputRow = b.ch[1].inputRow = rows::TcK;  // a file's row: the input is still "Freq"
    const std::vector<FieldDiff> d = freq.diff(b);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].key, QLatin1String("trigger"));
    EXPECT_EQ(d[0].unit, QLatin1String("V"));
  }
}

// The editor's marks compare the cells as read with the editor's record:
// straight after a read nothing may differ, on any model.
TEST(ConfigDiff, EditorAfterAReadDiffersFromTheUnitInNothing) {
  for (const QString& id : ModelIds()) {
    SCOPED_TRACE(id.toStdString());
    test::SimRig rig;
    rig.unit.setModel(id);
    rig.state.identity = {};
    RangeTables tables;
    EditorModel m(rig.state, tables);
    ASSERT_EQ(ReadEprom(m, rig.commands), ConfigResult::Ok);
    const ConfigRecord read = DecodeConfig(rig.state.identity, tables, m.base);
    const std::vector<FieldDiff> d = DiffConfig(rig.state, tables, rig.state.identity, rig.state.familyCell, read, m.record());
    EXPECT_TRUE(d.empty()) << (d.empty() ? std::string() : d[0].key.toStdString() + " " + d[0].a.toStdString() + " / " + d[0].b.toStdString());
    // One edit: exactly its field.
    m.setText(Field::OutputMaxA, QStringLiteral(" 9.5"));
    const std::vector<FieldDiff> one = DiffConfig(rig.state, tables, rig.state.identity, rig.state.familyCell, read, m.record());
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].key, QLatin1String("A.output_max"));
  }
}

} // namespace
} // namespace pv
