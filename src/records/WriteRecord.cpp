#include "records/WriteRecord.h"

#include <QCryptographicHash>
#include <QStringList>

namespace pv {

namespace {

constexpr int kMaxCells = 256 * 4;  // more than any write touches

QString TimeText(const QDateTime& t) { return t.toUTC().toString(Qt::ISODateWithMs); }

} // namespace

QString RecordDigest(const RecordRow& r) {
  const QString joined = QStringList{r.time,
                                     r.command,
                                     r.fingerprint,
                                     r.fingerprintAfter,
                                     QString::number(r.blank),
                                     r.label,
                                     r.model,
                                     QString::number(r.deviceCode),
                                     QString::number(r.variant),
                                     QString::number(r.revision),
                                     QString::number(r.spare),
                                     r.cells}
                             .join(QLatin1Char('|'));
  return QString::fromLatin1(QCryptographicHash::hash(joined.toUtf8(), QCryptographicHash::Sha256).toHex());
}

namespace {

// Decimal 0..255, no sign, no leading zeros beyond "0" itself.
std::optional<int> Byte(QStringView text) {
  if (text.isEmpty() || text.size() > 3) return std::nullopt;
  if (text.size() > 1 && text[0] == QLatin1Char('0')) return std::nullopt;
  int v = 0;
  for (QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    v = v * 10 + (c.unicode() - '0');
  }
  if (v > 255) return std::nullopt;
  return v;
}

bool Printable(const QString& text) {
  for (QChar c : text)
    if (c.category() == QChar::Other_Control || c == QLatin1Char('|')) return false;
  return true;
}

} // namespace

bool IsFingerprintText(const QString& text) {
  if (text.size() != 16) return false;
  for (QChar c : text)
    if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
      return false;
  return true;
}

QString CleanLabel(const QString& label) {
  QString out = label;
  for (QChar& c : out)
    if (c.category() == QChar::Other_Control || c == QLatin1Char('|')) c = QLatin1Char(' ');
  return out.simplified().left(kLabelLength).trimmed();
}

QString EncodeCells(const std::vector<StoredCell>& cells) {
  QStringList parts;
  parts.reserve(static_cast<qsizetype>(cells.size()));
  for (const StoredCell& c : cells) parts << QStringLiteral("%1:%2=%3").arg(c.bank).arg(c.address).arg(c.value);
  return parts.join(QLatin1Char(' '));
}

std::optional<std::vector<StoredCell>> DecodeCells(const QString& text, QString* why) {
  auto fail = [&](const QString& w) -> std::optional<std::vector<StoredCell>> {
    if (why) *why = w;
    return std::nullopt;
  };
  if (text.isEmpty()) return fail(QStringLiteral("no cells"));
  const QList<QStringView> parts = QStringView(text).split(QLatin1Char(' '));
  if (parts.size() > kMaxCells) return fail(QStringLiteral("more cells than a unit has"));
  std::vector<StoredCell> cells;
  cells.reserve(static_cast<size_t>(parts.size()));
  for (QStringView part : parts) {
    const qsizetype colon = part.indexOf(QLatin1Char(':'));
    const qsizetype equals = part.indexOf(QLatin1Char('='));
    const auto bank = colon > 0 ? Byte(part.left(colon)) : std::nullopt;
    const auto address = colon > 0 && equals > colon ? Byte(part.mid(colon + 1, equals - colon - 1)) : std::nullopt;
    const auto value = equals > 0 ? Byte(part.mid(equals + 1)) : std::nullopt;
    if (!bank || !address || !value)
      return fail(QStringLiteral("\"%1\" is not a cell (bank:address=value)").arg(part.left(24).toString()));
    const StoredCell cell{*bank, *address, static_cast<uint8_t>(*value)};
    if (!cells.empty()) {
      const StoredCell& last = cells.back();
      if (cell.bank < last.bank || (cell.bank == last.bank && cell.address <= last.address))
        return fail(QStringLiteral("cell %1:%2 is out of order or saved twice").arg(cell.bank).arg(cell.address));
    }
    cells.push_back(cell);
  }
  return cells;
}

RecordRow EncodeRecord(const WriteRecord& r) {
  RecordRow row;
  row.id = r.id;
  row.time = TimeText(r.time);
  row.command = r.command.left(kCommandLength);
  row.fingerprint = r.fingerprint;
  row.fingerprintAfter = r.fingerprintAfter;
  row.blank = r.blank ? 1 : 0;
  row.label = CleanLabel(r.label);
  row.model = r.model.left(kModelLength);
  row.deviceCode = r.identity.deviceCode;
  row.variant = r.identity.variant;
  row.revision = r.identity.hardwareRevision;
  row.spare = r.identity.spare;
  row.cells = EncodeCells(r.cells);
  row.digest = RecordDigest(row);
  return row;
}

std::optional<WriteRecord> DecodeRecord(const RecordRow& row, QString* why) {
  auto fail = [&](const QString& w) -> std::optional<WriteRecord> {
    if (why) *why = w;
    return std::nullopt;
  };
  if (row.id <= 0) return fail(QStringLiteral("no entry number"));
  // The digest first: whatever else is wrong, a changed row is not the row
  // that was saved.
  if (row.digest != RecordDigest(row)) return fail(QStringLiteral("its contents do not match their checksum"));
  WriteRecord r;
  r.id = row.id;
  r.time = QDateTime::fromString(row.time, Qt::ISODateWithMs);
  if (!r.time.isValid()) return fail(QStringLiteral("the time is not a time"));
  r.time = r.time.toUTC();
  if (row.command.isEmpty() || row.command.size() > kCommandLength || !Printable(row.command))
    return fail(QStringLiteral("the command is missing or not text"));
  r.command = row.command;
  if (!row.fingerprint.isEmpty() && !IsFingerprintText(row.fingerprint))
    return fail(QStringLiteral("the fingerprint is not 16 hex digits"));
  r.fingerprint = row.fingerprint;
  if (!row.fingerprintAfter.isEmpty() && !IsFingerprintText(row.fingerprintAfter))
    return fail(QStringLiteral("the fingerprint after the write is not 16 hex digits"));
  r.fingerprintAfter = row.fingerprintAfter;
  if (row.blank != 0 && row.blank != 1) return fail(QStringLiteral("the blank flag is not 0 or 1"));
  r.blank = row.blank == 1;
  if (row.label != CleanLabel(row.label)) return fail(QStringLiteral("the label is not a single line of text"));
  r.label = row.label;
  if (row.model.size() > kModelLength || !Printable(row.model)) return fail(QStringLiteral("the model is not a model name"));
  r.model = row.model;
  for (qint64 b : {row.deviceCode, row.variant, row.revision, row.spare})
    if (b < 0 || b > 255) return fail(QStringLiteral("an identity byte is out of range"));
  r.identity = {static_cast<uint8_t>(row.deviceCode), static_cast<uint8_t>(row.variant),
                static_cast<uint8_t>(row.revision), static_cast<uint8_t>(row.spare)};
  QString cellsWhy;
  std::optional<std::vector<StoredCell>> cells = DecodeCells(row.cells, &cellsWhy);
  if (!cells) return fail(cellsWhy);
  r.cells = std::move(*cells);
  return r;
}

} // namespace pv
