#include "PtyLoop.h"

#include "DeviceSimulator.h"
#include "kernel/Version.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace pv::pty {

namespace {

volatile sig_atomic_t gRaised[NSIG] = {};
void OnSignal(int sig) { gRaised[sig] = 1; }

QString Errno() { return QString::fromLocal8Bit(std::strerror(errno)); }

} // namespace

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void Fail(const QString& message) {
  std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(message));
  std::exit(2);
}

void ReadCommandLine(QCommandLineParser& parser, const char* name, const QString& description,
                     const QList<QCommandLineOption>& options) {
  QCoreApplication::setApplicationName(QLatin1String(name));
  QCoreApplication::setApplicationVersion(QStringLiteral(PLANOVIX_VERSION));
  parser.setApplicationDescription(description);
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOptions(options);
  parser.process(*QCoreApplication::instance());
  if (!parser.positionalArguments().isEmpty())
    Fail(QStringLiteral("unexpected argument \"%1\" (see --help)").arg(parser.positionalArguments().first()));
}

void WriteAll(int fd, QByteArray& queue) {
  while (!queue.isEmpty()) {
    const ssize_t n = ::write(fd, queue.constData(), static_cast<size_t>(queue.size()));
    if (n > 0) queue.remove(0, n);
    else if (n < 0 && errno == EINTR) continue;
    else return;  // the terminal's buffer is full: try again on the next turn
  }
}

void TrimBacklog(QByteArray& queue) {
  if (queue.size() > kMaxBacklog) queue.remove(0, queue.size() - kMaxBacklog);
}

Terminal OpenTerminal(speed_t speed) {
  Terminal t;
  t.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (t.master < 0 || grantpt(t.master) != 0 || unlockpt(t.master) != 0)
    Fail(QStringLiteral("no pseudo-terminal: %1").arg(Errno()));
  const char* name = ptsname(t.master);
  if (!name) Fail(QStringLiteral("no pseudo-terminal name"));
  t.path = QByteArray(name);
  t.slave = ::open(t.path.constData(), O_RDWR | O_NOCTTY);
  if (t.slave < 0) Fail(QStringLiteral("cannot open %1").arg(QString::fromLocal8Bit(t.path)));
  termios tio{};
  if (tcgetattr(t.slave, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tcsetattr(t.slave, TCSANOW, &tio);
  }
  fcntl(t.master, F_SETFL, fcntl(t.master, F_GETFL) | O_NONBLOCK);
  return t;
}

void CloseTerminal(Terminal& t) {
  if (t.master >= 0) ::close(t.master);
  if (t.slave >= 0) ::close(t.slave);
  t = Terminal{};
}

QByteArray ReadSome(int fd) {
  char buffer[4096];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  return n > 0 ? QByteArray(buffer, static_cast<qsizetype>(n)) : QByteArray();
}

void Relink(const QByteArray& linkPath, const QByteArray& target) {
  if (linkPath.isEmpty()) return;
  ::unlink(linkPath.constData());
  if (::symlink(target.constData(), linkPath.constData()) != 0)
    Fail(QStringLiteral("cannot create link %1: %2").arg(QString::fromLocal8Bit(linkPath), Errno()));
}

void Unlink(const QByteArray& linkPath, const QByteArray& target) {
  if (linkPath.isEmpty()) return;
  char buffer[4096];
  const ssize_t n = ::readlink(linkPath.constData(), buffer, sizeof buffer - 1);
  if (n > 0 && QByteArray(buffer, n) == target) ::unlink(linkPath.constData());
}

LoopSignals::LoopSignals(std::initializer_list<int> extra) {
  struct sigaction sa{};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigset_t blocked;
  sigemptyset(&blocked);
  for (std::initializer_list<int> group : {std::initializer_list<int>{SIGINT, SIGTERM}, extra})
    for (int sig : group) {
      sigaction(sig, &sa, nullptr);
      sigaddset(&blocked, sig);
    }
  std::signal(SIGPIPE, SIG_IGN);
  sigprocmask(SIG_BLOCK, &blocked, &waitMask_);
  for (int sig = 1; sig < NSIG; ++sig)
    if (sigismember(&blocked, sig) == 1) sigdelset(&waitMask_, sig);
}

bool LoopSignals::stopRequested() const { return gRaised[SIGINT] || gRaised[SIGTERM]; }

bool LoopSignals::take(int sig) {
  const bool raised = gRaised[sig];
  gRaised[sig] = 0;
  return raised;
}

int LoopSignals::poll(pollfd* fds, nfds_t count, double waitMs) const {
  timespec ts{};
  timespec* timeout = nullptr;
  if (waitMs >= 0) {
    const auto us = static_cast<long long>(waitMs * 1000.0);
    ts.tv_sec = us / 1000000;
    ts.tv_nsec = (us % 1000000) * 1000;
    timeout = &ts;
  }
  return ppoll(fds, count, timeout, &waitMask_);
}

bool FrameClock::due(bool streaming, double now) {
  if (!streaming) {
    next_ = -1;
    return false;
  }
  if (next_ < 0) next_ = now + periodMs_;
  if (now < next_) return false;
  next_ = now + periodMs_;
  return true;
}

double FrameClock::waitMs(double now) const { return next_ >= 0 ? std::max(0.0, next_ - now) : -1; }

void TranscriptFile::open(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
  file = fd < 0 ? nullptr : fdopen(fd, "a");
  if (!file) Fail(QStringLiteral("cannot write %1: %2").arg(path, Errno()));
}

void TranscriptFile::flush(const QList<QByteArray>& lines, qsizetype upTo) {
  if (!file) return;
  for (; written < upTo; ++written) std::fprintf(file, "%s\n", sim::EscapeBytes(lines[written]).constData());
  std::fflush(file);
}

void TranscriptFile::close() {
  if (file) std::fclose(file);
  file = nullptr;
}

void IdlePause() {
  timespec pause{0, 20 * 1000000};
  nanosleep(&pause, nullptr);
}

} // namespace pv::pty
