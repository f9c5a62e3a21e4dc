#include "factory/InstrumentSession.h"

#include "link/Clock.h"
#include "link/SerialPort.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcInstr, "factory.instr", QtWarningMsg)

namespace pv {

// The clock's waits wake on a port's signals; a session's news reach them
// through this stand-in, which carries no data of its own.
class InstrumentSession::Relay final : public SerialPort {
public:
  bool open(const QString&, OpenError* why, QString*) override {
    if (why) *why = OpenError::Other;
    return false;
  }
  void close() override {}
  bool isOpen() const override { return true; }
  bool write(const QByteArray&) override { return false; }
  QByteArray readAll() override { return {}; }
  void clear() override {}
  bool hasError() const override { return false; }
  void poke() { emit readyRead(); }
};

InstrumentSession::InstrumentSession(Clock& clock, QString resource, QByteArray lineEnds, QObject* parent)
    : QObject(parent), clock_(clock), relay_(std::make_unique<Relay>()), resource_(std::move(resource)),
      lineEnds_(std::move(lineEnds)) {}

InstrumentSession::~InstrumentSession() = default;

void InstrumentSession::waitForNews(qint64 ms) { clock_.wait(ms, relay_.get()); }

void InstrumentSession::wake() { relay_->poke(); }

QString InstrumentSession::closedError() const { return QStringLiteral("session not open"); }

std::optional<QByteArray> InstrumentSession::takeLine() {
  qsizetype end = -1;
  for (qsizetype i = 0; i < buffer_.size() && end < 0; ++i)
    if (lineEnds_.contains(buffer_[i])) end = i;
  if (end < 0) return std::nullopt;
  QByteArray line = buffer_.left(end);
  buffer_.remove(0, end + 1);
  if (line.endsWith('\r')) line.chop(1);
  qCDebug(lcInstr) << resource_ << "in" << line;
  return line;
}

std::optional<QByteArray> InstrumentSession::failTimeOut() {
  partial_ = buffer_;
  error_ = QStringLiteral("time-out");
  fault_ = Fault::TimedOut;
  return std::nullopt;
}

std::optional<QByteArray> InstrumentSession::failOverlong() {
  partial_ = buffer_;
  buffer_.clear();
  close();
  error_ = QStringLiteral("an answer longer than %1 bytes").arg(kMaxReplyBytes);
  fault_ = Fault::Overlong;
  return std::nullopt;
}

std::optional<QByteArray> InstrumentSession::readLine(int timeoutMs) {
  const qint64 start = clock_.nowMs();
  partial_.clear();
  fault_ = Fault::None;
  for (;;) {
    fill(buffer_);
    if (std::optional<QByteArray> line = takeLine()) return line;
    if (buffer_.size() > kMaxReplyBytes) return failOverlong();
    if (!isOpen()) {
      setError(closedError());
      return std::nullopt;
    }
    const qint64 left = timeoutMs - (clock_.nowMs() - start);
    if (left <= 0) return failTimeOut();
    waitForNews(left);
  }
}

void InstrumentSession::clearInput() {
  fill(buffer_);
  buffer_.clear();
}

} // namespace pv
