// A full two-channel calibration (KRV2212A, every row its button ticks,
// consumption, switch check, final programming) against the simulated bench
// in simulated time, the unit answering after the time its answer takes on a
// 9600-baud line. Prints the time the run takes, the pauses the procedure
// mandates (every pause of the run but those of the two reads that are not
// the procedure's: the configuration and factory cells saved before the
// first write, and the cells saved before the final programming), and their
// ratio.
//
//   build/bench/factory/bench-calibration-timing [settle-seconds]
#include "factory/CalibrationRun.h"
#include "factory/CalibrationUnit.h"
#include "support/LineSpeedStation.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <vector>

using namespace pv;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir history;
  qputenv("PLANOVIX_HISTORY_DIR", history.path().toLocal8Bit());
  const double settle = argc > 1 ? std::atof(argv[1]) : 4;
  const ModelRow& model = *FindModel(u"KRV2212A");

  benchmark::LineSpeedStation s(model);
  CalibrationRun run(s.commands, s.instruments(), s.clock, s.prompter);
  CalibrationOptions o = OptionsForModel(*FindCalibrationModel(QStringLiteral("KRV2212A")));
  o.settleSeconds = settle;
  const RunEnd end = run.start(o, false);
  const qint64 total = s.clock.nowMs(), pauses = s.clock.pauseMs, answers = s.clock.answerMs;

  // What is not the procedure's, on its own: the backup's read (after the
  // procedure's own "$V"), and the save before the final programming.
  benchmark::LineSpeedStation alone(model);
  alone.commands.ReadIdentity();
  const qint64 p0 = alone.clock.pauseMs, t0 = alone.clock.nowMs();
  std::vector<int> config;
  for (int a = 0; a <= 64; ++a) config.push_back(a);
  std::map<int, uint8_t> cells;
  CalibrationUnit unit;
  unit.read(alone.commands, model, config, &cells);
  const qint64 factoryPauses = alone.clock.pauseMs - p0, factoryTotal = alone.clock.nowMs() - t0;
  const qint64 p1 = alone.clock.pauseMs, t1 = alone.clock.nowMs();
  alone.commands.ReadCells(0, 0, 28);
  const qint64 savePauses = alone.clock.pauseMs - p1, saveTotal = alone.clock.nowMs() - t1;

  const qint64 mandated = pauses - factoryPauses - savePauses;
  std::printf("KRV2212A, settle %.1f s, unit answers after %d ms: run ends %s\n", settle, benchmark::kAnswerMs,
              RunEndName(end));
  std::printf("  run                     %8.1f s (pauses %.1f s, waits for answers %.1f s)\n", total / 1000.0,
              pauses / 1000.0, answers / 1000.0);
  std::printf("  backup before the run   %8.1f s (pauses %.1f s)\n", factoryTotal / 1000.0, factoryPauses / 1000.0);
  std::printf("  save before final write %8.1f s (pauses %.1f s)\n", saveTotal / 1000.0, savePauses / 1000.0);
  std::printf("  mandated pauses         %8.1f s\n", mandated / 1000.0);
  std::printf("  run / mandated pauses   %8.4f\n", static_cast<double>(total) / mandated);
  return end == RunEnd::Normal ? 0 : 1;
}
