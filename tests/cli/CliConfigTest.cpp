// read-config and write-config as a technician uses them in the field:
// units whose cells hold bits the configuration does not own, files taken
// from one model to another, units that may be written but not read.
#include "CliRig.h"
#include "link/Codecs.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>
#include <gtest/gtest.h>

namespace pv {
namespace {
using test::Cli;

void PutDouble(const QString& path, int at, double value) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  QByteArray r = f.readAll();
  std::memcpy(r.data() + at, &value, 8);
  f.seek(0);
  f.write(r);
}

TEST(CliConfig, UneditedWriteKeepsChannelBRelayAndTripBits) {
  // Units programmed in the field carry channel A's "normally open" and
  // "minimum trip" in bit 6 of cells 5 and 6 as well.
  for (const auto& [model, c5, c6] : {std::tuple{"KRV2212A", 64, 81}, std::tuple{"KRV2210", 64, 74}}) {
    Cli c(model);
    c.unit.setCell(0, 5, static_cast<uint8_t>(c5));
    c.unit.setCell(0, 6, static_cast<uint8_t>(c6));
    const sim::Bank before = c.unit.bank(0);
    ASSERT_EQ(c.run({"read-config", c.file("u.DST")}), 0) << c.err.toStdString();
    ASSERT_EQ(c.run({"--yes", "write-config", c.file("u.DST")}), 0) << c.err.toStdString();
    EXPECT_EQ(c.unit.cell(0, 5), c5) << model;
    EXPECT_EQ(c.unit.cell(0, 6), c6) << model;
    EXPECT_EQ(c.unit.bank(0), before) << model;
  }
}

TEST(CliConfig, FileOfAnotherModelOfTheSameVariantIsWrittenAndTheFamilyKept) {
  Cli from("KRV2212A");
  ASSERT_EQ(from.run({"read-config", from.file("a.DST")}), 0);
  Cli to("KRV2312A");
  to.unit.setCell(0, 20, 0x12);  // something for the file to put right
  QFile::copy(from.file("a.DST"), to.file("a.DST"));
  ASSERT_EQ(to.run({"write-config", to.file("a.DST")}), 0) << to.err.toStdString();
  EXPECT_EQ(to.unit.cell(0, 4) & 96, 64);  // still a KRV2312
  EXPECT_EQ(to.unit.cell(0, 20), from.unit.cell(0, 20));
  EXPECT_EQ(to.unit.cell(0, 0), from.unit.cell(0, 0));
  ASSERT_EQ(to.run({"--json", "identify"}), 0);
  EXPECT_EQ(QJsonDocument::fromJson(to.out.toUtf8()).object()["model"].toString(), "KRV2312A");
}

TEST(CliConfig, DeviceCodeElevenIsWrittenButNotRead) {
  Cli twelve("KRV2212A");
  ASSERT_EQ(twelve.run({"read-config", twelve.file("a.DST")}), 0);
  Cli eleven("KRV2212A");
  DeviceIdentity id = eleven.unit.identity();
  id.deviceCode = 11;
  eleven.unit.setIdentity(id);
  eleven.unit.setCell(0, 22, 0x34);
  eleven.unit.setCell(0, 2, 0xC3);  // no field's: stays
  QFile::copy(twelve.file("a.DST"), eleven.file("a.DST"));
  // The file was saved from a code-12 unit: the device question needs --yes.
  ASSERT_EQ(eleven.run({"--yes", "write-config", eleven.file("a.DST")}), 0) << eleven.err.toStdString();
  EXPECT_EQ(eleven.unit.cell(0, 22), twelve.unit.cell(0, 22));
  EXPECT_EQ(eleven.unit.cell(0, 2), 0xC3);
  EXPECT_EQ(eleven.run({"read-config", eleven.file("b.DST")}), 3);
}

TEST(CliConfig, FrequencyInputOnVariantZeroKeepsItsRow) {
  Cli c("KRV2210");
  c.unit.setCell(0, 0, 33);
  c.unit.setCell(0, 1, 33);
  const sim::Bank before = c.unit.bank(0);
  ASSERT_EQ(c.run({"read-config", c.file("f.DST")}), 0);
  QFile f(c.file("f.DST"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(static_cast<uint8_t>(f.readAll()[12]), 33);  // "Freq", not "90 mV"
  ASSERT_EQ(c.run({"--yes", "write-config", c.file("f.DST")}), 0) << c.err.toStdString();
  EXPECT_EQ(c.unit.bank(0), before);
}

TEST(CliConfig, EveryModelsOwnFileGoesBackWithoutAQuestion) {
  for (const QString& model : ModelIds()) {
    Cli c(model.toLatin1().constData());
    ASSERT_EQ(c.run({"read-config", c.file("u.DST")}), 0) << model.toStdString();
    const sim::Bank before = c.unit.bank(0);
    // No --yes: a factory memory passes every range check.
    EXPECT_EQ(c.run({"write-config", c.file("u.DST")}), 0) << model.toStdString() << c.err.toStdString();
    EXPECT_EQ(c.unit.bank(0), before) << model.toStdString();
  }
}

TEST(CliConfig, ThresholdTheCellsCannotHoldIsRefusedByName) {
  Cli c("KRV2212A");
  ASSERT_EQ(c.run({"read-config", c.file("u.DST")}), 0);
  PutDouble(c.file("u.DST"), 152, 1e39);  // trip high threshold of channel A
  const sim::Bank before = c.unit.bank(0);
  c.unit.clearTranscript();
  EXPECT_EQ(c.run({"--yes", "write-config", c.file("u.DST")}), 2);
  EXPECT_TRUE(c.err.contains("trip high threshold")) << c.err.toStdString();
  EXPECT_EQ(c.unit.bank(0), before);
  for (const QByteArray& command : c.unit.transcript()) EXPECT_FALSE(command.startsWith("$W"));
}

TEST(CliConfig, SwitchesAreReadOnce) {
  Cli c("KRV2311A");
  ASSERT_EQ(c.run({"switches"}), 0) << c.err.toStdString();
  int reads = 0;
  for (const QByteArray& command : c.unit.transcript()) reads += command.startsWith("$D") ? 1 : 0;
  EXPECT_EQ(reads, 1);
}

} // namespace
} // namespace pv
