#include "link/UnitSession.h"

#include "kernel/Prompter.h"
#include "link/DeviceLink.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "text/Texts.h"

namespace pv {

namespace {
constexpr int kPortInUse = 67;
constexpr int kNoPermission = 84;
constexpr int kNoSuchPort = 85;
} // namespace

UnitSession::UnitSession(SerialPort& port, AppState& state, DeviceLink& link, Prompter& prompter, QObject* parent)
    : QObject(parent), port_(port), state_(state), link_(link), prompter_(prompter), shownFor_(state.identity) {
  // A port handed back while an exchange ran closes once it has ended.
  connect(&link_, &DeviceLink::busyChanged, this, [this](bool busy) {
    if (!busy) settle();
  });
}

bool UnitSession::isOpen() const { return port_.isOpen(); }

void UnitSession::choosePort(int number) {
  if (number < 1 || number > 8 || number == number_ || port_.isOpen()) return;
  number_ = number;
  emit changed();
}

bool UnitSession::openPort(QString* why) {
  lastError_.clear();
  if (port_.isOpen()) return true;
  const QString path = ResolveComPort(number_);
  OpenError error = OpenError::None;
  QString detail;
  if (port_.open(path, &error, &detail)) {
    emit changed();
    return true;
  }
  switch (error) {
    case OpenError::Permission: lastError_ = Tr(state_, kNoPermission).arg(path); break;
    case OpenError::Missing: lastError_ = Tr(state_, kNoSuchPort).arg(path); break;
    default: lastError_ = detail.isEmpty() ? path : path + QStringLiteral(": ") + detail; break;
  }
  if (why) *why = lastError_;
  return false;
}

bool UnitSession::openByUser(QString* why) {
  if (!openPort(why)) return false;
  userOpen_ = true;
  closeWhenFree_ = false;
  emit changed();
  return true;
}

void UnitSession::closeByUser() {
  userOpen_ = false;
  closeWhenFree_ = false;
  if (port_.isOpen()) port_.close();
  fingerprint_.reset();
  state_.unitFingerprint.clear();
  emit changed();
}

bool UnitSession::borrow(const QObject* who) {
  QString why;
  if (!openPort(&why)) {
    prompter_.ask(ProductTitle(state_), Tr(state_, kPortInUse) + QStringLiteral("\n\n") + why, Buttons::Ok,
                  Icon::Critical);
    return false;
  }
  borrowers_.insert(who);
  closeWhenFree_ = false;
  return true;
}

void UnitSession::giveBack(const QObject* who) {
  if (borrowers_.erase(who) == 0) return;
  if (borrowers_.empty() && !userOpen_) closeWhenFree_ = true;
  settle();
}

void UnitSession::settle() {
  if (!closeWhenFree_ || link_.busy() || !borrowers_.empty() || userOpen_) return;
  closeWhenFree_ = false;
  if (port_.isOpen()) port_.close();
  fingerprint_.reset();
  state_.unitFingerprint.clear();
  emit changed();
}

void UnitSession::setModelShown(const QString& modelId) {
  model_ = modelId;
  shownFor_ = state_.identity;
  emit changed();
}

void UnitSession::setFingerprint(std::optional<QString> fingerprint) {
  fingerprint_ = std::move(fingerprint);
  emit changed();
}

} // namespace pv
