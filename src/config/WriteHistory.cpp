#include "config/WriteHistory.h"

#include "kernel/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

namespace pv {

namespace {

constexpr char kFormat[] = "planovix-write-history";
const QString kTimeName = QStringLiteral("yyyyMMdd-hhmmss-zzz");

QStringList EntryNames(const QDir& dir) {
  QStringList names = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
  std::reverse(names.begin(), names.end());
  return names;
}

} // namespace

WriteHistory::WriteHistory(QString root) : root_(std::move(root)) {}

QString WriteHistory::DefaultRoot() {
  const QString over = qEnvironmentVariable("PLANOVIX_HISTORY_DIR");
  if (!over.isEmpty()) return over;
  // The program and the command-line tool share one folder whatever their
  // application names.
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/PLANOVIX/history");
}

QString WriteHistory::UnitFolder(const QString& model, const DeviceIdentity& id) {
  QString name = model;
  // A model id is letters and digits; anything else would make a path.
  name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
  if (name.isEmpty()) name = QStringLiteral("UNKNOWN");
  return QStringLiteral("%1-%2-%3-%4-%5")
      .arg(name)
      .arg(id.deviceCode)
      .arg(id.variant)
      .arg(id.hardwareRevision)
      .arg(id.spare);
}

QByteArray HistoryEntryBytes(const HistoryEntry& e) {
  QJsonArray cells;
  for (const auto& [address, value] : e.cells) cells.append(QJsonArray{address, value});
  const QJsonObject o{{"format", kFormat},
                      {"version", 1},
                      {"model", e.model},
                      {"identity", QJsonObject{{"device_code", e.identity.deviceCode},
                                               {"variant", e.identity.variant},
                                               {"hardware_revision", e.identity.hardwareRevision},
                                               {"spare", e.identity.spare}}},
                      {"time", e.time.toUTC().toString(Qt::ISODateWithMs)},
                      {"bank", 0},
                      {"cells", cells}};
  return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<HistoryEntry> LoadHistoryEntry(const QString& path, QString* error) {
  auto fail = [&](const QString& why) -> std::optional<HistoryEntry> {
    if (error) *error = why;
    return std::nullopt;
  };
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return fail(f.errorString());
  QJsonParseError parse{};
  const QJsonDocument doc = QJsonDocument::fromJson(f.read(1 << 20), &parse);
  if (parse.error != QJsonParseError::NoError) return fail(parse.errorString());
  const QJsonObject o = doc.object();
  if (o.value("format").toString() != QLatin1String(kFormat) || o.value("version").toInt() != 1)
    return fail(QStringLiteral("not a write history entry"));
  auto byte = [](const QJsonValue& v, int* out) {
    if (!v.isDouble()) return false;
    const double d = v.toDouble();
    if (d != static_cast<int>(d) || d < 0 || d > 255) return false;
    *out = static_cast<int>(d);
    return true;
  };
  HistoryEntry e;
  e.path = path;
  e.model = o.value("model").toString();
  const QJsonObject id = o.value("identity").toObject();
  int code = 0, variant = 0, revision = 0, spare = 0;
  if (!byte(id.value("device_code"), &code) || !byte(id.value("variant"), &variant) ||
      !byte(id.value("hardware_revision"), &revision) || !byte(id.value("spare"), &spare))
    return fail(QStringLiteral("the identity is missing or out of range"));
  e.identity = {static_cast<uint8_t>(code), static_cast<uint8_t>(variant), static_cast<uint8_t>(revision),
                static_cast<uint8_t>(spare)};
  e.time = QDateTime::fromString(o.value("time").toString(), Qt::ISODateWithMs);
  if (!e.time.isValid()) return fail(QStringLiteral("the time is missing"));
  const QJsonArray cells = o.value("cells").toArray();
  if (cells.isEmpty()) return fail(QStringLiteral("no cells"));
  for (const QJsonValue& pair : cells) {
    const QJsonArray p = pair.toArray();
    int address = 0, value = 0;
    if (p.size() != 2 || !byte(p[0], &address) || !byte(p[1], &value))
      return fail(QStringLiteral("a cell is not an [address, value] pair of bytes"));
    if (e.cells.count(address)) return fail(QStringLiteral("cell %1 is saved twice").arg(address));
    e.cells[address] = static_cast<uint8_t>(value);
  }
  return e;
}

bool WriteHistory::save(HistoryEntry& e, QString* error) const {
  const QString unit = UnitFolder(e.model, e.identity);
  QDir dir(root_ + QLatin1Char('/') + unit);
  if (!dir.mkpath(QStringLiteral("."))) {
    if (error) *error = QStringLiteral("cannot create %1").arg(dir.path());
    return false;
  }
  QDateTime t = e.time.isValid() ? e.time.toUTC() : QDateTime::currentDateTimeUtc();
  // Two writes within a millisecond still get an entry each, in order.
  while (QFileInfo::exists(dir.filePath(t.toString(kTimeName) + QStringLiteral(".json")))) t = t.addMSecs(1);
  e.time = t;
  e.path = dir.filePath(t.toString(kTimeName) + QStringLiteral(".json"));
  if (!SaveAtomically(e.path, HistoryEntryBytes(e), error)) return false;
  trim(unit);
  return true;
}

QStringList WriteHistory::entries(const QString& model, const DeviceIdentity& id) const {
  const QDir dir(root_ + QLatin1Char('/') + UnitFolder(model, id));
  QStringList out;
  for (const QString& name : EntryNames(dir)) out << dir.filePath(name);
  return out;
}

std::optional<HistoryEntry> WriteHistory::newest(const QString& model, const DeviceIdentity& id) const {
  // A damaged newest file does not hide the one before it.
  for (const QString& path : entries(model, id))
    if (auto e = LoadHistoryEntry(path)) return e;
  return std::nullopt;
}

void WriteHistory::trim(const QString& unitFolder) const {
  QDir dir(root_ + QLatin1Char('/') + unitFolder);
  const QStringList names = EntryNames(dir);
  for (int i = kEntriesPerUnit; i < names.size(); ++i) dir.remove(names[i]);

  // Units: the folder whose newest entry is oldest goes first.
  QDir top(root_);
  struct Unit {
    QString name, newest;
  };
  std::vector<Unit> units;
  for (const QString& name : top.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    const QStringList inside = EntryNames(QDir(top.filePath(name)));
    units.push_back({name, inside.isEmpty() ? QString() : inside.first()});
  }
  if (static_cast<int>(units.size()) <= kUnits) return;
  std::sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) { return a.newest > b.newest; });
  for (size_t i = kUnits; i < units.size(); ++i)
    if (units[i].name != unitFolder) QDir(top.filePath(units[i].name)).removeRecursively();
}

} // namespace pv
