#pragma once
// The commissioning sheet: one A4 page that records how a unit was set up,
// in the current language. Top: product, title, model, identity, where the
// configuration came from, date. Then the configuration as a table (one
// value column per channel, each value with its unit, as the editor shows
// it), the trip settings, an optional picture (the switch banks of a
// switch-configured unit) and a line for the technician's signature.
//
// The content is plain data built from the editor; the renderer knows
// nothing of units or switches. A page too full for A4 is drawn smaller,
// never onto a second page. The PDF is written to a temporary file and
// renamed over the old one.
#include "kernel/AppState.h"

#include <QDateTime>
#include <QPair>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

class QPainter;

namespace pv {

class EditorModel;

struct SheetRow {
  QString label;
  // One text per value column; a single text spans them all (a setting of
  // the whole unit). An empty text is a setting this channel does not have.
  QStringList values;
  bool heading = false;  // a section line across the table
};

struct SheetTable {
  QString title;
  QStringList columns;  // headings of the value columns
  QVector<SheetRow> rows;
};

struct SheetPicture {
  QString title;
  QSizeF size;                           // millimetres at full size
  std::function<void(QPainter&)> paint;  // in millimetres, origin top left
  QStringList notes;                     // what the picture means, a line each
};

struct SheetContent {
  QString productTitle;
  QString title;
  QVector<QPair<QString, QString>> header;  // label, value
  QVector<SheetTable> tables;
  std::optional<SheetPicture> picture;
  QString signature;  // caption of the line left for the technician
};

// Where the configuration shown came from.
struct SheetOrigin {
  QString file;             // the .DST it was loaded from; empty: the unit
  bool familyKnown = true;  // cell 4 came from the unit (a file does not hold it)
  QDateTime when;
  // The identity a file was saved for, shown in place of the unit's.
  std::optional<DeviceIdentity> fileIdentity;
};

// The sheet of the editor's current fields, in the editor's texts.
SheetContent SheetFromEditor(const EditorModel& m, const SheetOrigin& origin);

// The model line: caption and id of the unit; from a file, whose identity
// does not name the family, every model of the file's variant.
QString SheetModelText(const AppState& s, const DeviceIdentity& id, bool familyKnown);

// Every text the page shows, in reading order (for tests and tools).
QStringList SheetTexts(const SheetContent& c);

// Renders the page. False with the reason in *error when the file could
// not be written; the old file is then left as it was.
bool RenderSheet(const SheetContent& c, const QString& pdfPath, QString* error = nullptr);

} // namespace pv
