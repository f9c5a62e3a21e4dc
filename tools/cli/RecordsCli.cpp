#include "RecordsCli.h"
#include "CliBase.h"

#include "config/Certificate.h"
#include "kernel/AppState.h"
#include "records/Recorder.h"
#include "records/RecordStore.h"
#include "records/Yield.h"
#include "text/StringTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pv {

QString RecordsHelpText() {
  return QStringLiteral(
      "Factory records (the record store: $PLANOVIX_RECORDS, a file or postgresql://user@host/db):\n"
      "  records list [--model M] [--since DATE] [--result pass|fail] [--unit FINGERPRINT|LABEL] [--kind K]\n"
      "                         calibrations, verifications... newest first\n"
      "  records show ID        one record: head, details and every measured row\n"
      "  records export --csv|--json [filters]\n"
      "                         every row of the records the filters take\n"
      "  records certificate ID OUT.pdf [--lang it|en]\n"
      "                         the record's certificate, one A4 page (PDF)\n"
      "  records yield [--by model|row]\n"
      "                         first-pass yield per model, or the rows that fail most\n"
      "  records sync           sends the records this station kept while the\n"
      "                         server could not be reached, each exactly once\n"
      "\n");
}

bool IsRecordsCommand(const QString& cmd) { return cmd == QLatin1String("records"); }

bool IsRecordsPaintInvocation(const QStringList& args) {
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--port")) {
      ++i;
      continue;
    }
    if (args[i].startsWith(QLatin1Char('-'))) continue;
    return IsRecordsCommand(args[i]) && i + 1 < args.size() && args[i + 1] == QLatin1String("certificate");
  }
  return false;
}

namespace {

QJsonObject RowJson(const FactoryRow& r) {
  QJsonObject o{{"seq", r.seq}, {"step", r.step}, {"item", r.item}, {"text", r.text},
                {"unit", r.unit}, {"colour", r.colour}, {"pass", r.pass}};
  o.insert(QStringLiteral("value"), r.value ? QJsonValue(*r.value) : QJsonValue());
  o.insert(QStringLiteral("low"), r.low ? QJsonValue(*r.low) : QJsonValue());
  o.insert(QStringLiteral("high"), r.high ? QJsonValue(*r.high) : QJsonValue());
  return o;
}

QJsonObject HeadJson(const FactoryRecord& r) {
  return QJsonObject{{"id", r.id},
                     {"uid", r.uid},
                     {"kind", r.kind},
                     {"model", r.model},
                     {"fingerprint", r.fingerprint},
                     {"fingerprint_after", r.fingerprintAfter},
                     {"label", r.label},
                     {"station", r.station},
                     {"operator", r.operatorName},
                     {"started", StoredTime(r.started)},
                     {"ended", StoredTime(r.ended)},
                     {"outcome", r.outcome},
                     {"reason", r.reason},
                     {"details", r.details}};
}

QJsonObject RecordJson(const FactoryRecord& r) {
  QJsonObject o = HeadJson(r);
  QJsonArray rows;
  for (const FactoryRow& row : r.rows) rows.append(RowJson(row));
  o.insert(QStringLiteral("rows"), rows);
  return o;
}

QString Csv(QString field) {
  if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) || field.contains(QLatin1Char('\n')))
    return QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
  return field;
}

QString Opt(const std::optional<double>& v) { return v ? QString::number(*v, 'g', 10) : QString(); }

} // namespace

int RunRecordsCli(const QStringList& rest, bool json, QTextStream& out, QTextStream& err) {
  auto usage = [&](const QString& text) {
    err << "planovix-cli: records: " << text << " (see --help)\n";
    return kExitUsage;
  };
  if (rest.isEmpty()) return usage(QStringLiteral("list, show, export, certificate, yield or sync"));
  const QString sub = rest[0];
  RecordFilter filter;
  QStringList words;
  QString format, by = QStringLiteral("model"), lang = QStringLiteral("en");
  for (int i = 1; i < rest.size(); ++i) {
    const QString& a = rest[i];
    auto value = [&](QString* into) {
      if (++i >= rest.size()) return false;
      *into = rest[i];
      return true;
    };
    QString since;
    if (a == QLatin1String("--model")) {
      if (!value(&filter.model)) return usage(QStringLiteral("--model needs a model"));
    } else if (a == QLatin1String("--unit")) {
      if (!value(&filter.unit)) return usage(QStringLiteral("--unit needs a fingerprint or a label"));
    } else if (a == QLatin1String("--kind")) {
      if (!value(&filter.kind)) return usage(QStringLiteral("--kind needs a kind"));
    } else if (a == QLatin1String("--result")) {
      if (!value(&filter.result) || (filter.result != QLatin1String("pass") && filter.result != QLatin1String("fail")))
        return usage(QStringLiteral("--result takes pass or fail"));
    } else if (a == QLatin1String("--since")) {
      if (!value(&since)) return usage(QStringLiteral("--since needs a date"));
      filter.since = QDateTime::fromString(since, Qt::ISODate);
      if (!filter.since.isValid()) filter.since = QDateTime(QDate::fromString(since, Qt::ISODate), QTime(0, 0), Qt::UTC);
      if (!filter.since.isValid()) return usage(QStringLiteral("--since takes a date such as 2026-12-01"));
    } else if (a == QLatin1String("--csv") || a == QLatin1String("--json")) {
      format = a.mid(2);
    } else if (a == QLatin1String("--by")) {
      if (!value(&by) || (by != QLatin1String("model") && by != QLatin1String("row")))
        return usage(QStringLiteral("--by takes model or row"));
    } else if (a == QLatin1String("--lang")) {
      if (!value(&lang) || (lang != QLatin1String("it") && lang != QLatin1String("en")))
        return usage(QStringLiteral("--lang takes it or en"));
    } else if (a.startsWith(QLatin1String("--"))) {
      return usage(QStringLiteral("unknown option ") + a);
    } else {
      words << a;
    }
  }
  static const QStringList subs = {"list", "show", "export", "certificate", "yield", "sync"};
  if (!subs.contains(sub)) return usage(QStringLiteral("unknown records command ") + sub);
  const int wantWords = sub == QLatin1String("show") ? 1 : sub == QLatin1String("certificate") ? 2 : 0;
  if (words.size() != wantWords) return usage(QStringLiteral("records %1 takes %2 argument(s)").arg(sub).arg(wantWords));
  if (sub == QLatin1String("export") && format.isEmpty()) return usage(QStringLiteral("export needs --csv or --json"));

  const QString location = RecordStore::DefaultLocation();
  QString why;
  if (sub == QLatin1String("sync")) {
    if (!RecordStore::IsServerUrl(location)) return usage(QStringLiteral("PLANOVIX_RECORDS names no server to send to"));
    const int sent = SyncOutbox(location, RecordStore::OutboxLocation(), &why);
    if (sent < 0) {
      err << "planovix-cli: " << why << "\n";
      return kExitDevice;
    }
    if (json) out << QJsonDocument(QJsonObject{{"sent", sent}}).toJson(QJsonDocument::Compact) << "\n";
    else out << sent << " record(s) sent to " << location << "\n";
    // A record that failed on the way is still in the outbox.
    if (!why.isEmpty()) {
      err << "planovix-cli: " << why << "\n";
      return kExitDevice;
    }
    return kExitOk;
  }
  const std::unique_ptr<RecordStore> store = RecordStore::Open(location, &why);
  if (!store) {
    err << "planovix-cli: " << why << "\n";
    return kExitDevice;
  }
  auto one = [&](std::optional<FactoryRecord>* r) {
    bool ok = false;
    const qint64 id = words[0].toLongLong(&ok);
    if (ok) *r = store->record(id, &why);
    if (!*r) err << "planovix-cli: no record " << words[0] << " in " << location << "\n";
    return r->has_value();
  };

  if (sub == QLatin1String("list")) {
    const std::vector<FactoryRecord> heads = store->records(filter, &why);
    if (!why.isEmpty()) return err << "planovix-cli: " << why << "\n", kExitDevice;
    if (json) {
      QJsonArray a;
      for (const FactoryRecord& r : heads) a.append(HeadJson(r));
      out << QJsonDocument(a).toJson(QJsonDocument::Compact) << "\n";
      return kExitOk;
    }
    out << QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8\n")
               .arg(QStringLiteral("ID"), 6)
               .arg(QStringLiteral("STARTED (UTC)"), -16)
               .arg(QStringLiteral("KIND"), -13)
               .arg(QStringLiteral("MODEL"), -9)
               .arg(QStringLiteral("UNIT"), -16)
               .arg(QStringLiteral("LABEL"), -10)
               .arg(QStringLiteral("STATION"), -12)
               .arg(QStringLiteral("RESULT"));
    for (const FactoryRecord& r : heads)
      out << QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8\n")
                 .arg(r.id, 6)
                 .arg(r.started.toString(QStringLiteral("yyyy-MM-dd HH:mm")), -16)
                 .arg(r.kind, -13)
                 .arg(r.model, -9)
                 .arg(r.fingerprintAfter.isEmpty() ? r.fingerprint : r.fingerprintAfter, -16)
                 .arg(r.label, -10)
                 .arg(r.station, -12)
                 .arg(r.outcome);
    return kExitOk;
  }
  if (sub == QLatin1String("show")) {
    std::optional<FactoryRecord> r;
    if (!one(&r)) return kExitUsage;
    if (json) {
      out << QJsonDocument(RecordJson(*r)).toJson(QJsonDocument::Compact) << "\n";
      return kExitOk;
    }
    out << "record " << r->id << " (" << r->uid << ")\n"
        << "kind: " << r->kind << "\nmodel: " << r->model << "\nfingerprint: " << r->fingerprint;
    if (!r->fingerprintAfter.isEmpty()) out << " -> " << r->fingerprintAfter;
    out << "\nlabel: " << r->label << "\nstation: " << r->station << "\noperator: " << r->operatorName
        << "\nstarted: " << StoredTime(r->started) << "\nended: " << StoredTime(r->ended) << "\nresult: " << r->outcome;
    if (!r->reason.isEmpty()) out << " (" << r->reason << ")";
    out << "\ndetails: " << QJsonDocument(r->details).toJson(QJsonDocument::Compact) << "\n";
    for (const FactoryRow& row : r->rows)
      out << "  " << row.step << "  " << row.item << ": " << row.text << (row.unit.isEmpty() ? "" : " ") << row.unit
          << (LimitsText(row).isEmpty() ? QString() : QStringLiteral("  [") + LimitsText(row) + QLatin1Char(']'))
          << "  " << (row.pass ? "pass" : "FAIL") << "\n";
    return kExitOk;
  }
  if (sub == QLatin1String("export")) {
    std::vector<FactoryRecord> records;
    for (const FactoryRecord& head : store->records(filter, &why))
      if (std::optional<FactoryRecord> r = store->record(head.id, &why)) records.push_back(*r);
    if (format == QLatin1String("json")) {
      QJsonArray a;
      for (const FactoryRecord& r : records) a.append(RecordJson(r));
      out << QJsonDocument(a).toJson(QJsonDocument::Indented);
      return kExitOk;
    }
    out << "id,uid,kind,model,fingerprint,fingerprint_after,label,station,operator,started,ended,outcome,"
           "seq,step,item,value,text,low,high,unit,colour,pass\n";
    for (const FactoryRecord& r : records) {
      const QStringList head = {QString::number(r.id), r.uid, r.kind, r.model, r.fingerprint, r.fingerprintAfter,
                                r.label, r.station, r.operatorName, StoredTime(r.started), StoredTime(r.ended), r.outcome};
      QStringList headCsv;
      for (const QString& f : head) headCsv << Csv(f);
      for (const FactoryRow& row : r.rows) {
        QStringList line = headCsv;
        for (const QString& f : {QString::number(row.seq), row.step, row.item, Opt(row.value), row.text, Opt(row.low),
                                 Opt(row.high), row.unit, row.colour, QString::fromLatin1(row.pass ? "1" : "0")})
          line << Csv(f);
        out << line.join(QLatin1Char(',')) << "\n";
      }
    }
    return kExitOk;
  }
  if (sub == QLatin1String("certificate")) {
    std::optional<FactoryRecord> r;
    if (!one(&r)) return kExitUsage;
    AppState state;
    const int language = lang == QLatin1String("it") ? 0 : 1;
    state.languageIndex = static_cast<uint8_t>(language);
    state.languageOffset = ComputeLanguageOffset(language);
    if (!RenderSheet(CertificateContent(state, *r), words[1], &why)) {
      err << "planovix-cli: " << words[1] << ": " << why << "\n";
      return kExitDevice;
    }
    if (json) out << QJsonDocument(QJsonObject{{"saved", words[1]}}).toJson(QJsonDocument::Compact) << "\n";
    else out << "certificate of record " << r->id << " saved to " << words[1] << "\n";
    return kExitOk;
  }
  // yield
  filter.kind = QString::fromLatin1(kEventCalibration);
  const std::vector<FactoryRecord> heads = store->records(filter, &why);
  if (by == QLatin1String("model")) {
    const std::vector<ModelYield> yields = FirstPassYield(heads);
    if (json) {
      QJsonArray a;
      for (const ModelYield& y : yields)
        a.append(QJsonObject{{"model", y.model}, {"units", y.units}, {"first_pass", y.firstPass}, {"percent", y.percent()}});
      out << QJsonDocument(a).toJson(QJsonDocument::Compact) << "\n";
      return kExitOk;
    }
    out << QStringLiteral("%1  %2  %3  %4\n").arg(QStringLiteral("MODEL"), -9).arg(QStringLiteral("UNITS"), 6).arg(QStringLiteral("FIRST PASS"), 10).arg(QStringLiteral("YIELD"), 7);
    for (const ModelYield& y : yields)
      out << QStringLiteral("%1  %2  %3  %4 %\n").arg(y.model, -9).arg(y.units, 6).arg(y.firstPass, 10).arg(y.percent(), 5, 'f', 1);
    return kExitOk;
  }
  const std::vector<RowFailures> failing = FailingRows(heads, store->rowsOf(filter, &why));
  if (json) {
    QJsonArray a;
    for (const RowFailures& f : failing)
      a.append(QJsonObject{{"model", f.model}, {"step", f.step}, {"item", f.item}, {"measured", f.measured}, {"failed", f.failed}});
    out << QJsonDocument(a).toJson(QJsonDocument::Compact) << "\n";
    return kExitOk;
  }
  out << QStringLiteral("%1  %2  %3  %4\n").arg(QStringLiteral("MODEL"), -9).arg(QStringLiteral("ROW"), -24).arg(QStringLiteral("FAILED"), 6).arg(QStringLiteral("MEASURED"), 8);
  for (const RowFailures& f : failing)
    out << QStringLiteral("%1  %2  %3  %4\n").arg(f.model, -9).arg(f.step + QLatin1Char(' ') + f.item, -24).arg(f.failed, 6).arg(f.measured, 8);
  return kExitOk;
}

} // namespace pv
