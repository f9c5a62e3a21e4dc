// The EEPROM editor's memory file: one decimal cell value a line, 256 lines.
//
// Invariants:
// - a refused file names a line (1 or later) and says why, and gives no cells;
// - an accepted file holds exactly the values its lines spell, 0..255 each;
// - what the editor saves from those cells reads back the same.
#include "FuzzSupport.h"

#include "factory/EepromEditor.h"

using namespace pv;
using namespace pv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  static const AppState state;
  const MemoryParse parsed = ParseMemoryFile(state, file);
  if (!parsed.image) {
    PV_FUZZ_CHECK(parsed.line >= 0 && !parsed.error.isEmpty(), QStringLiteral("refused without a line and a reason"));
    return 0;
  }
  PV_FUZZ_CHECK(parsed.error.isEmpty(), QStringLiteral("accepted with an error: %1").arg(parsed.error));
  QByteArray body = file;
  if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
  const QList<QByteArray> lines = body.split('\n');
  PV_FUZZ_CHECK(lines.size() >= kMemoryCells, QStringLiteral("%1 lines accepted").arg(lines.size()));
  for (int i = 0; i < kMemoryCells; ++i) {
    const QByteArray t = lines[i].trimmed();
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    PV_FUZZ_CHECK(ok && !t.startsWith('+') && !t.startsWith('-') && v == (*parsed.image)[i],
                  QStringLiteral("line %1 \"%2\" read as %3").arg(i + 1).arg(QString::fromLatin1(t)).arg((*parsed.image)[i]));
  }
  for (int i = kMemoryCells; i < lines.size(); ++i)
    PV_FUZZ_CHECK(lines[i].trimmed().isEmpty(), QStringLiteral("line %1 after the last cell was ignored").arg(i + 1));
  const MemoryParse again = ParseMemoryFile(state, MemoryFileBytes(*parsed.image));
  PV_FUZZ_CHECK(again.image && *again.image == *parsed.image, QStringLiteral("the saved file reads back differently"));
  return 0;
}
