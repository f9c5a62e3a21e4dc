#pragma once
// Where a long command is (row n of m, cells n of N, unit n), on one line of
// standard error that is rewritten in place. Only on a terminal: with --json,
// in a pipe or a file the line would be noise in what a script reads.
#include <QString>
#include <QTextStream>

namespace pv {

class CliProgress {
public:
  // on: whether anything is shown (see ShowsProgress).
  CliProgress(QTextStream& err, bool on) : err_(err), on_(on) {}
  ~CliProgress() { clear(); }
  CliProgress(const CliProgress&) = delete;
  CliProgress& operator=(const CliProgress&) = delete;

  // Shows text in place of the last line; the same text again is not redrawn.
  void show(const QString& text);
  // "cells 12 of 256", in the tool's language (kind: a Progress* text id).
  void step(int kindId, qint64 n, qint64 total);
  // Wipes the line, so a message after it starts on a clean line.
  void clear();
  bool on() const { return on_; }

private:
  QTextStream& err_;
  bool on_;
  QString shown_;
};

// Whether progress is wanted: standard error is a terminal and the results
// are not JSON.
bool ShowsProgress(bool json);

// The string table ids of the kinds of progress (Italian; the tool adds its
// language offset).
namespace progress {
constexpr int Cells = 2006;   // "cells %1 of %2"
constexpr int Row = 2007;     // "row %1 of %2"
constexpr int Unit = 2008;    // "unit %1"
constexpr int Point = 2009;   // "point %1 of %2"
constexpr int PointOpen = 2012;  // "point %1" (no end set)
} // namespace progress

} // namespace pv
