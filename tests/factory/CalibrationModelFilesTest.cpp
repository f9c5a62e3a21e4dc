// The shipped model files: one per catalogue model, 256 cell values, each a
// configuration of that model that decodes to ranges inside its tables.
// PLANOVIX_WRITE_MODEL_FILES=1 regenerates them from the simulator's
// factory memory before checking.
#include "DeviceSimulator.h"
#include "config/CellMap.h"
#include "config/RangeTables.h"
#include "factory/CalibrationRun.h"
#include "kernel/Catalogue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

DeviceIdentity IdentityOf(const ModelRow& m) { return {12, m.variant, 3, 0}; }

TEST(ModelFiles, EveryModelHasARangeCheckedConfiguration) {
  const QString dir = QStringLiteral(PLANOVIX_MODEL_DIR);
  if (qEnvironmentVariableIsSet("PLANOVIX_WRITE_MODEL_FILES")) {
    for (const ModelRow& m : kModels) {
      const sim::Bank bank = sim::DefaultMemory(m, IdentityOf(m));
      QFile f(QDir(dir).filePath(QLatin1String(m.id) + ".dat"));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      for (uint8_t v : bank) f.write(QByteArray::number(v) + "\r\n");
    }
  }
  const RangeTables tables;
  for (const ModelRow& m : kModels) {
    SCOPED_TRACE(m.id);
    const ModelFile file = LoadModelFile(QLatin1String(m.id), {dir});
    ASSERT_TRUE(file.error.isEmpty()) << file.error.toStdString();
    ASSERT_EQ(file.cells.size(), 256u);
    CellImage image{};
    std::copy(file.cells.begin(), file.cells.end(), image.begin());
    const DeviceIdentity id = IdentityOf(m);
    if (CellLayoutFor(id).familyInCell4) {
      EXPECT_EQ(image[4] & 96, m.family);
    }
    const ConfigRecord r = DecodeConfig(id, tables, image);
    for (int c = 0; c < m.inputs; ++c) {
      const ChannelConfig& ch = r.ch[static_cast<size_t>(c)];
      ASSERT_GE(ch.inputRow, 0);
      ASSERT_LT(ch.inputRow, static_cast<int>(tables.input.size()));
      const InputRange& range = tables.input[static_cast<size_t>(ch.inputRow)];
      EXPECT_TRUE(tables.InputAvailable(ch.inputRow, id)) << c;
      if (m.variantRow().frequencyInput) continue;
      EXPECT_LE(range.lower, ch.inputMin) << c;
      EXPECT_LT(ch.inputMin, ch.inputMax) << c;
      EXPECT_LE(ch.inputMax, range.upper) << c;
      EXPECT_GE(ch.inputMax - ch.inputMin, range.minSpan) << c;
      EXPECT_LT(ch.outputMin, ch.outputMax) << c;
    }
  }
}

TEST(ModelFiles, ABadLineIsRefusedWithItsNumber) {
  QTemporaryDir tmp;
  QFile f(QDir(tmp.path()).filePath("KRV2211A.dat"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  for (int i = 0; i < 256; ++i) f.write(i == 9 ? "300\n" : "0\n");
  f.close();
  const ModelFile m = LoadModelFile(QStringLiteral("KRV2211A"), {tmp.path()});
  EXPECT_TRUE(m.cells.empty());
  EXPECT_TRUE(m.error.contains("Line 10")) << m.error.toStdString();
}

TEST(ModelFiles, ALongOrBinaryFileIsRefusedAndNeverQuotedWhole) {
  QTemporaryDir tmp;
  QFile f(QDir(tmp.path()).filePath("KRV2211A.dat"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  for (int i = 0; i < 266; ++i) f.write("0\r\n");  // ten lines too many
  f.close();
  ModelFile m = LoadModelFile(QStringLiteral("KRV2211A"), {tmp.path()});
  EXPECT_TRUE(m.cells.empty());
  EXPECT_TRUE(m.error.contains("257")) << m.error.toStdString();

  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QByteArray binary;
  for (int i = 0; i < 2000; ++i) binary += static_cast<char>((i * 37 + 11) % 256 == '\n' ? 'x' : (i * 37 + 11) % 256);
  f.write(binary);
  f.close();
  m = LoadModelFile(QStringLiteral("KRV2211A"), {tmp.path()});
  EXPECT_TRUE(m.cells.empty());
  EXPECT_LT(m.error.size() - m.path.size(), 120) << m.error.toStdString();
}

} // namespace
} // namespace pv::test
