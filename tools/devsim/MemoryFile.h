#pragma once
// The simulator's memory file: one decimal cell value (0..255) per line for
// bank 0 from cell 0, at most 256 lines; blank lines at the end are allowed.
// Anything else is refused whole, so a bad file never half-loads a unit.
#include <QString>
#include <QVector>
#include <cstdint>

namespace pv::sim {

// The values of the file's text in cell order, or nothing and *why (a
// sentence to follow the file's name) when the text is not a memory file.
bool ParseMemoryFile(const QString& text, QVector<uint8_t>* values, QString* why);

} // namespace pv::sim
