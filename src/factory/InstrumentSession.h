#pragma once
// An instrument session: the message link to a USB or network instrument
// (the multimeter's USB path and the function generator). Three operations:
// open a resource within a time-out, write one message with end-of-message,
// read one line. Every wait is bounded and keeps the user interface alive.
//
// Resources:
//   TCPIP::host::port::SOCKET   raw SCPI over TCP (TCPIP::host::SOCKET uses
//                               port 5025); TCPIP0:: and the like work too
//   /dev/usbtmcN or any path    a USBTMC device file (Linux), or a terminal
// UsbDevice1 and Usb1..Usb4 become one of these in ResolveUsbResource.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace pv {

class Clock;

// The longest answer an instrument gives: a line longer than this is no
// reply (a stream of garbage, a wrong port) and fails the read instead of
// filling memory.
inline constexpr qsizetype kMaxReplyBytes = 4096;

class InstrumentSession : public QObject {
  Q_OBJECT
public:
  explicit InstrumentSession(Clock& clock, QObject* parent = nullptr);
  ~InstrumentSession() override;

  // Opens the resource, giving up after timeoutMs. On failure errorString()
  // says why.
  virtual bool open(const QString& resource, int timeoutMs) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Writes message followed by the end-of-message (a newline).
  virtual bool write(const QByteArray& message) = 0;
  // The next line without its ending; nothing when none came within
  // timeoutMs (errorString() then says "time-out"), the link failed or the
  // line ran past kMaxReplyBytes.
  virtual std::optional<QByteArray> readLine(int timeoutMs) = 0;

  QString resource() const { return resource_; }
  QString errorString() const { return error_; }
  // True when the last readLine failed by time-out rather than by a fault.
  bool timedOut() const { return timedOut_; }
  // How long one write may take to leave completely (a long waveform
  // transfer needs more than the default).
  void setIoTimeoutMs(int ms) { ioTimeoutMs_ = ms; }
  int ioTimeoutMs() const { return ioTimeoutMs_; }

protected:
  Clock& clock() { return clock_; }
  // Waits at most ms through the clock; returns early after wake().
  void waitForNews(qint64 ms);
  // Called by implementations when data, a connection or an error arrives.
  void wake();
  // The read loop every session shares: take() gives a whole line when one
  // has arrived; while none has, a closed session fails with closedError()
  // and the time-out fails as a time-out; otherwise wait for news.
  std::optional<QByteArray> awaitLine(int timeoutMs, const std::function<std::optional<QByteArray>()>& take,
                                      const std::function<QString()>& closedError);
  void setResource(const QString& r) { resource_ = r; }
  void setError(const QString& e, bool timedOut = false) {
    error_ = e;
    timedOut_ = timedOut;
  }

private:
  class Relay;
  Clock& clock_;
  std::unique_ptr<Relay> relay_;
  QString resource_;
  QString error_;
  bool timedOut_ = false;
  int ioTimeoutMs_ = 2000;
};

// Makes the session kind a resource needs (not yet opened); used by the
// drivers so tests and tools can hand in their own.
using SessionFactory = std::function<std::unique_ptr<InstrumentSession>(const QString& resource)>;

// The real kinds: a raw SCPI socket for TCPIP resources, a device-file session
// for paths; nothing for a resource kind this program cannot reach.
std::unique_ptr<InstrumentSession> MakeSession(const QString& resource, Clock& clock);
SessionFactory RealSessions(Clock& clock);

// "TCPIP::host::port::SOCKET" -> host and port; false when not such a resource.
bool ParseSocketResource(const QString& resource, QString* host, quint16* port);

} // namespace pv
