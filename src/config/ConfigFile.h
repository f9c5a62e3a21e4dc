#pragma once
// The ".DST" configuration file: one 292-byte record, little-endian, no
// padding; Booleans are 16-bit, -1 true and 0 false. Offsets:
//     0 version marker (double)     8 spare, code, variant, revision
//    12 input type x2              14 input upper x2    30 input lower x2
//    46 output type x2             48 output upper x2   64 output lower x2
//    80 CJC buttons (2c, 2c+1)     88 offset x2
//   104 wires buttons (3)         116 function buttons (3)
//   128 burn-out buttons (2)      136 over-range percentage x2
//   152 trip high x2   168 trip low x2   184 trip direction buttons (2)
//   192 reserved x2    208 physical scale (8 doubles)
//   272 operation x2   274 option value A   282 option value B
//   290 high-speed box 291 doubler box
// Every pair is channel A then channel B. A file is written to a temporary
// file and renamed over the old one; a short or damaged file is refused
// before anything changes.
#include "config/EditorModel.h"

#include <QByteArray>
#include <QString>

namespace pv {

class Prompter;

constexpr int kRecordSize = 292;
// The program's version, written on save and compared on open.
constexpr double kFileVersion = 2.6;

// The record for the editor's current fields. held supplies the fields the
// editor cannot give (a reserved double, an unknown list text).
QByteArray BuildRecord(const EditorModel& m, const QByteArray& held);
// Empty when the bytes are a sound record, else what is wrong with them:
// in language's language, in English without one.
QString ValidateRecord(const QByteArray& bytes, const AppState* language = nullptr);
// Fills the editor from a record (already validated).
void ApplyRecord(EditorModel& m, const QByteArray& record);
// What a record holds that the editor has no place for (an input type past
// the range table, an output type past 3, an over-range percentage no row
// has): one text per value, in the state's language; empty when none.
// ApplyRecord leaves those fields as the editor holds them.
QStringList UnknownRecordValues(const AppState& s, const RangeTables& tables, const QByteArray& record);
// The identity of the unit a record was saved for (a validated record).
DeviceIdentity RecordIdentity(const QByteArray& record);

enum class FileResult { Done, Cancelled, BadFile, IoError };

class ConfigFile {
public:
  ConfigFile(EditorModel& model, Prompter& prompter);

  // Save as (askName) or save to the last name; a dialog when none is known.
  FileResult save(bool askName);
  // Open dialog, then openFrom.
  FileResult open();

  FileResult saveTo(const QString& path);
  // Reads, checks, asks the version (75) and device (61) questions, fills.
  FileResult openFrom(const QString& path);

  QString fileName() const { return fileName_; }
  // The record last opened or saved.
  const QByteArray& record() const { return held_; }
  bool saveEnabled() const { return saveEnabled_; }
  // Product title, " - " and the file name.
  QString windowTitle() const;
  // Why the last operation failed, in the current language.
  QString lastError() const { return lastError_; }

private:
  FileResult fail(FileResult why, const QString& text);

  EditorModel& model_;
  Prompter& prompter_;
  QByteArray held_;
  QString fileName_;
  QString lastError_;
  bool saveEnabled_ = false;
};

} // namespace pv
