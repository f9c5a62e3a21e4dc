#include "records/Yield.h"

#include <algorithm>
#include <map>

namespace pv {

QString UnitKey(const FactoryRecord& r) {
  if (!r.label.isEmpty()) return QStringLiteral("label:") + r.label;
  if (!r.fingerprintAfter.isEmpty()) return QStringLiteral("fp:") + r.fingerprintAfter;
  if (!r.fingerprint.isEmpty()) return QStringLiteral("fp:") + r.fingerprint;
  return QStringLiteral("record:") + r.uid;
}

std::vector<ModelYield> FirstPassYield(std::vector<FactoryRecord> heads) {
  // A run that has not ended, or was stopped by the operator, is not the
  // unit's first verdict; an error is (the unit did not get through).
  std::sort(heads.begin(), heads.end(), [](const FactoryRecord& a, const FactoryRecord& b) {
    return a.started != b.started ? a.started < b.started : a.id < b.id;
  });
  std::map<QString, std::map<QString, bool>> first;  // model -> unit -> passed
  for (const FactoryRecord& r : heads) {
    if (r.kind != QLatin1String(kEventCalibration)) continue;
    if (r.outcome == QLatin1String(kOutcomeRunning) || r.outcome == QLatin1String(kOutcomeStopped)) continue;
    auto& units = first[r.model];
    units.try_emplace(UnitKey(r), r.passed());
  }
  std::vector<ModelYield> out;
  for (const auto& [model, units] : first) {
    ModelYield y;
    y.model = model;
    y.units = static_cast<int>(units.size());
    for (const auto& [unit, passed] : units) y.firstPass += passed ? 1 : 0;
    out.push_back(y);
  }
  return out;
}

std::vector<RowFailures> FailingRows(const std::vector<FactoryRecord>& heads,
                                     const std::vector<std::pair<QString, FactoryRow>>& rows) {
  std::map<QString, QString> modelOf;
  for (const FactoryRecord& r : heads) modelOf[r.uid] = r.model;
  std::map<std::tuple<QString, QString, QString>, RowFailures> byRow;
  for (const auto& [uid, row] : rows) {
    const auto m = modelOf.find(uid);
    if (m == modelOf.end()) continue;
    RowFailures& f = byRow[{m->second, row.step, row.item}];
    f.model = m->second;
    f.step = row.step;
    f.item = row.item;
    ++f.measured;
    if (!row.pass) ++f.failed;
  }
  std::vector<RowFailures> out;
  for (const auto& [key, f] : byRow)
    if (f.failed > 0) out.push_back(f);
  std::stable_sort(out.begin(), out.end(), [](const RowFailures& a, const RowFailures& b) { return a.failed > b.failed; });
  return out;
}

} // namespace pv
