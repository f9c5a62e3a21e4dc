#pragma once
// A configuration read from a simulated unit, made to differ from it.
#include <QFile>
#include <cstring>

namespace pv::test {

// Channel A's input upper limit (the double at byte 14 of a ".DST") set to
// 500, so a write of the file has a cell to change.
inline bool RaiseUpperLimit(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadWrite)) return false;
  QByteArray bytes = f.readAll();
  if (bytes.size() < 22) return false;
  const double upper = 500;
  std::memcpy(bytes.data() + 14, &upper, 8);
  return f.seek(0) && f.write(bytes) == bytes.size();
}

} // namespace pv::test
