#pragma once
// Gang programming: one configuration file onto units on several ports at
// once, each unit exactly as the single batch program treats it.
//
// One slot per port. Each slot owns its port and its link and runs on a
// thread of its own: every device routine waits in a local event loop, and
// waits nested in one thread would return only in the order they started,
// so one slow or silent unit would hold every other port. Inside a slot the
// waits are event driven, as everywhere else.
//
// A slot's states, for each unit:
//   Waiting   looking for a unit on the port (a missing port is a pulled
//             USB cable: the slot keeps looking)
//   Writing   identified and accepted: read, backed up in the record store,
//             written, read back and compared
//   Ok / Failed / Refused
//             the unit's outcome; with repeat the slot then waits for the
//             unit to be pulled (two silent looks) and for the next one
//   Ended     the slot has stopped (no repeat, or a stop)
// A unit is refused before anything is sent when its device code or variant
// differ from the file's, or its model from the batch's (given, else the
// model of the first unit identified on any port).
//
// Stopping: the first request lets every unit in hand finish (written and
// read back) and starts no other; the second stops the writes in hand at
// their next cell. Every slot leaves its unit out of programming mode and not
// measuring, whatever ended it.
#include "kernel/Catalogue.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QThread;

namespace pv {

class SerialPort;

enum class GangState { Waiting, Writing, Ok, Failed, Refused, Ended };
enum class GangOutcome { Ok, Refused, Failed };

// "ok", "refused", "failed": the words of the summary and the log.
const char* GangOutcomeName(GangOutcome o);

struct GangPort {
  QString name;  // as the operator gave it: "COM 3" or a device path
  QString path;  // the device opened
};

// "COM 1".."COM 8" resolved as the program resolves them; anything else as given.
QString GangPortPath(const QString& name);
// A list of port names separated by commas, each trimmed; empty names are
// dropped. Refuses (empty list, *why set) a name given twice.
std::vector<GangPort> ParseGangPorts(const QString& list, QString* why);

struct GangOptions {
  QString file;         // the .DST file, already checked by the caller
  QString model;        // the batch's model; empty: the first unit identified sets it
  bool repeat = false;  // after each unit, wait for the next one
  bool yes = false;     // OK/Cancel questions are answered OK
  int retries = 2;      // Retry answers to Retry/Cancel before Cancel
  QString store;        // the record store for the backups; empty: the default one
  qint64 pollMs = 500;  // between two looks at an empty port
  int language = 1;     // the language of the reasons: 0 Italian, 1 English
  // Makes each slot's port, on the slot's own thread. Default: a real serial port.
  std::function<std::unique_ptr<SerialPort>(const GangPort&)> makePort;
};

// One unit, as the summary and the log give it.
struct GangUnit {
  int slot = 0;
  QString port;
  QDateTime time;
  QString model;        // empty: a unit the catalogue does not know
  QString identity;     // device code/variant/hardware revision/spare
  QString fingerprint;  // of the backup, when one was saved
  QString label;
  GangOutcome outcome = GangOutcome::Failed;
  QString reason;
  int cellsSent = 0;
};

// What the station shows for one slot.
struct GangSlotView {
  GangPort port;
  GangState state = GangState::Waiting;
  QString model, label, reason;
  int ok = 0, refused = 0, failed = 0;
  bool inHand = false;  // a unit is being written
};

class GangProgrammer final : public QObject {
  Q_OBJECT
public:
  GangProgrammer(std::vector<GangPort> ports, GangOptions options, QObject* parent = nullptr);
  // Stops at once (second request) and waits for every slot: no unit is left
  // in programming mode.
  ~GangProgrammer() override;

  // Starts every slot. False (with the reason) when the record store cannot
  // be opened; nothing is touched then.
  bool start(QString* why = nullptr);
  // First: no new unit, the units in hand finish. Second: their writes stop
  // at the next cell.
  void requestStop();
  int stopRequests() const { return stops_.load(); }
  bool running() const { return running_; }

  const std::vector<GangSlotView>& slotViews() const { return views_; }
  const std::vector<GangUnit>& units() const { return units_; }
  int count(GangOutcome o) const;
  // The model units are held to (given, or set by the first unit identified).
  QString batchModel() const;

signals:
  void slotChanged(int slot);
  // units()[index] has just finished.
  void unitDone(int index);
  // A slot could not open its port at its first look (a wrong name, or no
  // adapter or unit plugged yet); it keeps looking.
  void portMissing(int slot, const QString& why);
  // Every slot has ended.
  void finished();

private:
  class Slot;
  friend class Slot;
  // Called from a slot's thread: true when the unit may be written; else
  // *why says why it is refused.
  bool claimModel(const QString& model, QString* why);
  void post(std::function<void()> fn);
  void slotEnded(int slot);

  std::vector<GangPort> ports_;
  GangOptions options_;
  std::vector<GangSlotView> views_;
  std::vector<GangUnit> units_;
  std::vector<std::unique_ptr<QThread>> threads_;
  std::atomic<int> stops_{0};
  bool running_ = false;
  int live_ = 0;
  DeviceIdentity fileIdentity_;
  mutable std::mutex modelLock_;
  QString batchModel_;
};

} // namespace pv
