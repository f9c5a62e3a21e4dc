#include "link/Transport.h"
#include "link/Clock.h"
#include "link/SerialPort.h"

#include <cmath>

namespace pv {

QByteArray MatchAnswer(const QByteArray& collected, const QByteArray& answerTemplate, bool crOnly) {
  if (answerTemplate.isEmpty()) return {};
  const qsizetype len = answerTemplate.size();
  const char first = answerTemplate[0];
  QByteArray found;
  // Every position is tried and a later match replaces an earlier one, so
  // stale text before the answer is skipped and the newest frame wins.
  for (qsizetype k = 0; k + len <= collected.size(); ++k) {
    if (collected[k] != first) continue;
    const char* c = collected.constData() + k;
    const bool ok = crOnly ? c[len - 1] == '\r'
                           : (len >= 2 && c[len - 2] == '\r' && c[len - 1] == '\n');
    if (ok) found = QByteArray(c, len);
  }
  return found;
}

bool Transport::isOpen() const { return port_.isOpen(); }

QByteArray Transport::SendAndWait(const QByteArray& cmd, const QByteArray& answerTemplate,
                                  int timeoutSec, bool crOnly) {
  const qint64 start = clock_.nowMs();
  if (!port_.isOpen() || port_.hasError()) return kErrore;
  if (!cmd.isEmpty() && !port_.write(cmd)) return kErrore;
  const qint64 limit = static_cast<qint64>(timeoutSec) * 1000;
  QByteArray collected;
  for (;;) {
    if (!port_.isOpen()) return kErrore;
    // An answer that arrived before the line failed still counts.
    collected += port_.readAll();
    QByteArray answer = MatchAnswer(collected, answerTemplate, crOnly);
    if (!answer.isEmpty()) return answer;
    if (port_.hasError()) return kErrore;
    const qint64 elapsed = clock_.nowMs() - start;
    if (elapsed >= limit) return kTimeout;
    clock_.wait(limit - elapsed, &port_);
  }
}

void Transport::Pause(double seconds) {
  const qint64 start = clock_.nowMs();
  const qint64 span = static_cast<qint64>(std::llround(seconds * 1000.0));
  for (;;) {
    const qint64 elapsed = clock_.nowMs() - start;
    if (elapsed >= span) return;
    clock_.wait(span - elapsed, nullptr);
  }
}

void Transport::DiscardInput() { port_.readAll(); }

void Transport::ClearInput() { port_.clear(); }

bool Transport::Send(const QByteArray& bytes) { return port_.write(bytes); }

QByteArray Transport::ReadInput() { return port_.readAll(); }

} // namespace pv
