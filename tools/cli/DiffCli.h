#pragma once
// planovix-cli's compare and undo commands:
//   diff A B        A and B are each a ".DST" file or the word "device"
//   restore last|ID|FILE [--include-calibration]
//                   puts back the cells a record store entry saved: the
//                   connected unit's newest, entry number ID, or an entry
//                   file of the old JSON history
//   history [FINGERPRINT]  lists the record store's entries
// Files are read and checked before the port is opened; a diff of two
// files never opens it. "diff" exits 4 when the two differ.
#include "config/ConfigDiff.h"
#include "records/WriteRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace pv {

class DeviceCommands;
class EditorModel;

bool IsDiffCommand(const QString& command);
QString DiffHelpText();

struct DiffJob {
  QString command;              // "diff", "restore" or "history"
  QStringList names;            // the arguments as given
  std::array<QByteArray, 2> files;  // diff: a side's record, empty for "device"
  std::optional<WriteRecord> entry;  // restore FILE (an entry of the old history)
  qint64 entryId = 0;           // restore ID
  bool includeCalibration = false;
  QString fingerprint;          // history FINGERPRINT
  bool needsDevice() const;
};

// Nothing, with the reason on err and the exit code in *code, when the
// arguments or the files are bad.
std::optional<DiffJob> PrepareDiffCommand(const QString& command, const QStringList& args, QTextStream& err,
                                          int* code);

// Runs inside the command's exchange on the link (a diff of two files runs
// without one). model and commands are the session's.
int RunDiffCommand(const DiffJob& job, EditorModel& model, DeviceCommands& commands, bool json,
                   QTextStream& out, QTextStream& err);

} // namespace pv
