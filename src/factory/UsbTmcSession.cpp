#include "factory/UsbTmcSession.h"

#include "link/Clock.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

Q_DECLARE_LOGGING_CATEGORY(lcInstr)

namespace pv {

UsbTmcSession::UsbTmcSession(Clock& clock, const QString& path, QObject* parent)
    : InstrumentSession(clock, path, QByteArrayLiteral("\n"), parent) {}

UsbTmcSession::~UsbTmcSession() { close(); }

#ifdef Q_OS_LINUX

static QString Errno() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool UsbTmcSession::open(int /*timeoutMs*/) {
  // Opening a device file does not talk to the instrument, so it cannot hang.
  close();
  const QByteArray path = resource().toLocal8Bit();
  fd_ = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) {
    setError(Errno());
    return false;
  }
  terminal_ = ::isatty(fd_) == 1;
  if (terminal_) {
    termios t{};
    if (::tcgetattr(fd_, &t) == 0) {
      ::cfmakeraw(&t);
      ::tcsetattr(fd_, TCSANOW, &t);
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { wake(); });
  }
  return true;
}

void UsbTmcSession::close() {
  delete notifier_;
  notifier_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buffer().clear();
}

bool UsbTmcSession::write(const QByteArray& message) {
  if (fd_ < 0) {
    setError(QStringLiteral("session not open"));
    return false;
  }
  qCDebug(lcInstr) << resource() << "out" << message;
  const QByteArray bytes = message + '\n';
  qsizetype done = 0;
  const qint64 start = clock().nowMs();
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.constData() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // A full buffer drains as the reader takes it, within the I/O time-out.
      if (clock().nowMs() - start >= ioTimeoutMs()) {
        setError(QStringLiteral("message not sent within %1 ms").arg(ioTimeoutMs()));
        return false;
      }
      waitForNews(10);
      continue;
    }
    if (n <= 0) {
      setError(Errno());
      return false;
    }
    done += n;
  }
  return true;
}

void UsbTmcSession::fill(QByteArray& buffer) {
  char buf[512];
  ssize_t n = 0;
  while (terminal_ && buffer.size() <= kMaxReplyBytes && (n = ::read(fd_, buf, sizeof buf)) > 0) buffer.append(buf, n);
}

std::optional<QByteArray> UsbTmcSession::readLine(int timeoutMs) {
  if (fd_ < 0) {
    setError(QStringLiteral("session not open"));
    return std::nullopt;
  }
  const qint64 start = clock().nowMs();
  char buf[4096];
  for (;;) {
    if (auto line = takeLine()) return line;
    const qint64 left = timeoutMs - (clock().nowMs() - start);
    if (left <= 0) return failTimeOut();
    if (!terminal_) {
      // The kernel ends the read after this long (ETIMEDOUT).
      const __u32 ms = static_cast<__u32>(left);
      ::ioctl(fd_, USBTMC_IOCTL_SET_TIMEOUT, &ms);
    }
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) {
      buffer().append(buf, n);
      if (!buffer().contains('\n') && buffer().size() > kMaxReplyBytes) return failOverlong();
      // USBTMC ends a message with its own end flag; a missing newline is
      // still one whole answer.
      if (!terminal_ && !buffer().contains('\n')) buffer().append('\n');
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      waitForNews(left);
      continue;
    }
    if (n < 0 && errno == ETIMEDOUT) return failTimeOut();
    setError(n == 0 ? QStringLiteral("end of file") : Errno());
    return std::nullopt;
  }
}

#else  // no USBTMC device files on this system

bool UsbTmcSession::open(int) {
  setError(QStringLiteral("USBTMC device files exist only on Linux"));
  return false;
}
void UsbTmcSession::close() {}
bool UsbTmcSession::write(const QByteArray&) { return false; }
void UsbTmcSession::fill(QByteArray&) {}
std::optional<QByteArray> UsbTmcSession::readLine(int) { return std::nullopt; }

#endif

} // namespace pv
