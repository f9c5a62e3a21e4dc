#pragma once
// One simulated signal conditioner: the device side of the serial protocol.
//
// Bytes from the program go in through receive(), in any chunking; answers
// leave through the sink. The unit has an identity ("$V"), cell memory in
// banks of 256 cells ("$R", "$W", programming mode only), three DIP-switch
// banks ("$D"), span and zero tables per input type ("$S"), the factory
// output commands ("$I", "$i") and measurement streaming ("MI" ... "SM").
//
// States: idle --"MI"--> streaming --"SM"--> idle; any --"PR"--> programming
// --"$FPxx"--> idle. "$R" and "$W" outside programming mode are ignored.
//
// Streamed frames are what the measurement window decodes back: channels
// from bank 0 (or from the switches and tables, as a run derives them), with
// each input sweeping slowly past both ends of its range.
//
// Faults can be injected by name (Faults below), and every command received
// is kept in a transcript so a test can assert the exact bytes.
#include "kernel/AppState.h"
#include "kernel/Catalogue.h"
#include "SimulatedFrame.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>
#include <array>
#include <functional>
#include <map>
#include <optional>

namespace pv::sim {

struct Faults {
  // The next N answers to "$" commands are not sent.
  int dropAnswers = 0;
  // When set, only commands it accepts are dropped (and counted).
  std::function<bool(const QByteArray& command)> dropOnly;
  // Two stray bytes go out before every "$" answer and measurement frame.
  bool garbagePrefix = false;
  // "PR" is answered with "OK" CR (no LF) this many times; -1 always. The
  // unit still enters programming mode: only the answer is malformed.
  int badProgramming = 0;
  // After this many commands the line is cut (-1: never).
  int hangUpAfter = -1;
};

// A span/zero table as the unit stores it (integers, see decimals).
struct CalibrationTable {
  QVector<int> span, zero;
  int spanDefault = 0, zeroDefault = 0;
};

using Bank = std::array<uint8_t, 256>;

class DeviceSimulator {
public:
  using Sink = std::function<void(const QByteArray&)>;

  // A KRV2212A with its factory configuration.
  DeviceSimulator();
  // Becomes the given model with its default memory; false for an unknown id.
  bool setModel(const QString& modelId);
  const ModelRow& model() const { return *model_; }

  // Bytes the unit sends go here.
  void setSink(Sink sink) { sink_ = std::move(sink); }
  // Called once when the line is cut (hang-up fault).
  void setHangUp(std::function<void()> hangUp) { hangUp_ = std::move(hangUp); }
  // Bytes from the program; commands may arrive split or joined.
  void receive(const QByteArray& bytes);

  // Identity. Changing the device code or variant does not rebuild memory.
  const DeviceIdentity& identity() const { return identity_; }
  void setIdentity(const DeviceIdentity& id) {
    identity_ = id;
    channelsDirty_ = true;
  }

  // Cell memory; unknown banks read as erased (255).
  uint8_t cell(int bank, int address) const;
  void setCell(int bank, int address, uint8_t value);
  Bank bank(int bank) const;
  // Puts the model's factory configuration into bank 0.
  void resetMemory();

  std::array<uint8_t, 4> switches() const { return switches_; }
  void setSwitches(const std::array<uint8_t, 4>& s) {
    switches_ = s;
    channelsDirty_ = true;
  }
  // Moves the trip thresholds to 80 % (high) and 20 % (low) of the ranges
  // the unit measures with now, so a switch-configured unit trips too.
  void fitTripsToRanges();

  // The table the unit answers to "$S" t t 0.
  CalibrationTable calibrationTable(int inputType) const;
  // The channels frames are made from, as a run would derive them.
  const std::array<SimulatedChannel, 2>& simulatedChannels();
  // The two output levels last set by "$I" and "$i".
  int outputLevel() const { return outputLevel_; }
  int outputLevelAlt() const { return outputLevelAlt_; }

  bool programming() const { return programming_; }
  bool streaming() const { return streaming_; }
  bool hungUp() const { return hungUp_; }
  // Data bytes of one measurement frame for this identity.
  int frameDataLength() const;
  // The frame the unit sends at the given time: "A", data bytes, CR.
  QByteArray measureFrame(qint64 nowMs);
  // Sends measureFrame() through the sink (with the garbage fault).
  void emitFrame(qint64 nowMs);

  // The bench's hooks: a frame source replaces the swept frame's data bytes
  // (counter byte excluded), and the observer sees each command after the
  // unit has acted on it.
  void setFrameSource(std::function<QByteArray(qint64 nowMs)> source) { frameSource_ = std::move(source); }
  void setCommandObserver(std::function<void(const QByteArray&)> observer) { observer_ = std::move(observer); }

  Faults& faults() { return faults_; }
  const QList<QByteArray>& transcript() const { return transcript_; }
  void clearTranscript() { transcript_.clear(); }

private:
  void execute(const QByteArray& command);
  void answer(const QByteArray& command, const QByteArray& bytes);

  const ModelRow* model_;
  DeviceIdentity identity_;
  std::map<int, Bank> banks_;
  std::array<uint8_t, 4> switches_{};
  Faults faults_;
  Sink sink_;
  std::function<void()> hangUp_;
  std::function<QByteArray(qint64)> frameSource_;
  std::function<void(const QByteArray&)> observer_;
  QByteArray pending_;
  QList<QByteArray> transcript_;
  int commands_ = 0;
  int outputLevel_ = 0, outputLevelAlt_ = 0;
  uint8_t frameCounter_ = 0;
  std::array<SimulatedChannel, 2> channels_;
  bool channelsDirty_ = true;
  bool programming_ = false;
  bool streaming_ = false;
  bool hungUp_ = false;
};

// The table a unit of this variant answers for an input type: the words
// of the demonstration records, so the wizard shows the same values with
// or without a unit.
CalibrationTable MakeCalibrationTable(uint8_t variant, int inputType);

// Channel c's input as a share of its range at a time: a triangle from
// -0.1 to 1.1 and back over a minute, channel B a quarter turn behind.
double SweepFraction(qint64 nowMs, int channel);

// The factory configuration of a model (bank 0), decoding to a sensible
// setup for that model's inputs and outputs.
Bank DefaultMemory(const ModelRow& model, const DeviceIdentity& identity);

// The memory of one particular unit of the model: the factory memory with
// this unit's own calibration (gains, zero trims and output points a little
// off nominal, the same for the same serial number). Serial 0 is the factory
// memory itself, as every unit of the model would read.
Bank WithOwnCalibration(const Bank& factory, const ModelRow& model, const DeviceIdentity& identity, quint32 serial);
// A unit never calibrated: every cell of its fingerprint blank (0).
Bank WithBlankCalibration(const Bank& factory, const ModelRow& model, const DeviceIdentity& identity);

// Printable form of a command for transcripts: printable ASCII as is,
// backslash doubled, CR as \r, LF as \n, other bytes as \xHH.
QByteArray EscapeBytes(const QByteArray& bytes);

} // namespace pv::sim
