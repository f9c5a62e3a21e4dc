// The Records window on a store of known records: the filters, a unit's
// timeline, the two charts, the certificate, and both languages.
#include "factory/ui/records/RecordsWindow.h"
#include "kernel/AppState.h"
#include "support/PdfText.h"
#include "support/RecordsSeed.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRecords.h"
#include "text/StringTable.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHorizontalBarSeries>
#include <QLineEdit>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace pv::test {
namespace {

AppState InLanguage(int language) {
  AppState s;
  s.languageIndex = static_cast<uint8_t>(language);
  s.languageOffset = ComputeLanguageOffset(language);
  return s;
}

QStringList Column(QTableWidget* t, int column) {
  QStringList out;
  for (int r = 0; r < t->rowCount(); ++r) out << t->item(r, column)->text();
  return out;
}

std::vector<qreal> Bars(QChartView* v) {
  std::vector<qreal> out;
  for (QAbstractSeries* s : v->chart()->series())
    if (auto* b = qobject_cast<QAbstractBarSeries*>(s))
      for (QBarSet* set : b->barSets())
        for (int i = 0; i < set->count(); ++i) out.push_back(set->at(i));
  return out;
}

TEST(RecordsWindow, FiltersTimelineChartsAndCertificate) {
  TempRecords t;
  Seed(t.path());
  AppState english = InLanguage(1);
  ScriptedPrompter prompter;
  RecordsWindow w(english, prompter);
  w.show();  // reads the store
  EXPECT_EQ(Column(w.table(), 0), QStringList({"4", "3", "2", "1"}));
  EXPECT_EQ(Column(w.table(), 8), QStringList({"pass", "pass", "pass", "fail"}));

  w.filter()->setText(QStringLiteral("sn-1"));
  EXPECT_EQ(Column(w.table(), 0), QStringList({"2", "1"}));
  w.result()->setCurrentIndex(2);  // fail
  EXPECT_EQ(Column(w.table(), 0), QStringList({"1"}));
  w.result()->setCurrentIndex(0);
  w.filter()->clear();

  // SN-1's timeline, oldest first, from its second run.
  w.table()->selectRow(2);
  EXPECT_EQ(Column(w.timeline(), 4), QStringList({"fail", "pass"}));

  // KRV2211A: 1 of 2 units at the first pass; KRV2212A: 1 of 1. One row failed once.
  EXPECT_EQ(Bars(w.yieldChart()), std::vector<qreal>({50, 100}));
  EXPECT_EQ(Bars(w.failingChart()), std::vector<qreal>({1}));

  const QString pdf = t.dir.filePath(QStringLiteral("cert.pdf"));
  prompter.expectFile(pdf);
  ASSERT_TRUE(w.saveCertificate());
  if (PopplerAvailable()) {
    EXPECT_EQ(PdfPages(pdf), 1);
    EXPECT_TRUE(PdfTextCompact(pdf).contains(QStringLiteral("SN-1"))) << PdfTextCompact(pdf).toStdString();
  }

  // Italian: the same records in its words, the filters kept.
  AppState italian = InLanguage(0);
  RecordsWindow it(italian, prompter);
  it.show();
  it.result()->setCurrentIndex(1);
  EXPECT_EQ(Column(it.table(), 8), QStringList({"superato", "superato", "superato"}));
  EXPECT_EQ(it.result()->currentText(), QStringLiteral("superato"));
  EXPECT_EQ(it.windowTitle(), QStringLiteral("Registrazioni"));
  if (qEnvironmentVariableIsSet("PLANOVIX_RECORDS_SHOT")) {
    w.table()->selectRow(2);
    w.resize(1100, 700);
    w.grab().save(qEnvironmentVariable("PLANOVIX_RECORDS_SHOT") + QStringLiteral("-en.png"));
    it.resize(1100, 700);
    it.grab().save(qEnvironmentVariable("PLANOVIX_RECORDS_SHOT") + QStringLiteral("-it.png"));
    for (QChartView* v : {it.yieldChart(), it.failingChart()}) {
      v->resize(900, 400);
      v->grab().save(qEnvironmentVariable("PLANOVIX_RECORDS_SHOT") + QStringLiteral("-chart-%1.png").arg(v == it.yieldChart()));
    }
  }
}

} // namespace
} // namespace pv::test
