#include "records/FactoryRecord.h"

#include <QSysInfo>
#include <QUuid>

namespace pv {

QString NewRecordUid(const QString& station) {
  return station.left(40) + QLatin1Char(':') + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString StationName() {
  const QString over = qEnvironmentVariable("PLANOVIX_STATION").trimmed();
  if (!over.isEmpty()) return over.left(64);
  const QString host = QSysInfo::machineHostName();
  return host.isEmpty() ? QStringLiteral("station") : host.left(64);
}

QString OperatorName() {
  QString name = qEnvironmentVariable("PLANOVIX_OPERATOR").trimmed();
  if (name.isEmpty()) name = qEnvironmentVariable("USER");
  if (name.isEmpty()) name = qEnvironmentVariable("USERNAME");
  return name.left(64);
}

QString StoredTime(const QDateTime& t) {
  return t.isValid() ? t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")) : QString();
}

QDateTime TimeFromStored(const QString& text) {
  QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
  return t.isValid() ? t.toUTC() : QDateTime();
}

} // namespace pv
