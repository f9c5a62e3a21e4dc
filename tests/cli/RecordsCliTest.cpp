// planovix-cli records: the reading commands on a store of known records,
// the certificate read back from its PDF in both languages, and the sync of
// a station's outbox to the shared server.
#include "RecordsCli.h"
#include "records/Recorder.h"
#include "support/PdfText.h"
#include "support/PostgresServer.h"
#include "support/RecordsSeed.h"
#include "support/TempRecords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

struct Result {
  int code;
  QString out, err;
};

Result Records(const QStringList& args, bool json = false) {
  QString o, e;
  QTextStream out(&o), err(&e);
  const int code = RunRecordsCli(args, json, out, err);
  out.flush();
  err.flush();
  return {code, o, e};
}

TEST(RecordsCli, ListExportAndYieldReadTheStore) {
  TempRecords t;
  Seed(t.path());
  Result r = Records({"list", "--model", "KRV2211A", "--result", "fail"}, true);
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  const QJsonArray failed = QJsonDocument::fromJson(r.out.toUtf8()).array();
  ASSERT_EQ(failed.size(), 1);
  EXPECT_EQ(failed[0].toObject().value("id").toInt(), 1);
  EXPECT_EQ(failed[0].toObject().value("label").toString(), QStringLiteral("SN-1"));
  r = Records({"list", "--unit", "SN-3"});
  EXPECT_EQ(r.out.count(QLatin1Char('\n')), 2);  // heading and one record
  EXPECT_TRUE(r.out.contains(QStringLiteral("KRV2212A"))) << r.out.toStdString();
  EXPECT_EQ(Records({"list", "--since", "yesterday"}).code, 2);
  EXPECT_EQ(Records({"list", "--since", "2026-12-04"}, true).out.trimmed(), QStringLiteral("[]"));

  // Each row a line, after the heading; a field with a comma is quoted.
  r = Records({"export", "--csv"});
  QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 1 + 4 * 2);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("id,uid,kind,model,")));
  EXPECT_TRUE(lines[1].contains(QStringLiteral(",\"Verdi, Anna\",")));
  EXPECT_TRUE(lines[1].endsWith(QStringLiteral(",0,0 90 mV A,Max,90.004,90.004,89.91,90.09,mV,green,1"))) << lines[1].toStdString();
  const QJsonArray all = QJsonDocument::fromJson(Records({"export", "--json"}).out.toUtf8()).array();
  ASSERT_EQ(all.size(), 4);
  EXPECT_EQ(all[3].toObject().value("rows").toArray()[1].toObject().value("value").toDouble(), 1.25);
  EXPECT_EQ(Records({"export"}).code, 2);

  // SN-1 failed its first run: KRV2211A passed one unit of two at once.
  const QJsonArray yields = QJsonDocument::fromJson(Records({"yield"}, true).out.toUtf8()).array();
  ASSERT_EQ(yields.size(), 2);
  EXPECT_EQ(yields[0].toObject().value("model").toString(), QStringLiteral("KRV2211A"));
  EXPECT_EQ(yields[0].toObject().value("units").toInt(), 2);
  EXPECT_EQ(yields[0].toObject().value("first_pass").toInt(), 1);
  EXPECT_EQ(yields[1].toObject().value("percent").toDouble(), 100.0);
  const QJsonArray rows = QJsonDocument::fromJson(Records({"yield", "--by", "row"}, true).out.toUtf8()).array();
  ASSERT_EQ(rows.size(), 1);
  EXPECT_EQ(rows[0].toObject().value("step").toString(), QStringLiteral("1 200 mV A"));
  EXPECT_EQ(rows[0].toObject().value("failed").toInt(), 1);
  EXPECT_EQ(rows[0].toObject().value("measured").toInt(), 3);
}

TEST(RecordsCli, TheCertificateIsOnePageInEitherLanguage) {
  if (!PopplerAvailable()) GTEST_SKIP() << "pdftotext missing";
  TempRecords t;
  Seed(t.path());
  const QString en = t.dir.filePath(QStringLiteral("en.pdf")), it = t.dir.filePath(QStringLiteral("it.pdf"));
  Result r = Records({"certificate", "1", en});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  ASSERT_EQ(Records({"certificate", "1", it, "--lang", "it"}).code, 0);
  EXPECT_EQ(PdfPages(en), 1);
  const QString text = PdfTextCompact(en);
  for (const char* want : {"Testcertificate", "KRV2211A", "SN-1", "bench-2", "Verdi,Anna", "Calibrator(Com6)", "21.5",
                           "2026-12-0308:00UTC", "1200mVAk1", "1.250", "0.980…1.020", "fail", "090mVAMax", "90.004mV",
                           "89.910…90.090mV", "pass", "Technician'ssignature", "Ambienttemp.21.5"})
    EXPECT_TRUE(text.contains(Compact(QString::fromUtf8(want)))) << want << "\n" << text.toStdString();
  const QString italian = PdfTextCompact(it);
  for (const char* want : {"Certificatodicollaudo", "nonsuperato", "Firmadeltecnico", "Temp.ambiente", "Impronta0123456789abcdef"})
    EXPECT_TRUE(italian.contains(QString::fromUtf8(want))) << want << "\n" << italian.toStdString();
  EXPECT_EQ(Records({"certificate", "99", en}).code, 2);
}

// A station cut off from the server keeps its record in its outbox;
// `records sync` sends it, once, and the server's list shows it.
TEST(RecordsCli, SyncSendsTheOutboxToTheServerOnce) {
  TempRecords t;
  EXPECT_EQ(Records({"sync"}).code, 2);  // a file names no server
  PostgresServer server;
  ASSERT_TRUE(server.start()) << server.error().toStdString();
  ASSERT_TRUE(server.createDatabase(QStringLiteral("factory")));
  const QString url = server.url(QStringLiteral("factory"));
  qputenv("PLANOVIX_RECORDS", url.toLocal8Bit());
  ASSERT_TRUE(server.stop());
  Recorder run(url, RecordStore::OutboxLocation());
  FactoryRecord head;
  head.kind = QString::fromLatin1(kEventCalibration);
  head.model = QStringLiteral("KRV2212A");
  run.begin(head);
  run.put({Row(0, "0 90 mV A", "Max", 90.0, 89.91, 90.09, true)});
  run.finish(kOutcomePass);
  EXPECT_TRUE(run.offline());
  EXPECT_EQ(Records({"sync"}).code, 1);  // still away
  ASSERT_TRUE(server.start());
  Result r = Records({"sync"}, true);
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out.trimmed(), QStringLiteral("{\"sent\":1}"));
  EXPECT_EQ(Records({"sync"}, true).out.trimmed(), QStringLiteral("{\"sent\":0}"));
  const QJsonArray list = QJsonDocument::fromJson(Records({"list"}, true).out.toUtf8()).array();
  ASSERT_EQ(list.size(), 1);
  EXPECT_EQ(list[0].toObject().value("uid").toString(), run.record().uid);
}

} // namespace
} // namespace pv::test
