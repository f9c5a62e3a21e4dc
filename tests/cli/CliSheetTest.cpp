// planovix-cli sheet against simulated units: the page a technician files
// after commissioning, read back with poppler's tools.
#include "CliRig.h"
#include "support/PdfText.h"
#include "switches/SwitchTables.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace pv {
namespace {
using test::Cli;

class CliSheet : public ::testing::Test {
protected:
  void SetUp() override {
    if (!test::PopplerAvailable()) GTEST_SKIP() << "pdfinfo/pdftotext missing (./setup installs poppler-utils)";
  }
};

TEST_F(CliSheet, SwitchConfiguredUnitGetsItsBanksAndMeaning) {
  Cli c("KRV2211A");
  const auto f = FactorySwitchBytes(c.unit.identity());  // Tc K 0..100 °C, 4-20 mA
  c.unit.setSwitches({f[0], f[1], f[2], 0});
  ASSERT_EQ(c.run({"--json", "sheet", c.file("a.pdf")}), 0) << c.err.toStdString();
  EXPECT_EQ(QJsonDocument::fromJson(c.out.toUtf8()).object()["saved"].toString(), c.file("a.pdf"));
  EXPECT_EQ(test::PdfPages(c.file("a.pdf")), 1);
  const QString text = test::PdfTextCompact(c.file("a.pdf"));
  for (const char* s : {"Commissioningsheet", "KRV2211A", "ID=12/2", "Connectedunit", "Configuration",
                        "Trips", "DIPswitches", "SW1", "SW2", "Input:TcK", "Output:4-20mA", "Span:100",
                        "Zero:0", "ConfigurationCheck:OK", "Technician/signature"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
  // A single-channel unit of this layout shows two banks, as its switch view does.
  EXPECT_FALSE(text.contains("SW3"));
}

TEST_F(CliSheet, UnitLeftToItsStoredConfigurationHasNoBanks) {
  Cli c("KRV2212A");  // every switch off
  ASSERT_EQ(c.run({"sheet", c.file("a.pdf")}), 0) << c.err.toStdString();
  const QString text = test::PdfTextCompact(c.file("a.pdf"));
  EXPECT_TRUE(text.contains("KRV2212A"));
  EXPECT_TRUE(text.contains("ChannelB"));
  EXPECT_FALSE(text.contains("DIPswitches"));
}

TEST_F(CliSheet, AFileGivesItsOwnIdentityInTheLanguageAsked) {
  Cli c("KRV2210");
  ASSERT_EQ(c.run({"read-config", c.file("unit.DST")}), 0) << c.err.toStdString();
  // The file alone: no unit is needed (nor asked).
  c.unit.faults().dropAnswers = 100000;
  ASSERT_EQ(c.run({"sheet", c.file("it.pdf"), c.file("unit.DST"), "--lang", "it"}), 0) << c.err.toStdString();
  EXPECT_EQ(test::PdfPages(c.file("it.pdf")), 1);
  const QString text = test::PdfTextCompact(c.file("it.pdf"));
  for (const char* s : {"Schedadimessainservizio", "KRV2210", "ID=12/0", "unit.DST", "Configurazione",
                        "Ingresso", "Uscita", "Soglie", "Tecnico/firma"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
  EXPECT_FALSE(text.contains("Interruttori"));
}

TEST_F(CliSheet, BadArgumentsAndSilentUnitsWriteNothing) {
  Cli c;
  EXPECT_EQ(c.run({"sheet"}), 2);
  EXPECT_EQ(c.run({"sheet", c.file("a.pdf"), "--lang", "de"}), 2);
  EXPECT_EQ(c.run({"sheet", c.file("a.pdf"), c.file("missing.DST")}), 2);
  QFile bad(c.file("short.DST"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("too short");
  bad.close();
  EXPECT_EQ(c.run({"sheet", c.file("a.pdf"), c.file("short.DST")}), 2);
  EXPECT_FALSE(QFile::exists(c.file("a.pdf")));

  c.unit.faults().dropAnswers = 100000;
  EXPECT_EQ(c.run({"sheet", c.file("a.pdf")}), 1);
  EXPECT_FALSE(QFile::exists(c.file("a.pdf")));
  EXPECT_FALSE(c.err.isEmpty());
}

TEST_F(CliSheet, ALostAnswerIsAskedAgainAsByEveryUnitCommand) {
  Cli c("KRV2212A");
  c.unit.faults().dropAnswers = 1;
  ASSERT_EQ(c.run({"sheet", c.file("a.pdf")}), 0) << c.err.toStdString();
  EXPECT_TRUE(c.err.contains(QStringLiteral("(retry 1 of 2)"))) << c.err.toStdString();
  c.unit.faults().dropAnswers = 1;
  EXPECT_EQ(c.run({"--retries", "0", "sheet", c.file("b.pdf")}), 1);
  EXPECT_FALSE(QFile::exists(c.file("b.pdf")));
}

} // namespace
} // namespace pv
