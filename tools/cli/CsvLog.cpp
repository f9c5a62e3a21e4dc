#include "CsvLog.h"

#include "kernel/AtomicFile.h"

#include <QFileInfo>

namespace pv {

QString CsvField(QString s) {
  if (s.contains(',') || s.contains('"') || s.contains('\n') || s.contains('\r'))
    s = '"' + s.replace('"', QStringLiteral("\"\"")) + '"';
  return s;
}

QString CsvTime(const QDateTime& time) { return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate); }

CsvLog::CsvLog() = default;
CsvLog::~CsvLog() = default;

bool CsvLog::open(const QString& path, const QString& header, QString* why) {
  if (path.isEmpty()) return true;
  const QFileInfo info(path);
  const bool fresh = !info.exists() || info.size() == 0;
  file_ = std::make_unique<NoFollowFile>(path);
  if (!file_->open(QIODevice::WriteOnly | QIODevice::Append)) {
    *why = file_->errorString();
    file_.reset();
    return false;
  }
  return !fresh || line(header + '\n', why);
}

bool CsvLog::append(const QStringList& fields, QString* why) {
  return !file_ || line(fields.join(',') + '\n', why);
}

bool CsvLog::line(const QString& text, QString* why) {
  const QByteArray bytes = text.toUtf8();
  if (file_->write(bytes) != bytes.size() || !file_->sync()) {
    *why = file_->errorString();
    return false;
  }
  return true;
}

} // namespace pv
