#pragma once
// The one owner of the unit's link. Every exchange with the unit (a read, a
// write, a measurement run, the caption routine's cell read, the switch
// wizard's table reads, a command-line command) runs through run() or
// request(), and only one runs at a time.
//
// Waits inside an exchange let the event loop turn, so a button, shortcut or
// timer can fire in the middle of one. The link knows when that happens: its
// clock and prompter count the waits and questions in progress, and an
// exchange asked for from inside one of them is a second exchange and is
// refused (nothing is sent). Code of the running exchange itself, outside a
// wait, may call further routines: they are part of the same exchange.
//
// The one allowed pre-emption: a measurement run holds the link for its
// whole life; a Read or Write asked for meanwhile makes the run stop, and
// runs as soon as the run has ended (after its "SM"), without the link ever
// being free in between.
#include "kernel/Prompter.h"
#include "link/Clock.h"

#include <QObject>
#include <deque>
#include <functional>
#include <memory>

namespace pv {

enum class Exchange {
  None,
  Read,      // configuration read (with captions and switch read)
  Write,     // configuration write with its read-back
  Measure,   // a measurement run, start to "SM"
  Captions,  // the caption routine's cell-4 read
  Switches,  // the switch wizard's own reads and writes
  Command,   // a single command-line command
};

enum class LinkOutcome {
  Ran,      // the exchange ran now
  Queued,   // a running measurement was asked to stop; it runs right after
  Refused,  // another exchange runs: nothing was sent
};

class DeviceLink final : public QObject {
  Q_OBJECT
public:
  // inner: the real clock. Hand clock() to the transport and prompter() to
  // the device commands, so that the link sees every wait and question.
  DeviceLink(Clock& inner, Prompter& innerPrompter, QObject* parent = nullptr);
  ~DeviceLink() override;

  Clock& clock();
  Prompter& prompter();

  bool busy() const { return current_ != Exchange::None; }
  Exchange current() const { return current_; }
  // A measurement holds the link and nothing is yet waiting for it to end.
  bool preemptible() const { return busy() && stop_ && queue_.empty(); }
  // A pre-emption or a deferred action waits for the running exchange.
  bool stopping() const { return !queue_.empty(); }
  // Whether the windows' device actions (read, write, start/stop, the port
  // toggle) may be pressed: the link is free, or a measurement holds it and
  // may still be pre-empted or stopped.
  bool actionsAllowed() const { return !busy() || preemptible(); }

  // Runs fn as one exchange. False, and nothing done, while another runs.
  bool run(Exchange kind, const std::function<void()>& fn);
  // Like run(), for an exchange that others may pre-empt; stop asks it to end.
  bool runPreemptible(Exchange kind, const std::function<void()>& fn,
                      const std::function<void()>& stop);
  // A Read or Write from a window: runs now when the link is free, waits for
  // a running measurement to end, is refused otherwise.
  LinkOutcome request(Exchange kind, const std::function<void()>& fn);
  // Runs fn once no exchange runs: at once when free; otherwise a running
  // measurement is asked to stop and fn follows the exchange in progress.
  // Exit and closing the port go this way. True when fn ran at once.
  bool whenFree(const std::function<void()>& fn);

signals:
  void busyChanged(bool busy);
  // busy(), preemptible() or stopping() may have changed.
  void stateChanged();

private:
  friend class LinkWait;
  // A wait or a question of the running exchange (counted by the clock and
  // the prompter the link hands out): whatever starts meanwhile is re-entry.
  void enterWait() { ++depth_; }
  void leaveWait() { --depth_; }
  struct Pending {
    Exchange kind;  // None: an action that is not an exchange
    std::function<void()> fn;
  };
  bool joinsCurrent() const { return busy() && depth_ == 0; }
  void begin(Exchange kind, const std::function<void()>& stop);
  void finish();

  class GuardClock;
  class GuardPrompter;
  std::unique_ptr<GuardClock> clock_;
  std::unique_ptr<GuardPrompter> prompter_;
  Exchange current_ = Exchange::None;
  std::function<void()> stop_;
  std::deque<Pending> queue_;
  int depth_ = 0;
};

// Counts one wait while alive.
class LinkWait {
public:
  explicit LinkWait(DeviceLink& link) : link_(link) { link_.enterWait(); }
  ~LinkWait() { link_.leaveWait(); }
  LinkWait(const LinkWait&) = delete;
  LinkWait& operator=(const LinkWait&) = delete;

private:
  DeviceLink& link_;
};

} // namespace pv
