// The simulator's memory file: what it takes, and what it refuses whole.
#include "MemoryFile.h"

#include <gtest/gtest.h>

namespace pv::sim {
namespace {

TEST(SimulatorMemoryFile, OneValuePerLineWithBlankLinesAtTheEnd) {
  QVector<uint8_t> v;
  QString why;
  ASSERT_TRUE(ParseMemoryFile(QStringLiteral(" 12\r\n+7\n255\n\n  \n"), &v, &why)) << why.toStdString();
  EXPECT_EQ(v, (QVector<uint8_t>{12, 7, 255}));
  ASSERT_TRUE(ParseMemoryFile(QString(), &v, &why));
  EXPECT_TRUE(v.isEmpty());
}

TEST(SimulatorMemoryFile, AnythingButACellValueIsRefusedWhole) {
  const std::pair<QString, QString> cases[] = {
      {QStringLiteral("1\n256\n"), QStringLiteral("line 2: \"256\" is not a cell value 0..255")},
      {QStringLiteral("1\n\n3\n"), QStringLiteral("line 2: \"\" is not a cell value 0..255")},
      {QStringLiteral("-1\n"), QStringLiteral("line 1: \"-1\" is not a cell value 0..255")},
      {QStringLiteral("0x1F\n"), QStringLiteral("line 1: \"0x1F\" is not a cell value 0..255")},
      // The number conversion alone stops at a NUL byte.
      {QString::fromLatin1("0\0" "5\n", 4), QString::fromLatin1("line 1: \"0\0" "5\" is not a cell value 0..255", 40)},
  };
  for (const auto& [text, message] : cases) {
    QVector<uint8_t> v{9};
    QString why;
    EXPECT_FALSE(ParseMemoryFile(text, &v, &why)) << text.toStdString();
    EXPECT_EQ(why, message);
    EXPECT_EQ(v, QVector<uint8_t>{9});  // nothing loaded
  }
  QString many;
  for (int i = 0; i < 257; ++i) many += QStringLiteral("1\n");
  QVector<uint8_t> v;
  QString why;
  EXPECT_FALSE(ParseMemoryFile(many, &v, &why));
  EXPECT_EQ(why, "has more than 256 values");
}

} // namespace
} // namespace pv::sim
