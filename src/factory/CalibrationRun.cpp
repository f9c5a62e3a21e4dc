#include "factory/CalibrationRun.h"

#include "config/CellLayout.h"
#include "config/ConfigDevice.h"
#include "factory/Calibrator.h"
#include "factory/CalibrationSteps.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "kernel/Catalogue.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceCommands.h"
#include "factory/EepromEditor.h"
#include "kernel/AtomicFile.h"
#include "text/Numbers.h"
#include "text/Texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cmath>
#include <set>

namespace pv {

namespace {
// Texts of the run (Italian ids; + languageOffset for English).
enum : int { kOneRowFailed = 264, kRowsFailed = 265, kForeignGrid = 266 };

// The cold-junction row of channel c wrote its offset: its k1 cell turned
// green (an offset the cell cannot hold stays red and is not written).
bool OffsetStored(const CalibrationGrid& grid, int c) {
  for (int r = 0; r < kGridRows; ++r)
    if (GridRow(r).kind == RowKind::ColdJunction && GridRow(r).channel == c)
      return grid.rows[static_cast<size_t>(r)].cells[kK1].colour == CellColour::Green;
  return false;
}
} // namespace

CalibrationOptions OptionsForModel(const CalibrationModel& model) {
  CalibrationOptions o;
  o.model = &model;
  for (int r : model.rows) o.rows[static_cast<size_t>(r)] = true;
  o.channels = {true, model.channelB};
  o.loadDefault = model.loadDefault;
  o.settleSeconds = 4;
  o.modelDirs = DefaultModelDirs();
  return o;
}

const char* RunEndName(RunEnd e) {
  if (e == RunEnd::Normal) return "normal";
  if (e == RunEnd::Stopped) return "stopped";
  return "error";
}

ModelFile LoadModelFile(const QString& modelId, const QStringList& dirs) {
  ModelFile m;
  const QString name = modelId + QStringLiteral(".dat");
  for (const QString& dir : dirs) {
    const QString path = QDir(dir).filePath(name);
    if (QFile::exists(path)) {
      m.path = path;
      break;
    }
  }
  if (m.path.isEmpty()) {
    m.error = QStringLiteral("model file %1 not found (looked in %2)").arg(name, dirs.join(QStringLiteral(", ")));
    return m;
  }
  QByteArray bytes;
  QString why;
  if (!ReadInputFile(m.path, 1 << 20, &bytes, &why)) {
    m.error = QStringLiteral("cannot read %1: %2").arg(m.path, why);
    return m;
  }
  // The memory file's rules: exactly 256 whole numbers 0..255, a bad line
  // named and shown short.
  AppState english;
  english.languageOffset = 300;
  const MemoryParse parsed = ParseMemoryFile(english, bytes);
  if (!parsed.image) {
    m.error = m.path + QStringLiteral(": ") + parsed.error;
    return m;
  }
  m.cells.assign(parsed.image->begin(), parsed.image->end());
  return m;
}

QStringList DefaultModelDirs() {
  QStringList dirs{QDir::currentPath()};
  if (QCoreApplication::instance()) {
    const QString bin = QCoreApplication::applicationDirPath();
    dirs << QDir(bin).filePath(QStringLiteral("../share/planovix/models"));
  }
#ifdef PLANOVIX_BUILD_MODEL_DIR
  dirs << QStringLiteral(PLANOVIX_BUILD_MODEL_DIR);
#endif
  return dirs;
}

CalibrationRun::CalibrationRun(DeviceCommands& unit, CalibrationInstruments instruments, Clock& clock,
                               Prompter& prompter, CalibrationUi* ui)
    : unit_(unit), bench_(instruments), clock_(clock), prompter_(prompter), ui_(ui) {}

CalibrationRun::~CalibrationRun() = default;

void CalibrationRun::updateOptions(const CalibrationOptions& o) {
  if (!running_) return;
  const bool haveFile = !file_.cells.empty();
  options_.rows = o.rows;
  options_.channels = o.channels;
  options_.consumption = o.consumption;
  options_.switchCheck = o.switchCheck;
  options_.verify = o.verify;
  options_.loadDefault = o.loadDefault && haveFile;
  options_.finalProgram = o.finalProgram && haveFile;
}

bool CalibrationRun::stopWanted() const { return stopRequested_ || (stopPoll_ && stopPoll_()); }

CalibrationRun::State CalibrationRun::fail(const QString& why) {
  message_ = why;
  return State::ErrorEnd;
}

RunEnd CalibrationRun::start(const CalibrationOptions& options, bool resume) {
  // Refused while a run is going on; the running one keeps its state.
  if (running_) return RunEnd::Error;
  if (!options.model) {
    message_ = Tr(unit_.state(), 260);
    return RunEnd::Error;
  }
  running_ = true;
  options_ = options;
  resume_ = resume;
  resumeRefused_ = false;
  identityKnown_ = identityDone_ = backedUp_ = false;
  stopRequested_ = false;
  message_.clear();
  factoryCells_.clear();
  steps_ = std::make_unique<CalibrationSteps>(unit_, bench_, clock_, options_, grid_, ui_, resume_, outputPair_,
                                              &factoryCells_);

  State s = State::Prepare;
  while (s != State::Done) {
    switch (s) {
    case State::Prepare: s = prepare(resume); break;
    case State::PowerUp: s = powerUp(resume); break;
    case State::Consumption: s = consumption(); break;
    case State::Backup: s = backup(); break;
    case State::LoadDefault: s = loadDefault(); break;
    case State::Identity: s = identity(); break;
    case State::Switches: s = switches(); break;
    case State::ChannelA: s = channel(0); break;
    case State::ChannelB: s = channel(1); break;
    case State::Finish: s = finish(); break;
    case State::ErrorEnd: s = errorEnd(); break;
    case State::End: end(); s = State::Done; break;
    case State::Done: break;
    }
  }
  running_ = false;
  return end_;
}

CalibrationRun::State CalibrationRun::prepare(bool resume) {
  end_ = RunEnd::Normal;
  if (ui_) ui_->label(QStringLiteral("COLLAUDO IN CORSO"), CellColour::Yellow);
  if (!resume) {
    grid_.clear();
    grid_.model = QLatin1String(options_.model->modelId);
    if (ui_)
      for (int r = 0; r < kGridRows; ++r) ui_->rowChanged(r, grid_.rows[static_cast<size_t>(r)]);
  }
  // The model file is read before anything reaches the unit: a missing or
  // short file ends the run here. A file of an earlier run never stands in.
  file_ = {};
  if ((options_.loadDefault && !resume) || options_.finalProgram) {
    file_ = LoadModelFile(QLatin1String(options_.model->modelId), options_.modelDirs);
    if (!file_.error.isEmpty()) {
      message_ = file_.error;
      end_ = RunEnd::Error;
      if (ui_) ui_->label(QStringLiteral("ERRORE"), CellColour::Red);
      prompter_.ask(QStringLiteral("KRV 2210"), QStringLiteral("Errore: ") + file_.error, Buttons::Ok,
                    Icon::Critical);
      if (ui_) ui_->label(QStringLiteral("COLLAUDO TERMINATO"), CellColour::Red);
      return State::Done;
    }
  }
  for (Instrument* i : std::initializer_list<Instrument*>{&bench_.meter, &bench_.calibrator, &bench_.switches,
                                                          &bench_.supply})
    if (!i->isManual() && !i->open()) return fail(i->lastError());
  return State::PowerUp;
}

CalibrationRun::State CalibrationRun::powerUp(bool resume) {
  Pause(clock_, 0.5);
  if (!bench_.supply.SetPowerSupply(true, QStringLiteral("24.00"))) return fail(bench_.supply.lastError());
  if (!bench_.meter.SetupMultimeter(true, MeterFunction::Volt)) return fail(bench_.meter.lastError());
  const QString route = options_.model->olderFixture ? QStringLiteral("114A115A116A117C") : QStringLiteral("108A");
  if (!bench_.switches.SetSwitches(route)) return fail(bench_.switches.lastError());
  return resume ? State::Backup : State::Consumption;
}

CalibrationRun::State CalibrationRun::backup() {
  // The identity first: frame lengths and the unit's cells follow it. Only
  // "Carica Default" comes before the procedure's own identity read.
  if (!identityKnown_) {
    const IdentityBytes id = unit_.ReadIdentity();
    if (id[0] != 0) return fail(Tr(unit_.state(), 653));
    identityKnown_ = true;
  }
  // The configuration cells and the factory cells in one read: what the
  // run may change, and what names the unit.
  const ModelRow* row = FindModel(QString::fromLatin1(options_.model->modelId));
  // The cells a configuration write can touch, as a configuration read
  // reads them.
  std::vector<int> config;
  for (int a = 0; a <= 64; ++a) config.push_back(a);
  if (CellLayoutFor(unit_.state().identity).physicalScale)
    for (int a = 128; a <= 153; ++a) config.push_back(a);
  // "Carica Default" rewrites every cell of bank 0: all of them are saved.
  if (options_.loadDefault && !resume_)
    for (int a = 0; a < kModelFileCells; ++a) config.push_back(a);
  std::map<int, uint8_t> cells;
  const QString saved = grid_.unit;
  if (!row || !factoryCells_.read(unit_, *row, config, &cells))
    return fail(Tr(unit_.state(), 654));
  grid_.unit = factoryCells_.key();
  // The grid's green rows are skipped: only on the unit and model they
  // were calibrated on. A grid that names none is no one's; one with
  // nothing green skips nothing and may start on any unit.
  const bool skipsRows = grid_.passedAnything();
  if (resume_ && skipsRows &&
      (grid_.model != QLatin1String(options_.model->modelId) || saved.isEmpty() || saved != grid_.unit)) {
    grid_.unit = saved;
    resumeRefused_ = true;
    message_ = Tr(unit_.state(), kForeignGrid);
    end_ = RunEnd::Error;
    if (ui_) ui_->label(QStringLiteral("ERRORE"), CellColour::Red);
    prompter_.ask(QStringLiteral("KRV 2210"), message_, Buttons::Ok, Icon::Critical);
    return State::End;
  }
  grid_.model = QLatin1String(options_.model->modelId);
  // Before the first cell of the run is written, everything it may change
  // is in the record store.
  for (const auto& [address, value] : factoryCells_.cells()) cells[address] = value;
  BackupOptions backup;
  backup.command = QStringLiteral("calibration");
  switch (SaveCellsBeforeWrite(unit_, Bank0Cells(cells), backup)) {
  case ConfigResult::Ok: break;
  case ConfigResult::Cancelled:
    message_ = Tr(unit_.state(), 655);
    end_ = RunEnd::Stopped;
    return State::End;
  default: return fail(Tr(unit_.state(), 656));
  }
  backedUp_ = true;
  if (resume_) return State::ChannelA;
  return identityDone_ ? State::Switches : State::LoadDefault;
}

CalibrationRun::State CalibrationRun::consumption() {
  if (!options_.consumption) return State::Backup;
  const CalibrationModel& m = *options_.model;
  struct Stage {
    QString volts;
    int expected;
    const char* text;
  };
  const Stage stages[] = {
      {m.olderFixture ? QStringLiteral("20.00") : QStringLiteral("18.00"), m.expectedFirst, "mA @ 20V ("},
      {QStringLiteral("30.00"), m.expected30, "mA @ 30V ("},
      {QStringLiteral("24.00"), m.expected24, "mA @ 24V ("},
  };
  for (const Stage& st : stages) {
    for (;;) {
      if (!bench_.supply.SetPowerSupply(true, st.volts)) return fail(bench_.supply.lastError());
      const SupplyCurrent i = bench_.supply.ReadSupplyCurrent();
      if (i.status != SupplyCurrent::Ok) return fail(Tr(unit_.state(), 650));
      if (std::fabs(i.mA - st.expected) <= 5) break;
      // Joined as text, without the blank a printed number gets.
      const QString text = QStringLiteral("Consumo Errato ") + QString::number(i.mA) + QLatin1String(st.text) +
                           QString::number(st.expected) + QStringLiteral(")");
      const Answer a = prompter_.ask(QLatin1String(m.modelId), text, Buttons::AbortRetryIgnore, Icon::Warning);
      if (a == Answer::Ignore) break;
      // Abort, or a box closed without an answer: the run stops.
      if (a != Answer::Retry) {
        message_ = text;
        end_ = RunEnd::Stopped;
        return State::Finish;
      }
    }
  }
  return State::Backup;
}

CalibrationRun::State CalibrationRun::loadDefault() {
  if (!options_.loadDefault) return State::Identity;
  if (!backedUp_) return State::Backup;
  AppState& s = unit_.state();
  s.writeList.reset();
  for (int i = 0; i < kModelFileCells; ++i) s.writeList.push(static_cast<uint8_t>(i), file_.cells[static_cast<size_t>(i)]);
  unit_.WriteCells(0, kModelFileCells);
  // The file's gains and pairs are the unit's factory cells now.
  for (const int a : unit_.lastWrite().sent) factoryCells_.written(a, file_.cells[static_cast<size_t>(a)]);
  grid_.unit = factoryCells_.key();
  if (s.commError || !unit_.lastWrite().complete()) return fail(Tr(unit_.state(), 657));
  return State::Identity;
}

CalibrationRun::State CalibrationRun::identity() {
  const IdentityBytes id = unit_.ReadIdentity();
  if (id[0] != 0) return fail(Tr(unit_.state(), 653));
  identityKnown_ = identityDone_ = true;
  return backedUp_ ? State::Switches : State::Backup;
}

CalibrationRun::State CalibrationRun::switches() {
  if (!options_.switchCheck) return State::ChannelA;
  const DeviceIdentity& id = unit_.state().identity;
  const bool third = IsCode12Variant(id, 0);
  for (const int want : {255, 0}) {
    const QString text = want == 255 ? QStringLiteral("Impostare tutti i dip-switch a ON")
                                     : QStringLiteral("Impostare tutti i dip-switch a OFF");
    for (;;) {
      const std::array<int, 4> sw = unit_.ReadSwitchState();
      if (unit_.state().commError) return fail(Tr(unit_.state(), 658));
      for (int i = 0; i < 3; ++i) unit_.state().switchBytes[static_cast<size_t>(i)] = static_cast<uint8_t>(sw[static_cast<size_t>(i)]);
      const bool match = sw[0] == want && sw[1] == want && (!third || sw[2] == (want ? 15 : 0));
      if (match) break;
      const Answer a = prompter_.ask(QLatin1String(options_.model->modelId), text, Buttons::AbortRetryIgnore,
                                     Icon::Warning);
      if (a == Answer::Ignore) break;
      // Abort, or a box closed without an answer: the run stops.
      if (a != Answer::Retry) {
        message_ = text;
        end_ = RunEnd::Stopped;
        return State::Finish;
      }
    }
  }
  Pause(clock_, 3);
  if (!options_.model->olderFixture && !bench_.switches.SetSwitches(QStringLiteral("109A110A111C112C")))
    return fail(bench_.switches.lastError());
  return State::ChannelA;
}

CalibrationRun::State CalibrationRun::channel(int c) {
  const State next = c == 0 ? State::ChannelB : State::Finish;
  if (!options_.channels[static_cast<size_t>(c)]) return next;
  const bool older = options_.model->olderFixture;
  const CalibrationLayout layout = LayoutOf(*options_.model);
  const FactoryCell* pairCell = FindFactoryCell(layout, FactoryCellKind::OutputPair, c, 0);
  const FactoryCell* rangeCell = FindFactoryCell(layout, FactoryCellKind::OutputRange, c, 0);
  if (!pairCell || !rangeCell) return fail(Tr(unit_.state(), 659).arg(QChar('A' + c)));
  const CellBytes pair = unit_.ReadCells(0, pairCell->first, pairCell->count);
  if (unit_.state().commError) return fail(Tr(unit_.state(), 660));
  // The output at the low and at the high DAC code, whichever comes first.
  outputPair_ = {Float24FromCells(pairCell->kind, pair.data()), Float24FromCells(pairCell->kind, pair.data() + 3)};
  if (pairCell->highValueFirst) std::swap(outputPair_[0], outputPair_[1]);

  const WordBytes top = SplitWord(20 * 1000);
  AppState& s = unit_.state();
  s.writeList.reset();
  const int base = rangeCell->first;
  for (auto [a, v] : {std::pair<int, int>{base, top.lo}, {base + 1, top.hi}, {base + 2, 0}, {base + 3, 0}})
    s.writeList.push(static_cast<uint8_t>(a), static_cast<uint8_t>(v));
  if (c == 1) s.writeList.push(6, 0);
  unit_.WriteCells(0, s.writeList.queued());
  if (s.commError || !unit_.lastWrite().complete()) return fail(Tr(unit_.state(), 661));
  if (c == 1) Pause(clock_, 1);
  const QString route = c == 0 ? (older ? QStringLiteral("109A110A111A112A") : QStringLiteral("101A102A"))
                               : (older ? QStringLiteral("109C110A111C112C") : QStringLiteral("101C102C"));
  if (!bench_.switches.SetSwitches(route)) return fail(bench_.switches.lastError());

  auto after = [&](int row, bool ok) -> std::optional<State> {
    grid_.unit = factoryCells_.key();
    if (ui_) ui_->stepDone(row, grid_);
    if (!ok) return fail(Tr(unit_.state(), 651)
                             .arg(row)
                             .arg(QLatin1String(GridRow(row).caption))
                             .arg(QChar('A' + c)));
    if (stopWanted()) {
      message_ = Tr(unit_.state(), 652).arg(row);
      end_ = RunEnd::Stopped;
      return State::Finish;
    }
    return std::nullopt;
  };
  for (const InputStepRow* step : InputStepsInOrder(c))
    if (auto st = after(step->gridRow[static_cast<size_t>(c)], steps_->inputStep(c, *step))) return *st;
  for (const OutputStepRow& step : OutputSteps())
    if (auto st = after(step.gridRow[static_cast<size_t>(c)], steps_->outputStep(c, step))) return *st;
  return next;
}

CalibrationRun::State CalibrationRun::finish() {
  if (options_.finalProgram) {
    // Cells 0..27 from the model file, in one write. Channel A's
    // cold-junction offset (cell 7) is never rewritten; channel B's (cell 8)
    // is kept when this run, or the run it resumed, stored it, and always
    // on the older generation, whose cell 8 is not an offset.
    const CalibrationLayout layout = LayoutOf(*options_.model);
    const FactoryCell* offsetA = FindFactoryCell(layout, FactoryCellKind::ColdJunction, 0, 8);
    const FactoryCell* offsetB = FindFactoryCell(layout, FactoryCellKind::ColdJunction, 1, 8);
    std::set<int> keep;
    if (offsetA) keep.insert(offsetA->first);
    if (options_.model->olderFixture) keep.insert(8);
    else if (offsetB && OffsetStored(grid_, 1)) keep.insert(offsetB->first);
    AppState& s = unit_.state();
    s.writeList.reset();
    for (int i = 0; i < 28; ++i) {
      if (keep.count(i)) continue;
      s.writeList.push(static_cast<uint8_t>(i), file_.cells[static_cast<size_t>(i)]);
    }
    // The cells it replaces, as the unit holds them now, go to the record
    // store first, under the unit's own identity (a run stopped in the
    // consumption test has not read it yet).
    if (!identityKnown_) {
      if (unit_.ReadIdentity()[0] != 0) return fail(Tr(unit_.state(), 653));
      identityKnown_ = true;
    }
    const CellBytes now = unit_.ReadCells(0, 0, 28);
    if (unit_.state().commError) return fail(Tr(unit_.state(), 662));
    std::map<int, uint8_t> replaced;
    for (int i = 1; i <= s.writeList.queued(); ++i) {
      const int a = s.writeList.address[static_cast<size_t>(i)];
      replaced[a] = now[static_cast<size_t>(a)];
    }
    BackupOptions backup;
    backup.command = QStringLiteral("calibration: final programming");
    if (SaveCellsBeforeWrite(unit_, Bank0Cells(replaced), backup) != ConfigResult::Ok) return fail(Tr(unit_.state(), 663));
    unit_.WriteCells(0, s.writeList.queued());
    if (s.commError || !unit_.lastWrite().complete()) return fail(Tr(unit_.state(), 664));
  }
  return State::End;
}

CalibrationRun::State CalibrationRun::errorEnd() {
  end_ = RunEnd::Error;
  if (ui_) ui_->label(QStringLiteral("ERRORE"), CellColour::Red);
  prompter_.ask(QStringLiteral("KRV 2210"), message_.isEmpty() ? QStringLiteral("Errore") : QStringLiteral("Errore: ") + message_, Buttons::Ok, Icon::Critical);
  return State::End;
}

void CalibrationRun::end() {
  // A run with a failed row has not passed, however it ended: the label
  // says so and how many rows failed.
  // A refused grid is another unit's: its rows say nothing of this one.
  const int failed = resumeRefused_ ? 0 : grid_.failedRows();
  QString text = QStringLiteral("COLLAUDO TERMINATO");
  if (failed == 1) text += QStringLiteral(" - ") + Tr(unit_.state(), kOneRowFailed);
  else if (failed > 1) text += QStringLiteral(" - ") + Tr(unit_.state(), kRowsFailed).arg(failed);
  if (ui_) ui_->label(text, end_ == RunEnd::Error || failed > 0 ? CellColour::Red : CellColour::Green);
  bench_.meter.MultimeterBeep();
  powerOff();
  resume_ = false;
}

bool CalibrationRun::powerOn() {
  if (!bench_.supply.open()) return false;
  return bench_.supply.SetPowerSupply(true, QStringLiteral("24.00"));
}

bool CalibrationRun::powerOff() {
  if (bench_.supply.isManual()) {
    prompter_.ask(QStringLiteral("KRV 2210"), QStringLiteral("Togliere Alimentazione"), Buttons::Ok, Icon::Information);
    return true;
  }
  if (!bench_.supply.open()) return false;
  return bench_.supply.SetPowerSupply(false, QStringLiteral("24.00"));
}

} // namespace pv
