#include "SheetCli.h"

#include "config/ConfigDevice.h"
#include "config/ConfigFile.h"
#include "config/Sheet.h"
#include "kernel/Feedback.h"
#include "kernel/Prompter.h"
#include "link/DeviceCommands.h"
#include "link/DeviceLink.h"
#include "link/ModelFamily.h"
#include "link/SerialPort.h"
#include "link/Transport.h"
#include "switches/SwitchSheet.h"
#include "switches/SwitchUnit.h"
#include "switches/SwitchWizardModel.h"
#include "text/StringTable.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace pv {

namespace {

// The sheet asks nothing; a message from the link goes to standard error.
class SheetPrompter final : public Prompter {
public:
  explicit SheetPrompter(QTextStream& err) : err_(err) {}
  int said = 0;
  Answer ask(const QString&, const QString& text, Buttons buttons, Icon) override {
    ++said;
    err_ << "planovix-cli: " << text << "\n";
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  }
  std::optional<QString> askText(const QString&, const QString&, const QString& def) override { return def; }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }

private:
  QTextStream& err_;
};

} // namespace

int SheetCommand(CliRun& run) {
  QTextStream& err = run.io.err;
  int language = 1;
  if (run.args.values.count(QStringLiteral("--lang"))) {
    const QString lang = run.args.value("--lang");
    if (lang == QLatin1String("it")) language = 0;
    else if (lang != QLatin1String("en")) return CliUsage(err, QStringLiteral("--lang takes it or en"));
  }
  const QStringList& files = run.args.words;
  if (files.isEmpty() || files.size() > 2)
    return CliUsage(err, QStringLiteral("sheet takes OUT.pdf and an optional IN.DST"));
  const QString pdf = files[0];

  QByteArray record;
  if (files.size() == 2 && !ReadConfigurationFile(files[1], &record, err)) return kExitUsage;

  AppState state;
  state.languageIndex = static_cast<uint8_t>(language);
  state.languageOffset = ComputeLanguageOffset(language);
  RangeTables tables;
  EditorModel model(state, tables);
  SheetPrompter prompter(err);
  SheetOrigin origin;
  origin.when = QDateTime::currentDateTime();
  std::optional<SheetPicture> picture;

  if (!record.isEmpty()) {
    // The file alone: the identity it was made for, the family unknown.
    state.identity = RecordIdentity(record);
    model.fillLists();
    ApplyRecord(model, record);
    origin.file = files[1];
    origin.familyKnown = false;
    origin.fileIdentity = state.identity;
  } else {
    Feedback feedback;
    DeviceLink link(run.io.clock, prompter);
    Transport transport(run.io.unitPort, link.clock());
    DeviceCommands commands(state, transport, link.prompter(), feedback);
    const OpenUnitPort opened(run.io.unitPort, run.port(), err);
    if (!opened) return kExitDevice;
    int code = kExitDevice;
    link.run(Exchange::Command, [&] {
      // As the program's Read: identity, the family, the cells, then the switches.
      const ConfigResult r = ReadEprom(model, commands, [&] { LookUpModel(state, commands, true); });
      if (r == ConfigResult::NotCompatible) {
        code = kExitRefused;
        return;
      }
      if (r != ConfigResult::Ok) return;
      DeviceSwitchUnit unit(commands);
      SwitchWizardModel switches(state, tables, prompter);
      switches.setUnit(&unit);
      switches.ReadSwitch();
      if (state.commError) return;
      picture = SwitchBanksPicture(switches, tables, state);
      code = kExitOk;
    });
    if (code != kExitOk) {
      if (prompter.said == 0) err << "planovix-cli: sheet failed: the unit could not be read\n";
      return code;
    }
  }

  SheetContent content = SheetFromEditor(model, origin);
  content.picture = picture;
  QString error;
  if (!RenderSheet(content, pdf, &error)) {
    err << "planovix-cli: cannot write " << pdf << ": " << error << "\n";
    return kExitDevice;
  }
  if (run.json()) run.io.out << QJsonDocument(QJsonObject{{"saved", pdf}}).toJson(QJsonDocument::Compact) << "\n";
  else run.io.out << "saved: " << pdf << "\n";
  return kExitOk;
}

} // namespace pv
