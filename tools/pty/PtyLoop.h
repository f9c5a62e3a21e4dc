#pragma once
// The plumbing both simulator executables share: a pseudo-terminal opened
// raw, an optional symbolic link to it, a single-threaded ppoll loop whose
// stop and control signals are never lost, the streaming unit's frame
// clock, and the command transcripts. POSIX only.
#include <QByteArray>
#include <QCommandLineParser>
#include <QList>
#include <QString>

#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <poll.h>
#include <termios.h>

namespace pv::pty {

// What may wait for a reader that does not read; older bytes are lost, as
// they would be on a real line.
constexpr qsizetype kMaxBacklog = 64 * 1024;

// Milliseconds on the monotonic clock.
double NowMs();

// "<application name>: message" on standard error, then exit code 2.
[[noreturn]] void Fail(const QString& message);

// Names the simulator (for --version and Fail), reads its command line with
// the options, --help and --version, and refuses a stray argument.
void ReadCommandLine(QCommandLineParser& parser, const char* name, const QString& description,
                     const QList<QCommandLineOption>& options);

// Writes what the descriptor takes now; the rest stays queued.
void WriteAll(int fd, QByteArray& queue);
// Drops the oldest bytes beyond kMaxBacklog.
void TrimBacklog(QByteArray& queue);

// One pseudo-terminal pair. The slave stays open here too, so the master
// never sees a hang-up while the program closes and reopens its side.
struct Terminal {
  int master = -1;
  int slave = -1;
  QByteArray path;
  bool open() const { return master >= 0; }
};

// Raw, at the given speed, the master non-blocking; fails the program when
// the system has none to give.
Terminal OpenTerminal(speed_t speed);
void CloseTerminal(Terminal& t);
// Up to 4 KiB the other side sent; empty when nothing (or an error).
QByteArray ReadSome(int fd);

// Points linkPath at target, replacing an older link of ours; nothing when
// linkPath is empty.
void Relink(const QByteArray& linkPath, const QByteArray& target);
// Removes linkPath when it still points at target.
void Unlink(const QByteArray& linkPath, const QByteArray& target);

// SIGINT and SIGTERM ask the loop to stop; the extra signals only set their
// flag. All of them are blocked except inside poll(), so a signal is never
// lost between a check and the wait. SIGPIPE is ignored. One per process.
class LoopSignals {
public:
  explicit LoopSignals(std::initializer_list<int> extra = {});
  bool stopRequested() const;
  // Whether sig came since the last take, and clears it.
  bool take(int sig);
  // ppoll on fds (may be none) for up to waitMs (negative: until something
  // arrives or a signal comes). Returns ppoll's result.
  int poll(pollfd* fds, nfds_t count, double waitMs) const;

private:
  sigset_t waitMask_{};
};

// A streaming unit sends a frame every period; the time stamp is the time
// since the loop started.
class FrameClock {
public:
  explicit FrameClock(double periodMs) : periodMs_(periodMs), start_(NowMs()) {}
  // True when a frame is due now (and the next one is scheduled).
  bool due(bool streaming, double now);
  qint64 stamp(double now) const { return static_cast<qint64>(now - start_); }
  // Milliseconds to the next frame; negative when not streaming.
  double waitMs(double now) const;

private:
  double periodMs_, start_;
  double next_ = -1;
};

// A file every command received is appended to, one escaped line each.
struct TranscriptFile {
  FILE* file = nullptr;
  qsizetype written = 0;
  // Appended to, never through a link planted in its place; fails the
  // program when it cannot be written.
  void open(const QString& path);
  // Writes lines[written .. upTo).
  void flush(const QList<QByteArray>& lines, qsizetype upTo);
  void close();
};

// When the other side of a terminal has hung up: a short pause, so the loop
// does not spin while waiting for them to come back.
void IdlePause();

} // namespace pv::pty
