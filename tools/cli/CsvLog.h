#pragma once
// The CSV log the program commands keep, one line a unit. Opened without
// following a link planted in its place; every line reaches the disk before
// the next unit is touched.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

namespace pv {

class NoFollowFile;

// A field quoted when it holds a comma, a quote or a line break.
QString CsvField(QString s);
// Local time in ISO 8601 with its offset from UTC.
QString CsvTime(const QDateTime& time);

class CsvLog {
public:
  CsvLog();
  ~CsvLog();
  // An empty path keeps no log. A new or empty file starts with the header.
  bool open(const QString& path, const QString& header, QString* why);
  // One line of fields, each already made a field (CsvField where needed).
  bool append(const QStringList& fields, QString* why);

private:
  bool line(const QString& text, QString* why);
  std::unique_ptr<NoFollowFile> file_;
};

} // namespace pv
