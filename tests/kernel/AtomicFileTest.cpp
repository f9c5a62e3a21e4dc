// Saving through a temporary file, and the leftovers of a killed save.
#include "kernel/AtomicFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv {
namespace {

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

TEST(AtomicFile, ReplacesWholeAndCleansLeftoversOfItsOwnName) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("unit.DST"));
  Write(path, "old");
  // A save killed before its rename leaves "unit.DST.XXXXXX" behind.
  Write(path + QStringLiteral(".aB3dE9"), "half");
  Write(dir.filePath(QStringLiteral("unit.DST.bak")), "keep");      // not a leftover
  Write(dir.filePath(QStringLiteral("other.DST.aB3dE9")), "keep");  // another file's
  ASSERT_EQ(StraySaveFiles(path).size(), 1);
  QString why;
  ASSERT_TRUE(SaveAtomically(path, "new", &why)) << why.toStdString();
  EXPECT_EQ(Read(path), "new");
  EXPECT_TRUE(StraySaveFiles(path).isEmpty());
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("unit.DST.bak"))));
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("other.DST.aB3dE9"))));
}

TEST(AtomicFile, FailureKeepsTheOldFileAndSaysWhy) {
  QTemporaryDir dir;
  QString why;
  EXPECT_FALSE(SaveAtomically(dir.filePath(QStringLiteral("missing/x.DST")), "new", &why));
  EXPECT_FALSE(why.isEmpty());
}

} // namespace
} // namespace pv
