#pragma once
// Calibration verification: after calibration the unit is programmed with
// its customer configuration and its transfer function is checked end to
// end. The calibrator applies the range's minimum, half scale and maximum,
// the multimeter reads the unit's output, and a text report records the
// readings.
//
// Steps of a verification ("Set cal."):
//   1. an input must be chosen, and its range must suit it (mVL, mVH)
//   2. calibrator function frame (1, 0x80, D1, D2, 0, D4), output 0, 1 s
//   3. meter REM and VOLT or CURR for the output
//   4. report header: count, input, range and unit
//   5. min, half, max: 3 s, calibrator value, 2 s, meter reading, one line
//   6. meter beep, the "terminata" line and a rule of 58 "_"
//   7. meter back to front-panel control (LOC)
// A check that fails stops the sequence with a message and leaves the
// instruments as they are; so does an instrument failure (already shown by
// its driver). STOP ends a run at its next point.
//
// Downloading the configuration ("Prog. dispositivo") is the host's write
// routine, handed in as a function: the unit is written exactly as the
// configuration window's Write does.
#include "factory/Calibrator.h"
#include "factory/Multimeter.h"
#include "factory/PowerSupply.h"
#include "factory/SwitchingUnit.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace pv {

class Recorder;

struct AppState;
class Clock;
class Prompter;

// The wiring an input needs on the unit's input terminals.
enum class VerifyInputClass { Millivolt, Volt, Milliamp, Resistance };

// One entry of the calibrator input list.
struct VerificationInput {
  const char* name;       // list text, exactly as shown
  const char* alias;      // short name for the command line ("" when the name is short)
  int d1, d2, d4;         // calibrator function frame (1, 0x80, D1, D2, 0, D4)
  double calibratorScale;
  double readingScale;
  int verificationScale;
  // Calibrator counts per unit of the typed range: what reaches the
  // calibrator for a point. The function's count is 1 uV (D1 0), 10 uV (1),
  // 0.1 mV (2), 0.1 uA (3), 1 mOhm (4), 10 mOhm (5) or 0.001 degC (8, 9),
  // and the range is typed in mV, V, mA, degC or ohm.
  double countsPerUnit;
  const char* unit;       // unit text of the report
  VerifyInputClass wiring;
  // Range the input accepts; empty limits (min > max) accept anything.
  double lowest, highest;
};
const std::array<VerificationInput, 18>& VerificationInputs();
// By list text or alias (case-insensitive); nullptr when unknown.
const VerificationInput* FindVerificationInput(const QString& name);

// The fourteen models of the device list, in list order.
QStringList VerificationModels();

enum class VerifyOutput { None, Volt, Curr };

// Texts of this window shown in messages and the report.
namespace verify_text {
inline constexpr int kTitle = 280;           // "Verifica taratura"
inline constexpr int kSetupTitle = 281;      // "Impostazione strumenti"
inline constexpr int kBadSupply = 282;       // "Valore di alimentazione errato!"
inline constexpr int kNoOutput = 283;        // "Impostare tipo di uscita"
inline constexpr int kNoDevice = 284;        // "Selezionare dispositivo da verificare"
inline constexpr int kNoSecondOutput = 285;  // "secondo canale di uscita non tarabile"
inline constexpr int kNoInput = 286;         // "Impostare calibratore"
inline constexpr int kMvlRange = 287;        // "...per mVL; selezionare ingresso mVH"
inline constexpr int kMvhRange = 288;        // "...per mVH; selezionare ingresso V"
inline constexpr int kPortClosed = 289;      // "Porta Com non aperta"
inline constexpr int kSaveReport = 290;      // "Salva report"
inline constexpr int kCannotSave = 291;      // file, reason
inline constexpr int kDownloadNotDone = 292; // the write ended without writing
inline constexpr int kBusy = 293;            // a run or download is under way
inline constexpr int kReportFilter = 294;    // save dialog filter
inline constexpr int kBadNumber = 295;       // field, text
inline constexpr int kStopped = 296;         // run stopped by STOP
} // namespace verify_text

// Lowest supply the units start on, and the highest they stand.
inline constexpr double kMinSupplyVolts = 18;
inline constexpr double kMaxSupplyVolts = 30;

// The supply voltage as the supply takes it ("24" gives "24.00"), or the
// message id that refuses it.
struct SupplyCheck {
  QString volts;
  int refusal = 0;  // 0 when accepted
};
SupplyCheck CheckSupplyVolts(double volts);

// Whether a range suits its input: 0, or the message id that refuses it.
int CheckInputRange(const VerificationInput& input, double min, double max);

// Switch patterns: the channel routing, then the wiring of the input.
QString ChannelPattern(bool olderFixture, int channel);
QString InputPattern(bool olderFixture, VerifyInputClass wiring);

// The reading as the report shows it, in the output's unit (V or mA; the
// meter gives thousandths of the base unit): "00.000".
QString ReportReading(double meterReading, VerifyOutput output);

struct VerificationInstruments {
  PowerSupply& supply;
  Calibrator& calibrator;
  Multimeter& meter;
  SwitchingUnit& switches;
};

// What the host's write routine reports.
enum class DownloadOutcome {
  Written,     // written and read back
  CommError,   // the unit did not answer as it should
  NotWritten,  // a check or the user ended the write; nothing was written
  PortClosed,  // the unit's port is not open
  Busy,        // another exchange holds the unit's link
};

// The run's settings ("Set cal.").
struct VerifyRun {
  const VerificationInput* input = nullptr;
  double min = 0, half = 0, max = 0;
  VerifyOutput output = VerifyOutput::None;
};

enum class VerifyResult {
  Done,
  Refused,  // a check refused the request (message shown)
  Failed,   // an instrument failed (shown by its driver)
  Stopped,  // STOP during the run
  Busy,     // another run or download is under way
};

class Verification final : public QObject {
  Q_OBJECT
public:
  enum class Phase { Stop, Download, Ok };

  Verification(const AppState& state, VerificationInstruments instruments, Clock& clock,
               Prompter& prompter, QObject* parent = nullptr);
  ~Verification() override;

  // The host's write routine for "Prog. dispositivo".
  void setDownload(std::function<DownloadOutcome()> download) { download_ = std::move(download); }

  // The window opens: "STOP", red lamp, active, report empty, count 0.
  void open();
  // "Prog. dispositivo".
  DownloadOutcome download();
  // "Set alim.": volts as typed in the field.
  VerifyResult setSupply(const QString& typed);
  // "Set mult.".
  VerifyResult setMeter(VerifyOutput output);
  // "Set Un.Sw.": device is a model code ("" when none is chosen), input
  // the chosen input or nullptr (then only the channel is routed).
  VerifyResult setSwitches(const QString& device, int channel, const VerificationInput* input);
  // "Set cal.": the verification run.
  VerifyResult run(const VerifyRun& settings);
  // STOP: ends a running verification at its next point, switches the
  // supply off and clears the verification state.
  VerifyResult stop(const QString& typedSupply);
  bool running() const { return running_; }
  // Ends a running verification at its next point; nothing else changes.
  void requestStop() { stopRequested_ = running_; }

  Phase phase() const { return phase_; }
  bool active() const { return active_; }
  int count() const { return count_; }
  int verificationScale() const { return scale_; }
  double lastReading() const { return lastReading_; }
  QString report() const { return report_; }
  // "Salva report": the report as text; false (and why) when not saved.
  bool saveReport(const QString& path, QString* why) const;

signals:
  void reportChanged(const QString& text);
  void phaseChanged(Phase phase);
  void runningChanged(bool running);

private:
  VerifyResult refuse(int id);
  void setPhase(Phase p);
  void setReport(const QString& text);
  void addLine(const QString& line);
  bool pause(double seconds);
  QString tr(int id) const;

  const AppState& state_;
  VerificationInstruments bench_;
  Clock& clock_;
  Prompter& prompter_;
  std::function<DownloadOutcome()> download_;
  Phase phase_ = Phase::Stop;
  bool active_ = false;
  int count_ = 0;
  int scale_ = 0;
  double lastReading_ = 0;
  QString report_;
  bool running_ = false;
  bool downloading_ = false;
  bool stopRequested_ = false;
  QString device_;                     // the model the switches were set for
  std::unique_ptr<Recorder> recorder_;  // each run's record, opened at the run
};

} // namespace pv
