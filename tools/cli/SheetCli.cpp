#include "SheetCli.h"
#include "CliUnit.h"

#include "config/ConfigDevice.h"
#include "config/ConfigFile.h"
#include "config/Sheet.h"
#include "link/ModelFamily.h"
#include "switches/SwitchSheet.h"
#include "switches/SwitchUnit.h"
#include "switches/SwitchWizardModel.h"
#include "text/StringTable.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace pv {

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

  // The unit's session, in the sheet's language: its messages too.
  CliUnit unit(run, QStringLiteral("sheet"));
  AppState& state = unit.state;
  state.languageIndex = static_cast<uint8_t>(language);
  state.languageOffset = ComputeLanguageOffset(language);
  EditorModel& model = unit.model;
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
    const int code = RunOnUnit(run, unit, [&] {
      // As the program's Read: identity, the family, the cells, then the switches.
      const ConfigResult r = ReadEprom(model, unit.commands, [&] { LookUpModel(state, unit.commands, true); });
      if (r != ConfigResult::Ok) return r == ConfigResult::NotCompatible ? kExitRefused : kExitDevice;
      DeviceSwitchUnit switchUnit(unit.commands);
      SwitchWizardModel switches(state, unit.tables, unit.prompter);
      switches.setUnit(&switchUnit);
      switches.ReadSwitch();
      if (state.commError) return kExitDevice;
      picture = SwitchBanksPicture(switches, unit.tables, state);
      return kExitOk;
    });
    if (code != kExitOk) return code;
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
