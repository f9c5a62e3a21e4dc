#include "VerifyCli.h"
#include "CliProgress.h"
#include "CliBench.h"

#include "factory/CalibrationTables.h"
#include "factory/Verification.h"
#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "link/Clock.h"
#include "link/SerialPort.h"
#include "text/StringTable.h"

#include <map>

namespace pv {

namespace {

enum Exit { kOk = kExitOk, kFailed = kExitDevice, kUsage = kExitUsage };

QString InputList() {
  QStringList names;
  for (const VerificationInput& i : VerificationInputs()) names << QLatin1Char('"') + QLatin1String(i.name) + QLatin1Char('"');
  return names.join(QStringLiteral(", "));
}

} // namespace

int VerifyCommand(CliRun& cli) {
  QTextStream& err = cli.io.err;
  QTextStream& out = cli.io.out;
  Clock& clock = cli.io.clock;
  std::map<QString, QString> values = {
      {"--supply", "Com4"}, {"--calibrator", "Com6"}, {"--meter", "Com3"}, {"--switch", "Com5"}, {"--channel", "0"}};
  for (const auto& [option, value] : cli.args.values) values[option] = value;
  const QStringList words = QStringList{cli.args.command} + cli.args.words;
  auto usage = [&](const QString& text) { return CliUsage(err, text); };
  if (words.size() != 2) return usage("verify-calibration takes one MODEL");

  AppState state;
  SetEnglish(state);
  auto refused = [&](int id) {
    err << "planovix-cli: " << LoadText(id + state.languageOffset) << "\n";
    return kUsage;
  };

  const CalibrationModel* model = FindCalibrationModel(words[1]);
  if (!model) return usage("unknown model " + words[1] + "; the bench verifies " + VerificationModels().join(", "));
  const QString channelText = values["--channel"];
  if (channelText != "0" && channelText != "1") return usage("--channel takes 0 or 1");
  const int channel = channelText.toInt();
  if (channel == 1 && !model->channelB) return refused(verify_text::kNoSecondOutput);

  if (!values.count("--input")) return refused(verify_text::kNoInput);
  const VerificationInput* input = FindVerificationInput(values["--input"]);
  if (!input) return usage("unknown input \"" + values["--input"] + "\"; the calibrator takes " + InputList());

  VerifyRun run;
  run.input = input;
  for (const char* option : {"--min", "--max"})
    if (!values.count(option)) return usage(QStringLiteral("%1 is needed").arg(QLatin1String(option)));
  std::map<QString, double> number;
  for (const char* option : {"--min", "--half", "--max", "--supply-volts"}) {
    if (!values.count(option)) continue;
    const auto v = ParseReplyNumber(values[option].toUtf8());
    if (!v) return usage(QStringLiteral("%1 takes a number, not \"%2\"").arg(QLatin1String(option), values[option]));
    number[option] = *v;
  }
  run.min = number["--min"];
  run.max = number["--max"];
  run.half = number.count("--half") ? number["--half"] : (run.min + run.max) / 2;
  if (const int why = CheckInputRange(*input, run.min, run.max)) return refused(why);

  if (!values.count("--output")) return refused(verify_text::kNoOutput);
  const QString output = values["--output"];
  if (output.compare("V", Qt::CaseInsensitive) == 0) run.output = VerifyOutput::Volt;
  else if (output.compare("mA", Qt::CaseInsensitive) == 0) run.output = VerifyOutput::Curr;
  else return usage("--output takes V or mA");

  QString supplyText;
  if (number.count("--supply-volts")) {
    const SupplyCheck check = CheckSupplyVolts(number["--supply-volts"]);
    if (check.refusal) return refused(check.refusal);
    supplyText = values["--supply-volts"];
  }
  if (!BenchSelectorsValid(values, {"--supply", "--calibrator", "--switch", "--meter"}, err)) return kUsage;

  BenchPrompter prompter(cli.io.in, err, true);
  const std::unique_ptr<CalibrationBench> bench = OpenCliBench(state, clock, prompter, BenchIo(cli), values, err);
  if (!bench) return kFailed;
  PowerSupply& supply = bench->supply();
  Calibrator& calibrator = bench->calibrator();
  Multimeter& meter = bench->meter(0);
  SwitchingUnit& switches = bench->switches();

  Verification verification(state, {supply, calibrator, meter, switches}, clock, prompter);
  verification.open();
  // The run measures three points, each a "Valore di" line of the report
  // once read: the one after the last line is the one being measured.
  CliProgress progress(err, ShowsProgress(false));
  QObject::connect(&verification, &Verification::reportChanged, [&](const QString& report) {
    const qsizetype read = report.count(QLatin1String("Valore di "));
    if (verification.running() && read < 3) progress.step(progress::Point, read + 1, 3);
  });
  auto end = [&](VerifyResult r) {
    progress.clear();
    // A run that did not complete leaves no unit powered by the bench: the
    // supply this command switched on goes off again.
    if (r != VerifyResult::Done && !supplyText.isEmpty()) verification.stop(supplyText);
    // Whatever the run wrote, even when it ended early, from the line break
    // before its header.
    out << verification.report();
    out.flush();
    switch (r) {
    case VerifyResult::Done: return kOk;
    case VerifyResult::Refused: return kUsage;
    default: return kFailed;
    }
  };
  if (!supplyText.isEmpty())
    if (const VerifyResult r = verification.setSupply(supplyText); r != VerifyResult::Done) return end(r);
  if (const VerifyResult r = verification.setSwitches(QLatin1String(model->modelId), channel, input);
      r != VerifyResult::Done)
    return end(r);
  return end(verification.run(run));
}

} // namespace pv
