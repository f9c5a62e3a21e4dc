#pragma once
// Ctrl+C (SIGINT), SIGTERM (a service stop, a session logout) and SIGHUP
// (a closed terminal) as Qt signals, so that the program and the
// command-line tool end a run the same way whichever one arrives.
//
// The handler only writes the signal's number into a socket pair; a socket
// notifier reads it in the event loop (the waits of an exchange run one)
// and emits received(). Nothing else happens inside the handler, except
// this: while a command has installed a Ctrl+C handler of its own, SIGTERM
// and SIGHUP are handed to it as well, so that they stop that command the
// way Ctrl+C does.
//
// On systems without POSIX signals nothing is installed; deliver() still
// works (tests use it to send a "signal" at a chosen moment).
#include <QObject>

class QSocketNotifier;

namespace pv {

class TerminationSignals final : public QObject {
  Q_OBJECT
public:
  // install: take over SIGINT, SIGTERM and SIGHUP for this object's life
  // (one such object at a time). False: deliver() only, for tests.
  explicit TerminationSignals(bool install = true, QObject* parent = nullptr);
  ~TerminationSignals() override;

  // How many have arrived, and the last one's number (0 when none).
  int count() const { return count_; }
  int last() const { return last_; }
  // Its name: "Ctrl+C" (SIGINT), "SIGTERM", "SIGHUP".
  static QString Name(int signal);

public slots:
  // As if signal had arrived.
  void deliver(int signal);
  // Delivers what arrived since the event loop last turned (at the end of
  // a run, before its exit code is chosen).
  void poll();

signals:
  // Once per signal; count() already includes it.
  void received(int signal, int count);

private:
  int count_ = 0;
  int last_ = 0;
  bool installed_ = false;
  QSocketNotifier* notifier_ = nullptr;
};

} // namespace pv
