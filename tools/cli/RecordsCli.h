#pragma once
// planovix-cli records ...: the factory's records, read from the record
// store (a local file or the shared server), and the outbox sent on.
//   records list [--model M] [--since DATE] [--result pass|fail] [--unit FINGERPRINT|LABEL] [--kind K]
//   records show ID
//   records export --csv|--json [the list's filters]
//   records certificate ID OUT.pdf [--lang it|en]
//   records yield [--by model|row]
//   records sync
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace pv {

bool IsRecordsCommand(const QString& cmd);
// Whether the arguments run "records certificate" (it paints, so it needs a
// QGuiApplication).
bool IsRecordsPaintInvocation(const QStringList& args);
int RunRecordsCli(const QStringList& rest, bool json, QTextStream& out, QTextStream& err);
QString RecordsHelpText();

} // namespace pv
