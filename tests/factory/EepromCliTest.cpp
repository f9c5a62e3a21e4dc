// planovix-cli eeprom, peek and poke in-process against a simulated unit.
#include "cli/CliRig.h"
#include "EepromCli.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

QByteArray Lines(int n, int value = 7) {
  QByteArray b;
  for (int i = 0; i < n; ++i) b += QByteArray::number(value) + "\n";
  return b;
}

QString Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
  return path;
}

int Writes(const sim::DeviceSimulator& unit) {
  int n = 0;
  for (const QByteArray& c : unit.transcript()) n += c.startsWith("$W");
  return n;
}

TEST(EepromCli, PeekIntShowsHighTimes256PlusLow) {
  Cli cli;
  cli.unit.setCell(0, 0x20, 0x34);
  cli.unit.setCell(0, 0x21, 0x12);
  EXPECT_EQ(cli.run({"peek", "0", "32", "int"}), 0) << cli.err.toStdString();
  EXPECT_EQ(cli.out, "4660\n");
  EXPECT_EQ(cli.run({"--json", "peek", "0", "32", "int"}), 0);
  const QJsonObject o = QJsonDocument::fromJson(cli.out.toUtf8()).object();
  EXPECT_EQ(o["value"].toString(), "4660");
  EXPECT_EQ(o["bytes"].toArray(), (QJsonArray{52, 18}));
}

TEST(EepromCli, PokeFloatPutsSignExponentFirstAndReadsBack) {
  Cli cli;
  EXPECT_EQ(cli.run({"poke", "4", "100", "float", "-2.5"}), 0) << cli.err.toStdString();
  EXPECT_EQ(cli.unit.cell(4, 100), 0xC0);
  EXPECT_EQ(cli.unit.cell(4, 101), 0x20);
  EXPECT_EQ(cli.unit.cell(4, 102), 0x00);
  EXPECT_EQ(cli.run({"peek", "4", "100", "float"}), 0);
  EXPECT_EQ(cli.out, "-2.5\n");
}

TEST(EepromCli, PokeNegativeIntAndByte) {
  Cli cli;
  EXPECT_EQ(cli.run({"poke", "0", "10", "int", "-2"}), 0) << cli.err.toStdString();
  EXPECT_EQ(cli.unit.cell(0, 10), 0xFE);
  EXPECT_EQ(cli.unit.cell(0, 11), 0xFF);
  EXPECT_EQ(cli.run({"poke", "0", "12", "byte", "255"}), 0);
  EXPECT_EQ(cli.unit.cell(0, 12), 0xFF);
}

TEST(EepromCli, ValuesACellCannotHoldAreRefusedBeforeThePortOpens) {
  const QStringList bad[] = {
      {"poke", "0", "0", "byte", "256"},    {"poke", "0", "0", "byte", "-1"},
      {"poke", "0", "0", "int", "65536"},   {"poke", "0", "0", "int", "-32769"},
      {"poke", "0", "0", "float", "1e39"},  {"poke", "0", "0", "float", "x"},
      {"poke", "256", "0", "byte", "1"},    {"poke", "0", "254", "float", "1"},
      {"peek", "0", "255", "int"},          {"peek", "0", "0", "word"},
      {"poke", "0", "0", "byte"},
  };
  for (const QStringList& args : bad) {
    Cli cli;
    EXPECT_EQ(cli.run(args), 2) << args.join(' ').toStdString();
    EXPECT_TRUE(cli.unit.transcript().isEmpty()) << args.join(' ').toStdString();
    EXPECT_FALSE(cli.err.isEmpty());
  }
}

TEST(EepromCli, ReadThenVerifyFindsNothingAndExitsZero) {
  Cli cli;
  const QString path = cli.file("unit.dat");
  EXPECT_EQ(cli.run({"eeprom", "read", path}), 0) << cli.err.toStdString();
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = f.readAll().split('\n');
  ASSERT_EQ(lines.size(), 257);  // 256 lines and the end after the last
  for (int i = 0; i < 256; ++i) EXPECT_EQ(lines[i].trimmed().toInt(), cli.unit.cell(0, i)) << i;
  EXPECT_EQ(cli.run({"eeprom", "verify", path}), 0);
  EXPECT_EQ(cli.out, "0 cells differ\n");
}

TEST(EepromCli, VerifyPrintsDifferingCellsAndExitsFour) {
  Cli cli;
  cli.unit.setCell(0, 9, 200);
  QByteArray file;
  for (int i = 0; i < 256; ++i) file += QByteArray::number(cli.unit.cell(0, i)) + "\r\n";
  const QString path = Write(cli.file("ref.dat"), file);
  cli.unit.setCell(0, 9, 201);
  cli.unit.setCell(0, 250, uint8_t(cli.unit.cell(0, 250) ^ 1));
  EXPECT_EQ(cli.run({"eeprom", "verify", path}), kExitDiffer);
  EXPECT_TRUE(cli.out.startsWith("cell 9: file 200, unit 201\ncell 250: ")) << cli.out.toStdString();
  EXPECT_TRUE(cli.out.endsWith("2 cells differ\n"));
  EXPECT_EQ(cli.run({"--json", "eeprom", "verify", path}), kExitDiffer);
  const QJsonObject o = QJsonDocument::fromJson(cli.out.toUtf8()).object();
  EXPECT_EQ(o["count"].toInt(), 2);
  EXPECT_EQ(o["differences"].toArray()[0].toObject()["unit"].toInt(), 201);
  EXPECT_EQ(Writes(cli.unit), 0);
}

TEST(EepromCli, WriteNeedsYesThenWritesAll256CellsOfBankZero) {
  Cli cli;
  QByteArray file;
  for (int i = 0; i < 256; ++i) file += QByteArray::number((i * 3) & 0xFF) + "\n";
  const QString path = Write(cli.file("new.dat"), file);
  EXPECT_EQ(cli.run({"eeprom", "write", path}), 3);
  EXPECT_TRUE(cli.err.contains("--yes"));
  EXPECT_EQ(Writes(cli.unit), 0);
  EXPECT_EQ(cli.run({"--yes", "eeprom", "write", path}), 0) << cli.err.toStdString();
  EXPECT_EQ(Writes(cli.unit), 256);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(cli.unit.cell(0, i), (i * 3) & 0xFF);
}

TEST(EepromCli, ABadMemoryFileWritesNothing) {
  struct Row { const char* name; QByteArray bytes; const char* says; };
  const Row rows[] = {
      {"short.dat", Lines(255), "ends at line 255"},
      {"300.dat", Lines(20) + "300\n" + Lines(235), "Line 21: \"300\""},
      {"minus.dat", Lines(0) + "-1\n" + Lines(255), "Line 1: \"-1\""},
      {"text.dat", Lines(7) + "seven\n" + Lines(248), "Line 8: \"seven\""},
      {"long.dat", Lines(300), "Line 257"},
  };
  for (const Row& row : rows) {
    Cli cli;
    const QString path = Write(cli.file(row.name), row.bytes);
    EXPECT_EQ(cli.run({"--yes", "eeprom", "write", path}), 2) << row.name;
    EXPECT_TRUE(cli.err.contains(row.says)) << row.name << ": " << cli.err.toStdString();
    EXPECT_TRUE(cli.unit.transcript().isEmpty()) << row.name;
  }
}

TEST(EepromCli, AWriteTheUnitDoesNotKeepFails) {
  Cli cli;
  cli.unit.setCommandObserver([&](const QByteArray& c) {
    if (c.startsWith("$W") && uint8_t(c[3]) == 77) cli.unit.setCell(0, 77, 0);
  });
  const QString path = Write(cli.file("ones.dat"), Lines(256, 1));
  EXPECT_EQ(cli.run({"--yes", "eeprom", "write", path}), 1);
  EXPECT_TRUE(cli.err.contains("77: 0 / 1")) << cli.err.toStdString();
}

} // namespace
} // namespace pv::test
