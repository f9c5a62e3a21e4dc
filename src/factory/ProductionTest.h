#pragma once
// The production test bench: the function generator's buttons and
// waveforms, forcing the unit's output DAC codes, the stability watch and
// the frequency-linearity sweep. No widgets; the window binds to this.
//
// The loops (forcing, stability, sweep) run until asked to stop and let the
// event loop turn while they wait, so Stop, closing the window, closing the
// port or leaving the program reach them. Each leaves the unit as it found
// it: forcing ends with "$FP", the measurement loops with "SM". The sweep,
// which switches the generator's output on, switches it off at every end;
// closing the test switches it off too.
#include "factory/FunctionGenerator.h"

#include <QByteArrayList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace pv {

struct AppState;
struct DeviceIdentity;
class DeviceCommands;
class DeviceLink;

// The generator buttons of the production test.
enum class GeneratorButton { On, Off, Frequency, Ttl, Bounce, Tacho };

// The generator's frequency range.
inline constexpr double kGeneratorMinHz = 1e-6;
inline constexpr double kGeneratorMaxHz = 20e6;
// A frequency as the generator is sent it: plain decimal hertz with '.'
// ("1000", "12.5"), or nothing outside the range (or not a number).
std::optional<QByteArray> GeneratorFrequencyText(double hz);
std::optional<QByteArray> GeneratorFrequencyText(const QString& typed);

// The bounce ("Rimbalzo") waveform: 4000 points, "1" or "0".
QStringList BounceWaveform();
// The generator commands one button sends, in order; frequency is the
// frequency field's text as typed. Nothing for a button that sends a
// frequency the generator cannot take.
QByteArrayList GeneratorCommands(GeneratorButton button, const QString& frequency);
// I/O time-out for the bounce transfer: 4000 points are about 8 kB.
inline constexpr int kBounceIoTimeoutMs = 40000;
// "FREQuency f" for a sweep point; a 0 Hz point is sent as 0.001 Hz.
// Empty outside the generator's range.
QByteArray SweepFrequencyCommand(double hz);
// A reading as the window shows it ("##.###").
QString FormatTestReading(double value);
// The reading the stability watch and the sweep compare: channel A's input
// value where the unit's frames carry it, else its output count.
double FrameReading(const DeviceIdentity& id, const std::array<uint8_t, 15>& frame);

// Presses one generator button: a fresh session (with the time-out the
// button's transfer needs), then its commands; stops at the first failure,
// which the driver has reported. A frequency out of range is reported and
// nothing is sent. Returns the number of commands sent, -1 on failure.
int PressGeneratorButton(FunctionGenerator& generator, GeneratorButton button,
                         const QString& frequency);

enum class ForceChannel { A, B, Both };

struct SweepSettings {
  double startHz = 0, endHz = 0, stepHz = 0;
  double delayStepS = 0, delayMeasureS = 0;
  double toleranceHz = 0;
};

class ProductionTest final : public QObject {
  Q_OBJECT
public:
  ProductionTest(AppState& state, DeviceCommands& commands, Clock& clock,
                 FunctionGenerator& generator, QObject* parent = nullptr);

  // With a link, every loop is one exchange of it that the link may stop:
  // a Read or Write pressed meanwhile, closing the port and leaving the
  // program end the loop first. A loop asked for while another exchange
  // runs is refused (the Run* call returns false, nothing is sent).
  void setLink(DeviceLink* link) { link_ = link; }

  // One generator button: a fresh session, then its commands; stops at the
  // first failure (already reported by the driver).
  bool PressGenerator(GeneratorButton button, const QString& frequency);

  // Forces the DAC codes every 0.1 s until stopForcing(). False when the
  // unit would not enter programming mode or stopped answering.
  bool ForceOutputs(ForceChannel which, int codeA, int codeB);
  void stopForcing() { forcing_ = false; }
  bool forcing() const { return forcing_; }

  // Streams measurement frames until the running flag is cleared or a frame
  // fails; readings farther than tolerance from reference are reported.
  bool RunStability(double reference, double tolerance);

  // The frequency sweep; it runs on the measurement running flag, so the
  // stability Stop ends it too. Every reading goes to logPath ("linear.dat")
  // as "f<TAB>reading"; false when the generator or the log failed.
  bool RunLinearity(const SweepSettings& sweep, const QString& logPath);

  // Ends whatever loop runs (window closed, port closed, program exit).
  void stopAll();
  // The test is closed: the loops end and the generator's output goes off
  // (now, or when the loop that holds it ends).
  void close();
  bool looping() const { return loops_ > 0; }
  // The last Run* or ForceOutputs was refused because another exchange ran.
  bool refused() const { return refused_; }
  // The last sweep could not write its log (lastError() says why).
  bool logFailed() const { return logFailed_; }
  QString lastError() const { return error_; }

signals:
  // A line for the result list.
  void resultLine(const QString& line);
  // The sweep's latest reading, formatted.
  void readingShown(const QString& text);
  // The busy lamp's colour, alternating at every stability frame.
  void lampBlink(bool red);

private:
  bool generatorWrite(const QByteArray& command);
  bool exclusive(bool measuring, const std::function<void()>& body);
  bool forceBody(ForceChannel which, int codeA, int codeB);
  void stabilityBody(double reference, double tolerance);
  bool linearityBody(const SweepSettings& sweep, const QString& logPath);
  // "OUTPut OFF" where a generator session is open.
  void generatorOff();

  AppState& state_;
  DeviceCommands& commands_;
  Clock& clock_;
  FunctionGenerator& generator_;
  DeviceLink* link_ = nullptr;
  bool forcing_ = false;
  bool refused_ = false;
  bool logFailed_ = false;
  bool closing_ = false;
  int loops_ = 0;
  QString error_;
};

} // namespace pv
