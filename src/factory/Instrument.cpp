#include "factory/Instrument.h"

#include "factory/InstrumentSession.h"
#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "link/Clock.h"
#include "link/SerialPort.h"
#include "text/Texts.h"

#include <QLoggingCategory>
#include <charconv>
#include <cmath>

Q_DECLARE_LOGGING_CATEGORY(lcInstr)

namespace pv {

using namespace instrument_text;

QString InstrumentName(const AppState& state, InstrumentKind kind) {
  return Tr(state, kNames + static_cast<int>(kind));
}

std::optional<double> ParseReplyNumber(const QByteArray& text) {
  QByteArray t = text.trimmed();
  if (t.startsWith('+')) t.remove(0, 1);
  // One sign at most: "+-5" is not a reading.
  if (t.isEmpty() || t.startsWith('+') || (text.trimmed().startsWith('+') && t.startsWith('-'))) return std::nullopt;
  double v = 0;
  const char* begin = t.constData();
  const char* end = begin + t.size();
  const auto [ptr, ec] = std::from_chars(begin, end, v, std::chars_format::general);
  if (ec != std::errc() || ptr != end || !std::isfinite(v)) return std::nullopt;
  return v;
}

QString ShownReply(const QByteArray& bytes) {
  QString out;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F)
      out += QLatin1Char(c);
    else
      out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
  }
  return out;
}

Instrument::Instrument(InstrumentKind kind, Bench& bench, SerialPort* port, qint32 baud, SelectorRules rules)
    : kind_(kind), bench_(bench), port_(port), baud_(baud), rules_(rules), where_(rules({})) {}

Instrument::Exchange::Exchange(Instrument& owner) : owner_(owner), held_(!owner.busy_) {
  if (held_)
    owner_.busy_ = true;
  else
    owner_.setLastError(owner_.tr(kBusy).arg(owner_.name()));
}

Instrument::Exchange::~Exchange() {
  if (held_) owner_.busy_ = false;
}

QString Instrument::tr(int id) const { return Tr(bench_.state, id); }

QString Instrument::name() const { return InstrumentName(bench_.state, kind_); }

QString Instrument::place() const { return where_.target.isEmpty() ? where_.text : where_.target; }

bool Instrument::open() {
  if (busy_) {
    setLastError(tr(kBusy).arg(name()));
    return false;
  }
  return openLink();
}

bool Instrument::openLink() {
  const InstrumentPort& p = where_;
  if (p.kind == PortKind::Manual) return true;
  if (p.kind != PortKind::Serial || !port_) return fail(tr(kBadPort).arg(name(), p.text));
  if (port_->isOpen() && !port_->hasError() && openPath_ == p.target) return true;
  port_->close();
  port_->setBaudRate(baud_);
  OpenError why = OpenError::None;
  QString detail;
  if (!port_->open(p.target, &why, &detail)) {
    openPath_.clear();
    return fail(tr(kCannotOpen).arg(name(), p.target, detail));
  }
  openPath_ = p.target;
  return true;
}

void Instrument::close() {
  if (!busy_) closeLink();
}

void Instrument::closeLink() {
  if (port_) port_->close();
  openPath_.clear();
}

bool Instrument::send(const QByteArray& bytes) {
  if (!port_ || !port_->isOpen()) return failComm(QStringLiteral("port not open"));
  qCDebug(lcInstr) << name() << "out" << bytes.toHex(' ');
  if (!port_->write(bytes)) return failComm(QStringLiteral("write failed"));
  return true;
}

void Instrument::pause(double seconds) {
  const qint64 start = bench_.clock.nowMs();
  const qint64 span = std::llround(seconds * 1000.0);
  for (qint64 e = 0; e < span; e = bench_.clock.nowMs() - start) bench_.clock.wait(span - e, nullptr);
}

QByteArray Instrument::takeInput() { return port_ ? port_->readAll() : QByteArray(); }

void Instrument::discardInput() {
  if (port_) port_->readAll();
}

bool Instrument::collect(QByteArray& buffer, const std::function<bool(const QByteArray&)>& done,
                         qint64 limitMs) {
  const qint64 start = bench_.clock.nowMs();
  for (;;) {
    buffer += takeInput();
    if (done(buffer)) return true;
    // No answer is this long: what streams on is not one.
    if (buffer.size() > kMaxReplyBytes) return false;
    if (!port_ || !port_->isOpen() || port_->hasError()) return false;
    const qint64 left = limitMs - (bench_.clock.nowMs() - start);
    if (left <= 0) return false;
    bench_.clock.wait(left, port_);
  }
}

bool Instrument::askRetry() {
  const Answer a = bench_.prompter.ask(ProductTitle(bench_.state),
                                       tr(kSilent).arg(name(), place()), Buttons::RetryCancel,
                                       Icon::Warning);
  if (a == Answer::Retry) return true;
  setLastError(tr(kSilent).arg(name(), place()));
  return false;
}

bool Instrument::awaitAnswer(QByteArray& buffer,
                             const std::function<bool(const QByteArray&)>& done) {
  for (;;) {
    if (collect(buffer, done, bench_.answerLimitMs)) return true;
    if (!port_ || !port_->isOpen() || port_->hasError())
      return failComm(QStringLiteral("the port failed"));
    if (!askRetry()) return false;
  }
}

void Instrument::tell(const QString& text) {
  bench_.prompter.ask(ProductTitle(bench_.state), text, Buttons::Ok, Icon::Information);
}

std::optional<QString> Instrument::askReading(const QString& prompt) {
  auto typed = bench_.prompter.askText(ProductTitle(bench_.state), prompt, QString());
  if (!typed) setLastError(prompt + QStringLiteral(": cancelled"));
  return typed;
}

std::optional<double> Instrument::typedNumber(const QString& text) {
  auto v = ParseReplyNumber(text.toUtf8());
  if (!v) fail(tr(kNotNumber).arg(text));
  return v;
}

bool Instrument::fail(const QString& text) {
  lastError_ = text;
  bench_.prompter.ask(ProductTitle(bench_.state), text, Buttons::Ok, Icon::Critical);
  return false;
}

bool Instrument::failComm(const QString& detail) {
  return fail(tr(kCommError).arg(name(), place(), detail));
}

} // namespace pv
