#include "factory/CalibrationGrid.h"

#include "factory/CalibrationTables.h"

#include <QJsonArray>
#include <optional>

namespace pv {

const char* ColourName(CellColour c) {
  switch (c) {
  case CellColour::Yellow: return "yellow";
  case CellColour::Green: return "green";
  case CellColour::Red: return "red";
  case CellColour::NotRun: break;
  }
  return "not run";
}

namespace {
std::optional<CellColour> ColourFromName(const QString& s) {
  for (CellColour c : {CellColour::NotRun, CellColour::Yellow, CellColour::Green, CellColour::Red})
    if (s == QLatin1String(ColourName(c))) return c;
  return std::nullopt;
}
} // namespace

int CalibrationGrid::failedRows() const {
  int n = 0;
  for (const GridRowState& r : rows) n += r.box == CellColour::Red;
  return n;
}

bool CalibrationGrid::passedAnything() const {
  for (const GridRowState& r : rows) {
    if (r.box == CellColour::Green) return true;
    for (const GridCell& c : r.cells)
      if (c.colour == CellColour::Green) return true;
  }
  return false;
}

const char* CellName(int row, int cell) {
  static const char* input[] = {"k1", "k2", "Min", "Half", "Max", "load"};
  static const char* output[] = {"k1", "k2", "Zero", "Half", "Span", "Carico"};
  const RowKind k = GridRow(row).kind;
  const bool out = k == RowKind::VoltageOutput || k == RowKind::CurrentOutput;
  return (out ? output : input)[cell];
}

QJsonObject GridToJson(const CalibrationGrid& grid) {
  QJsonArray rows;
  for (int r = 0; r < kGridRows; ++r) {
    const GridRowState& s = grid.rows[static_cast<size_t>(r)];
    QJsonArray cells;
    for (int c = 0; c < kCellCount; ++c)
      cells.append(QJsonObject{{"cell", CellName(r, c)},
                               {"text", s.cells[static_cast<size_t>(c)].text},
                               {"colour", ColourName(s.cells[static_cast<size_t>(c)].colour)}});
    rows.append(QJsonObject{{"row", r},
                            {"caption", GridRow(r).caption},
                            {"channel", GridRow(r).channel == 0 ? "A" : "B"},
                            {"box", ColourName(s.box)},
                            {"cells", cells}});
  }
  QJsonObject o{{"model", grid.model}, {"unit", grid.unit}, {"rows", rows}};
  if (!grid.record.isEmpty()) o.insert(QStringLiteral("record"), grid.record);
  return o;
}

QString GridFromJson(const QJsonObject& o, CalibrationGrid& grid) {
  CalibrationGrid g;
  const QJsonArray rows = o.value("rows").toArray();
  if (rows.size() != kGridRows) return QStringLiteral("the grid must hold 22 rows");
  for (const QJsonValue& rv : rows) {
    const QJsonObject ro = rv.toObject();
    const int r = ro.value("row").toInt(-1);
    if (r < 0 || r >= kGridRows) return QStringLiteral("a row number outside 0..21");
    GridRowState& s = g.rows[static_cast<size_t>(r)];
    const auto box = ColourFromName(ro.value("box").toString());
    if (!box) return QStringLiteral("row %1: unknown colour").arg(r);
    s.box = *box;
    const QJsonArray cells = ro.value("cells").toArray();
    if (cells.size() != kCellCount) return QStringLiteral("row %1 must hold %2 cells").arg(r).arg(kCellCount);
    for (int c = 0; c < kCellCount; ++c) {
      const QJsonObject co = cells[c].toObject();
      const auto colour = ColourFromName(co.value("colour").toString());
      if (!colour) return QStringLiteral("row %1: unknown colour").arg(r);
      s.cells[static_cast<size_t>(c)] = {co.value("text").toString(), *colour};
    }
  }
  // A grid saved without them names no unit: a resume refuses it.
  g.model = o.value("model").toString();
  g.unit = o.value("unit").toString();
  // The record a resumed run continues (none in grids of older versions).
  g.record = o.value("record").toString();
  grid = g;
  return {};
}

} // namespace pv
