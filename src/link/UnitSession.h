#pragma once
// The unit in the program: the one port it is reached on, the identity last
// read from it, the model shown for it and its fingerprint. Every window that
// talks to the unit opens it here, so the communication window can always
// show the port and the model actually in use.
//
// Who keeps the port open:
//   - the user, with the communication window's toggle (openByUser /
//     closeByUser);
//   - a window that borrowed the unit (the factory windows): borrow() opens
//     the chosen port when it is closed; giveBack() hands it back as the
//     user left it: once no window holds it, a port the user had not opened
//     is closed again, as soon as no exchange runs on the link.
//
// The port number is one for the whole program: the communication window's
// selector and the calibration window's unit selector both show and choose
// it, and neither may change it while the port is open.
#include "kernel/AppState.h"

#include <QObject>
#include <QString>
#include <optional>
#include <set>

namespace pv {

class SerialPort;
class DeviceLink;
class Prompter;

class UnitSession final : public QObject {
  Q_OBJECT
public:
  // prompter: tells the user why a borrowed port could not be opened.
  UnitSession(SerialPort& port, AppState& state, DeviceLink& link, Prompter& prompter,
              QObject* parent = nullptr);

  SerialPort& port() { return port_; }
  bool isOpen() const;
  // 1..8: the port in use while open, else the one the next open takes.
  int portNumber() const { return number_; }
  // Ignored while the port is open (the port in use cannot change under it).
  void choosePort(int number);

  // The communication window's toggle. On failure *why holds a line for the
  // user (the caller shows it under "port in use").
  bool openByUser(QString* why);
  void closeByUser();
  bool userOpened() const { return userOpen_; }

  // A window needs the unit: opens the chosen port when it is closed. False
  // (and the user has been told why) when it cannot be opened.
  bool borrow(const QObject* who);
  // The window is done (closed): the port goes back to the state the user
  // left it in.
  void giveBack(const QObject* who);
  bool holds(const QObject* who) const { return borrowers_.count(who) != 0; }

  // The unit as last identified, and the model the windows name for it.
  const DeviceIdentity& identity() const { return state_.identity; }
  QString modelShown() const { return model_; }
  // Whether the model shown was named for the identity read last: false
  // after another window's exchange has read a different unit.
  bool modelCurrent() const { return shownFor_ == state_.identity; }
  void setModelShown(const QString& modelId);

  // The digest that tells this unit from another of its model; empty until
  // it has been computed for the unit on the line (never shown then).
  const std::optional<QString>& fingerprint() const { return fingerprint_; }
  void setFingerprint(std::optional<QString> fingerprint);

  // Why the last open failed (empty after a success).
  QString lastError() const { return lastError_; }

signals:
  // Anything above changed: the port opened or closed, the number, the model.
  void changed();

private:
  bool openPort(QString* why);
  void settle();

  SerialPort& port_;
  AppState& state_;
  DeviceLink& link_;
  Prompter& prompter_;
  int number_ = 1;
  bool userOpen_ = false;
  bool closeWhenFree_ = false;
  std::set<const QObject*> borrowers_;
  QString model_ = QStringLiteral("KRV2210");
  DeviceIdentity shownFor_;
  std::optional<QString> fingerprint_;
  QString lastError_;
};

} // namespace pv
