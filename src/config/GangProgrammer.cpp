#include "config/GangProgrammer.h"

#include "config/ConfigDevice.h"
#include "config/ConfigFile.h"
#include "config/EditorModel.h"
#include "config/RangeTables.h"
#include "kernel/Feedback.h"
#include "kernel/Prompter.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/DeviceLink.h"
#include "link/ModelFamily.h"
#include "link/PortNames.h"
#include "link/QtSerialPort.h"
#include "link/Transport.h"
#include "records/RecordStore.h"
#include "text/StringTable.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

namespace pv {

const char* GangOutcomeName(GangOutcome o) {
  switch (o) {
  case GangOutcome::Ok: return "ok";
  case GangOutcome::Refused: return "refused";
  case GangOutcome::Failed: break;
  }
  return "failed";
}

QString GangPortPath(const QString& name) {
  static const QRegularExpression com(QStringLiteral("^COM ?([1-8])$"), QRegularExpression::CaseInsensitiveOption);
  const auto m = com.match(name.trimmed());
  if (m.hasMatch()) return ResolveComPort(m.captured(1).toInt());
  return name.trimmed();
}

std::vector<GangPort> ParseGangPorts(const QString& list, QString* why) {
  std::vector<GangPort> ports;
  QSet<QString> paths;
  for (const QString& part : list.split(QLatin1Char(','))) {
    const QString name = part.trimmed();
    if (name.isEmpty()) continue;
    const QString path = GangPortPath(name);
    if (paths.contains(path)) {
      if (why) *why = QStringLiteral("port %1 is given twice").arg(name);
      return {};
    }
    paths.insert(path);
    ports.push_back({name, path});
  }
  if (ports.empty() && why) *why = QStringLiteral("no port given");
  return ports;
}

namespace {

GangSlotView Fresh(const GangPort& port) {
  GangSlotView v;
  v.port = port;
  return v;
}

QString Text(int language, int id) { return LoadText(id + ComputeLanguageOffset(language)); }

// Nobody sits at a slot to answer: the questions are answered by the
// options, and what was said is kept as the unit's reason.
class SlotPrompter final : public Prompter {
public:
  SlotPrompter(bool yes, int retries) : yes_(yes), retries_(retries) {}
  QStringList said;
  Answer ask(const QString&, const QString& text, Buttons buttons, Icon icon) override {
    switch (buttons) {
    case Buttons::RetryCancel:
      if (streak_ < retries_) {
        ++streak_;
        return Answer::Retry;
      }
      streak_ = 0;
      said << text;
      return Answer::Cancel;
    case Buttons::OkCancel:
      if (yes_) return Answer::Ok;
      said << text;
      return Answer::Cancel;
    case Buttons::YesNo: return yes_ ? Answer::Yes : Answer::No;
    case Buttons::AbortRetryIgnore:
      said << text;
      return Answer::Abort;
    case Buttons::Ok: break;
    }
    if (icon == Icon::Critical || icon == Icon::Warning) said << text;
    return Answer::Ok;
  }
  std::optional<QString> askText(const QString&, const QString&, const QString& def) override { return def; }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  // A routine ended: the next failure starts a new streak of retries.
  void settled() { streak_ = 0; }

private:
  bool yes_;
  int retries_;
  int streak_ = 0;
};

class SlotFeedback final : public Feedback {
public:
  explicit SlotFeedback(SlotPrompter& p) : p_(p) {}
  void setBusy(bool busy) override {
    if (!busy) p_.settled();
  }

private:
  SlotPrompter& p_;
};

// The slot's clock: a second stop request reaches the unit's routines at
// their next wait, on the slot's own thread.
class SlotClock final : public Clock {
public:
  SlotClock(const std::atomic<int>& stops) : stops_(stops) {}
  AppState* state = nullptr;
  qint64 nowMs() override { return inner_.nowMs(); }
  void wait(qint64 ms, SerialPort* port) override {
    inner_.wait(ms, port);
    if (state && stops_.load() > 1) state->stopRequests = std::max(state->stopRequests, 2);
  }

private:
  SteadyClock inner_;
  const std::atomic<int>& stops_;
};

// Everything one look at a unit, or one unit's write, needs: a fresh state,
// link and editor, as a single command has.
struct UnitStack {
  AppState state;
  RangeTables tables;
  SlotPrompter prompter;
  SlotFeedback feedback{prompter};
  DeviceLink link;
  Transport transport;
  DeviceCommands commands;
  EditorModel model;
  UnitStack(SerialPort& port, SlotClock& clock, bool yes, int retries, int language)
      : prompter(yes, retries), link(clock, prompter), transport(port, link.clock()),
        commands(state, transport, link.prompter(), feedback), model(state, tables) {
    state.languageIndex = language;
    state.languageOffset = ComputeLanguageOffset(language);
    state.recordCommand = QStringLiteral("program");
  }
};

} // namespace

class GangProgrammer::Slot final : public QThread {
public:
  Slot(GangProgrammer& gang, int index) : gang_(gang), index_(index), clock_(gang.stops_) {}

  void run() override {
    const GangOptions& o = gang_.options_;
    std::unique_ptr<SerialPort> port =
        o.makePort ? o.makePort(gang_.ports_[static_cast<size_t>(index_)]) : std::make_unique<QtSerialPort>();
    port_ = port.get();
    store_ = RecordStore::Open(o.store.isEmpty() ? RecordStore::DefaultLocation() : o.store, &storeError_);
    bool first = true;
    std::optional<Probe> next;
    while (!stopped()) {
      show(GangState::Waiting, {}, {}, {}, false);
      std::optional<Probe> p = std::move(next);
      next.reset();
      while (!p && !stopped()) {
        p = look(first);
        first = false;
        if (!p) clock_.wait(o.pollMs, nullptr);
      }
      if (!p) break;
      const QString written = program(*p);
      if (!o.repeat) break;
      next = awaitPull(written);
    }
    port_->close();
    port_ = nullptr;
    store_.reset();
    gang_.post([g = &gang_, i = index_] { g->slotEnded(i); });
  }

private:
  struct Probe {
    QString model, identity;
    DeviceIdentity id;
  };

  bool stopped() const { return gang_.stops_.load() > 0; }

  void show(GangState s, const QString& model, const QString& label, const QString& reason, bool inHand) {
    gang_.post([g = &gang_, i = index_, s, model, label, reason, inHand] {
      GangSlotView& v = g->views_[static_cast<size_t>(i)];
      v.state = s;
      v.model = model;
      v.label = label;
      if (!reason.isEmpty() || s == GangState::Writing) v.reason = reason;
      v.inHand = inHand;
      emit g->slotChanged(i);
    });
  }

  bool openPort(bool first) {
    if (port_->isOpen() && !port_->hasError()) return true;
    port_->close();
    OpenError err = OpenError::None;
    QString detail;
    if (port_->open(gang_.ports_[static_cast<size_t>(index_)].path, &err, &detail)) return true;
    if (first) {
      const GangPort& p = gang_.ports_[static_cast<size_t>(index_)];
      const QString why = Text(gang_.options_.language, 175).arg(p.name, p.path) +
                          (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
      gang_.post([g = &gang_, i = index_, why] { emit g->portMissing(i, why); });
    }
    return false;
  }

  // Waits until the unit just done is gone: two silent looks (one lost
  // answer on a loose terminal must not start it again), or at once when
  // the port vanished or failed (the adapter pulled with the unit). A unit
  // answering right after a silence may be the next one swapped in fast:
  // its fingerprint tells (units whose factory cells are blank cannot be
  // told apart and count as the same). Returns that next unit, if any.
  std::optional<Probe> awaitPull(const QString& fingerprint) {
    for (int misses = 0; !stopped() && misses < 2;) {
      clock_.wait(gang_.options_.pollMs, nullptr);
      bool lost = false;
      std::optional<Probe> p = look(false, &lost);
      if (!p) {
        misses = lost ? 2 : misses + 1;
        continue;
      }
      if (misses > 0 && !fingerprint.isEmpty()) {
        const QString now = fingerprintNow();
        if (!now.isEmpty() && now != fingerprint) return p;
      }
      misses = 0;
    }
    return std::nullopt;
  }

  // The fingerprint of the unit on the port now; empty when unknown or blank.
  QString fingerprintNow() {
    UnitStack u(*port_, clock_, false, 0, gang_.options_.language);
    clock_.state = &u.state;
    QString digest;
    u.link.run(Exchange::Command, [&] {
      if (const std::optional<ConnectedUnit> c = IdentifyUnit(u.commands, store_.get()); c && !c->fingerprint.blank)
        digest = c->fingerprint.digest;
    });
    u.link.run(Exchange::Command, [&] { u.commands.LeaveIdle(); });
    clock_.state = nullptr;
    return digest;
  }

  // One quick look: is a unit there, and which? No retries: an empty cable
  // is the usual answer.
  std::optional<Probe> look(bool first, bool* lost = nullptr) {
    if (!openPort(first)) {
      if (lost) *lost = true;
      return std::nullopt;
    }
    UnitStack u(*port_, clock_, false, 0, gang_.options_.language);
    clock_.state = &u.state;
    std::optional<Probe> p;
    u.link.run(Exchange::Command, [&] {
      const IdentityBytes id = u.commands.ReadIdentity();
      if (id[0] == 1 || u.state.commError) return;
      const FamilyLookup found = LookUpModel(u.state, u.commands, true);
      if (!found.answered) return;
      const DeviceIdentity& d = u.state.identity;
      p = Probe{CatalogueIndex(found.modelId) >= 0 ? found.modelId : QString(),
                QStringLiteral("%1/%2/%3/%4").arg(d.deviceCode).arg(d.variant).arg(d.hardwareRevision).arg(d.spare), d};
    });
    u.link.run(Exchange::Command, [&] { u.commands.LeaveIdle(); });
    clock_.state = nullptr;
    if (port_->hasError() && lost) *lost = true;
    // A silent port is opened afresh next time: its device may have gone and
    // come back with another unit.
    if (!p || port_->hasError()) port_->close();
    return p;
  }

  // Programs the unit identified; returns its fingerprint when it was backed up.
  QString program(const Probe& p) {
    const GangOptions& o = gang_.options_;
    GangUnit r;
    r.slot = index_;
    r.port = gang_.ports_[static_cast<size_t>(index_)].name;
    r.model = p.model;
    r.identity = p.identity;
    const QString shown = p.model.isEmpty() ? Text(o.language, 172) : p.model;
    QString why;
    if (p.id.deviceCode != gang_.fileIdentity_.deviceCode || p.id.variant != gang_.fileIdentity_.variant) {
      r.outcome = GangOutcome::Refused;
      r.reason = Text(o.language, 170)
                     .arg(p.id.deviceCode).arg(p.id.variant)
                     .arg(gang_.fileIdentity_.deviceCode).arg(gang_.fileIdentity_.variant);
    } else if (!gang_.claimModel(p.model, &why)) {
      r.outcome = GangOutcome::Refused;
      r.reason = why;
    } else {
      show(GangState::Writing, shown, {}, {}, true);
      write(r);
    }
    r.time = QDateTime::currentDateTime();
    const GangState s = r.outcome == GangOutcome::Ok        ? GangState::Ok
                        : r.outcome == GangOutcome::Refused ? GangState::Refused
                                                            : GangState::Failed;
    gang_.post([g = &gang_, r, s, shown] {
      GangSlotView& v = g->views_[static_cast<size_t>(r.slot)];
      v.state = s;
      v.model = shown;
      v.label = r.label;
      v.reason = r.reason;
      v.inHand = false;
      (r.outcome == GangOutcome::Ok ? v.ok : r.outcome == GangOutcome::Refused ? v.refused : v.failed)++;
      g->units_.push_back(r);
      emit g->slotChanged(r.slot);
      emit g->unitDone(static_cast<int>(g->units_.size()) - 1);
    });
    return r.fingerprint;
  }

  // What write-config does for one unit: its cells read first, the file
  // opened onto them with its checks, the replaced cells saved, the cells
  // written and read back.
  void write(GangUnit& r) {
    const GangOptions& o = gang_.options_;
    if (!store_) {
      // No unit is written without its backup.
      r.outcome = GangOutcome::Failed;
      r.reason = storeError_;
      return;
    }
    UnitStack u(*port_, clock_, o.yes, o.retries, gang_.options_.language);
    clock_.state = &u.state;
    ConfigResult result = ConfigResult::CommFailure;
    qint64 saved = 0;
    bool fileRefused = false;
    u.link.run(Exchange::Command, [&] {
      const IdentityBytes id = u.commands.ReadIdentity();
      if (id[0] == 1 || u.state.commError) return;
      if (u.state.identity.deviceCode == 11) {
        // Written but never read by the program: its own cells are still
        // taken, so what the file does not hold stays as the unit has it.
        u.model.fillLists();
        const CellBytes cells = u.commands.ReadCells(0, 0, 65);
        if (u.state.commError) return;
        CellImage image{};
        for (int a = 0; a <= 64; ++a) image[a] = cells[a];
        u.model.base = image;
        u.model.baseValid = true;
        u.model.load(DecodeConfig(u.state.identity, u.tables, image));
      } else {
        result = ReadEprom(u.model, u.commands);
        if (result != ConfigResult::Ok) return;
      }
      ConfigFile file(u.model, u.prompter);
      if (file.openFrom(o.file) != FileResult::Done) {
        fileRefused = true;
        if (!file.lastError().isEmpty()) u.prompter.said << file.lastError();
        return;
      }
      WriteOptions w;
      w.baseIsFresh = true;
      w.backup.store = store_.get();
      w.backup.command = QStringLiteral("program");
      w.backup.savedId = &saved;
      result = WriteEprom(u.model, u.commands, w);
    });
    // Every way out leaves the unit idle.
    u.link.run(Exchange::Command, [&] { u.commands.LeaveIdle(); });
    clock_.state = nullptr;
    r.cellsSent = static_cast<int>(u.commands.lastWrite().sent.size());
    if (fileRefused) r.outcome = GangOutcome::Refused;
    else if (result == ConfigResult::Ok) r.outcome = GangOutcome::Ok;
    else if (result == ConfigResult::Refused || result == ConfigResult::Cancelled ||
             result == ConfigResult::NotCompatible || result == ConfigResult::BadData)
      r.outcome = GangOutcome::Refused;
    else r.outcome = GangOutcome::Failed;
    r.reason = u.prompter.said.join(QStringLiteral("; ")).simplified();
    if (r.outcome == GangOutcome::Failed && r.reason.isEmpty())
      r.reason = Text(o.language, port_->hasError() || !port_->isOpen() ? 173 : 174);
    if (r.outcome == GangOutcome::Failed && gang_.stops_.load() > 1)
      r.reason = Text(o.language, 177) + QStringLiteral("; ") + r.reason;
    if (u.commands.mayBeProgramming() && !r.reason.contains(Text(o.language, 141))) r.reason += QStringLiteral("; ") + Text(o.language, 176);
    if (saved > 0 && store_) {
      if (const auto e = store_->entry(saved); e && e->record) {
        r.fingerprint = e->record->fingerprint;
        r.label = e->record->label;
      }
    }
    if (port_->hasError()) port_->close();
  }

  GangProgrammer& gang_;
  int index_;
  SlotClock clock_;
  SerialPort* port_ = nullptr;
  std::unique_ptr<RecordStore> store_;
  QString storeError_;
};

GangProgrammer::GangProgrammer(std::vector<GangPort> ports, GangOptions options, QObject* parent)
    : QObject(parent), ports_(std::move(ports)), options_(std::move(options)), batchModel_(options_.model) {
  for (const GangPort& p : ports_) views_.push_back(Fresh(p));
}

GangProgrammer::~GangProgrammer() {
  stops_.store(2);
  for (auto& t : threads_) t->wait();
}

bool GangProgrammer::start(QString* why) {
  if (running_) return false;
  QFile file(options_.file);
  if (!file.open(QIODevice::ReadOnly)) {
    if (why) *why = QStringLiteral("cannot read %1: %2").arg(options_.file, file.errorString());
    return false;
  }
  const QByteArray record = file.read(kRecordSize + 1);
  if (const QString bad = ValidateRecord(record); !bad.isEmpty()) {
    if (why) *why = options_.file + QStringLiteral(": ") + bad;
    return false;
  }
  fileIdentity_ = RecordIdentity(record);
  // The store is made here, once, before the slots open it side by side.
  if (!RecordStore::Open(options_.store.isEmpty() ? RecordStore::DefaultLocation() : options_.store, why)) return false;
  for (auto& t : threads_) t->wait();
  threads_.clear();
  units_.clear();
  stops_.store(0);
  {
    std::lock_guard lock(modelLock_);
    batchModel_ = options_.model;
  }
  for (size_t i = 0; i < views_.size(); ++i) {
    views_[i] = Fresh(ports_[i]);
    threads_.push_back(std::make_unique<Slot>(*this, static_cast<int>(i)));
  }
  running_ = true;
  live_ = static_cast<int>(threads_.size());
  for (auto& t : threads_) t->start();
  return true;
}

void GangProgrammer::requestStop() {
  if (running_) stops_.fetch_add(1);
}

int GangProgrammer::count(GangOutcome o) const {
  int n = 0;
  for (const GangUnit& u : units_) n += u.outcome == o;
  return n;
}

QString GangProgrammer::batchModel() const {
  std::lock_guard lock(modelLock_);
  return batchModel_;
}

bool GangProgrammer::claimModel(const QString& model, QString* why) {
  std::lock_guard lock(modelLock_);
  if (batchModel_.isEmpty() && !model.isEmpty()) batchModel_ = model;
  if (!model.isEmpty() && model == batchModel_) return true;
  *why = Text(options_.language, 171).arg(model.isEmpty() ? Text(options_.language, 172) : model, batchModel_);
  return false;
}

void GangProgrammer::post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void GangProgrammer::slotEnded(int slot) {
  // The last unit's outcome stays in sight; a slot that was waiting ends.
  GangSlotView& v = views_[static_cast<size_t>(slot)];
  if (v.state == GangState::Waiting || v.state == GangState::Writing) v.state = GangState::Ended;
  views_[static_cast<size_t>(slot)].inHand = false;
  emit slotChanged(slot);
  if (--live_ > 0) return;
  for (auto& t : threads_) t->wait();
  running_ = false;
  emit finished();
}

} // namespace pv
