// Saving through a temporary file: a failed save leaves the old file exactly
// as it was and says why; nothing is written through a planted link; input
// files that are not regular files are refused without waiting.
#include "kernel/AtomicFile.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace pv {
namespace {

using test::Read;
using test::Write;
using test::UnderSizeLimit;

QStringList Names(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A file someone else owns, and a link to it planted under the name a save
// or a log is about to use.
struct PlantedLink {
  QTemporaryDir dir;
  QString victim = dir.filePath(QStringLiteral("victim"));
  QString link;
  explicit PlantedLink(const char* name) : link(dir.filePath(QLatin1String(name))) {
    Write(victim, "precious");
    EXPECT_EQ(::symlink(qPrintable(victim), qPrintable(link)), 0);
  }
};

TEST(AtomicFile, ReplacesWholeAndCleansOnlyItsOwnLeftovers) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("unit.DST"));
  Write(path, "old");
  // A save killed before its rename leaves ".unit.DST.pvsave-XXXXXX" behind.
  Write(dir.filePath(QStringLiteral(".unit.DST.pvsave-aB3dE9")), "half");
  // Not leftovers: the user's own files, another file's leftover, and a
  // link that only looks like one (its target must survive).
  Write(dir.filePath(QStringLiteral("unit.DST.backup")), "keep");
  Write(dir.filePath(QStringLiteral(".other.DST.pvsave-aB3dE9")), "keep");
  Write(dir.filePath(QStringLiteral("victim")), "keep");
  ASSERT_EQ(::symlink("victim", qPrintable(dir.filePath(QStringLiteral(".unit.DST.pvsave-zzzzzz")))), 0);
  ASSERT_EQ(StraySaveFiles(path).size(), 1);

  QString why;
  ASSERT_TRUE(SaveAtomically(path, "new", &why)) << why.toStdString();
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(Names(dir.path()), (QStringList{".other.DST.pvsave-aB3dE9", ".unit.DST.pvsave-zzzzzz", "unit.DST",
                                            "unit.DST.backup", "victim"}));
  EXPECT_EQ(Read(dir.filePath(QStringLiteral("victim"))), "keep");
  EXPECT_EQ(Read(dir.filePath(QStringLiteral("unit.DST.backup"))), "keep");
}

TEST(AtomicFile, KeepsThePermissionsOfTheFileItReplaces) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("report.txt"));
  Write(path, "old");
  ASSERT_EQ(::chmod(qPrintable(path), 0640), 0);
  ASSERT_TRUE(SaveAtomically(path, "new"));
  struct stat st{};
  ASSERT_EQ(::stat(qPrintable(path), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFile, AFileTooLargeForTheDiskLeavesTheOldFileAndNoTemporary) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("unit.DST"));
  const QByteArray old(292, 'o');
  Write(path, old);
  // 4 KiB may be written, the new file needs 64 KiB: the disk is "full"
  // half-way through the save.
  const auto [ok, why] = UnderSizeLimit(4096, [&] {
    QString reason;
    const bool saved = SaveAtomically(path, QByteArray(64 * 1024, 'n'), &reason);
    return std::make_pair(saved, reason);
  });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(why.contains(QStringLiteral("too large"), Qt::CaseInsensitive)) << why.toStdString();
  EXPECT_EQ(Read(path), old);
  EXPECT_EQ(Names(dir.path()), QStringList{"unit.DST"});
}

TEST(AtomicFile, AFolderRemovedBeforeTheRenameIsAFailure) {
  QTemporaryDir top;
  const QString folder = top.filePath(QStringLiteral("stick"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString path = folder + QStringLiteral("/unit.DST");
  AtomicSave save(path);
  ASSERT_TRUE(save.open()) << save.errorString().toStdString();
  ASSERT_TRUE(save.write("new"));
  ASSERT_TRUE(QDir(folder).removeRecursively());  // the stick is pulled
  EXPECT_FALSE(save.commit());
  EXPECT_FALSE(save.errorString().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST(AtomicFile, APlantedLinkIsReplacedNeverFollowed) {
  const PlantedLink p("unit.DST");
  ASSERT_TRUE(SaveAtomically(p.link, "new"));
  EXPECT_EQ(Read(p.victim), "precious");
  EXPECT_EQ(Read(p.link), "new");
  EXPECT_FALSE(QFileInfo(p.link).isSymLink());
}

TEST(AtomicFile, AFolderInTheWayOrAMissingFolderIsReported) {
  QTemporaryDir dir;
  QString why;
  EXPECT_FALSE(SaveAtomically(dir.filePath(QStringLiteral("missing/x.DST")), "new", &why));
  EXPECT_TRUE(why.contains(QStringLiteral("missing"))) << why.toStdString();
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
  EXPECT_FALSE(SaveAtomically(dir.filePath(QStringLiteral("sub")), "new", &why));
  EXPECT_EQ(Names(dir.path()), QStringList{"sub"});
}

TEST(AtomicFile, SafeSaveFileSavesOnCommitOnly) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("linear.dat"));
  Write(path, "old log");
  {
    SafeSaveFile log(path);
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write("801\t0.100\r\n");
    EXPECT_EQ(Read(path), "old log");  // nothing reaches the file before commit
    ASSERT_TRUE(log.commit());
  }
  EXPECT_EQ(Read(path), "801\t0.100\r\n");
  SafeSaveFile lost(dir.filePath(QStringLiteral("gone/linear.dat")));
  ASSERT_TRUE(lost.open(QIODevice::WriteOnly));
  lost.write("x");
  EXPECT_FALSE(lost.commit());
  EXPECT_FALSE(lost.errorString().isEmpty());
}

TEST(NoFollowFile, RefusesLinksPipesAndSecondNamesAndNeverTruncatesThem) {
  const PlantedLink p("linear.dat");
  const QTemporaryDir& dir = p.dir;
  NoFollowFile viaLink(p.link);
  EXPECT_FALSE(viaLink.open(QIODevice::WriteOnly));
  EXPECT_TRUE(viaLink.errorString().contains(QStringLiteral("symbolic link"))) << viaLink.errorString().toStdString();
  // A dangling link is not created through either.
  const QString dangling = dir.filePath(QStringLiteral("batch.csv"));
  ASSERT_EQ(::symlink(qPrintable(dir.filePath(QStringLiteral("elsewhere"))), qPrintable(dangling)), 0);
  EXPECT_FALSE(NoFollowFile(dangling).open(QIODevice::Append));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("elsewhere"))));

  const QString hard = dir.filePath(QStringLiteral("second-name"));
  ASSERT_EQ(::link(qPrintable(p.victim), qPrintable(hard)), 0);
  EXPECT_FALSE(NoFollowFile(hard).open(QIODevice::WriteOnly));
  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(::mkfifo(qPrintable(fifo), 0600), 0);
  EXPECT_FALSE(NoFollowFile(fifo).open(QIODevice::WriteOnly));  // refused, not waited on
  EXPECT_EQ(Read(p.victim), "precious");
}

TEST(NoFollowFile, WritesLineByLineAndReportsAFullDisk) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("linear.dat"));
  Write(path, "old\n");
  {
    NoFollowFile log(path);
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));  // from scratch
    EXPECT_EQ(log.write("801\t0.1\n"), 8);
    EXPECT_EQ(Read(path), "801\t0.1\n");  // on its way at once, not buffered
  }
  {
    NoFollowFile log(path);
    ASSERT_TRUE(log.open(QIODevice::Append));
    log.write("802\t0.2\n");
  }
  EXPECT_EQ(Read(path), "801\t0.1\n802\t0.2\n");
  const auto [ok, why] = UnderSizeLimit(20, [&] {
    NoFollowFile log(path);
    if (!log.open(QIODevice::Append)) return std::make_pair(true, log.errorString());
    // The disk fills during the first line; the next one fails outright.
    const bool first = log.write(QByteArray(100, 'x')) == 100;
    const bool second = log.write("y") == 1;
    return std::make_pair(first || second, log.errorString());
  });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(why.contains(QStringLiteral("too large"), Qt::CaseInsensitive)) << why.toStdString();
}

TEST(ReadInputFile, OnlyRegularFilesAreReadAndNothingWaits) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("unit.DST"));
  Write(file, QByteArray(300, 'x'));
  QByteArray bytes;
  QString why;
  ASSERT_TRUE(ReadInputFile(file, 293, &bytes, &why));
  EXPECT_EQ(bytes.size(), 293);
  const QString link = dir.filePath(QStringLiteral("link.DST"));
  ASSERT_EQ(::symlink(qPrintable(file), qPrintable(link)), 0);
  EXPECT_TRUE(ReadInputFile(link, 1000, &bytes, &why));  // a link to a file is a file
  EXPECT_EQ(bytes.size(), 300);

  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(::mkfifo(qPrintable(fifo), 0600), 0);
  for (const QString& path : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
    bytes = "stale";
    EXPECT_FALSE(ReadInputFile(path, 1000, &bytes, &why)) << path.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("regular file"))) << why.toStdString();
    EXPECT_TRUE(bytes.isEmpty());
  }
  EXPECT_FALSE(ReadInputFile(dir.filePath(QStringLiteral("missing")), 10, &bytes, &why));
}

} // namespace
} // namespace pv
