#include "factory/Verification.h"

#include "records/Recorder.h"

#include <QJsonArray>

#include "kernel/AtomicFile.h"
#include "factory/CalibrationTables.h"
#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "link/Clock.h"
#include "text/Numbers.h"
#include "text/StringTable.h"
#include "text/Texts.h"

#include <cmath>

namespace pv {

namespace {

using C = VerifyInputClass;
constexpr double kAny = 0;  // lowest > highest: no limit

// Function frames and scales per input. The two scale columns are kept as
// the bench sheet lists them; the calibrator is driven by countsPerUnit
// (see the header). The mV limits are the calibrator ranges the list names,
// capped by the unit's own 200 mV and 800 mV input ranges.
const std::array<VerificationInput, 18> kInputs = {{
    {"mVL (-20 : 200)", "mVL", 0, 0, 0, 100, 1, 1000, 1000, "mV", C::Millivolt, -20, 200},
    {"mVH: (-200 : 800)", "mVH", 1, 0, 0, 100, 1, 100, 100, "mV", C::Millivolt, -200, 800},
    {"V", "", 2, 0, 0, 10, 0.001, 10000, 10000, "V", C::Volt, 1, kAny},
    {"mA", "", 3, 0, 0, 10, 0.001, 10000, 10000, "mA", C::Milliamp, 1, kAny},
    {"Tc J", "", 8, 0, 64, 1000, 1, 10, 1000, "Tc J", C::Millivolt, 1, kAny},
    {"Tc K", "", 8, 1, 64, 1000, 1, 10, 1000, "Tc K", C::Millivolt, 1, kAny},
    {"Tc R", "", 8, 4, 64, 1000, 1, 10, 1000, "Tc R", C::Millivolt, 1, kAny},
    {"Tc S", "", 8, 5, 64, 1000, 1, 10, 1000, "Tc S", C::Millivolt, 1, kAny},
    {"Tc T", "", 8, 2, 64, 1000, 1, 10, 1000, "Tc T", C::Millivolt, 1, kAny},
    {"Tc B", "", 8, 6, 64, 1000, 1, 10, 1000, "Tc B", C::Millivolt, 1, kAny},
    {"Tc E", "", 8, 10, 64, 1000, 1, 10, 1000, "Tc E", C::Millivolt, 1, kAny},
    {"Tc N", "", 8, 9, 64, 1000, 1, 10, 1000, "Tc N", C::Millivolt, 1, kAny},
    {"Pt100", "", 9, 15, 64, 1000, 1, 10, 1000, "Pt100", C::Resistance, 1, kAny},
    {"Pt1000", "", 9, 23, 64, 1000, 1, 10, 1000, "Pt1000", C::Resistance, 1, kAny},
    {"Ni100", "", 9, 25, 64, 1000, 1, 10, 1000, "Ni100", C::Resistance, 1, kAny},
    // Simulated on the calibrator's resistance function: typed in ohm.
    {"Ni1000", "", 5, 0, 0, 100, 1, 10, 100, "Ni1000", C::Resistance, 1, kAny},
    {"Ohm", "", 4, 0, 0, 1000, 1, 1000, 1000, "Res", C::Resistance, 1, kAny},
    {"KOhm", "", 5, 0, 0, 100, 1, 100, 100, "Res", C::Resistance, 1, kAny},
}};

// Report lines; the report is the bench's record and reads the same in
// either language.
const QString kInProgress = QStringLiteral("Programmazione in corso...");
const QString kDownloaded = QStringLiteral("Download completato. Programmazioni effettuate:     ");
const QString kSetInstruments = QStringLiteral("Impostare strumentazione");
const QString kCheckUnit = QStringLiteral("Errore: controllare connessioni dispositivo");
const QString kCommError = QStringLiteral("Errore di comunicazione");
const QString kHeader = QStringLiteral("Taratura in corso N\u00b0 : ");
const QString kRange = QStringLiteral(" Range: ");
const QString kTo = QStringLiteral(" \u00f7 ");
const QString kDone1 = QStringLiteral("Taratura dispositivo N\u00b0 ");
const QString kDone2 = QStringLiteral(" : terminata");
constexpr int kRuleLength = 58;

QString Shown(double v) { return QString::number(v, 'g', 10); }

QString Squeezed(QString s) { return s.remove(QLatin1Char(' ')); }

} // namespace

const std::array<VerificationInput, 18>& VerificationInputs() { return kInputs; }

const VerificationInput* FindVerificationInput(const QString& name) {
  const QString wanted = name.trimmed();
  for (const VerificationInput& in : kInputs) {
    const QString listed = QLatin1String(in.name);
    if (wanted.compare(listed, Qt::CaseInsensitive) == 0 ||
        Squeezed(wanted).compare(Squeezed(listed), Qt::CaseInsensitive) == 0 ||
        (in.alias[0] && wanted.compare(QLatin1String(in.alias), Qt::CaseInsensitive) == 0))
      return &in;
  }
  return nullptr;
}

QStringList VerificationModels() {
  QStringList ids;
  for (const CalibrationModel& m : CalibrationModels()) ids << QLatin1String(m.modelId);
  return ids;
}

SupplyCheck CheckSupplyVolts(double volts) {
  // Below 18 V the units do not start; above 30 V they are out of their
  // rating, and a slip of the finger ("240") must not reach them.
  if (!std::isfinite(volts) || volts < kMinSupplyVolts || volts > kMaxSupplyVolts)
    return {QString(), verify_text::kBadSupply};
  return {QString::number(volts, 'f', 2), 0};
}

int CheckInputRange(const VerificationInput& in, double min, double max) {
  if (in.lowest > in.highest) return 0;
  if (min >= in.lowest && max <= in.highest && min <= in.highest && max >= in.lowest) return 0;
  return in.d1 == 0 ? verify_text::kMvlRange : verify_text::kMvhRange;
}

QString ChannelPattern(bool older, int channel) {
  if (older) return channel == 0 ? QStringLiteral("109A110A111A112A113A") : QStringLiteral("109C110A111C112C113A");
  return channel == 0 ? QStringLiteral("101A102A") : QStringLiteral("101C102C");
}

QString InputPattern(bool older, VerifyInputClass wiring) {
  // Millivolt and thermocouple, 10 V, 20 mA, resistance.
  static const char* const kOlder[] = {"101A102A103A104A105A", "101A102A103C104C105A", "101A102C103C104C105C",
                                       "101C102C103C104A105A"};
  static const char* const kNewer[] = {"103A104A105A106A107A", "103A104A105C106C107A", "103C104A105A106C107C",
                                       "103C104C105A106C107A"};
  return QLatin1String((older ? kOlder : kNewer)[static_cast<int>(wiring)]);
}

QString ReportReading(double meterReading, VerifyOutput output) {
  // The meter answers in thousandths of volts or amperes: volts are shown
  // as volts, and thousandths of an ampere are the milliamperes shown.
  const double v = output == VerifyOutput::Volt ? meterReading / 1000 : meterReading;
  return FormatNumber(v, QStringLiteral("00.000"));
}

Verification::Verification(const AppState& state, VerificationInstruments instruments, Clock& clock,
                           Prompter& prompter, QObject* parent)
    : QObject(parent), state_(state), bench_(instruments), clock_(clock), prompter_(prompter) {}

Verification::~Verification() = default;

QString Verification::tr(int id) const { return LoadText(id + state_.languageOffset); }

VerifyResult Verification::refuse(int id) {
  prompter_.ask(ProductTitle(state_), tr(id), Buttons::Ok, Icon::Warning);
  return VerifyResult::Refused;
}

void Verification::setPhase(Phase p) {
  phase_ = p;
  emit phaseChanged(p);
}

void Verification::setReport(const QString& text) {
  report_ = text;
  emit reportChanged(report_);
}

void Verification::addLine(const QString& line) { setReport(report_ + line + QLatin1Char('\n')); }

bool Verification::pause(double seconds) {
  clock_.wait(static_cast<qint64>(seconds * 1000), nullptr);
  return !stopRequested_;
}

void Verification::open() {
  active_ = true;
  count_ = 0;
  setReport(QString());
  setPhase(Phase::Stop);
}

DownloadOutcome Verification::download() {
  if (running_ || downloading_) {
    refuse(verify_text::kBusy);
    return DownloadOutcome::Busy;
  }
  downloading_ = true;
  active_ = true;
  setPhase(Phase::Download);
  setReport(kInProgress);
  const DownloadOutcome outcome = download_ ? download_() : DownloadOutcome::PortClosed;
  downloading_ = false;
  switch (outcome) {
  case DownloadOutcome::Written:
    count_ = static_cast<int16_t>(count_ + 1);
    setPhase(Phase::Ok);
    setReport(kDownloaded + QString::number(count_) + QLatin1Char('\n') + kSetInstruments);
    return outcome;
  case DownloadOutcome::CommError: setReport(kCheckUnit); break;
  case DownloadOutcome::PortClosed: setReport(kCommError); break;
  case DownloadOutcome::NotWritten: setReport(tr(verify_text::kDownloadNotDone)); break;
  case DownloadOutcome::Busy: setReport(tr(verify_text::kBusy)); break;
  }
  // A download that did not happen must not leave the lamp saying it did.
  setPhase(Phase::Stop);
  return outcome;
}

VerifyResult Verification::setSupply(const QString& typed) {
  if (running_) return refuse(verify_text::kBusy);
  const auto volts = ParseReplyNumber(typed.toUtf8());
  const SupplyCheck check = CheckSupplyVolts(volts ? *volts : -1);
  if (check.refusal) return refuse(check.refusal);
  if (!bench_.supply.open()) return VerifyResult::Failed;
  return bench_.supply.SetPowerSupply(true, check.volts) ? VerifyResult::Done : VerifyResult::Failed;
}

VerifyResult Verification::setMeter(VerifyOutput output) {
  if (running_) return refuse(verify_text::kBusy);
  if (output == VerifyOutput::None) return refuse(verify_text::kNoOutput);
  if (!bench_.meter.open()) return VerifyResult::Failed;
  const MeterFunction f = output == VerifyOutput::Curr ? MeterFunction::Curr : MeterFunction::Volt;
  return bench_.meter.SetupMultimeter(true, f) ? VerifyResult::Done : VerifyResult::Failed;
}

VerifyResult Verification::setSwitches(const QString& device, int channel, const VerificationInput* input) {
  if (running_) return refuse(verify_text::kBusy);
  const CalibrationModel* model = device.isEmpty() ? nullptr : FindCalibrationModel(device);
  if (!model) return refuse(verify_text::kNoDevice);
  device_ = QLatin1String(model->modelId);
  if (channel == 1 && !model->channelB) return refuse(verify_text::kNoSecondOutput);
  if (!bench_.switches.open()) return VerifyResult::Failed;
  if (!bench_.switches.SetSwitches(ChannelPattern(model->olderFixture, channel))) return VerifyResult::Failed;
  if (input && !bench_.switches.SetSwitches(InputPattern(model->olderFixture, input->wiring)))
    return VerifyResult::Failed;
  return VerifyResult::Done;
}

VerifyResult Verification::run(const VerifyRun& s) {
  if (running_ || downloading_) return refuse(verify_text::kBusy);
  if (!s.input) return refuse(verify_text::kNoInput);
  if (const int why = CheckInputRange(*s.input, s.min, s.max)) return refuse(why);
  // Checked before anything moves, so a refused run leaves the bench as it was.
  if (s.output == VerifyOutput::None) return refuse(verify_text::kNoOutput);

  running_ = true;
  stopRequested_ = false;
  emit runningChanged(true);
  // Each run is a record of its own: the points as they are read, then the
  // run's report lines.
  const qsizetype reportFrom = report_.size();
  recorder_ = std::make_unique<Recorder>();
  {
    FactoryRecord head;
    head.kind = QString::fromLatin1(kEventVerification);
    head.model = device_;
    if (state_.unitFingerprintFor == state_.identity) head.fingerprint = state_.unitFingerprint;
    head.details = QJsonObject{{"input", QLatin1String(s.input->name)},
                               {"range", QJsonArray{s.min, s.half, s.max}},
                               {"range_unit", QLatin1String(s.input->unit)},
                               {"output", s.output == VerifyOutput::Curr ? "mA" : "V"},
                               {"count", count_},
                               {"instruments", QJsonArray{QJsonObject{{"name", bench_.calibrator.name()},
                                                                      {"selector", bench_.calibrator.selector()}},
                                                          QJsonObject{{"name", bench_.meter.name()},
                                                                      {"selector", bench_.meter.selector()}}}}};
    recorder_->begin(head);
  }
  int seq = 0;
  const VerifyResult result = [&] {
    const VerificationInput& in = *s.input;
    const MeterFunction f = s.output == VerifyOutput::Curr ? MeterFunction::Curr : MeterFunction::Volt;
    Calibrator& cal = bench_.calibrator;
    Multimeter& meter = bench_.meter;
    if (!cal.open()) return VerifyResult::Failed;
    const CalData frame{static_cast<uint8_t>(in.d1), static_cast<uint8_t>(in.d2), 0, static_cast<uint8_t>(in.d4)};
    // By hand the frame sends nothing: the operator is told the function.
    if (cal.isManual())
      prompter_.ask(ProductTitle(state_), QStringLiteral("Cal = ") + QLatin1String(in.name), Buttons::Ok,
                    Icon::Information);
    else if (!cal.CalibratorExchange(kCalAddress, kCalSetFunction, frame))
      return VerifyResult::Failed;
    if (!cal.SetCalibratorOutput(0)) return VerifyResult::Failed;
    scale_ = in.verificationScale;
    if (!pause(1)) return VerifyResult::Stopped;
    if (!meter.open() || !meter.SetupMultimeter(true, f)) return VerifyResult::Failed;

    const QString unit = s.output == VerifyOutput::Curr ? QStringLiteral("mA") : QStringLiteral("V");
    setReport(report_ + QLatin1Char('\n'));
    addLine(kHeader + QString::number(count_) + QLatin1Char(' ') + QLatin1String(in.name) + kRange + Shown(s.min) + kTo +
            Shown(s.max) + QLatin1Char(' ') + QLatin1String(in.unit));
    const struct {
      double point;
      const char* label;
    } points[] = {{s.min, "Valore di zero: "}, {s.half, "Valore di 1/2 scala: "}, {s.max, "Valore di span: "}};
    for (const auto& p : points) {
      if (!pause(3)) return VerifyResult::Stopped;
      if (!cal.SetCalibratorOutput(std::round(p.point * in.countsPerUnit))) return VerifyResult::Failed;
      if (!pause(2)) return VerifyResult::Stopped;
      const auto reading = meter.ReadMultimeter();
      if (!reading) return VerifyResult::Failed;
      lastReading_ = *reading;
      addLine(QLatin1String(p.label) + ReportReading(*reading, s.output) + QLatin1Char(' ') + unit);
      FactoryRow row;
      row.seq = seq++;
      row.step = QStringLiteral("%1 %2 %3").arg(QLatin1String(in.name)).arg(Shown(p.point)).arg(QLatin1String(in.unit));
      row.item = QString::fromLatin1(p.label).section(QLatin1Char(':'), 0, 0);
      // As the report shows it, in its unit.
      row.text = ReportReading(*reading, s.output);
      row.value = row.text.toDouble();
      row.unit = unit;
      recorder_->put({row});
    }
    if (!meter.MultimeterBeep()) return VerifyResult::Failed;
    addLine(kDone1 + QString::number(count_) + kDone2);
    addLine(QString(kRuleLength, QLatin1Char('_')));
    if (!meter.SetupMultimeter(false, f)) return VerifyResult::Failed;
    return VerifyResult::Done;
  }();
  if (result == VerifyResult::Stopped) addLine(tr(verify_text::kStopped));
  recorder_->head().details.insert(QStringLiteral("report"), report_.mid(reportFrom).trimmed());
  // A verification reads; it does not judge: a run that completed is "done".
  recorder_->finish(QString::fromLatin1(result == VerifyResult::Done      ? kOutcomeDone
                                        : result == VerifyResult::Stopped ? kOutcomeStopped
                                                                          : kOutcomeError));
  recorder_.reset();
  running_ = false;
  emit runningChanged(false);
  return result;
}

VerifyResult Verification::stop(const QString& typedSupply) {
  stopRequested_ = true;
  active_ = false;
  setPhase(Phase::Stop);
  // The supply goes off at the voltage it was set to; the voltage only
  // matters to a supply that ignores the output command.
  const auto volts = ParseReplyNumber(typedSupply.toUtf8());
  const SupplyCheck check = CheckSupplyVolts(volts ? *volts : -1);
  const QString text = check.refusal ? QStringLiteral("24.00") : check.volts;
  if (!bench_.supply.open()) return VerifyResult::Failed;
  return bench_.supply.SetPowerSupply(false, text) ? VerifyResult::Done : VerifyResult::Failed;
}

bool Verification::saveReport(const QString& path, QString* why) const {
  return SaveAtomically(path, report_.toUtf8(), why);
}

} // namespace pv
