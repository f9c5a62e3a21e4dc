#pragma once
// Every command the program sends to a unit, with the retry rules, the
// Retry/Cancel questions and the busy/progress feedback.
//
// Device states: idle/measuring --"SM"--> stopped --"PR" "OK"--> programming
// --"$FPxx"--> stopped. Cells are read ("$R") and written ("$W") only in
// programming mode. Every routine clears the communication error flag when
// it starts and sets it when it gives up; callers test the flag.
#include "kernel/AppState.h"

#include <QByteArray>
#include <QVector>
#include <array>
#include <vector>

namespace pv {

class Transport;
class Prompter;
class Feedback;

// Result of ReadCells: element i is cell first + i. On failure element 0 is
// 1 and the communication error flag is set.
using CellBytes = std::array<uint8_t, 257>;
// Result of ReadIdentity: [0] 1 on failure, [1] spare byte, [2] device code,
// [3] variant, [4] hardware revision.
using IdentityBytes = std::array<uint8_t, 5>;
// Result of ReadMeasureFrame: [0] 1 on failure, [1..14] the data bytes.
using FrameBytes = std::array<uint8_t, 15>;

class DeviceCommands {
public:
  DeviceCommands(AppState& state, Transport& transport, Prompter& prompter, Feedback& feedback);

  void StopMeasure();
  void StartMeasure();
  // True when the unit answered "OK" CR LF to one of at most three "PR".
  bool EnterProgramming();
  // False when "$FPxx" could not be sent: the unit may still be in
  // programming mode.
  bool EndProgramming();

  CellBytes ReadCells(int bank, int firstAddress, int count);
  // Sends the write list's first count cells; nothing when "PR" fails.
  // A write cut short names the cells that left and those that did not.
  void WriteCells(int bank, int count);
  // What the last WriteCells sent: the addresses that left, those that did
  // not, and whether the unit was taken out of programming mode.
  struct WriteReport {
    std::vector<int> sent, unsent;
    bool closed = true;
    bool complete() const { return unsent.empty() && closed; }
  };
  const WriteReport& lastWrite() const { return lastWrite_; }
  IdentityBytes ReadIdentity();
  // "PR" was sent and no "$FPxx" has left since: the unit may still be in
  // programming mode. "MI" was sent and no "SM" since: it may be streaming.
  bool mayBeProgramming() const { return programmingOpen_; }
  bool mayBeStreaming() const { return streamingOpen_; }
  // Whoever told the user that the unit may be in programming mode says so,
  // so that it is said once.
  void noteProgrammingReported() { programmingReported_ = true; }
  bool programmingReported() const { return programmingReported_; }
  // A write and its read-back are one thing in hand: a stop requested while
  // they run lets both finish (a second request stops them). Entered only
  // when no stop was requested before; a write asked for after a stop is
  // refused by WriteCells itself.
  class WriteInHand {
  public:
    explicit WriteInHand(DeviceCommands& c) : c_(c), was_(c.finishing_) {
      if (c.state_.stopRequests == 0) c.finishing_ = true;
    }
    ~WriteInHand() { c_.finishing_ = was_; }
    WriteInHand(const WriteInHand&) = delete;
    WriteInHand& operator=(const WriteInHand&) = delete;

  private:
    DeviceCommands& c_;
    bool was_;
  };

  // The end of every run: "SM" when a stream may still be running, "$FPxx"
  // when programming mode may still be on. True when the unit is known to
  // be left idle (both sent, or neither needed).
  bool LeaveIdle();
  std::array<int, 4> ReadSwitchState();
  // Position 0 span default, 1..S span points, S+1 zero default, S+2..S+1+Z
  // zero points (S, Z: the table sizes set from the variant). Empty on failure.
  QVector<int> ReadCalibrationTables(int inputType);
  FrameBytes ReadMeasureFrame();
  void SetOutputLevel(int value);
  void SetOutputLevelAlt(int value);

  // Data bytes of a measurement frame for the current identity: 5, 7, 13 or 14.
  int MeasureFrameDataLength() const;

  AppState& state() { return state_; }
  Transport& transport() { return transport_; }
  Prompter& prompter() { return prompter_; }
  Feedback& feedback() { return feedback_; }

private:
  // "COM Port not open" when the port reads closed, else the communication error text.
  QString FailureText() const;
  // The failure text of a write cut short, with the cells sent and not sent.
  QString WriteFailureText() const;
  // Retry/Cancel under the product title; true for Retry.
  bool AskRetry(const QString& text);
  // Discard input, send, pause, discard input, enable the port frame.
  // False when the command could not be sent.
  bool SendAndSettle(const QByteArray& command, double seconds);
  void LeaveProgrammingAfterFailure();
  // One query inside programming mode: three silent attempts with "PR"
  // re-entry, then Retry/Cancel. kErrore when given up; *programmingRefused
  // when "PR" was refused (the error flag is then set).
  QByteArray QueryInProgramming(const QByteArray& command, const QByteArray& answerTemplate,
                                bool* programmingRefused);

  // A stop was asked for (see AppState::stopRequests): no exchange starts,
  // a read ends at once; inside a write in hand only from the second request.
  bool stopping() const { return state_.stopRequests > (finishing_ ? 1 : 0); }

  AppState& state_;
  Transport& transport_;
  Prompter& prompter_;
  Feedback& feedback_;
  WriteReport lastWrite_;
  bool programmingOpen_ = false;
  bool streamingOpen_ = false;
  bool programmingReported_ = false;
  bool finishing_ = false;
};

} // namespace pv
