#pragma once
// Saving a file so that it is always either the old file or the new one:
// the bytes go to a temporary file beside it, which is renamed over the
// old file only once complete. A save that was killed half-way leaves such
// a temporary file behind ("NAME.XXXXXX"); the next save of the same file
// removes it.
#include <QByteArray>
#include <QString>

namespace pv {

// False with the reason in *error when the file could not be written.
bool SaveAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Leftovers of interrupted saves of path (for tests and tools).
QStringList StraySaveFiles(const QString& path);

} // namespace pv
