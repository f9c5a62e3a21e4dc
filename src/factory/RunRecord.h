#pragma once
// What a factory run tells the record store as it goes (records/Recorder.h):
// the calibration run's head when it starts, each grid row when its step is
// done, the cells its final programming wrote, and its end. The run calls
// these at its steps and never waits on the store; a store that cannot be
// written (after the outbox, too) costs the record, never the run.
#include "factory/CalibrationGrid.h"
#include "records/Recorder.h"

#include <map>
#include <optional>

namespace pv {

class Instrument;
struct CalibrationModel;

// Each cell of a grid row the step filled: its value, limits, unit, colour.
std::vector<FactoryRow> GridRowRecord(const CalibrationModel& model, int row, const GridRowState& state);

class CalibrationRecord {
public:
  explicit CalibrationRecord(QString location = RecordStore::DefaultLocation(),
                             QString outbox = RecordStore::OutboxLocation());
  // Off: nothing is recorded (the benchmark's run without records).
  void setEnabled(bool on) { enabled_ = on; }

  // Starts the run's record, or continues the one with that uid (a
  // resumed run). The record's uid; empty when off.
  QString begin(const CalibrationModel& model, const QJsonObject& options, const std::vector<const Instrument*>& bench,
                const QString& continueUid);
  bool active() const { return recorder_.active(); }
  void unit(const QString& fingerprint);
  void row(const CalibrationModel& model, int row, const GridRowState& state);
  void written(const std::map<int, uint8_t>& cells);
  void end(const QString& outcome, const QString& reason, const QString& fingerprintAfter);

  const Recorder& recorder() const { return recorder_; }

private:
  Recorder recorder_;
  bool enabled_ = true;
};

} // namespace pv
