#include "kernel/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace pv {

QStringList StraySaveFiles(const QString& path) {
  const QFileInfo target(path);
  const QDir dir = target.absoluteDir();
  // QSaveFile's temporary file: the target's name, a dot, six letters or digits.
  const QRegularExpression stray(QStringLiteral("^%1\\.[A-Za-z0-9]{6}$")
                                     .arg(QRegularExpression::escape(target.fileName())));
  QStringList out;
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
    if (stray.match(name).hasMatch()) out << dir.filePath(name);
  return out;
}

bool SaveAtomically(const QString& path, const QByteArray& bytes, QString* error) {
  for (const QString& leftover : StraySaveFiles(path)) QFile::remove(leftover);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

} // namespace pv
