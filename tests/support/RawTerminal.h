#pragma once
// Opens a simulator's pseudo-terminal end as a raw byte pipe (no echo, no
// line editing), as the tests and benchmarks that talk to it need.
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace pv::test {

// Returns the descriptor, or -1. nonBlocking for callers that poll.
inline int OpenRawTerminal(const QString& path, bool nonBlocking) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | (nonBlocking ? O_NONBLOCK : 0));
  if (fd < 0) return fd;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

} // namespace pv::test
