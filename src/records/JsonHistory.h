#pragma once
// The write history of earlier versions: one JSON file per write,
// ROOT/<MODEL>-<code>-<variant>-<revision>-<spare>/<yyyyMMdd-hhmmss-zzz>.json,
// each {format "planovix-write-history", version 1, model, identity
// {device_code, variant, hardware_revision, spare}, time, bank 0, cells
// [[address, value]...]}. ROOT was $PLANOVIX_HISTORY_DIR, else
// <user data folder>/PLANOVIX/history.
//
// The record store imports it once and leaves it where it is. Reading never
// follows a symbolic link and skips whatever is not an entry.
#include "records/WriteRecord.h"

#include <QByteArray>
#include <QStringList>

namespace pv {

// The folder of the old history (it may not exist).
QString JsonHistoryRoot();

// An entry of the old format, as a record without a fingerprint (command
// "import"); nothing with the reason in *why when the bytes are not one.
std::optional<WriteRecord> ParseJsonHistoryEntry(const QByteArray& bytes, QString* why = nullptr);

// The entry files under root: regular files named *.json one folder down,
// no symbolic link followed on the way, oldest name first.
QStringList JsonHistoryFiles(const QString& root);

} // namespace pv
