#pragma once
// The lowest layer of the device link: write a command, collect the answer
// that matches a template, wait, pause. Failures come back in band as the
// words "timeout" and "errore".
//
// An answer template gives the first character of a valid answer and its
// exact length including the line ending; its other characters are '#'.
// A candidate is accepted when it ends in CR LF (or in CR in CR-only mode).
#include <QByteArray>

namespace pv {

class SerialPort;
class Clock;

inline const QByteArray kTimeout = QByteArrayLiteral("timeout");
inline const QByteArray kErrore = QByteArrayLiteral("errore");

// Finds the last candidate in collected that matches the template; empty
// when none does. Pure, so the scan can be tested and benchmarked alone.
QByteArray MatchAnswer(const QByteArray& collected, const QByteArray& answerTemplate, bool crOnly);

class Transport {
public:
  Transport(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

  // Writes cmd (nothing when empty) and waits up to timeoutSec for an answer
  // matching the template. Returns the answer, kTimeout or kErrore.
  QByteArray SendAndWait(const QByteArray& cmd, const QByteArray& answerTemplate,
                         int timeoutSec, bool crOnly = false);
  // Waits the given seconds, keeping the user interface alive.
  void Pause(double seconds);
  // Reads and drops whatever the port has received.
  void DiscardInput();
  // Clears the receive buffer.
  void ClearInput();
  // Writes without waiting for an answer; false when the port failed.
  bool Send(const QByteArray& bytes);
  // Reads and removes what has arrived.
  QByteArray ReadInput();

  bool isOpen() const;
  SerialPort& port() { return port_; }
  Clock& clock() { return clock_; }

private:
  SerialPort& port_;
  Clock& clock_;
};

} // namespace pv
