// What recording costs: each calibration row written to the record store
// (SQLite, and a PostgreSQL server of the benchmark's own on this machine),
// median and worst of many; and a full KRV2212A calibration on the
// simulated bench with and without its record. The simulated run takes the
// bench's real time in simulated time; what the program itself spends
// (recording included) is measured on the wall clock and added to it.
//
//   build/bench/records/bench-records [rows]
#include "factory/CalibrationRun.h"
#include "factory/RunRecord.h"
#include "records/Recorder.h"
#include "support/LineSpeedStation.h"
#include "support/PostgresServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace pv;

struct Cost {
  double medianMs = 0, worstMs = 0;
};

// One calibration row (a grid row's five cells) a put, as the run does.
Cost RowCost(const QString& location, const QString& outbox, int rows) {
  Recorder r(location, outbox);
  FactoryRecord head;
  head.kind = QString::fromLatin1(kEventCalibration);
  head.model = QStringLiteral("KRV2212A");
  r.begin(head);
  GridRowState state;
  for (int c = 0; c < kCellCount; ++c) state.cells[static_cast<size_t>(c)] = {QStringLiteral("90.001"), CellColour::Green};
  std::vector<double> ms;
  const CalibrationModel& model = *FindCalibrationModel(QStringLiteral("KRV2212A"));
  for (int i = 0; i < rows; ++i) {
    std::vector<FactoryRow> row = GridRowRecord(model, i % kGridRows, state);
    for (FactoryRow& f : row) f.step += QString::number(i / kGridRows);
    QElapsedTimer t;
    t.start();
    if (!r.put(row)) std::fprintf(stderr, "row %d not recorded: %s\n", i, qPrintable(r.error()));
    ms.push_back(t.nsecsElapsed() / 1e6);
  }
  r.finish(kOutcomePass);
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

struct RunTime {
  double simulatedS = 0, programS = 0;
  bool ok = false;
};

RunTime Calibrate(bool record) {
  const ModelRow& model = *FindModel(u"KRV2212A");
  benchmark::LineSpeedStation s(model);
  CalibrationRun run(s.commands, s.instruments(), s.clock, s.prompter);
  run.record().setEnabled(record);
  CalibrationOptions o = OptionsForModel(*FindCalibrationModel(QStringLiteral("KRV2212A")));
  QElapsedTimer t;
  t.start();
  const RunEnd end = run.start(o, false);
  return {s.clock.nowMs() / 1000.0, t.nsecsElapsed() / 1e9, end == RunEnd::Normal};
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rows = argc > 1 ? std::atoi(argv[1]) : 500;
  QTemporaryDir dir;
  qputenv("PLANOVIX_HISTORY_DIR", dir.filePath(QStringLiteral("history")).toLocal8Bit());
  qputenv("PLANOVIX_RECORDS_OUTBOX", dir.filePath(QStringLiteral("outbox.sqlite")).toLocal8Bit());
  const QString sqlite = dir.filePath(QStringLiteral("records.sqlite"));

  pv::test::PostgresServer server;
  QString postgres;
  if (server.start() && server.createDatabase(QStringLiteral("bench"))) postgres = server.url(QStringLiteral("bench"));
  else std::fprintf(stderr, "no PostgreSQL server: %s\n", qPrintable(server.error()));

  std::printf("Recording one calibration row (%d rows):\n", rows);
  const Cost lite = RowCost(sqlite, dir.filePath(QStringLiteral("o1.sqlite")), rows);
  std::printf("  SQLite      median %7.3f ms, worst %7.3f ms\n", lite.medianMs, lite.worstMs);
  if (!postgres.isEmpty()) {
    const Cost pg = RowCost(postgres, dir.filePath(QStringLiteral("o2.sqlite")), rows);
    std::printf("  PostgreSQL  median %7.3f ms, worst %7.3f ms\n", pg.medianMs, pg.worstMs);
  }

  std::printf("KRV2212A calibration on the simulated bench (bench time + program time):\n");
  const auto show = [](const char* what, const RunTime& r) {
    std::printf("  %-24s %8.1f s + %6.3f s = %8.3f s%s\n", what, r.simulatedS, r.programS, r.simulatedS + r.programS,
                r.ok ? "" : "  (run did not end normally)");
    return r.simulatedS + r.programS;
  };
  qputenv("PLANOVIX_RECORDS", sqlite.toLocal8Bit());
  const double without = show("without records", Calibrate(false));
  const double withLite = show("records on SQLite", Calibrate(true));
  std::printf("  difference               %+8.4f %%\n", 100 * (withLite - without) / without);
  if (!postgres.isEmpty()) {
    qputenv("PLANOVIX_RECORDS", postgres.toLocal8Bit());
    const double withPg = show("records on PostgreSQL", Calibrate(true));
    std::printf("  difference               %+8.4f %%\n", 100 * (withPg - without) / without);
  }
  return 0;
}
