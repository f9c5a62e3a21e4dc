#include "factory/Multimeter.h"

namespace pv {

namespace {

QByteArray FunctionWord(MeterFunction f) {
  return f == MeterFunction::Volt ? QByteArrayLiteral("VOLT") : QByteArrayLiteral("CURR");
}

// What differs between the serial meter and the session one.
struct MeterDialect {
  QByteArrayList (*setup)(bool remote, MeterFunction f);
  double setupPause;  // seconds after each set-up line
  const char* query;
  double queryPause;  // seconds between the query and its answer
};

const MeterDialect kSerialMeter{MeterSerialSetup, 0.5, ":READ?", 1};
const MeterDialect kSessionMeter{[](bool, MeterFunction f) { return MeterSessionSetup(f); }, 0, "READ?", 0.5};

} // namespace

QByteArrayList MeterSerialSetup(bool remote, MeterFunction f) {
  if (!remote) return {QByteArrayLiteral(":SYST:LOC")};
  return {QByteArrayLiteral(":SYST:REM"), ":CONF:" + FunctionWord(f) + ":DC"};
}

QByteArrayList MeterSessionSetup(MeterFunction f) {
  return {f == MeterFunction::Volt ? QByteArrayLiteral("CONF:VOLT:DC 100,0.001")
                                   : QByteArrayLiteral("CONF:CURR:DC .1,0.001"),
          "SENS:" + FunctionWord(f) + ":DC:NPLC 1"};
}

bool Multimeter::SetupMultimeter(bool remote, MeterFunction f) {
  if (isManual()) {
    tell(QStringLiteral("Mult = %1").arg(QString::fromLatin1(FunctionWord(f))));
    return true;
  }
  Exchange ex(*this);
  if (!ex) return false;
  if (!openLink()) return false;
  const MeterDialect& d = where().kind == PortKind::Serial ? kSerialMeter : kSessionMeter;
  for (const QByteArray& line : d.setup(remote, f)) {
    if (!sendLine(line)) return false;
    pause(d.setupPause);
  }
  return true;
}

std::optional<double> Multimeter::ReadMultimeter() {
  using namespace instrument_text;
  if (isManual()) {
    const auto typed = askReading(QStringLiteral("Lettura Mult"));
    if (!typed) return std::nullopt;
    const auto v = typedNumber(*typed);
    if (!v) return std::nullopt;
    return *v * 1000.0;
  }
  Exchange ex(*this);
  if (!ex) return std::nullopt;
  if (!openLink()) return std::nullopt;
  const MeterDialect& d = where().kind == PortKind::Serial ? kSerialMeter : kSessionMeter;
  // What is left of an earlier reading is not this one's answer.
  session().clearInput();
  if (!sendLine(d.query)) return std::nullopt;
  pause(d.queryPause);
  QByteArray answer;
  for (;;) {
    if (auto line = session().readLine(static_cast<int>(bench_.answerLimitMs))) {
      answer = *line;
      break;
    }
    if (session().overlong()) {
      fail(tr(kBadAnswer).arg(name(), place(), ShownReply(session().partial().left(32)) + QStringLiteral("...")));
      return std::nullopt;
    }
    if (!session().timedOut()) {
      failComm(session().errorString());
      return std::nullopt;
    }
    // A meter that stops mid-line has had the full limit: what came is
    // taken if it reads as a number.
    if (ParseReplyNumber(session().partial())) {
      answer = session().partial();
      break;
    }
    if (!askRetry()) return std::nullopt;
  }
  session().clearInput();
  const auto v = ParseReplyNumber(answer);
  if (!v) {
    fail(tr(kBadAnswer).arg(name(), place(), ShownReply(answer)));
    return std::nullopt;
  }
  return *v * 1000.0;
}

bool Multimeter::MultimeterBeep() {
  if (isManual()) return true;
  Exchange ex(*this);
  if (!ex) return false;
  if (!openLink()) return false;
  return sendLine(QByteArrayLiteral("SYST:BEEP"));
}

} // namespace pv
