#include "measure/SampleHistory.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace pv;

namespace {
DisplayFrame Frame(qint64 t, double inA, double outA, bool validA = true) {
  DisplayFrame f;
  f.timeMs = t;
  f.channels[0].updated = true;
  f.channels[0].inputValid = validA;
  f.channels[0].input = inA;
  f.channels[0].output = outA;
  return f;
}
RunSetup TrendSetup() {
  RunSetup s;
  s.channels[0].settings.inputUnit = QString::fromUtf8("\u00b0C");
  s.channels[0].settings.outputUnit = "mA";
  s.channels[0].settings.inputDecimals = 1;
  s.channels[1].settings.inputUnit = "V";
  s.channels[1].settings.outputUnit = "V";
  return s;
}
} // namespace

TEST(SampleHistory, KeepsOnlyTheLastSpanOfSamples) {
  SampleHistory h(60'000);
  for (qint64 t = 0; t <= 180'000; t += 1000) h.add(Frame(t, double(t), 4));
  const auto v = h.visible();
  ASSERT_EQ(v.size(), 61u);
  EXPECT_EQ(v.front().timeMs, 120'000);
  EXPECT_EQ(v.back().timeMs, 180'000);
  h.setSpanMs(10'000);
  EXPECT_EQ(h.visible().size(), 11u);
}

TEST(SampleHistory, CsvIsLocaleIndependentAndLeavesMissingValuesEmpty) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
  SampleHistory h;
  h.add(Frame(1000, 325.5, 12.25));
  h.add(Frame(1250, 0, 12.5, false));
  const QByteArray csv = SamplesToCsv(h.visible(), TrendSetup());
  QLocale::setDefault(saved);
  const QList<QByteArray> lines = csv.split('\n');
  ASSERT_GE(lines.size(), 3);
  EXPECT_EQ(lines[0], QString::fromUtf8("time_s,input_A (\u00b0C),output_A (mA),input_B (V),output_B (V)\r").toUtf8());
  EXPECT_EQ(lines[1], "0.000,325.5000,12.2500,,\r");
  EXPECT_EQ(lines[2], "0.250,,12.5000,,\r");
}

TEST(SampleHistory, SavesThroughATemporaryFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("trend.csv");
  SampleHistory h;
  h.add(Frame(0, 1, 4));
  ASSERT_TRUE(SaveSamplesCsv(h.visible(), TrendSetup(), path));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.readAll().startsWith("time_s,"));
  QString error;
  EXPECT_FALSE(SaveSamplesCsv(h.visible(), TrendSetup(), dir.filePath("missing/x.csv"), &error));
  EXPECT_FALSE(error.isEmpty());
}
