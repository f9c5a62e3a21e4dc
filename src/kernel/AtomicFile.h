#pragma once
// Saving a file so that it is always either the old file or the new one.
//
// The bytes go to a temporary file beside the target (".NAME.pvsave-XXXXXX",
// created new, never through a symbolic link), every write is checked, the
// file is synced and closed, and only then renamed over the target; the
// folder is synced after the rename. Any failure (a full disk, a quota, a
// file too large, a folder removed meanwhile) removes the temporary file,
// leaves the target exactly as it was and says why. A symbolic link planted
// where the target goes is replaced by the new file, never followed: the
// file it points to is not touched.
//
// A save that was killed half-way leaves its temporary file behind; the next
// save of the same target removes it (only regular files of that exact name
// pattern owned by this user).
#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace pv {

// One save, step by step: open() creates the temporary file, write() adds
// bytes, commit() syncs and renames. Destroyed without commit(), it removes
// the temporary file and the target stays as it was.
class AtomicSave {
public:
  explicit AtomicSave(QString path);
  ~AtomicSave();
  AtomicSave(const AtomicSave&) = delete;
  AtomicSave& operator=(const AtomicSave&) = delete;

  bool open();
  bool write(const QByteArray& bytes);
  bool commit();
  // Why the last step failed.
  QString errorString() const { return error_; }
  // The temporary file while one is open (for tests).
  QString temporaryPath() const { return temp_; }

private:
  bool fail(const QString& what, int err);
  void discard();

  QString path_;
  QString temp_;
  QString error_;
  int fd_ = -1;
#ifndef Q_OS_UNIX
  class Portable;
  Portable* portable_ = nullptr;
#endif
};

// False with the reason in *error when the file could not be written; the
// old file is then exactly as it was.
bool SaveAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Leftovers of interrupted saves of path.
QStringList StraySaveFiles(const QString& path);

// A QIODevice for code that writes through a stream (a log written during a
// test, a PDF): the bytes collect in memory and commit() saves them with
// SaveAtomically. Open it WriteOnly.
class SafeSaveFile final : public QIODevice {
public:
  explicit SafeSaveFile(QString path, QObject* parent = nullptr);
  bool open(OpenMode mode) override;
  // Saves what was written; false (errorString() says why) when it could
  // not be saved, and the old file is then as it was.
  bool commit();
  QString fileName() const { return path_; }

protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 len) override;

private:
  QString path_;
  QByteArray bytes_;
};

// A file written as it goes (a line a measurement), opened without
// following a symbolic link: a planted link, a named pipe, a device or a
// file with a second hard link in its place is refused, never truncated.
// WriteOnly creates or empties the file, Append adds to it; writes are
// unbuffered, so each one is on its way to the disk, or fails (a full disk)
// with the reason, when write() returns.
class NoFollowFile final : public QFile {
public:
  explicit NoFollowFile(const QString& path, QObject* parent = nullptr) : QFile(path, parent) {}
  bool open(OpenMode mode) override;
  // Flushes and syncs to the disk; false with the reason otherwise.
  bool sync();
};

// Reads an input file, at most limit bytes of it (a caller that must see a
// file too long asks for one byte more than it accepts). Only a regular file
// is read (a symbolic link to one is fine): a named pipe, a device such as
// /dev/zero or a folder is refused at once, never waited on. False with the
// reason in *error otherwise.
bool ReadInputFile(const QString& path, qint64 limit, QByteArray* bytes, QString* error = nullptr);

} // namespace pv
