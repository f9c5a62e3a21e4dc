#include "factory/ui/records/RecordsWindow.h"

#include "config/Certificate.h"
#include "kernel/Prompter.h"
#include "records/RecordStore.h"
#include "records/Yield.h"
#include "text/Texts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

namespace pv {

using namespace certificate_text;

namespace {

enum Column { kColId, kColDate, kColKind, kColModel, kColUnit, kColLabel, kColStation, kColOperator, kColResult, kColumns };

QTableWidgetItem* Item(const QString& text, const QColor& background = {}) {
  auto* i = new QTableWidgetItem(text);
  i->setFlags(i->flags() & ~Qt::ItemIsEditable);
  if (background.isValid()) i->setBackground(background);
  return i;
}

QColor OutcomeColour(const QString& outcome) {
  if (outcome == QLatin1String(kOutcomePass)) return QColor(200, 240, 200);
  if (outcome == QLatin1String(kOutcomeFail) || outcome == QLatin1String(kOutcomeError)) return QColor(245, 200, 200);
  if (outcome == QLatin1String(kOutcomeRunning) || outcome == QLatin1String(kOutcomeStopped)) return QColor(250, 240, 190);
  return {};
}

QString UnitText(const FactoryRecord& r) { return r.fingerprintAfter.isEmpty() ? r.fingerprint : r.fingerprintAfter; }

} // namespace

RecordsWindow::RecordsWindow(const AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), state_(state), prompter_(prompter) {
  setObjectName(QStringLiteral("frmRecords"));
  store_ = new QLabel(this);
  filter_ = new QLineEdit(this);
  filter_->setClearButtonEnabled(true);
  result_ = new QComboBox(this);
  sinceLabel_ = new QLabel(this);
  since_ = new QDateEdit(this);
  since_->setCalendarPopup(true);
  since_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  since_->setMinimumDate(QDate(2000, 1, 1));
  since_->setDate(since_->minimumDate());
  refresh_ = new QPushButton(this);
  certificate_ = new QPushButton(this);
  certificate_->setEnabled(false);

  auto* bar = new QHBoxLayout;
  bar->addWidget(filter_, 2);
  bar->addWidget(result_);
  bar->addWidget(sinceLabel_);
  bar->addWidget(since_);
  bar->addWidget(refresh_);
  bar->addWidget(certificate_);

  table_ = new QTableWidget(0, kColumns, this);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);

  tabs_ = new QTabWidget(this);
  timeline_ = new QTableWidget(0, 5, tabs_);
  timeline_->verticalHeader()->hide();
  timeline_->horizontalHeader()->setStretchLastSection(true);
  yieldChart_ = new QChartView(tabs_);
  failingChart_ = new QChartView(tabs_);
  for (QChartView* v : {yieldChart_, failingChart_}) v->setRenderHint(QPainter::Antialiasing);
  tabs_->addTab(timeline_, QString());
  tabs_->addTab(yieldChart_, QString());
  tabs_->addTab(failingChart_, QString());

  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(table_);
  split->addWidget(tabs_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(split, 1);
  layout->addWidget(store_);

  connect(filter_, &QLineEdit::textChanged, this, [this] { fill(); });
  connect(result_, &QComboBox::currentIndexChanged, this, [this] { fill(); });
  connect(since_, &QDateEdit::dateChanged, this, [this] { fill(); });
  connect(refresh_, &QPushButton::clicked, this, [this] { reload(); });
  connect(certificate_, &QPushButton::clicked, this, [this] { saveCertificate(); });
  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
    certificate_->setEnabled(!table_->selectedItems().isEmpty());
    fillTimeline();
  });
  applyCaptions(state);
  resize(980, 640);
}

void RecordsWindow::applyCaptions(const AppState& s) {
  setWindowTitle(Tr(s, kRecords));
  filter_->setPlaceholderText(Tr(s, kFilterHint));
  const int at = result_->currentIndex();
  {
    const QSignalBlocker quiet(result_);
    result_->clear();
    result_->addItem(Tr(s, kAll), QString());
    result_->addItem(Tr(s, kPass), QString::fromLatin1(kOutcomePass));
    result_->addItem(Tr(s, kFail), QString::fromLatin1(kOutcomeFail));
    result_->setCurrentIndex(at < 0 ? 0 : at);
  }
  sinceLabel_->setText(Tr(s, kSince));
  since_->setSpecialValueText(Tr(s, kAll));
  refresh_->setText(Tr(s, kRefresh));
  certificate_->setText(Tr(s, kCertificate));
  table_->setHorizontalHeaderLabels({QStringLiteral("N."), Tr(s, kDate), Tr(s, kKind), Tr(s, kModel), Tr(s, kFingerprint),
                                     Tr(s, kLabel), Tr(s, kStation), Tr(s, kOperator), Tr(s, kResult)});
  timeline_->setHorizontalHeaderLabels({Tr(s, kDate), Tr(s, kKind), Tr(s, kStation), Tr(s, kFingerprint), Tr(s, kResult)});
  tabs_->setTabText(0, Tr(s, kTimeline));
  tabs_->setTabText(1, Tr(s, kYieldTitle));
  tabs_->setTabText(2, Tr(s, kFailingTitle));
  store_->setText(Tr(s, kStore).arg(error_.isEmpty() ? location_ : error_));
  fill();
}

void RecordsWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  reload();
}

void RecordsWindow::reload() {
  location_ = RecordStore::DefaultLocation();
  error_.clear();
  records_.clear();
  rows_.clear();
  if (const std::unique_ptr<RecordStore> store = RecordStore::Open(location_, &error_)) {
    records_ = store->records({}, &error_);
    RecordFilter calibrations;
    calibrations.kind = QString::fromLatin1(kEventCalibration);
    rows_ = store->rowsOf(calibrations, &error_);
  }
  store_->setText(Tr(state_, kStore).arg(error_.isEmpty() ? location_ : error_));
  fill();
  fillCharts();
}

bool RecordsWindow::takes(const FactoryRecord& r) const {
  const QString text = filter_->text().trimmed();
  if (!text.isEmpty() && !r.model.contains(text, Qt::CaseInsensitive) && !r.label.contains(text, Qt::CaseInsensitive) &&
      !r.fingerprint.startsWith(text, Qt::CaseInsensitive) && !r.fingerprintAfter.startsWith(text, Qt::CaseInsensitive))
    return false;
  const QString result = result_->currentData().toString();
  if (result == QLatin1String(kOutcomePass) && !r.passed()) return false;
  if (result == QLatin1String(kOutcomeFail) && r.outcome != QLatin1String(kOutcomeFail) &&
      r.outcome != QLatin1String(kOutcomeError) && r.outcome != QLatin1String(kOutcomeStopped))
    return false;
  if (since_->date() != since_->minimumDate() && r.started.date() < since_->date()) return false;
  return true;
}

std::vector<FactoryRecord> RecordsWindow::shown() const {
  std::vector<FactoryRecord> out;
  for (const FactoryRecord& r : records_)
    if (takes(r)) out.push_back(r);
  return out;
}

void RecordsWindow::fill() {
  const std::vector<FactoryRecord> rows = shown();
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const FactoryRecord& r = rows[static_cast<size_t>(i)];
    table_->setItem(i, kColId, Item(QString::number(r.id)));
    table_->item(i, kColId)->setData(Qt::UserRole, r.id);
    table_->setItem(i, kColDate, Item(r.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    table_->setItem(i, kColKind, Item(KindText(state_, r.kind)));
    table_->setItem(i, kColModel, Item(r.model));
    table_->setItem(i, kColUnit, Item(UnitText(r)));
    table_->setItem(i, kColLabel, Item(r.label));
    table_->setItem(i, kColStation, Item(r.station));
    table_->setItem(i, kColOperator, Item(r.operatorName));
    table_->setItem(i, kColResult, Item(OutcomeText(state_, r.outcome), OutcomeColour(r.outcome)));
  }
  table_->resizeColumnsToContents();
  certificate_->setEnabled(!table_->selectedItems().isEmpty());
  fillTimeline();
}

void RecordsWindow::fillTimeline() {
  timeline_->setRowCount(0);
  const QList<QTableWidgetItem*> sel = table_->selectedItems();
  if (sel.isEmpty()) return;
  const qint64 id = table_->item(sel.first()->row(), kColId)->data(Qt::UserRole).toLongLong();
  const auto it = std::find_if(records_.begin(), records_.end(), [&](const FactoryRecord& r) { return r.id == id; });
  if (it == records_.end()) return;
  // The unit's events, oldest first, whatever the filters: the unit is
  // known by its label, or by any fingerprint it has had.
  const QString key = UnitKey(*it);
  std::vector<const FactoryRecord*> events;
  for (const FactoryRecord& r : records_) {
    const bool same = !it->label.isEmpty()
                          ? r.label == it->label
                          : UnitKey(r) == key || (!r.fingerprint.isEmpty() && (r.fingerprint == it->fingerprintAfter ||
                                                                                r.fingerprintAfter == it->fingerprint));
    if (same) events.push_back(&r);
  }
  std::sort(events.begin(), events.end(), [](const FactoryRecord* a, const FactoryRecord* b) { return a->started < b->started; });
  timeline_->setRowCount(static_cast<int>(events.size()));
  for (int i = 0; i < static_cast<int>(events.size()); ++i) {
    const FactoryRecord& r = *events[static_cast<size_t>(i)];
    timeline_->setItem(i, 0, Item(r.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    timeline_->setItem(i, 1, Item(KindText(state_, r.kind)));
    timeline_->setItem(i, 2, Item(r.station));
    timeline_->setItem(i, 3, Item(UnitText(r)));
    timeline_->setItem(i, 4, Item(OutcomeText(state_, r.outcome), OutcomeColour(r.outcome)));
  }
  timeline_->resizeColumnsToContents();
}

namespace {
// Puts a chart of one set of bars in its view, in place of the old chart.
void ShowBars(QChartView* view, const QString& title, QAbstractBarSeries* series, QBarSet* set,
              const QStringList& categories, Qt::Alignment categoriesAt, QValueAxis* values) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->legend()->hide();
  series->append(set);
  chart->addSeries(series);
  auto* names = new QBarCategoryAxis;
  names->append(categories);
  chart->addAxis(names, categoriesAt);
  chart->addAxis(values, categoriesAt == Qt::AlignBottom ? Qt::AlignLeft : Qt::AlignBottom);
  series->attachAxis(names);
  series->attachAxis(values);
  QChart* old = view->chart();
  view->setChart(chart);
  delete old;
}
} // namespace

void RecordsWindow::fillCharts() {
  {
    auto* set = new QBarSet(Tr(state_, kYieldTitle));
    QStringList models;
    for (const ModelYield& y : FirstPassYield(records_)) {
      *set << y.percent();
      models << QStringLiteral("%1 (%2/%3)").arg(y.model).arg(y.firstPass).arg(y.units);
    }
    auto* percent = new QValueAxis;
    percent->setRange(0, 100);
    percent->setLabelFormat(QStringLiteral("%d %%"));
    ShowBars(yieldChart_, Tr(state_, kYieldTitle), new QBarSeries, set, models, Qt::AlignBottom, percent);
  }
  {
    auto* set = new QBarSet(Tr(state_, kFailingTitle));
    QStringList names;
    std::vector<RowFailures> failing = FailingRows(records_, rows_);
    if (failing.size() > 10) failing.resize(10);
    // The worst at the top.
    std::reverse(failing.begin(), failing.end());
    int most = 1;
    for (const RowFailures& f : failing) {
      *set << f.failed;
      names << QStringLiteral("%1  %2 %3 (%4/%5)").arg(f.model, f.step, f.item).arg(f.failed).arg(f.measured);
      most = std::max(most, f.failed);
    }
    auto* count = new QValueAxis;
    count->setRange(0, most);
    count->setLabelFormat(QStringLiteral("%d"));
    count->setTickCount(std::min(most, 10) + 1);
    ShowBars(failingChart_, Tr(state_, kFailingTitle), new QHorizontalBarSeries, set, names, Qt::AlignLeft, count);
  }
}

bool RecordsWindow::saveCertificate() {
  const QList<QTableWidgetItem*> sel = table_->selectedItems();
  if (sel.isEmpty()) return false;
  const qint64 id = table_->item(sel.first()->row(), kColId)->data(Qt::UserRole).toLongLong();
  QString why;
  std::optional<FactoryRecord> record;
  if (const std::unique_ptr<RecordStore> store = RecordStore::Open(location_, &why)) record = store->record(id, &why);
  if (!record) {
    prompter_.ask(ProductTitle(state_), why, Buttons::Ok, Icon::Warning);
    return false;
  }
  const QString path = prompter_.saveFileName(Tr(state_, kCertificate),
                                              QStringLiteral("%1-%2.pdf").arg(Tr(state_, kTitle).section(QLatin1Char(' '), 0, 0).toLower()).arg(id),
                                              {QStringLiteral("PDF (*.pdf)")});
  if (path.isEmpty()) return false;
  if (!RenderSheet(CertificateContent(state_, *record), path, &why)) {
    prompter_.ask(ProductTitle(state_), path + QStringLiteral(": ") + why, Buttons::Ok, Icon::Warning);
    return false;
  }
  return true;
}

} // namespace pv
