// Device answers: any bytes as what a unit sends back, through the real
// transport, command routines and identity acceptance, on the in-memory port
// with simulated time (each answer at once, later, or after the time-out).
//
// Input: model byte, retry budget byte, four routine bytes, then the
// template probe (length byte, CR-only flag); the rest is the unit's side,
// chunks of (header, bytes): header bits 0-5 the length, bits 6-7 when the
// chunk arrives after the program writes (at once, 0.3 s, 0.9 s, 1.2 s).
//
// Invariants:
// - the answer scanner returns the last candidate of the template's length
//   that starts with the template's first character and ends with its line
//   ending, or nothing when there is none;
// - every routine ends (retries are bounded by the user's answers);
// - a routine that reports success returns bytes the unit really sent in a
//   well-formed answer, and one that fails says so;
// - acceptance: a read goes on only for device code 12; a write only for the
//   unit the editor was filled for, with device code 11 or 12; a refused
//   write restores the identity the editor was filled for.
#include "FuzzSupport.h"

#include "kernel/Catalogue.h"
#include "kernel/Feedback.h"
#include "kernel/Prompter.h"
#include "link/Acceptance.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/MemorySerialPort.h"
#include "link/Transport.h"

#include <QCoreApplication>

using namespace pv;
using namespace pv::fuzz;

namespace {

// Answers Retry while its budget lasts, then Cancel; OK to everything else.
class BudgetPrompter : public Prompter {
public:
  explicit BudgetPrompter(int retries) : retries_(retries) {}
  Answer ask(const QString&, const QString&, Buttons buttons, Icon) override {
    ++asked;
    if (buttons == Buttons::RetryCancel) return retries_-- > 0 ? Answer::Retry : Answer::Cancel;
    return Answer::Ok;
  }
  std::optional<QString> askText(const QString&, const QString&, const QString&) override { return {}; }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  int asked = 0;

private:
  int retries_;
};

bool Contains(const QByteArray& sent, const QByteArray& answer) { return sent.contains(answer); }

QByteArray Bytes(std::initializer_list<int> b) {
  QByteArray out;
  for (int x : b) out.append(static_cast<char>(x));
  return out;
}

// The scanner against its rule, checked by brute force.
void CheckMatch(const QByteArray& collected, const QByteArray& tmpl, bool crOnly) {
  const QByteArray got = MatchAnswer(collected, tmpl, crOnly);
  QByteArray expected;
  const qsizetype len = tmpl.size();
  for (qsizetype k = 0; len > 0 && k + len <= collected.size(); ++k) {
    const QByteArray c = collected.mid(k, len);
    const bool ends = crOnly ? c.endsWith('\r') : (len >= 2 && c.endsWith("\r\n"));
    if (c[0] == tmpl[0] && ends) expected = c;
  }
  PV_FUZZ_CHECK(got == expected, QStringLiteral("scanner returned %1, the rule gives %2")
                                     .arg(QString::fromLatin1(got.toHex(' ')), QString::fromLatin1(expected.toHex(' '))));
  if (!got.isEmpty()) {
    PV_FUZZ_CHECK(got.size() == len && got[0] == tmpl[0], QStringLiteral("candidate of the wrong shape"));
    PV_FUZZ_CHECK(crOnly ? got.endsWith('\r') : got.endsWith("\r\n"), QStringLiteral("candidate without line ending"));
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const ModelRow& unit = kModels[in.byte() % kModels.size()];
  const uint8_t budget = in.byte();
  uint8_t routines[4];
  for (auto& r : routines) r = in.byte();
  const uint8_t probeLength = in.byte();
  const bool probeCrOnly = in.flag();
  const QByteArray stream = in.rest();

  // The scanner alone, on the whole stream.
  QByteArray tmpl(1, stream.isEmpty() ? '*' : stream[0]);
  tmpl += QByteArray(probeLength % 20, '#');
  CheckMatch(stream, tmpl, probeCrOnly);

  AppState state;
  state.identity = {static_cast<uint8_t>(budget & 128 ? 11 : 12), unit.variant, 4, 0};
  state.familyCell = unit.family;
  MemorySerialPort port;
  FakeClock clock;
  Transport transport(port, clock);
  BudgetPrompter prompter(budget & 7);
  Feedback feedback;
  DeviceCommands commands(state, transport, prompter, feedback);
  port.open(QStringLiteral("COM 1"));

  qsizetype at = 0;
  QByteArray sent;  // everything the unit sent
  port.setPeer([&](const QByteArray&) {
    if (at >= stream.size()) return;
    const uint8_t header = static_cast<uint8_t>(stream[at++]);
    const QByteArray chunk = stream.mid(at, header & 63);
    at += chunk.size();
    static constexpr qint64 kLater[] = {0, 300, 900, 1200};
    const qint64 delay = kLater[header >> 6];
    if (delay == 0) {
      sent += chunk;
      port.deliver(chunk);
    } else {
      clock.schedule(clock.nowMs() + delay, [&, chunk] {
        sent += chunk;
        port.deliver(chunk);
      });
    }
  });

  for (uint8_t r : routines) {
    switch (r % 7) {
      case 0: {
        const IdentityBytes id = commands.ReadIdentity();
        if (id[0] == 1) {
          PV_FUZZ_CHECK(state.commError, QStringLiteral("a failed identity read without the error flag"));
          break;
        }
        PV_FUZZ_CHECK(!state.commError, QStringLiteral("an identity with the error flag set"));
        PV_FUZZ_CHECK(Contains(sent, Bytes({'*', id[3], id[4], id[1], id[2], '\r', '\n'})),
                      QStringLiteral("an identity the unit never sent"));
        PV_FUZZ_CHECK(state.identity.deviceCode == id[2] && state.identity.variant == id[3],
                      QStringLiteral("the identity read is not the program's"));
        PV_FUZZ_CHECK(ReadAcceptance(state, prompter) == (state.identity.deviceCode == 12),
                      QStringLiteral("read acceptance for device code %1").arg(state.identity.deviceCode));
        break;
      }
      case 1: {
        const DeviceIdentity before = state.identity;
        const bool ok = WriteAcceptance(commands);
        if (ok) {
          PV_FUZZ_CHECK(state.identity.deviceCode == before.deviceCode && state.identity.variant == before.variant,
                        QStringLiteral("a write accepted for another unit"));
          PV_FUZZ_CHECK(before.deviceCode == 11 || before.deviceCode == 12,
                        QStringLiteral("a write accepted for device code %1").arg(before.deviceCode));
        } else {
          PV_FUZZ_CHECK(state.identity.deviceCode == before.deviceCode && state.identity.variant == before.variant,
                        QStringLiteral("a refused write left another unit's identity"));
        }
        break;
      }
      case 2: {
        const int first = r >> 3;
        const CellBytes cells = commands.ReadCells(0, first, 3);
        if (state.commError) {
          PV_FUZZ_CHECK(cells[0] == 1, QStringLiteral("a failed cell read without the failure mark"));
          break;
        }
        for (int i = 0; i < 3; ++i) {
          bool seen = false;
          for (qsizetype k = sent.indexOf('*'); k >= 0 && !seen; k = sent.indexOf('*', k + 1))
            seen = k + 5 < sent.size() && static_cast<uint8_t>(sent[k + 3]) == cells[i] && sent[k + 4] == '\r' &&
                   sent[k + 5] == '\n';
          PV_FUZZ_CHECK(seen, QStringLiteral("cell %1 = %2 was never sent").arg(first + i).arg(cells[i]));
        }
        break;
      }
      case 3:
        commands.ReadSwitchState();
        break;
      case 4: {
        const QVector<int> table = commands.ReadCalibrationTables(r >> 3);
        PV_FUZZ_CHECK(table.isEmpty() == state.commError, QStringLiteral("a table result that contradicts the flag"));
        if (!table.isEmpty())
          PV_FUZZ_CHECK(table.size() == state.spanPoints + state.zeroPoints + 2,
                        QStringLiteral("a table of %1 values").arg(table.size()));
        break;
      }
      case 5: {
        const FrameBytes frame = commands.ReadMeasureFrame();
        if (frame[0] == 1) {
          PV_FUZZ_CHECK(state.commError, QStringLiteral("a failed frame without the error flag"));
          break;
        }
        const int n = commands.MeasureFrameDataLength();
        QByteArray expected("A");
        for (int k = 1; k <= n; ++k) expected.append(static_cast<char>(frame[k]));
        expected.append('\r');
        PV_FUZZ_CHECK(Contains(sent, expected), QStringLiteral("a frame the unit never sent"));
        for (int k = n + 1; k < static_cast<int>(frame.size()); ++k)
          PV_FUZZ_CHECK(frame[k] == 0, QStringLiteral("frame byte %1 past the frame is set").arg(k));
        break;
      }
      case 6:
        if (commands.EnterProgramming())
          PV_FUZZ_CHECK(Contains(sent, QByteArrayLiteral("OK\r\n")), QStringLiteral("programming without \"OK\""));
        break;
    }
  }
  return 0;
}
