#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace pv {

#ifdef Q_OS_UNIX
namespace {

// The write end the handler uses; -1 while no object listens.
volatile sig_atomic_t gWriteFd = -1;
int gReadFd = -1;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction gPrevious[3];
struct sigaction gPreviousPipe;

extern "C" void OnTermination(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  if (gWriteFd >= 0) (void)::write(gWriteFd, &byte, 1);
  // A command that installed its own Ctrl+C handler stops on these too.
  if (signal != SIGINT) {
    struct sigaction current{};
    if (::sigaction(SIGINT, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
        current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN && current.sa_handler != OnTermination)
      current.sa_handler(SIGINT);
  }
  errno = saved;
}

} // namespace
#endif

TerminationSignals::TerminationSignals(bool install, QObject* parent) : QObject(parent) {
#ifdef Q_OS_UNIX
  if (!install || gWriteFd >= 0) return;
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return;
  // The handler must never block, even with a flood of signals.
  ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
  gReadFd = fds[1];
  gWriteFd = fds[0];
  notifier_ = new QSocketNotifier(gReadFd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::poll);
  struct sigaction sa{};
  sa.sa_handler = OnTermination;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a blocking read of standard input returns, instead of
  // waiting for a line that no one will type.
  sa.sa_flags = 0;
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &sa, &gPrevious[i]);
  // A reader gone from the other end of a pipe (... | head) must not end the
  // run in the middle of a write: the failed write is reported instead.
  struct sigaction ignore{};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &gPreviousPipe);
  installed_ = true;
#else
  Q_UNUSED(install);
#endif
}

TerminationSignals::~TerminationSignals() {
#ifdef Q_OS_UNIX
  if (!installed_) return;
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &gPrevious[i], nullptr);
  ::sigaction(SIGPIPE, &gPreviousPipe, nullptr);
  const int w = gWriteFd;
  gWriteFd = -1;
  delete notifier_;
  ::close(w);
  ::close(gReadFd);
  gReadFd = -1;
#endif
}

QString TerminationSignals::Name(int signal) {
#ifdef Q_OS_UNIX
  switch (signal) {
  case SIGINT: return QStringLiteral("Ctrl+C");
  case SIGTERM: return QStringLiteral("SIGTERM");
  case SIGHUP: return QStringLiteral("SIGHUP");
  default: break;
  }
#endif
  return QStringLiteral("signal %1").arg(signal);
}

void TerminationSignals::deliver(int signal) {
  ++count_;
  last_ = signal;
  emit received(signal, count_);
}

void TerminationSignals::poll() {
  if (gReadFd < 0 || !installed_) return;
#ifdef Q_OS_UNIX
  char bytes[64];
  for (;;) {
    const ssize_t n = ::read(gReadFd, bytes, sizeof bytes);
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) deliver(static_cast<unsigned char>(bytes[i]));
  }
#endif
}

} // namespace pv
