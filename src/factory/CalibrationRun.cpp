#include "factory/CalibrationRun.h"

#include "config/ConfigDevice.h"
#include "factory/Calibrator.h"
#include "factory/CalibrationSteps.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/SwitchingUnit.h"
#include "kernel/AppState.h"
#include "kernel/Catalogue.h"
#include "kernel/Prompter.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceCommands.h"
#include "factory/EepromEditor.h"
#include "kernel/AtomicFile.h"
#include "text/Numbers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cmath>

namespace pv {

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
  switch (e) {
  case RunEnd::Normal: return "normal";
  case RunEnd::Stopped: return "stopped";
  case RunEnd::Error: break;
  }
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
    message_ = QStringLiteral("no model chosen");
    return RunEnd::Error;
  }
  running_ = true;
  options_ = options;
  resume_ = resume;
  stopRequested_ = false;
  message_.clear();
  steps_ = std::make_unique<CalibrationSteps>(unit_, bench_, clock_, options_, grid_, ui_, resume_, outputPair_);

  State s = State::Prepare;
  while (s != State::Done) {
    switch (s) {
    case State::Prepare: s = prepare(resume); break;
    case State::PowerUp: s = powerUp(resume); break;
    case State::Consumption: s = consumption(); break;
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
  clock_.wait(500, nullptr);
  if (!bench_.supply.SetPowerSupply(true, QStringLiteral("24.00"))) return fail(bench_.supply.lastError());
  if (!bench_.meter.SetupMultimeter(true, MeterFunction::Volt)) return fail(bench_.meter.lastError());
  const QString route = options_.model->olderFixture ? QStringLiteral("114A115A116A117C") : QStringLiteral("108A");
  if (!bench_.switches.SetSwitches(route)) return fail(bench_.switches.lastError());
  if (!resume) return State::Consumption;
  // Frame lengths follow the identity, which a resumed run has not read.
  const IdentityBytes id = unit_.ReadIdentity();
  if (id[0] != 0) return fail(QStringLiteral("the unit's identity could not be read"));
  return State::ChannelA;
}

CalibrationRun::State CalibrationRun::consumption() {
  if (!options_.consumption) return State::LoadDefault;
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
      if (i.status != SupplyCurrent::Ok) return fail(QStringLiteral("no supply current reading"));
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
  return State::LoadDefault;
}

CalibrationRun::State CalibrationRun::loadDefault() {
  if (!options_.loadDefault) return State::Identity;
  AppState& s = unit_.state();
  s.writeList.reset();
  for (int i = 0; i < kModelFileCells; ++i) s.writeList.push(static_cast<uint8_t>(i), file_.cells[static_cast<size_t>(i)]);
  unit_.WriteCells(0, kModelFileCells);
  if (s.commError || !unit_.lastWrite().complete()) return fail(QStringLiteral("the default configuration could not be written"));
  return State::Identity;
}

CalibrationRun::State CalibrationRun::identity() {
  const IdentityBytes id = unit_.ReadIdentity();
  if (id[0] != 0) return fail(QStringLiteral("the unit's identity could not be read"));
  return State::Switches;
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
      if (unit_.state().commError) return fail(QStringLiteral("the DIP switches could not be read"));
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
  clock_.wait(3000, nullptr);
  if (!options_.model->olderFixture && !bench_.switches.SetSwitches(QStringLiteral("109A110A111C112C")))
    return fail(bench_.switches.lastError());
  return State::ChannelA;
}

CalibrationRun::State CalibrationRun::channel(int c) {
  const State next = c == 0 ? State::ChannelB : State::Finish;
  if (!options_.channels[static_cast<size_t>(c)]) return next;
  const bool older = options_.model->olderFixture;
  const CellBytes pair = unit_.ReadCells(0, c == 0 ? 106 : 118, 6);
  if (unit_.state().commError) return fail(QStringLiteral("the output coefficients could not be read"));
  outputPair_ = {DecodeFloat24(pair[1], pair[2], pair[0]), DecodeFloat24(pair[4], pair[5], pair[3])};

  const WordBytes top = SplitWord(20 * 1000);
  AppState& s = unit_.state();
  s.writeList.reset();
  const int base = c == 0 ? 24 : 16;
  for (auto [a, v] : {std::pair<int, int>{base, top.lo}, {base + 1, top.hi}, {base + 2, 0}, {base + 3, 0}})
    s.writeList.push(static_cast<uint8_t>(a), static_cast<uint8_t>(v));
  if (c == 1) s.writeList.push(6, 0);
  unit_.WriteCells(0, s.writeList.queued());
  if (s.commError || !unit_.lastWrite().complete()) return fail(QStringLiteral("the channel set-up could not be written"));
  if (c == 1) clock_.wait(1000, nullptr);
  const QString route = c == 0 ? (older ? QStringLiteral("109A110A111A112A") : QStringLiteral("101A102A"))
                               : (older ? QStringLiteral("109C110A111C112C") : QStringLiteral("101C102C"));
  if (!bench_.switches.SetSwitches(route)) return fail(bench_.switches.lastError());

  auto after = [&](int row, bool ok) -> std::optional<State> {
    if (ui_) ui_->stepDone(row, grid_);
    if (!ok) return fail(QStringLiteral("row %1 (%2, channel %3) was interrupted by a device or instrument fault")
                             .arg(row)
                             .arg(QLatin1String(GridRow(row).caption))
                             .arg(QChar('A' + c)));
    if (stopWanted()) {
      message_ = QStringLiteral("stopped after row %1").arg(row);
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
    // Cells 0..27 from the model file, in one write. Cell 7 (the offset the
    // cold-junction row just stored) is never rewritten; the older
    // generation keeps its cell 8 as well.
    AppState& s = unit_.state();
    s.writeList.reset();
    for (int i = 0; i < 28; ++i) {
      if (i == 7 || (i == 8 && options_.model->olderFixture)) continue;
      s.writeList.push(static_cast<uint8_t>(i), file_.cells[static_cast<size_t>(i)]);
    }
    if (SaveBeforeWrite(unit_) != ConfigResult::Ok) return fail(QStringLiteral("the unit's cells could not be saved before the final programming"));
    unit_.WriteCells(0, s.writeList.queued());
    if (s.commError || !unit_.lastWrite().complete()) return fail(QStringLiteral("the final programming could not be written"));
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
  if (ui_)
    ui_->label(QStringLiteral("COLLAUDO TERMINATO"), end_ == RunEnd::Error ? CellColour::Red : CellColour::Green);
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
