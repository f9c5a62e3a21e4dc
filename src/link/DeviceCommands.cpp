#include "link/DeviceCommands.h"

#include "kernel/Catalogue.h"
#include "kernel/Feedback.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "link/Codecs.h"
#include "link/SerialPort.h"
#include "link/Transport.h"

#include <algorithm>

namespace pv {

namespace {

constexpr int kTimeoutSec = 1;
constexpr int kCommError = 68;  // "Errore di comunicazione"
constexpr int kWriteCutShort = 140;
constexpr int kStillProgramming = 141;
const QByteArray kOk = QByteArrayLiteral("OK\r\n");

// "$" commands: mnemonic, three argument bytes, CR.
QByteArray Frame(const char* mnemonic, int a, int b, int c) {
  QByteArray f(mnemonic);
  f.append(static_cast<char>(a & 0xFF));
  f.append(static_cast<char>(b & 0xFF));
  f.append(static_cast<char>(c & 0xFF));
  f.append('\r');
  return f;
}

QByteArray Template(char first, int hashes) { return QByteArray(1, first) + QByteArray(hashes, '#'); }

bool Failed(const QByteArray& answer) { return answer == kTimeout || answer == kErrore; }

uint8_t Code(const QByteArray& answer, int oneBasedPosition) {
  return static_cast<uint8_t>(answer.at(oneBasedPosition - 1));
}

// The busy lamp and the hourglass for the length of one routine, put out on
// every way it ends. A routine that also takes the communication window
// away gives it back first.
class BusyScope {
public:
  explicit BusyScope(Feedback& feedback, bool holdWindow = false)
      : feedback_(feedback), holdWindow_(holdWindow) {
    feedback_.setBusy(true);
    feedback_.setHourglass(true);
    if (holdWindow_) feedback_.setCommWindowEnabled(false);
  }
  ~BusyScope() {
    if (holdWindow_) feedback_.setCommWindowEnabled(true);
    feedback_.setBusy(false);
    feedback_.setHourglass(false);
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

private:
  Feedback& feedback_;
  const bool holdWindow_;
};

} // namespace

DeviceCommands::DeviceCommands(AppState& state, Transport& transport, Prompter& prompter,
                               Feedback& feedback)
    : state_(state), transport_(transport), prompter_(prompter), feedback_(feedback) {}

QString DeviceCommands::FailureText() const {
  if (!transport_.isOpen()) return QStringLiteral("COM Port not open");
  return Tr(state_, kCommError);
}

bool DeviceCommands::AskRetry(const QString& text) {
  // A run being stopped gives up at the first failure.
  if (stopping()) return false;
  return prompter_.ask(ProductTitle(state_), text, Buttons::RetryCancel, Icon::Warning) ==
         Answer::Retry;
}

bool DeviceCommands::SendAndSettle(const QByteArray& command, double seconds) {
  transport_.DiscardInput();
  const bool sent = transport_.Send(command);
  transport_.Pause(seconds);
  transport_.DiscardInput();
  feedback_.setPortFrameEnabled(true);
  return sent;
}

void DeviceCommands::StopMeasure() {
  if (SendAndSettle(QByteArrayLiteral("SM\r"), 0.2)) streamingOpen_ = false;
}

void DeviceCommands::StartMeasure() {
  streamingOpen_ = true;
  SendAndSettle(QByteArrayLiteral("MI\r"), 0.2);
}

bool DeviceCommands::EndProgramming() {
  const bool sent = SendAndSettle(QByteArrayLiteral("$FPxx\r"), 0.1);
  if (sent) programmingOpen_ = false;
  return sent;
}

bool DeviceCommands::LeaveIdle() {
  if (!transport_.isOpen() || transport_.port().hasError()) return !streamingOpen_ && !programmingOpen_;
  if (streamingOpen_) StopMeasure();
  if (programmingOpen_) EndProgramming();
  return !streamingOpen_ && !programmingOpen_;
}

bool DeviceCommands::EnterProgramming() {
  state_.commError = false;
  bool ok = false;
  for (int attempts = 0; attempts < 3;) {
    transport_.DiscardInput();
    // Once sent, the unit may be in programming mode whatever it answers.
    programmingOpen_ = true;
    transport_.Send(QByteArrayLiteral("PR\r"));
    transport_.Pause(0.1);
    // Only the exact answer counts: a unit that says anything else is not
    // known to be in programming mode.
    if (transport_.ReadInput() == kOk) {
      ok = true;
      break;
    }
    ++attempts;
  }
  if (!ok) state_.commError = true;
  transport_.DiscardInput();
  feedback_.setPortFrameEnabled(true);
  return ok;
}

void DeviceCommands::LeaveProgrammingAfterFailure() {
  // A unit left in programming mode stops conditioning its signal; take it
  // out whenever the line may still reach it.
  if (transport_.isOpen() && !transport_.port().hasError()) EndProgramming();
}

CellBytes DeviceCommands::ReadCells(int bank, int firstAddress, int count) {
  CellBytes result{};
  bank = std::clamp(bank, 0, 255);
  firstAddress = std::clamp(firstAddress, 0, 255);
  // Addresses are single bytes: never wrap round onto cells nobody asked for.
  count = std::clamp(count, 0, 256 - firstAddress);

  const BusyScope busy(feedback_, true);
  state_.commError = false;
  int attempts = 0;
  // A run being stopped starts no read.
  bool failed = stopping();

  bool restart = true;
  while (restart && !failed) {
    restart = false;
    ++attempts;
    StopMeasure();
    EnterProgramming();
    // A refused "PR" is not reported here: the cell reads then time out.
    state_.commError = false;
    transport_.ClearInput();
    transport_.DiscardInput();

    for (int a = firstAddress; a < firstAddress + count; ++a) {
      // A read is safe to break off: the unit keeps what it holds.
      if (stopping()) {
        LeaveProgrammingAfterFailure();
        failed = true;
        break;
      }
      transport_.ClearInput();
      QByteArray answer = transport_.SendAndWait(Frame("$R", bank, a, 0), Template('*', 5), kTimeoutSec);
      if (answer == kTimeout) {
        const QString text = FailureText();
        if (attempts < 3) {
          EndProgramming();
          transport_.DiscardInput();
          restart = true;
          break;
        }
        if (AskRetry(text)) {
          EndProgramming();
          restart = true;
          break;
        }
        LeaveProgrammingAfterFailure();
        failed = true;
        break;
      }
      if (answer == kErrore) {
        failed = true;
        break;
      }
      result[a - firstAddress] = Code(answer, 4);
      feedback_.setProgress(a - firstAddress + 1, count);
    }
  }

  // Every cell arrived, but a unit whose closing command never left stays
  // in programming mode: that is a failure too.
  if (!failed && !EndProgramming()) failed = true;
  if (failed) {
    result[0] = 1;
    state_.commError = true;
  }
  return result;
}

void DeviceCommands::WriteCells(int bank, int count) {
  bank = std::clamp(bank, 0, 255);
  // Only queued cells are sent: a stale entry beyond the count would
  // overwrite a cell with a value nobody chose.
  count = std::clamp(count, 0, std::min(WriteList::kCapacity, state_.writeList.queued()));

  const BusyScope busy(feedback_);
  lastWrite_ = {};
  const WriteList& list = state_.writeList;
  if (stopping()) {
    // Asked to stop before the write began: nothing is sent.
    for (int i = 1; i <= count; ++i) lastWrite_.unsent.push_back(list.address[i]);
    state_.commError = true;
    return;
  }
  StopMeasure();
  if (EnterProgramming()) {
    int i = 1;
    for (; i <= count; ++i) {
      // A write in hand finishes on the first stop request (a unit holding
      // half of each configuration is worse than a few seconds more); a
      // second request stops it at the next cell.
      if (state_.stopRequests > 1) break;
      // "$W" has no answer: a cell counts as sent once its bytes left.
      if (!transport_.Send(Frame("$W", bank, list.address[i], list.data[i]))) break;
      lastWrite_.sent.push_back(list.address[i]);
      transport_.Pause(0.05);
      feedback_.setProgress(i, count);
    }
    for (; i <= count; ++i) lastWrite_.unsent.push_back(list.address[i]);
    lastWrite_.closed = EndProgramming();
    if (!lastWrite_.complete()) {
      state_.commError = true;
      if (!lastWrite_.closed) programmingReported_ = true;
      prompter_.ask(ProductTitle(state_), WriteFailureText(), Buttons::Ok, Icon::Critical);
    }
  } else {
    // Nothing was sent. The flag stays set: the caller must not take an
    // unwritten configuration for a written one.
    for (int i = 1; i <= count; ++i) lastWrite_.unsent.push_back(list.address[i]);
    EndProgramming();
    state_.commError = true;
    prompter_.ask(ProductTitle(state_), Tr(state_, kCommError), Buttons::Ok, Icon::Critical);
  }
}

QString DeviceCommands::WriteFailureText() const {
  auto list = [](const std::vector<int>& cells) {
    if (cells.empty()) return QStringLiteral("-");
    QStringList out;
    for (int a : cells) out << QString::number(a);
    return out.join(QStringLiteral(", "));
  };
  QString text = FailureText();
  if (!lastWrite_.unsent.empty()) {
    // Some cells left and some did not: the unit holds neither configuration.
    text += QStringLiteral("\n\n") + Tr(state_, kWriteCutShort).arg(list(lastWrite_.sent), list(lastWrite_.unsent));
  }
  if (!lastWrite_.closed) text += QStringLiteral("\n\n") + Tr(state_, kStillProgramming);
  return text;
}

IdentityBytes DeviceCommands::ReadIdentity() {
  IdentityBytes result{};
  const BusyScope busy(feedback_);
  state_.commError = false;
  auto giveUp = [&] {
    LeaveProgrammingAfterFailure();
    result[0] = 1;
    state_.commError = true;
    return result;
  };
  QByteArray answer;
  for (;;) {
    if (stopping()) return giveUp();
    StopMeasure();
    EnterProgramming();
    transport_.ClearInput();
    answer = transport_.SendAndWait(Frame("$V", 0, 0, 0), Template('*', 6), kTimeoutSec);
    if (!Failed(answer)) break;
    if (!AskRetry(FailureText())) return giveUp();
  }
  // Answer: '*', variant, hardware revision, spare byte, device code, CR LF.
  result[0] = 0;
  result[1] = Code(answer, 4);
  result[2] = Code(answer, 5);
  result[3] = Code(answer, 2);
  result[4] = Code(answer, 3);
  EndProgramming();
  state_.identity.deviceCode = result[2];
  state_.identity.spare = result[1];
  state_.identity.variant = result[3];
  state_.identity.hardwareRevision = result[4];
  EndProgramming();
  state_.commError = false;
  return result;
}

QByteArray DeviceCommands::QueryInProgramming(const QByteArray& command, const QByteArray& answerTemplate,
                                              bool* programmingRefused) {
  *programmingRefused = false;
  state_.commError = false;
  int attempts = 0;
  for (;;) {
    ++attempts;
    if (stopping()) return kErrore;
    StopMeasure();
    if (!EnterProgramming()) {
      *programmingRefused = true;
      return kErrore;
    }
    transport_.ClearInput();
    QByteArray answer = transport_.SendAndWait(command, answerTemplate, kTimeoutSec);
    if (answer == kErrore || !Failed(answer)) return answer;
    if (attempts < 3) {
      EndProgramming();
      transport_.Send(QByteArrayLiteral("$FPxx\r"));
      continue;
    }
    if (AskRetry(Tr(state_, kCommError))) {
      EndProgramming();
      continue;
    }
    return kErrore;
  }
}

std::array<int, 4> DeviceCommands::ReadSwitchState() {
  std::array<int, 4> result{};
  const BusyScope busy(feedback_);
  const bool longAnswer = LongSwitchAnswer(state_.identity);
  const QByteArray tmpl = Template('*', longAnswer ? 6 : 4);
  bool refused = false;
  const QByteArray answer = QueryInProgramming(Frame("$D", 0, 0, 0), tmpl, &refused);
  if (!refused) {
    if (!Failed(answer)) {
      // The short answer carries two switch bytes; its line ending is not a
      // third and fourth bank.
      const int carried = longAnswer ? 4 : 2;
      for (int k = 0; k < carried; ++k) result[k] = Code(answer, k + 2);
    }
    const bool error = Failed(answer);
    const bool closed = EndProgramming();
    state_.commError = error || !closed;
  }
  return result;
}

QVector<int> DeviceCommands::ReadCalibrationTables(int inputType) {
  // An unknown variant keeps the sizes it had.
  if (const VariantRow* row = FindVariant(state_.identity.variant)) {
    state_.spanPoints = row->spanPoints;
    state_.zeroPoints = row->zeroPoints;
  }
  const int S = state_.spanPoints;
  const int Z = state_.zeroPoints;
  const QByteArray tmpl = Template('*', 2 * (S + Z) + 3);
  const int t = std::clamp(inputType, 0, 255);

  const BusyScope busy(feedback_);
  auto fail = [this]() {
    state_.commError = true;
    return QVector<int>();
  };

  bool refused = false;
  const QByteArray answer = QueryInProgramming(Frame("$S", t, t, 0), tmpl, &refused);
  if (refused) return fail();
  if (Failed(answer)) {
    EndProgramming();
    return fail();
  }
  if (!EndProgramming()) return fail();
  transport_.Pause(0.2);

  const int defaults = 112 + 4 * (t - 1) + (state_.channelSelector == 1 ? 20 : 0);
  if (defaults < 0 || defaults + 4 > 256) return fail();  // no such cells
  state_.programmingBuffer = ReadCells(0, defaults, 4);
  if (state_.commError) return fail();
  transport_.Pause(0.1);

  const bool sign = state_.signedValues;
  const auto& cells = state_.programmingBuffer;
  auto word = [&](int at) {
    return JoinWord(Code(answer, at + 1), Code(answer, at), sign);
  };
  QVector<int> out;
  out.reserve(S + Z + 2);
  out.append(JoinWord(cells[1], cells[0], sign));
  for (int i = 0; i < S; ++i) out.append(word(2 + 2 * i));
  out.append(JoinWord(cells[3], cells[2], sign));
  for (int j = 0; j < Z; ++j) out.append(word(2 + 2 * S + 2 * j));
  return out;
}

int DeviceCommands::MeasureFrameDataLength() const {
  return FrameDataLength(state_.identity);
}

FrameBytes DeviceCommands::ReadMeasureFrame() {
  FrameBytes result{};
  state_.commError = false;
  const int n = MeasureFrameDataLength();
  const QByteArray tmpl = Template('A', n + 1);  // data bytes, then CR
  for (;;) {
    const QByteArray frame = transport_.SendAndWait(QByteArray(), tmpl, kTimeoutSec, true);
    if (!Failed(frame)) {
      for (int k = 1; k <= n; ++k) result[k] = Code(frame, k + 1);
      return result;
    }
    if (!AskRetry(Tr(state_, kCommError))) {
      result[0] = 1;
      state_.commError = true;
      return result;
    }
    StopMeasure();
    transport_.Pause(0.5);
    StartMeasure();
  }
}

void DeviceCommands::SetOutputLevel(int value) {
  const WordBytes w = SplitWord(value);
  SendAndSettle(Frame("$I", w.hi, w.lo, 0), 0.2);
}

void DeviceCommands::SetOutputLevelAlt(int value) {
  const WordBytes w = SplitWord(value);
  SendAndSettle(Frame("$i", w.hi, w.lo, 0), 0.2);
}

} // namespace pv
