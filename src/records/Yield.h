#pragma once
// What the factory's records say in sum: the first-pass yield of each
// model (of the units calibrated, how many passed at their first run) and
// the rows that fail most.
#include "records/FactoryRecord.h"

#include <vector>

namespace pv {

struct ModelYield {
  QString model;
  int units = 0;      // units with a calibration of this model
  int firstPass = 0;  // of them, those whose first run passed
  double percent() const { return units ? 100.0 * firstPass / units : 0; }
};

struct RowFailures {
  QString model, step, item;
  int measured = 0, failed = 0;
};

// The unit a record is of: its label when it has one (blank units share a
// fingerprint), else the fingerprint it left with, else the one it came with.
QString UnitKey(const FactoryRecord& r);

// heads: calibration records, any order. Models in name order.
std::vector<ModelYield> FirstPassYield(std::vector<FactoryRecord> heads);
// rows: (record uid, row) pairs, with the heads they belong to; most
// failures first, rows that never failed left out.
std::vector<RowFailures> FailingRows(const std::vector<FactoryRecord>& heads,
                                     const std::vector<std::pair<QString, FactoryRow>>& rows);

} // namespace pv
