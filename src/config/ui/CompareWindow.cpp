#include "config/ui/CompareWindow.h"

#include "config/ConfigDiff.h"
#include "config/EditorModel.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace pv {

CompareWindow::CompareWindow(EditorModel& model, Prompter& prompter, QWidget* parent)
    : QWidget(parent), model_(model), prompter_(prompter) {
  setObjectName(QStringLiteral("frm_compare"));
  auto* outer = new QVBoxLayout(this);
  table_ = new QTableWidget(this);
  table_->setObjectName(QStringLiteral("grd_compare"));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  outer->addWidget(table_, 1);
  auto* bottom = new QHBoxLayout;
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("lbl_compare_summary"));
  fileButton_ = new QPushButton(this);
  fileButton_->setObjectName(QStringLiteral("cmd_compare_file"));
  bottom->addWidget(summary_, 1);
  bottom->addWidget(fileButton_);
  outer->addLayout(bottom);
  connect(fileButton_, &QPushButton::clicked, this, &CompareWindow::chooseFile);
  connect(&model_, &EditorModel::changed, this, &CompareWindow::refresh);
  applyCaptions(model_.state());
}

void CompareWindow::applyCaptions(const AppState& s) {
  setWindowTitle(Tr(s, 120));
  fileButton_->setText(Tr(s, 138));
  refresh();
}

bool CompareWindow::openFile(const QString& path) {
  QString why;
  std::optional<QByteArray> bytes = ReadRecordFile(path, &why);
  if (!bytes) {
    prompter_.ask(ProductTitle(model_.state()), path + QStringLiteral("\n\n") + why, Buttons::Ok, Icon::Critical);
    return false;
  }
  file_ = std::move(bytes);
  fileName_ = QFileInfo(path).fileName();
  refresh();
  return true;
}

void CompareWindow::chooseFile() {
  const QString path = prompter_.openFileName(Tr(model_.state(), 138), {}, {QStringLiteral("*.DST *.dst")});
  if (!path.isEmpty()) openFile(path);
}

void CompareWindow::refresh() {
  const AppState& s = model_.state();
  const RangeTables& t = model_.tables();
  QStringList headers{Tr(s, 123)};
  std::vector<std::vector<FieldValue>> sides;
  std::optional<ConfigSnapshot> unit;
  if (model_.baseValid) {
    unit = ConfigSnapshot{s.identity, s.familyCell, DecodeConfig(s.identity, t, model_.base)};
    sides.push_back(ConfigFields(s, t, unit->identity, unit->familyCell, unit->record));
    headers << Tr(s, 73);
  }
  sides.push_back(ConfigFields(s, t, s.identity, s.familyCell, model_.record()));
  headers << Tr(s, 35);
  if (file_) {
    const ConfigSnapshot f = SnapshotFromFile(s, t, *file_, unit ? &*unit : nullptr);
    sides.push_back(ConfigFields(s, t, f.identity, f.familyCell, f.record));
    headers << fileName_;
  }
  headers << Tr(s, 124);

  const std::vector<CompareRow> rows = sides.size() > 1 ? CompareSides(sides) : std::vector<CompareRow>{};
  table_->clear();
  table_->setColumnCount(static_cast<int>(headers.size()));
  table_->setHorizontalHeaderLabels(headers);
  table_->setRowCount(static_cast<int>(rows.size()));
  const QColor tint(0xff, 0xe0, 0x8a);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const CompareRow& row = rows[static_cast<size_t>(r)];
    table_->setItem(r, 0, new QTableWidgetItem(row.caption));
    for (int k = 0; k < row.values.size(); ++k) {
      auto* item = new QTableWidgetItem(row.values[k]);
      // A value that is not the first side's (the unit's, when read) is tinted.
      if (k > 0 && row.values[k] != row.values[0]) item->setBackground(tint);
      table_->setItem(r, k + 1, item);
    }
    table_->setItem(r, static_cast<int>(row.values.size()) + 1, new QTableWidgetItem(row.unit));
  }
  // The field name and the unit as wide as they need; the compared values
  // share the rest evenly, so that they stand side by side at one width.
  QHeaderView* header = table_->horizontalHeader();
  header->setStretchLastSection(false);
  const int last = table_->columnCount() - 1;
  for (int c = 0; c <= last; ++c)
    header->setSectionResizeMode(c, c == 0 || c == last ? QHeaderView::ResizeToContents : QHeaderView::Stretch);
  updateGeometry();
  summary_->setText(rows.empty() ? Tr(s, 125) : Tr(s, 137).arg(rows.size()));
}

} // namespace pv

namespace pv {

QSize CompareWindow::sizeHint() const {
  int w = 2 * table_->frameWidth() + 24;
  const int last = table_->columnCount() - 1;
  auto want = [&](int c) {
    const QAbstractItemView* view = table_;
    return std::max(view->sizeHintForColumn(c), table_->horizontalHeader()->sectionSizeHint(c)) + 8;
  };
  int value = 0;
  for (int c = 1; c < last; ++c) value = std::max(value, want(c));
  for (int c = 0; c <= last; ++c) w += c == 0 || c == last ? want(c) : value;
  int h = table_->horizontalHeader()->sizeHint().height() + 2 * table_->frameWidth() + 8;
  for (int r = 0; r < table_->rowCount(); ++r) h += table_->rowHeight(r);
  h += summary_->sizeHint().height() + fileButton_->sizeHint().height() + 24;
  return {std::clamp(w, 480, 1000), std::clamp(h, 200, 640)};
}

} // namespace pv
