#include "records/JsonHistory.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <algorithm>

namespace pv {

QString JsonHistoryRoot() {
  const QString over = qEnvironmentVariable("PLANOVIX_HISTORY_DIR");
  if (!over.isEmpty()) return over;
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/PLANOVIX/history");
}

std::optional<WriteRecord> ParseJsonHistoryEntry(const QByteArray& bytes, QString* why) {
  auto fail = [&](const QString& w) -> std::optional<WriteRecord> {
    if (why) *why = w;
    return std::nullopt;
  };
  QJsonParseError parse{};
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
  if (parse.error != QJsonParseError::NoError) return fail(parse.errorString());
  const QJsonObject o = doc.object();
  if (o.value(QLatin1String("format")).toString() != QLatin1String("planovix-write-history") ||
      o.value(QLatin1String("version")).toInt() != 1)
    return fail(QStringLiteral("not a write history entry"));
  auto byte = [](const QJsonValue& v, int* out) {
    if (!v.isDouble()) return false;
    const double d = v.toDouble();
    if (!(d >= 0 && d <= 255) || d != static_cast<int>(d)) return false;
    *out = static_cast<int>(d);
    return true;
  };
  WriteRecord r;
  r.command = QStringLiteral("import");
  r.model = o.value(QLatin1String("model")).toString().left(kModelLength);
  const QJsonObject id = o.value(QLatin1String("identity")).toObject();
  int code = 0, variant = 0, revision = 0, spare = 0;
  if (!byte(id.value(QLatin1String("device_code")), &code) || !byte(id.value(QLatin1String("variant")), &variant) ||
      !byte(id.value(QLatin1String("hardware_revision")), &revision) || !byte(id.value(QLatin1String("spare")), &spare))
    return fail(QStringLiteral("the identity is missing or out of range"));
  r.identity = {static_cast<uint8_t>(code), static_cast<uint8_t>(variant), static_cast<uint8_t>(revision),
                static_cast<uint8_t>(spare)};
  r.time = QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
  if (!r.time.isValid()) return fail(QStringLiteral("the time is missing"));
  r.time = r.time.toUTC();
  // Every entry of that format was bank 0.
  if (o.contains(QLatin1String("bank")) && o.value(QLatin1String("bank")).toInt(-1) != 0)
    return fail(QStringLiteral("only bank 0 was ever saved"));
  const QJsonArray cells = o.value(QLatin1String("cells")).toArray();
  if (cells.isEmpty()) return fail(QStringLiteral("no cells"));
  if (cells.size() > 256) return fail(QStringLiteral("more cells than bank 0 has"));
  for (const QJsonValue& pair : cells) {
    const QJsonArray p = pair.toArray();
    int address = 0, value = 0;
    if (p.size() != 2 || !byte(p[0], &address) || !byte(p[1], &value))
      return fail(QStringLiteral("a cell is not an [address, value] pair of bytes"));
    r.cells.push_back({0, address, static_cast<uint8_t>(value)});
  }
  std::sort(r.cells.begin(), r.cells.end(),
            [](const StoredCell& a, const StoredCell& b) { return a.address < b.address; });
  for (size_t i = 1; i < r.cells.size(); ++i)
    if (r.cells[i].address == r.cells[i - 1].address)
      return fail(QStringLiteral("cell %1 is saved twice").arg(r.cells[i].address));
  return r;
}

QStringList JsonHistoryFiles(const QString& root) {
  QStringList out;
  const QFileInfo top(root);
  if (top.isSymLink() || !top.isDir()) return out;
  const QDir dir(root);
  // QDir::NoSymLinks: neither a linked unit folder nor a linked entry.
  for (const QString& unit : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name)) {
    const QDir sub(dir.filePath(unit));
    for (const QString& name : sub.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::NoSymLinks, QDir::Name))
      out << sub.filePath(name);
  }
  return out;
}

} // namespace pv
