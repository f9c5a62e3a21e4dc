#pragma once
// A factory event as the record store keeps it: a calibration run, a
// verification, a production test, an EEPROM write, a batch unit. One head
// (who, where, which unit, when, how it ended, the details as JSON) and its
// rows (each measured value with its limits, unit and colour), written as
// the event goes so that a crash keeps what was measured.
//
// Every record has a uid made of the station's name and a random UUID: the
// same record sent twice (from a station's outbox after a lost connection)
// is recognised and replaced, never doubled. Its id is the store's own
// number, for people to type.
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

namespace pv {

// The kinds of event, as stored.
inline constexpr char kEventCalibration[] = "calibration";
inline constexpr char kEventVerification[] = "verification";
inline constexpr char kEventProductionTest[] = "production-test";
inline constexpr char kEventEepromWrite[] = "eeprom-write";
inline constexpr char kEventBatchUnit[] = "batch-unit";
inline constexpr char kEventConfigWrite[] = "config-write";

// How an event ended. "running" until it ends; a record left "running" by
// a crash keeps every row written before it.
inline constexpr char kOutcomeRunning[] = "running";
inline constexpr char kOutcomePass[] = "pass";
inline constexpr char kOutcomeFail[] = "fail";
inline constexpr char kOutcomeStopped[] = "stopped";
inline constexpr char kOutcomeError[] = "error";
// Completed, with nothing to judge against (a verification reads values).
inline constexpr char kOutcomeDone[] = "done";

struct FactoryRow {
  int seq = 0;          // the row's place in the event
  QString step;         // "4 - 90 mV A", "consumption 24 V", "cell 12"
  QString item;         // "K1", "Zero", "read"...
  std::optional<double> value;
  QString text;         // as the program showed it
  std::optional<double> low, high;
  QString unit;         // "mV", "mA", "" when none
  QString colour;       // "green", "red", "yellow", "" when none
  bool pass = true;
  friend bool operator==(const FactoryRow&, const FactoryRow&) = default;
};

struct FactoryRecord {
  qint64 id = 0;
  QString uid;
  QString kind;
  QString station, operatorName;
  QString model, fingerprint, fingerprintAfter, label;
  QDateTime started, ended;  // UTC; ended invalid while running
  QString outcome = QString::fromLatin1(kOutcomeRunning);
  QString reason;            // why it ended as it did, empty on a normal end
  QJsonObject details;       // instruments, ambient, options, written cells, report text
  std::vector<FactoryRow> rows;
  bool passed() const { return outcome == QLatin1String(kOutcomePass); }
};

// What `records list` and the Records window filter by; empty means any.
struct RecordFilter {
  QString model;
  QDateTime since;
  QString result;  // "pass", or "fail" (failed, stopped and ended in error)
  QString unit;    // fingerprint or label
  QString kind;
};

// A new uid for a record of this station.
QString NewRecordUid(const QString& station);
// $PLANOVIX_STATION, else the machine's host name.
QString StationName();
// $PLANOVIX_OPERATOR, else the user's login name.
QString OperatorName();

// Times as stored: ISO 8601 UTC with milliseconds, which sort as text.
QString StoredTime(const QDateTime& t);
QDateTime TimeFromStored(const QString& text);

} // namespace pv
