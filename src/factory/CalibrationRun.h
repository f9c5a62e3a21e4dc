#pragma once
// The factory calibration run: one unit from power-on to its final
// programming, as a plain sequence of states.
//
//   Prepare      label "COLLAUDO IN CORSO", grid cleared (unless resuming),
//                model file read, instrument links opened
//   PowerUp      supply 24.00 V, meter REM/VOLT, meter route
//   Consumption  three supply stages, Abort/Retry/Ignore on a wrong current
//   LoadDefault  the model file's 256 cells ("Carica Default")
//   Identity     "$V"
//   Backup       the unit's configuration and factory cells read and saved
//                to the record store before the run writes a cell: after
//                Identity, or before LoadDefault (with a "$V" of its own)
//   Switches     DIP switches all ON, then all OFF
//   ChannelA     output pair read, output range, route, the channel's steps
//   ChannelB     the same for channel B
//   Finish       final programming (normal and stopped ends), label
//   End          "COLLAUDO TERMINATO" (red after an error or a failed row,
//                with the number of failed rows), beep, supply off
//
// The factory cells read in Backup name the unit in the grid
// (CalibrationUnit). "Riprendi" goes from PowerUp through Backup straight
// to ChannelA and skips the rows already green, only on a grid of this
// model and of this unit as the grid's run left it; any other grid is
// refused before a cell is written. STOP is honoured after the step that
// runs. One run at a time: a second start while one runs is refused. It
// ends Normal, Stopped or Error (RunEnd).
#include "factory/CalibrationSetup.h"
#include "factory/CalibrationUnit.h"
#include "kernel/RunEnd.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace pv {

class Clock;
class DeviceCommands;
class Prompter;

// What a model button sets: its rows, channels and options.
CalibrationOptions OptionsForModel(const CalibrationModel& model);

// "normal", "stopped" or "error", as the command line reports the end.
const char* RunEndName(RunEnd e);

// The model file: one decimal cell value a line, line n + 1 for cell n.
struct ModelFile {
  std::vector<uint8_t> cells;  // 256 values when loaded
  QString path;
  QString error;               // empty when loaded
};
inline constexpr int kModelFileCells = 256;
// Looks for "<MODEL>.dat" in each folder in turn; the first one found is
// read, and must hold 256 whole numbers 0..255.
ModelFile LoadModelFile(const QString& modelId, const QStringList& dirs);
// The working directory, then the installed data folder, then the build
// tree's copy.
QStringList DefaultModelDirs();

class CalibrationSteps;

class CalibrationRun {
public:
  CalibrationRun(DeviceCommands& unit, CalibrationInstruments instruments, Clock& clock,
                 Prompter& prompter, CalibrationUi* ui = nullptr);
  ~CalibrationRun();

  // START (resume false) or "Riprendi" (resume true).
  RunEnd start(const CalibrationOptions& options, bool resume);
  // STOP: the run ends after the step that runs now.
  void requestStop() { stopRequested_ = true; }
  // Polled with the stop request (the command line's interrupt).
  void setStopPoll(std::function<bool()> poll) { stopPoll_ = std::move(poll); }
  // Boxes changed while the run goes on: the rows not yet reached and the
  // options read later take the new values. The model stays; the options
  // that need the model file count only when the run has read it.
  void updateOptions(const CalibrationOptions& options);

  // ON and OFF.
  bool powerOn();
  bool powerOff();

  CalibrationGrid& grid() { return grid_; }
  const CalibrationGrid& grid() const { return grid_; }
  // Why the last run ended as it did (empty on a normal end).
  QString message() const { return message_; }
  // The last "Riprendi" was refused: its grid is another unit's or model's.
  bool resumeRefused() const { return resumeRefused_; }

private:
  enum class State { Prepare, PowerUp, Consumption, Backup, LoadDefault, Identity, Switches, ChannelA,
                     ChannelB, Finish, ErrorEnd, End, Done };
  State prepare(bool resume);
  State powerUp(bool resume);
  State consumption();
  State backup();
  State loadDefault();
  State identity();
  State switches();
  State channel(int c);
  State finish();
  State errorEnd();
  void end();
  bool stopWanted() const;
  State fail(const QString& why);

  DeviceCommands& unit_;
  CalibrationInstruments bench_;
  Clock& clock_;
  Prompter& prompter_;
  CalibrationUi* ui_;
  CalibrationOptions options_;
  CalibrationGrid grid_;
  ModelFile file_;
  CalibrationUnit factoryCells_;
  std::array<double, 2> outputPair_{};
  RunEnd end_ = RunEnd::Normal;
  QString message_;
  bool running_ = false;
  bool resume_ = false;
  bool resumeRefused_ = false;
  bool identityKnown_ = false;  // "$V" answered in this run
  bool identityDone_ = false;   // the Identity step ran
  bool backedUp_ = false;       // Backup saved the unit's cells
  bool stopRequested_ = false;
  std::function<bool()> stopPoll_;
  std::unique_ptr<CalibrationSteps> steps_;
};

} // namespace pv
