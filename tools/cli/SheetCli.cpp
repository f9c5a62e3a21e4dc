#include "SheetCli.h"
#include "CliCore.h"

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

QString SheetHelpText() {
  return QStringLiteral(
      "Commissioning sheet:\n"
      "  sheet OUT.pdf [IN.DST] [--lang it|en]\n"
      "                         the commissioning sheet (one A4 page, PDF): model,\n"
      "                         identity, date, the configuration with units, the\n"
      "                         trips and, for a unit set by its switches, the three\n"
      "                         banks. Without IN.DST the unit is read as Read does;\n"
      "                         with it, the file (its identity; no switch banks).\n"
      "                         --lang: the sheet's language, English by default.\n"
      "                         JSON: {\"saved\": OUT.pdf}\n"
      "\n");
}

bool IsSheetCommand(const QString& cmd) { return cmd == QLatin1String("sheet"); }

bool IsSheetInvocation(const QStringList& args) {
  // The first word that is not an option or an option's value is the command.
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--port")) {
      ++i;
      continue;
    }
    if (args[i].startsWith(QLatin1Char('-'))) continue;
    return IsSheetCommand(args[i]);
  }
  return false;
}

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

int RunSheetCli(const QStringList& rest, SerialPort& port, Clock& clock, const QString& portPath, bool,
                bool json, QTextStream& out, QTextStream& err) {
  auto usage = [&](const QString& text) {
    err << "planovix-cli: " << text << " (see --help)\n";
    return kExitUsage;
  };
  int language = 1;
  QStringList files;
  for (int i = 0; i < rest.size(); ++i) {
    if (rest[i] == QLatin1String("--lang")) {
      if (++i >= rest.size()) return usage(QStringLiteral("--lang needs it or en"));
      if (rest[i] == QLatin1String("it")) language = 0;
      else if (rest[i] == QLatin1String("en")) language = 1;
      else return usage(QStringLiteral("--lang takes it or en"));
    } else {
      files << rest[i];
    }
  }
  if (files.isEmpty() || files.size() > 2) return usage(QStringLiteral("sheet takes OUT.pdf and an optional IN.DST"));
  const QString pdf = files[0];

  QByteArray record;
  if (files.size() == 2) {
    QFile f(files[1]);
    if (!f.open(QIODevice::ReadOnly)) {
      err << "planovix-cli: cannot open " << files[1] << ": " << f.errorString() << "\n";
      return kExitUsage;
    }
    record = f.read(kRecordSize + 1);
    if (const QString why = ValidateRecord(record); !why.isEmpty()) {
      err << "planovix-cli: " << files[1] << " is not a valid configuration file: " << why << "\n";
      return kExitUsage;
    }
  }

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
    DeviceLink link(clock, prompter);
    Transport transport(port, link.clock());
    DeviceCommands commands(state, transport, link.prompter(), feedback);
    OpenError why = OpenError::None;
    QString detail;
    if (!port.open(portPath, &why, &detail)) {
      err << "planovix-cli: cannot open port " << portPath << (detail.isEmpty() ? QString() : ": " + detail)
          << "\n";
      return kExitDevice;
    }
    struct Closer {
      SerialPort& p;
      ~Closer() { p.close(); }
    } closer{port};
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
  if (json) out << QJsonDocument(QJsonObject{{"saved", pdf}}).toJson(QJsonDocument::Compact) << "\n";
  else out << "saved: " << pdf << "\n";
  return kExitOk;
}

} // namespace pv
