#pragma once
// The write history: before any write to a unit (the editor's Write, the
// command line's write-config and restore, the factory's final
// programming) the cells the write may touch are saved, so that "Undo last
// write" and "planovix-cli restore" can put them back.
//
// Layout: ROOT/<MODEL>-<code>-<variant>-<revision>-<spare>/<yyyyMMdd-hhmmss-zzz>.json
// (UTC, so names sort by time). ROOT is $PLANOVIX_HISTORY_DIR when set, else
// "history" under the user's application data folder. An entry is a small
// JSON object: format, model, identity bytes, time, and the saved cells as
// [address, value] pairs of bank 0.
//
// Bounds: at most kEntriesPerUnit entries per unit folder and kUnits unit
// folders; the oldest go first (a unit folder's age is its newest entry).
#include "kernel/AppState.h"

#include <QDateTime>
#include <QString>
#include <map>
#include <optional>
#include <vector>

namespace pv {

struct HistoryEntry {
  QString model;  // catalogue id, or empty for a unit the catalogue lacks
  DeviceIdentity identity;
  QDateTime time;                  // UTC
  std::map<int, uint8_t> cells;    // bank 0 address -> value
  QString path;                    // where it was read from or saved to
};

class WriteHistory {
public:
  static constexpr int kEntriesPerUnit = 20;
  static constexpr int kUnits = 50;

  explicit WriteHistory(QString root = DefaultRoot());
  static QString DefaultRoot();
  QString root() const { return root_; }

  // Folder name of a unit: model and identity bytes.
  static QString UnitFolder(const QString& model, const DeviceIdentity& id);

  // Saves the entry (its time decides the name), then trims the history.
  // False with the reason in *error when the file could not be written.
  bool save(HistoryEntry& entry, QString* error = nullptr) const;

  // Entries of one unit, newest first.
  QStringList entries(const QString& model, const DeviceIdentity& id) const;
  std::optional<HistoryEntry> newest(const QString& model, const DeviceIdentity& id) const;

private:
  void trim(const QString& unitFolder) const;
  QString root_;
};

// Reads an entry; nothing, with the reason in *error, when the file is not one.
std::optional<HistoryEntry> LoadHistoryEntry(const QString& path, QString* error = nullptr);
QByteArray HistoryEntryBytes(const HistoryEntry& entry);

} // namespace pv
