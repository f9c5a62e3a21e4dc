#pragma once
// Runs fn in a child process whose files may not grow past limit bytes
// (SIGXFSZ ignored, so a write past it fails with EFBIG, as on a full
// disk). The child's result and message come back through a pipe.
#include <QByteArray>
#include <QString>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace pv::test {

inline std::pair<bool, QString> UnderSizeLimit(rlim_t limit, const std::function<std::pair<bool, QString>()>& fn) {
  int fds[2];
  if (::pipe(fds) != 0) return {true, QStringLiteral("no pipe")};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit r{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &r);
    const auto [ok, why] = fn();
    const QByteArray text = why.toUtf8();
    if (::write(fds[1], text.constData(), static_cast<size_t>(text.size())) < 0) _exit(3);
    _exit(ok ? 0 : 1);
  }
  ::close(fds[1]);
  QByteArray text;
  char buffer[512];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) && WEXITSTATUS(status) == 0, QString::fromUtf8(text)};
}

} // namespace pv::test
