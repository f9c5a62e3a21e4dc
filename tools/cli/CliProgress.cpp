#include "CliProgress.h"
#include "CliLanguage.h"

#include <cstdio>
#include <unistd.h>

namespace pv {

void CliProgress::show(const QString& text) {
  if (!on_ || text == shown_) return;
  // Carriage return, the text, then erase what a longer text left.
  err_ << '\r' << text << "\x1b[K";
  err_.flush();
  shown_ = text;
}

void CliProgress::step(int kindId, qint64 n, qint64 total) {
  if (!on_) return;
  const QString text = CliText(kindId);
  show(text.contains(QLatin1String("%2")) ? text.arg(n).arg(total) : text.arg(n));
}

void CliProgress::clear() {
  if (!on_ || shown_.isEmpty()) return;
  err_ << "\r\x1b[K";
  err_.flush();
  shown_.clear();
}

bool ShowsProgress(bool json) { return !json && isatty(fileno(stderr)) == 1; }

} // namespace pv
