#include "factory/SwitchingUnit.h"

#include <QRegularExpression>

namespace pv {

QByteArrayList SwitchCommands(const QString& pattern) {
  QByteArrayList out;
  const QByteArray p = pattern.toLatin1();
  for (qsizetype i = 0; i < p.size(); ++i) {
    const char c = p[i];
    if (c != 'A' && c != 'C') continue;
    // The channel is the three characters before the action (fewer at the
    // very start of a malformed pattern).
    const qsizetype from = std::max<qsizetype>(0, i - 3);
    const QByteArray channel = p.mid(from, i - from);
    out << (c == 'A' ? "rout:open (@" : "rout:close (@") + channel + ")";
  }
  return out;
}

bool IsWellFormedSwitchPattern(const QString& pattern) {
  static const QRegularExpression groups(QStringLiteral("^(?:[0-9]{3}[AC])+$"));
  return groups.match(pattern).hasMatch();
}

bool SwitchingUnit::SetSwitches(const QString& pattern) {
  if (isManual()) {
    tell(QStringLiteral("Switch = %1").arg(pattern));
    return true;
  }
  Exchange ex(*this);
  if (!ex) return false;
  if (!openLink()) return false;
  for (const QByteArray& command : SwitchCommands(pattern))
    if (!sendLine(command)) return false;
  return true;
}

} // namespace pv
