#include "kernel/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pv {

namespace {

const QString kInfix = QStringLiteral(".pvsave-");

#ifdef Q_OS_UNIX
QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// Qt's own text for the common errors, translated with Qt's catalogue when
// the program speaks Italian; the system's text for the rest.
QString Reason(int err) { return qt_error_string(err); }

QString RandomSuffix() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  QString s;
  for (int i = 0; i < 6; ++i) s += QLatin1Char(kChars[QRandomGenerator::global()->bounded(62)]);
  return s;
}

// Writes all of bytes, going on after a partial write; false with errno set.
bool WriteAll(int fd, const char* data, qint64 len) {
  while (len > 0) {
    const ssize_t n = ::write(fd, data, static_cast<size_t>(len));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data += n;
    len -= n;
  }
  return true;
}
#endif

} // namespace

QStringList StraySaveFiles(const QString& path) {
  QStringList out;
#ifdef Q_OS_UNIX
  const QFileInfo target(path);
  const QDir dir = target.absoluteDir();
  const QRegularExpression stray(QStringLiteral("^\\.%1%2[A-Za-z0-9]{6}$")
                                     .arg(QRegularExpression::escape(target.fileName()),
                                          QRegularExpression::escape(kInfix)));
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (!stray.match(name).hasMatch()) continue;
    // Only what a save of ours can have left: a plain file of this user.
    struct stat st{};
    const QString full = dir.filePath(name);
    if (::lstat(Native(full).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
      out << full;
  }
#else
  Q_UNUSED(path);
#endif
  return out;
}

#ifdef Q_OS_UNIX

AtomicSave::AtomicSave(QString path) : path_(std::move(path)) {}

AtomicSave::~AtomicSave() { discard(); }

void AtomicSave::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.isEmpty()) {
    ::unlink(Native(temp_).constData());
    temp_.clear();
  }
}

bool AtomicSave::fail(const QString& what, int err) {
  error_ = err ? (what.isEmpty() ? Reason(err) : what + QStringLiteral(": ") + Reason(err)) : what;
  discard();
  return false;
}

bool AtomicSave::open() {
  discard();
  error_.clear();
  if (path_.isEmpty()) return fail(QStringLiteral("no file name"), 0);
  const QFileInfo info(path_);
  const QString dir = info.absolutePath();
  for (const QString& leftover : StraySaveFiles(path_)) ::unlink(Native(leftover).constData());

  struct stat st{};
  bool keepMode = false;
  if (::lstat(Native(path_).constData(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail(QStringLiteral("%1 is a folder").arg(path_), 0);
    keepMode = S_ISREG(st.st_mode);
  }
  for (int attempt = 0; attempt < 64 && fd_ < 0; ++attempt) {
    temp_ = QDir(dir).filePath(QLatin1Char('.') + info.fileName() + kInfix + RandomSuffix());
    // O_EXCL and O_NOFOLLOW: a file or link someone placed there is never
    // opened, only a file this call creates.
    fd_ = ::open(Native(temp_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      const int e = errno;
      temp_.clear();
      if (e != EEXIST) return fail(QStringLiteral("cannot create a file in %1").arg(dir), e);
    }
  }
  if (fd_ < 0) return fail(QStringLiteral("cannot create a file in %1").arg(dir), EEXIST);
  // The new file keeps the old one's permissions.
  if (keepMode && ::fchmod(fd_, st.st_mode & 07777) != 0) return fail(QString(), errno);
  return true;
}

bool AtomicSave::write(const QByteArray& bytes) {
  if (fd_ < 0) return error_.isEmpty() ? fail(QStringLiteral("not open"), 0) : false;
  if (!WriteAll(fd_, bytes.constData(), bytes.size())) return fail(QString(), errno);
  return true;
}

bool AtomicSave::commit() {
  if (fd_ < 0) return error_.isEmpty() ? fail(QStringLiteral("not open"), 0) : false;
  // A disk that accepted the writes into its cache may still refuse them
  // here: both the sync and the close are checked.
  if (::fsync(fd_) != 0) return fail(QString(), errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return fail(QString(), errno);
  if (::rename(Native(temp_).constData(), Native(path_).constData()) != 0)
    return fail(QStringLiteral("cannot replace %1").arg(path_), errno);
  temp_.clear();
  // The rename itself reaches the disk with the folder. A file system that
  // cannot sync a folder still has the new file in place: nothing to undo.
  const int dirFd = ::open(Native(QFileInfo(path_).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

#else

// Elsewhere Qt's own save file does the platform work.
class AtomicSave::Portable {
public:
  explicit Portable(const QString& path) : file(path) { file.setDirectWriteFallback(false); }
  QSaveFile file;
};

AtomicSave::AtomicSave(QString path) : path_(std::move(path)) {}

AtomicSave::~AtomicSave() { discard(); }

void AtomicSave::discard() {
  if (portable_) portable_->file.cancelWriting();
  delete portable_;
  portable_ = nullptr;
}

bool AtomicSave::fail(const QString& what, int) {
  error_ = what;
  discard();
  return false;
}

bool AtomicSave::open() {
  discard();
  error_.clear();
  portable_ = new Portable(path_);
  if (!portable_->file.open(QIODevice::WriteOnly)) return fail(portable_->file.errorString(), 0);
  return true;
}

bool AtomicSave::write(const QByteArray& bytes) {
  if (!portable_) return false;
  if (portable_->file.write(bytes) != bytes.size()) return fail(portable_->file.errorString(), 0);
  return true;
}

bool AtomicSave::commit() {
  if (!portable_) return false;
  if (!portable_->file.flush() || !portable_->file.commit()) return fail(portable_->file.errorString(), 0);
  delete portable_;
  portable_ = nullptr;
  return true;
}

#endif

bool SaveAtomically(const QString& path, const QByteArray& bytes, QString* error) {
  AtomicSave save(path);
  if (save.open() && save.write(bytes) && save.commit()) return true;
  if (error) *error = save.errorString();
  return false;
}

SafeSaveFile::SafeSaveFile(QString path, QObject* parent) : QIODevice(parent), path_(std::move(path)) {}

bool SafeSaveFile::open(OpenMode mode) {
  if ((mode & ReadOnly) || !(mode & WriteOnly)) {
    setErrorString(QStringLiteral("a save file is written only"));
    return false;
  }
  bytes_.clear();
  return QIODevice::open(mode | Unbuffered);
}

qint64 SafeSaveFile::writeData(const char* data, qint64 len) {
  bytes_.append(data, len);
  return len;
}

bool SafeSaveFile::commit() {
  if (isOpen()) QIODevice::close();
  QString why;
  if (SaveAtomically(path_, bytes_, &why)) return true;
  setErrorString(why);
  return false;
}

bool NoFollowFile::open(OpenMode mode) {
  if (isOpen()) return false;
  if (mode & ReadOnly) {
    setErrorString(QStringLiteral("a log file is written only"));
    return false;
  }
#ifdef Q_OS_UNIX
  const bool append = mode & Append;
  const QString path = fileName();
  // O_NONBLOCK only so that a named pipe in the file's place cannot hold
  // the open; it is refused just below.
  const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | (append ? O_APPEND : 0);
  const int fd = ::open(Native(path).constData(), flags, 0666);
  if (fd < 0) {
    const int e = errno;
    setErrorString(e == ELOOP ? QStringLiteral("%1 is a symbolic link; it is not followed").arg(path) : Reason(e));
    return false;
  }
  struct stat st{};
  QString refused;
  if (::fstat(fd, &st) != 0) refused = Reason(errno);
  else if (!S_ISREG(st.st_mode)) refused = QStringLiteral("%1 is not a regular file").arg(path);
  else if (st.st_nlink > 1) refused = QStringLiteral("%1 has another name (a hard link); it is not written").arg(path);
  else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) refused = Reason(errno);
  else if (!append && ::ftruncate(fd, 0) != 0) refused = Reason(errno);
  if (!refused.isEmpty()) {
    ::close(fd);
    setErrorString(refused);
    return false;
  }
  if (!QFile::open(fd, mode | Unbuffered, AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  return true;
#else
  return QFile::open(mode | Unbuffered);
#endif
}

bool NoFollowFile::sync() {
  if (!isOpen() || !flush()) return false;
#ifdef Q_OS_UNIX
  if (::fsync(handle()) != 0) {
    setErrorString(Reason(errno));
    return false;
  }
#endif
  return true;
}

bool ReadInputFile(const QString& path, qint64 limit, QByteArray* bytes, QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  bytes->clear();
#ifdef Q_OS_UNIX
  // Non-blocking: a named pipe opens at once and is refused below, instead
  // of waiting for a writer that never comes.
  const int fd = ::open(Native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(Reason(errno));
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail(QStringLiteral("not a regular file (a folder, a named pipe or a device)"));
  }
  char buffer[65536];
  while (bytes->size() < limit) {
    const ssize_t n = ::read(fd, buffer, static_cast<size_t>(std::min<qint64>(sizeof buffer, limit - bytes->size())));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      ::close(fd);
      return fail(Reason(e));
    }
    if (n == 0) break;
    bytes->append(buffer, n);
  }
  ::close(fd);
  return true;
#else
  if (!QFileInfo(path).isFile()) return fail(QStringLiteral("not a regular file"));
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return fail(f.errorString());
  *bytes = f.read(limit);
  return true;
#endif
}

} // namespace pv
