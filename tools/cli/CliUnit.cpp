#include "CliUnit.h"

#include "link/SerialPort.h"
#include "text/StringTable.h"
#include "text/Texts.h"

#include <algorithm>

namespace pv {

Answer CliPrompter::ask(const QString&, const QString& text, Buttons buttons, Icon icon) {
  progress_.clear();  // a message starts on a line of its own
  switch (buttons) {
  case Buttons::RetryCancel:
    if (streak_ < retries_) {
      ++streak_;
      err_ << "planovix-cli: " << text << " (retry " << streak_ << " of " << retries_ << ")\n";
      return Answer::Retry;
    }
    ++said;
    err_ << "planovix-cli: " << text << " (giving up"
         << (retries_ > 0 ? QStringLiteral(" after %1 retries").arg(retries_) : QString()) << ")\n";
    return Answer::Cancel;
  case Buttons::OkCancel:
    if (yes_) {
      err_ << "planovix-cli: " << text << " (accepted: --yes)\n";
      return Answer::Ok;
    }
    ++said;
    err_ << "planovix-cli: " << text << " (refused: use --yes to accept)\n";
    return Answer::Cancel;
  case Buttons::YesNo:
    err_ << "planovix-cli: " << text << (yes_ ? " (yes)\n" : " (no)\n");
    return yes_ ? Answer::Yes : Answer::No;
  case Buttons::AbortRetryIgnore:
    ++said;
    err_ << "planovix-cli: " << text << " (abort)\n";
    return Answer::Abort;
  case Buttons::Ok:
    break;
  }
  if (icon == Icon::Critical || icon == Icon::Warning) ++said;
  err_ << "planovix-cli: " << text << "\n";
  return Answer::Ok;
}

std::optional<QString> CliPrompter::askText(const QString&, const QString& prompt, const QString& def) {
  if (def.isEmpty()) err_ << "planovix-cli: " << prompt << " (none given: use --label)\n";
  return def;
}

CliUnit::CliUnit(CliRun& run, const QString& recordCommand)
    : progress(run.io.err, ShowsProgress(run.json())), prompter(run.yes(), run.retries, run.io.err, progress),
      feedback(prompter, progress), link(run.io.clock, prompter),
      transport(run.io.unitPort, link.clock()), commands(state, transport, link.prompter(), feedback),
      model(state, tables) {
  SetEnglish(state);
  state.recordCommand = recordCommand;
  state.unitLabel = run.label;
}

int ExitFor(ConfigResult r) {
  switch (r) {
  case ConfigResult::Ok: return kExitOk;
  case ConfigResult::CommFailure:
  case ConfigResult::NotVerified: return kExitDevice;
  case ConfigResult::BadData: return kExitUsage;
  case ConfigResult::NotCompatible:
  case ConfigResult::Refused:
  case ConfigResult::Cancelled: return kExitRefused;
  }
  return kExitDevice;
}

int RunOnUnit(CliRun& run, CliUnit& unit, const std::function<int()>& body, std::initializer_list<int> explained) {
  QTextStream& err = run.io.err;
  SerialPort& port = run.io.unitPort;
  const OpenUnitPort opened(port, run.port(), err);
  if (!opened) return kExitDevice;
  StopOnSignals stop(run.io.stops, unit.state, err, run.args.command);
  int code = kExitDevice;
  unit.link.run(Exchange::Command, [&] { code = body(); });
  // Every way out leaves the unit idle: out of programming mode, not streaming.
  unit.link.run(Exchange::Command, [&] { unit.commands.LeaveIdle(); });
  if (unit.commands.mayBeProgramming() && !unit.commands.programmingReported())
    err << "planovix-cli: " << Tr(unit.state, 141) << "\n";
  if (const int interrupted = stop.finish(unit.commands, code == kExitOk)) return interrupted;
  const bool said = unit.prompter.said > 0 || std::find(explained.begin(), explained.end(), code) != explained.end();
  if (code != kExitOk && !said) {
    err << "planovix-cli: " << run.args.command << " failed: "
        << (!port.isOpen() || port.hasError()
                ? "the line to the unit was lost (cable pulled, port closed or unit switched off)"
                : "the unit did not answer as expected (no answer, or programming mode refused)")
        << "\n";
  }
  return code;
}

} // namespace pv
