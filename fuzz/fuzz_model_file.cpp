// The calibration's model file (MODEL.dat, the cells "Carica Default" and
// the final programming write), read from disk as the run reads it.
//
// Invariants:
// - a refused file gives no cells and a reason of bounded length that holds
//   no control character (a binary file never ends up in a message);
// - an accepted file gives exactly 256 cells, each the value its line
//   spells, and has at most 256 lines that are not blank.
#include "FuzzSupport.h"

#include "factory/CalibrationRun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace pv;
using namespace pv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QTemporaryDir dir;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  {
    QFile f(dir.filePath(QStringLiteral("KRV2212A.dat")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(bytes);
  }
  const ModelFile m = LoadModelFile(QStringLiteral("KRV2212A"), {dir.path()});
  if (!m.error.isEmpty()) {
    PV_FUZZ_CHECK(m.cells.empty(), QStringLiteral("cells given with an error"));
    const QString reason = m.error.mid(m.path.size());
    PV_FUZZ_CHECK(reason.size() < 200, QStringLiteral("a reason of %1 characters").arg(reason.size()));
    for (QChar c : reason) PV_FUZZ_CHECK(c.isPrint(), QStringLiteral("a control character in the reason"));
    return 0;
  }
  PV_FUZZ_CHECK(m.cells.size() == 256, QStringLiteral("%1 cells accepted").arg(m.cells.size()));
  QByteArray body = bytes;
  if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
  const QList<QByteArray> lines = body.split('\n');
  int filled = 0;
  for (const QByteArray& l : lines) filled += !l.trimmed().isEmpty();
  PV_FUZZ_CHECK(filled == 256, QStringLiteral("%1 lines with values accepted").arg(filled));
  for (int i = 0; i < 256; ++i) {
    bool ok = false;
    const int v = lines[i].trimmed().toInt(&ok, 10);
    PV_FUZZ_CHECK(ok && v == m.cells[static_cast<size_t>(i)], QStringLiteral("line %1 read as %2").arg(i + 1).arg(m.cells[static_cast<size_t>(i)]));
  }
  return 0;
}
