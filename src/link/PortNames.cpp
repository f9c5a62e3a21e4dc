#include "link/PortNames.h"

#include <QFileInfo>
#include <QtGlobal>

namespace pv {

int PortNumberFromText(const QString& selectorText) {
  if (selectorText.isEmpty()) return 0;
  const QChar last = selectorText.back();
  return last.isDigit() ? last.digitValue() : 0;
}

QStringList ComPortCandidates(int n) {
  const QByteArray env = qgetenv(QByteArray("PLANOVIX_COM") + QByteArray::number(n));
  if (!env.isEmpty()) return {QString::fromLocal8Bit(env)};
#ifdef Q_OS_WIN
  return {QStringLiteral("COM%1").arg(n)};
#else
  const int i = n - 1;
  return {QStringLiteral("/dev/ttyUSB%1").arg(i), QStringLiteral("/dev/ttyACM%1").arg(i),
          QStringLiteral("/dev/ttyS%1").arg(i)};
#endif
}

QString ResolveComPort(int n) {
  const QStringList candidates = ComPortCandidates(n);
  if (candidates.size() == 1) return candidates.front();
  for (const QString& c : candidates)
    if (QFileInfo::exists(c)) return c;
  return candidates.front();
}

} // namespace pv
