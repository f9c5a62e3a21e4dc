#pragma once
// A session on a device file: the kernel's USBTMC files (/dev/usbtmcN) on
// Linux, or a terminal standing in for one (a simulated instrument on a
// pseudo-terminal). Messages end with a newline.
//
// A USBTMC read asks the instrument for its answer and blocks until it
// comes; the kernel bounds it with the time-out we set per read, so the wait
// is bounded even though it cannot process events. A terminal is read
// without blocking, woken by the descriptor.
#include "factory/InstrumentSession.h"

class QSocketNotifier;

namespace pv {

class UsbTmcSession final : public InstrumentSession {
  Q_OBJECT
public:
  // path: the device file.
  UsbTmcSession(Clock& clock, const QString& path, QObject* parent = nullptr);
  ~UsbTmcSession() override;
  bool open(int timeoutMs) override;
  void close() override;
  bool isOpen() const override { return fd_ >= 0; }
  bool write(const QByteArray& message) override;
  std::optional<QByteArray> readLine(int timeoutMs) override;

protected:
  // A terminal is drained; a USBTMC file is not read outside a query, as a
  // read there asks the instrument for an answer.
  void fill(QByteArray& buffer) override;

private:
  int fd_ = -1;
  bool terminal_ = false;
  QSocketNotifier* notifier_ = nullptr;
};

} // namespace pv
