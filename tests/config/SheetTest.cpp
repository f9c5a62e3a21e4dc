// The commissioning sheet: what it says about a configuration, and the page
// as a PDF reader sees it (one A4 page, every field in its text).
#include "config/EditorModel.h"
#include "config/Sheet.h"
#include "support/FileBytes.h"
#include "support/PdfText.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv {
namespace {

using test::Compact;

struct Unit {
  AppState state;
  RangeTables tables;
  EditorModel model{state, tables};
  Unit(uint8_t variant, uint8_t familyCell, int language = 1) {
    state.identity = {12, variant, 4, 0};
    state.familyCell = familyCell;
    state.languageIndex = static_cast<uint8_t>(language);
    state.languageOffset = static_cast<int16_t>(300 * language);
    model.fillLists();
  }
  SheetContent sheet(const SheetOrigin& o = {QString(), true, QDateTime(QDate(2026, 3, 9), QTime(14, 5)),
                                               std::nullopt}) {
    return SheetFromEditor(model, o);
  }
};

// A two-channel unit with its physical scale: KRV2312D (variant 5).
ConfigRecord TwoChannels() {
  ConfigRecord r;
  // "20 mA" in, "4-20 mA" out, over-range "±5.0%", operation "A+B".
  r.ch[0] = {.inputRow = 5, .inputMax = 20, .inputMin = 4, .outputRow = 1, .outputMax = 20, .outputMin = 4,
             .operation = 2, .relay = 1, .tripHigh = 16.5, .tripLow = 7.25, .offset = -0.3, .overRange = 2};
  // "10 V" in, "0-10 V" out, down scale.
  r.ch[1] = {.inputRow = 4, .inputMax = 10, .inputMin = 2, .outputRow = 2, .outputMax = 10, .outputMin = 0,
             .burnOut = 1};
  r.tripDelay = 3;
  r.physical = {250, -50, 8, 1, 12, 2, 9, 3};
  return r;
}

// The row of a table by label; nullptr when the sheet has none.
const SheetRow* Row(const SheetTable& t, const QString& label) {
  for (const SheetRow& r : t.rows)
    if (r.label == label && !r.heading) return &r;
  return nullptr;
}

TEST(Sheet, TwoChannelUnitGivesEveryFieldWithItsUnitPerChannel) {
  Unit u(5, 64);
  u.model.load(TwoChannels());
  const SheetContent c = u.sheet();
  ASSERT_EQ(c.tables.size(), 2);
  EXPECT_EQ(c.title, "Commissioning sheet");
  EXPECT_EQ(c.header[0], qMakePair(QStringLiteral("Model"), QStringLiteral("KRV 2312 D")));
  EXPECT_EQ(c.header[1].second, "ID=12/5  HW=4");
  EXPECT_EQ(c.header[2].second, "Connected unit");
  EXPECT_EQ(c.header[3].second, "2026-03-09 14:05");

  const SheetTable& t = c.tables[0];
  EXPECT_EQ(t.columns, QStringList({"Channel A", "Channel B"}));
  // Input first, then output: both carry "Max"; the first is the input's.
  EXPECT_EQ(Row(t, "Type")->values, QStringList({"20 mA", "10 V"}));
  EXPECT_EQ(Row(t, "Max")->values, QStringList({"20 mA", "10 V"}));
  EXPECT_EQ(Row(t, "Min")->values, QStringList({"4 mA", "2 V"}));
  EXPECT_EQ(Row(t, "Offset")->values, QStringList({"-0.3 mA", "0.0 V"}));
  EXPECT_EQ(Row(t, "Burn-out")->values, QStringList({"Up", "Down"}));
  EXPECT_EQ(Row(t, "Over range")->values, QStringList({QString::fromUtf8("\u00b15.0%"), QString::fromUtf8("\u00b10%")}));
  EXPECT_EQ(Row(t, "Operation")->values, QStringList({"A+B", "= A"}));
  EXPECT_EQ(Row(t, "High speed")->values, QStringList({"No"}));
  EXPECT_EQ(Row(t, "In Max")->values, QStringList({"250", "8"}));
  EXPECT_EQ(Row(t, "Out Min")->values, QStringList({"2", "3"}));
  // This model has no thermocouple, wires or doubler settings.
  EXPECT_EQ(Row(t, "CJC"), nullptr);
  EXPECT_EQ(Row(t, "Wires"), nullptr);
  EXPECT_EQ(Row(t, "DOUBLER"), nullptr);

  const SheetTable& trips = c.tables[1];
  EXPECT_EQ(trips.title, "Trips");
  EXPECT_EQ(trips.columns, QStringList({"Channel A"}));
  EXPECT_EQ(Row(trips, "Hi")->values, QStringList({"16.5 mA"}));
  EXPECT_EQ(Row(trips, "Lo")->values, QStringList({"7.25 mA"}));
  EXPECT_EQ(Row(trips, "Relay contact")->values, QStringList({"NO"}));
  EXPECT_EQ(Row(trips, "Delay")->values, QStringList({"3 s"}));
}

TEST(Sheet, OneChannelThermocoupleShowsItsFramesOnlyAndTheEditorsEdits) {
  Unit u(2, 96);  // KRV2211A: one thermocouple or millivolt input
  ConfigRecord r;
  r.ch[0].inputRow = 8;  // "Tc K"
  r.ch[0].inputMax = 1300;
  r.ch[0].inputMin = -200;
  r.ch[0].cjc = 1;
  u.model.load(r);
  // An edit not yet written is what the sheet shows: it follows the editor.
  u.model.setText(Field::InputMaxA, QStringLiteral("1250"));
  const SheetContent c = u.sheet();
  const SheetTable& t = c.tables[0];
  EXPECT_EQ(c.header[0].second, "KRV 2211 A");
  EXPECT_EQ(t.columns, QStringList({"Channel A"}));
  EXPECT_EQ(Row(t, "Type")->values.first(), "Tc K");
  EXPECT_EQ(Row(t, "Max")->values, QStringList({QString::fromUtf8("1250 \u00b0C")}));
  EXPECT_EQ(Row(t, "Min")->values, QStringList({QString::fromUtf8("-200 \u00b0C")}));
  EXPECT_EQ(Row(t, "CJC")->values, QStringList({"Internal"}));
  EXPECT_EQ(Row(t, "Wires"), nullptr);
  EXPECT_EQ(Row(c.tables[1], "Hi")->values, QStringList({QString::fromUtf8("0 \u00b0C")}));
}

TEST(Sheet, AFileShowsItsOwnIdentityAndEveryModelOfItsVariant) {
  // Opened with no unit read: the editor still has the start-up identity,
  // the sheet gives the file's. A .DST keeps the variant, not the family.
  Unit u(0, 0);
  u.model.load(ConfigRecord{});
  SheetOrigin o{QStringLiteral("/plant/line 3/TT101.DST"), true, QDateTime::currentDateTime(),
                DeviceIdentity{12, 2, 3, 0}};
  const SheetContent c = u.sheet(o);
  EXPECT_EQ(c.header[0].second, "KRV 2211 A / KRV 2212 A / KRV 2311 A / KRV 2312 A");
  EXPECT_EQ(c.header[1].second, "ID=12/2  HW=3");
  EXPECT_EQ(c.header[2].second, "TT101.DST");
}

TEST(Sheet, ItalianSheetUsesTheItalianTexts) {
  Unit u(5, 64, 0);
  u.model.load(TwoChannels());
  const SheetContent c = u.sheet();
  EXPECT_EQ(c.title, "Scheda di messa in servizio");
  EXPECT_EQ(c.tables[0].columns, QStringList({"Canale A", "Canale B"}));
  EXPECT_EQ(c.tables[0].rows.first().label, "Ingresso");
  EXPECT_EQ(Row(c.tables[0], "Burn-out")->values, QStringList({"Alto", "Basso"}));
  EXPECT_EQ(Row(c.tables[0], QString::fromUtf8("Alta velocit\u00e0"))->values, QStringList({"No"}));
  EXPECT_EQ(c.signature, "Tecnico / firma");
}

class SheetPdf : public ::testing::Test {
protected:
  void SetUp() override {
    if (!test::PopplerAvailable()) GTEST_SKIP() << "pdfinfo/pdftotext missing (./setup installs poppler-utils)";
    ASSERT_TRUE(dir.isValid());
  }
  QTemporaryDir dir;
  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

// The largest sheet: two channels, both trips (the frequency unit), and a
// picture with its notes below.
TEST_F(SheetPdf, LargestSheetIsOnePageHoldingTheModelAndEveryField) {
  Unit u(7, 0);
  ConfigRecord r;
  r.ch[0].inputRow = 33;
  r.ch[0].inputMax = 5000;
  r.ch[0].inputMin = 10;
  r.ch[0].tripHigh = 4200;
  r.ch[1].inputRow = 33;
  r.ch[1].tripHigh = 3900;
  r.ch[1].tripLow = 150;
  r.freqType = 6;  // "Volt": the trigger and auxiliary frequency show
  r.trigger = 1.5;
  r.auxFrequency = 60;
  r.filter = 12;
  u.model.load(r);
  SheetContent c = u.sheet();
  EXPECT_EQ(c.tables[1].columns.size(), 2);
  SheetPicture pic;
  pic.title = QStringLiteral("Pictured");
  pic.size = QSizeF(180, 25);
  pic.paint = [](QPainter& p) { p.drawRect(QRectF(0, 0, 180, 25)); };
  pic.notes = {QStringLiteral("First note"), QStringLiteral("Second note"), QStringLiteral("Third note")};
  c.picture = pic;

  ASSERT_TRUE(RenderSheet(c, path("v7.pdf")));
  EXPECT_EQ(test::PdfPages(path("v7.pdf")), 1);
  const QString text = test::PdfTextCompact(path("v7.pdf"));
  ASSERT_FALSE(text.isEmpty());
  EXPECT_TRUE(text.contains("KRV2220")) << text.toStdString();
  for (const QString& s : SheetTexts(c)) EXPECT_TRUE(text.contains(Compact(s))) << s.toStdString();
  // Written by hand: the frequency settings with their units.
  for (const char* s : {"5000Hz", "4200Hz", "3900Hz", "150Hz", "60Hz", "1.5V", "Volt", "Frequencyinput"})
    EXPECT_TRUE(text.contains(QString::fromLatin1(s))) << s;
}

TEST_F(SheetPdf, TwoChannelSheetInItalianReadsBackFromThePdf) {
  Unit u(5, 64, 0);
  u.model.load(TwoChannels());
  const SheetContent c = u.sheet();
  ASSERT_TRUE(RenderSheet(c, path("it.pdf")));
  EXPECT_EQ(test::PdfPages(path("it.pdf")), 1);
  const QString text = test::PdfTextCompact(path("it.pdf"));
  for (const QString& s : SheetTexts(c)) EXPECT_TRUE(text.contains(Compact(s))) << s.toStdString();
  for (const char* s : {"Schedadimessainservizio", "KRV2312D", "16.5mA", "-0.3mA", "Scalafisica"})
    EXPECT_TRUE(text.contains(QString::fromLatin1(s))) << s;
}

TEST_F(SheetPdf, AnOverfullSheetShrinksOntoOnePage) {
  Unit u(5, 64);
  u.model.load(TwoChannels());
  SheetContent c = u.sheet();
  for (int i = 0; i < 25; ++i) c.tables[0].rows << SheetRow{QStringLiteral("Extra %1").arg(i), {"x", "y"}, false};
  ASSERT_TRUE(RenderSheet(c, path("full.pdf")));
  EXPECT_EQ(test::PdfPages(path("full.pdf")), 1);
  const QString text = test::PdfTextCompact(path("full.pdf"));
  EXPECT_TRUE(text.contains("Extra24"));
  EXPECT_TRUE(text.contains("Technician/signature"));
}

TEST_F(SheetPdf, AFailedWriteLeavesWhatWasThereAndSaysWhy) {
  Unit u(5, 64);
  u.model.load(TwoChannels());
  // The name is taken by a folder: the page cannot be renamed over it.
  const QString pdf = path("taken.pdf");
  ASSERT_TRUE(QDir().mkpath(pdf));
  test::Write(pdf + QStringLiteral("/keep.txt"), "kept");
  QString why;
  EXPECT_FALSE(RenderSheet(u.sheet(), pdf, &why));
  EXPECT_FALSE(why.isEmpty());
  EXPECT_EQ(test::Read(pdf + QStringLiteral("/keep.txt")), "kept");
  // No temporary page is left beside it.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

TEST_F(SheetPdf, AFolderThatDoesNotExistIsAnError) {
  Unit u(2, 96);
  u.model.load(ConfigRecord{});
  QString why;
  EXPECT_FALSE(RenderSheet(u.sheet(), path("no/such/folder/x.pdf"), &why));
  EXPECT_FALSE(why.isEmpty());
}

} // namespace
} // namespace pv
