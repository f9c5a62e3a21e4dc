#include "link/DeviceLink.h"

namespace pv {

class DeviceLink::GuardClock final : public Clock {
public:
  GuardClock(DeviceLink& link, Clock& inner) : link_(link), inner_(inner) {}
  qint64 nowMs() override { return inner_.nowMs(); }
  void wait(qint64 ms, SerialPort* port) override {
    LinkWait w(link_);
    inner_.wait(ms, port);
  }

private:
  DeviceLink& link_;
  Clock& inner_;
};

// A message box runs its own event loop: a question counts as a wait.
class DeviceLink::GuardPrompter final : public Prompter {
public:
  GuardPrompter(DeviceLink& link, Prompter& inner) : link_(link), inner_(inner) {}
  Answer ask(const QString& title, const QString& text, Buttons buttons, Icon icon) override {
    LinkWait w(link_);
    return inner_.ask(title, text, buttons, icon);
  }
  std::optional<QString> askText(const QString& title, const QString& prompt,
                                 const QString& defaultText) override {
    LinkWait w(link_);
    return inner_.askText(title, prompt, defaultText);
  }
  QString openFileName(const QString& title, const QString& dir, const QStringList& filters) override {
    LinkWait w(link_);
    return inner_.openFileName(title, dir, filters);
  }
  QString saveFileName(const QString& title, const QString& dir, const QStringList& filters) override {
    LinkWait w(link_);
    return inner_.saveFileName(title, dir, filters);
  }

private:
  DeviceLink& link_;
  Prompter& inner_;
};

DeviceLink::DeviceLink(Clock& inner, Prompter& innerPrompter, QObject* parent)
    : QObject(parent),
      clock_(std::make_unique<GuardClock>(*this, inner)),
      prompter_(std::make_unique<GuardPrompter>(*this, innerPrompter)) {}

DeviceLink::~DeviceLink() = default;

Clock& DeviceLink::clock() { return *clock_; }
Prompter& DeviceLink::prompter() { return *prompter_; }

void DeviceLink::begin(Exchange kind, const std::function<void()>& stop) {
  const bool wasBusy = busy();
  current_ = kind;
  stop_ = stop;
  if (!wasBusy) emit busyChanged(true);
  emit stateChanged();
}

void DeviceLink::finish() {
  current_ = Exchange::None;
  stop_ = {};
  // Whatever waited for this exchange runs now, before anything else can
  // take the link: a pre-empting Read goes straight after the run's "SM".
  while (!queue_.empty()) {
    Pending next = std::move(queue_.front());
    queue_.pop_front();
    if (next.kind == Exchange::None) {
      emit stateChanged();
      next.fn();
      continue;
    }
    current_ = next.kind;
    emit stateChanged();
    next.fn();
    current_ = Exchange::None;
  }
  emit busyChanged(false);
  emit stateChanged();
}

bool DeviceLink::run(Exchange kind, const std::function<void()>& fn) {
  if (joinsCurrent()) {
    fn();
    return true;
  }
  if (busy()) return false;
  begin(kind, {});
  fn();
  finish();
  return true;
}

bool DeviceLink::runPreemptible(Exchange kind, const std::function<void()>& fn,
                                const std::function<void()>& stop) {
  if (busy()) return false;
  begin(kind, stop);
  fn();
  finish();
  return true;
}

LinkOutcome DeviceLink::request(Exchange kind, const std::function<void()>& fn) {
  if (!busy() || joinsCurrent()) {
    run(kind, fn);
    return LinkOutcome::Ran;
  }
  if (!preemptible()) return LinkOutcome::Refused;
  queue_.push_back({kind, fn});
  emit stateChanged();
  stop_();
  return LinkOutcome::Queued;
}

bool DeviceLink::whenFree(const std::function<void()>& fn) {
  if (!busy()) {
    fn();
    return true;
  }
  const bool ask = preemptible();
  queue_.push_back({Exchange::None, fn});
  emit stateChanged();
  if (ask) stop_();
  return false;
}

} // namespace pv
