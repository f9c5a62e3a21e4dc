#include "CliCore.h"
#include "CliLanguage.h"
#include "kernel/Version.h"

#include <algorithm>
#include <cstdio>

namespace pv {

namespace {

bool KnownAnywhere(const QString& option) {
  const std::vector<CliOption> all = AllCliOptions();
  return std::any_of(all.begin(), all.end(), [&option](const CliOption& o) { return option == QLatin1String(o.name); });
}

// The reason a parse failed, with the command it was for.
int RefuseOption(const CliCommand* command, const CliParseError& error, QTextStream& err) {
  if (command && error.unknown && KnownAnywhere(error.option)) {
    if ((error.option == QLatin1String("--retries") || error.option == QLatin1String("--label")) &&
        !(command->opens & kOpensUnit))
      return CliUsage(err, CliText(clitext::UnitOnlyOptions).arg(QLatin1String(command->name)));
    return CliUsage(err, QStringLiteral("%1 does not take %2").arg(QLatin1String(command->name), error.option));
  }
  return CliUsage(err, error.why);
}

} // namespace

int RunCli(const QStringList& args, CliIo& io) {
  QTextStream& err = io.err;
  const QString word = CliCommandWord(args);
  const CliCommand* command = word.isEmpty() ? nullptr : FindCliCommand(word);
  CliParseError error;
  const std::optional<CliArgs> parsed = ParseCliArgs(args, command ? command->options : AllCliOptions(), &error);
  if (!parsed) return RefuseOption(command, error, err);
  if (parsed->has("--version")) {
    io.out << "planovix-cli " << PLANOVIX_VERSION << "\n";
    return kExitOk;
  }
  if (parsed->has("--help")) {
    io.out << (command ? CliCommandHelp(*command) : CliHelpText());
    return kExitOk;
  }
  if (word.isEmpty()) return CliUsage(err, CliText(clitext::NoCommand));
  if (!command) return CliUsage(err, CliText(clitext::UnknownCommand).arg(word));
  for (const auto& [option, value] : parsed->values) {
    if (option == QLatin1String("--port") && value.trimmed().isEmpty())
      return CliUsage(err, CliText(clitext::PortNeedsPort));
    if (value.isEmpty() && option != QLatin1String("--label"))
      return CliUsage(err, option == QLatin1String("--port") ? CliText(clitext::PortNeedsValue)
                                                             : QStringLiteral("%1 needs a value").arg(option));
  }

  CliRun run(*parsed, io);
  if (parsed->values.count(QStringLiteral("--retries"))) {
    const QString text = parsed->value("--retries");
    const std::optional<int> n = ParseCliInt(text, 0, 100);
    if (!n)
      return CliUsage(err, QStringLiteral("--retries takes a whole number from 0 to 100, not \"%1\"").arg(text.left(24)));
    run.retries = *n;
  }
  run.label = parsed->value("--label");
  run.runAgain = [&io](const QStringList& again, SerialPort& port, QTextStream& out, QTextStream& errors,
                       TerminationSignals* stops) {
    CliIo inner{port, io.clock, io.in, out, errors, io.instruments, stops};
    return RunCli(again, inner);
  };
  return command->run(run);
}

int RunCli(const QStringList& args, SerialPort& port, Clock& clock, QTextStream& out, QTextStream& err,
           TerminationSignals* stops) {
  QTextStream in(stdin);
  CliIo io{port, clock, in, out, err, nullptr, stops};
  return RunCli(args, io);
}

} // namespace pv
