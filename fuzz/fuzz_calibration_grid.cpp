// The calibration grid as saved by the station (--state) and read back for
// "Riprendi" (--resume): a JSON document of 22 rows of six cells.
//
// Invariants:
// - a refused document says why;
// - an accepted grid has only known colours, and saved again it reads back
//   as the same grid.
#include "FuzzSupport.h"

#include "factory/CalibrationGrid.h"

#include <QJsonDocument>

using namespace pv;
using namespace pv::fuzz;

namespace {
bool Known(CellColour c) {
  return c == CellColour::NotRun || c == CellColour::Yellow || c == CellColour::Green || c == CellColour::Red;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QJsonDocument doc = QJsonDocument::fromJson(bytes);
  if (!doc.isObject()) return 0;
  CalibrationGrid grid;
  const QString why = GridFromJson(doc.object(), grid);
  if (!why.isEmpty()) return 0;
  for (const GridRowState& row : grid.rows) {
    PV_FUZZ_CHECK(Known(row.box), QStringLiteral("an unknown box colour accepted"));
    for (const GridCell& c : row.cells) PV_FUZZ_CHECK(Known(c.colour), QStringLiteral("an unknown cell colour accepted"));
  }
  CalibrationGrid again;
  const QString back = GridFromJson(QJsonDocument::fromJson(QJsonDocument(GridToJson(grid)).toJson()).object(), again);
  PV_FUZZ_CHECK(back.isEmpty(), QStringLiteral("a saved grid is refused: %1").arg(back));
  PV_FUZZ_CHECK(again == grid, QStringLiteral("a saved grid reads back differently"));
  return 0;
}
