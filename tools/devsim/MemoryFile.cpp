#include "MemoryFile.h"

#include <QStringList>

namespace pv::sim {

bool ParseMemoryFile(const QString& text, QVector<uint8_t>* values, QString* why) {
  const QStringList lines = text.split(QLatin1Char('\n'));
  int last = static_cast<int>(lines.size()) - 1;
  while (last >= 0 && lines[last].trimmed().isEmpty()) --last;
  if (last > 255) {
    *why = QStringLiteral("has more than 256 values");
    return false;
  }
  QVector<uint8_t> read;
  read.reserve(last + 1);
  for (int i = 0; i <= last; ++i) {
    // Digits only: the number conversion alone would stop at a NUL byte
    // and take "0\0x" for 0.
    const QString t = lines[i].trimmed();
    const qsizetype digitsFrom = t.startsWith(QLatin1Char('+')) ? 1 : 0;
    bool ok = t.size() > digitsFrom;
    for (qsizetype k = digitsFrom; k < t.size() && ok; ++k)
      ok = t[k] >= QLatin1Char('0') && t[k] <= QLatin1Char('9');
    const int v = ok ? t.toInt(&ok, 10) : -1;
    if (!ok || v < 0 || v > 255) {
      *why = QStringLiteral("line %1: \"%2\" is not a cell value 0..255").arg(i + 1).arg(lines[i].trimmed());
      return false;
    }
    read.append(static_cast<uint8_t>(v));
  }
  *values = read;
  return true;
}

} // namespace pv::sim
