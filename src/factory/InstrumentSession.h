#pragma once
// An instrument session: the line link an SCPI instrument is reached
// through, whatever carries it. One kind a file:
//   SerialLineSession   a serial port (the meters and the switching unit on
//                       their COM ports)
//   UsbTmcSession       a USBTMC device file, or a terminal standing in for one
//   ScpiSocketSession   raw SCPI over TCP ("TCPIP::host::port::SOCKET")
//   MemorySession       in memory, for the tests
// A session is made for one resource (ScpiInstrument.h says which kind a
// resource names), then opened within a time-out; it writes one message
// with its end-of-message and reads one line. Every wait is bounded and
// keeps the user interface alive.
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
  // lineEnds: the characters that end an answer (a CR before an LF belongs
  // to the ending).
  InstrumentSession(Clock& clock, QString resource, QByteArray lineEnds = QByteArrayLiteral("\n"),
                    QObject* parent = nullptr);
  ~InstrumentSession() override;

  // Opens the resource, giving up after timeoutMs. On failure errorString()
  // says why.
  virtual bool open(int timeoutMs) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Writes message followed by the end-of-message.
  virtual bool write(const QByteArray& message) = 0;
  // The next line without its ending. Nothing when none came within
  // timeoutMs (timedOut(); partial() holds what came of it), when the link
  // failed, or when the line ran past kMaxReplyBytes (overlong(); no answer
  // is that long, so the session is given up and closed).
  virtual std::optional<QByteArray> readLine(int timeoutMs);
  // Drops what has arrived and not been read: a stale answer.
  virtual void clearInput();

  QString resource() const { return resource_; }
  QString errorString() const { return error_; }
  bool timedOut() const { return fault_ == Fault::TimedOut; }
  bool overlong() const { return fault_ == Fault::Overlong; }
  QByteArray partial() const { return partial_; }
  // How long one write may take to leave completely (a long waveform
  // transfer needs more than the default).
  void setIoTimeoutMs(int ms) { ioTimeoutMs_ = ms; }
  int ioTimeoutMs() const { return ioTimeoutMs_; }

protected:
  Clock& clock() { return clock_; }
  // Moves what has arrived into buffer, without waiting.
  virtual void fill(QByteArray& buffer) = 0;
  // Why a read fails once the session is no longer open.
  virtual QString closedError() const;
  // Waits at most ms through the clock; returns early after wake().
  void waitForNews(qint64 ms);
  // Called by implementations when data, a connection or an error arrives.
  void wake();
  QByteArray& buffer() { return buffer_; }
  // A whole line from the buffer, once one has arrived.
  std::optional<QByteArray> takeLine();
  // Ends a read: by time-out, or with a line too long to be an answer.
  std::optional<QByteArray> failTimeOut();
  std::optional<QByteArray> failOverlong();
  void setError(const QString& e) {
    error_ = e;
    fault_ = Fault::Failed;
  }

private:
  enum class Fault { None, TimedOut, Overlong, Failed };
  class Relay;
  Clock& clock_;
  std::unique_ptr<Relay> relay_;
  QString resource_;
  QByteArray lineEnds_;
  QByteArray buffer_;
  QByteArray partial_;
  QString error_;
  Fault fault_ = Fault::None;
  int ioTimeoutMs_ = 2000;
};

// Makes the session a resource needs (not yet opened); the drivers take one
// so that tests and tools can hand in their own.
using SessionFactory = std::function<std::unique_ptr<InstrumentSession>(const QString& resource)>;

} // namespace pv
