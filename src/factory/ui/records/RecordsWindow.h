#pragma once
// The Records window (Collaudo menu): the factory's records in a table that
// a text, a result and a date filter; the selected unit's timeline; the
// certificate of the selected record; a chart of each model's first-pass
// yield and one of the rows that fail most. It reads the record store when
// shown and on "Refresh", and never writes to it.
#include "records/FactoryRecord.h"

#include <QWidget>
#include <vector>

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace pv {

struct AppState;
class Prompter;

class RecordsWindow final : public QWidget {
  Q_OBJECT
public:
  RecordsWindow(const AppState& state, Prompter& prompter, QWidget* parent = nullptr);
  void applyCaptions(const AppState& state);
  // Reads the store again ($PLANOVIX_RECORDS or the default).
  void reload();
  // The records the filters leave, as the table shows them.
  std::vector<FactoryRecord> shown() const;
  // Saves the selected record's certificate; asks where. False when none.
  bool saveCertificate();

  QTableWidget* table() const { return table_; }
  QTableWidget* timeline() const { return timeline_; }
  QLineEdit* filter() const { return filter_; }
  QComboBox* result() const { return result_; }
  QChartView* yieldChart() const { return yieldChart_; }
  QChartView* failingChart() const { return failingChart_; }

protected:
  void showEvent(QShowEvent* e) override;

private:
  void fill();
  void fillTimeline();
  void fillCharts();
  bool takes(const FactoryRecord& r) const;

  const AppState& state_;
  Prompter& prompter_;
  std::vector<FactoryRecord> records_;
  std::vector<std::pair<QString, FactoryRow>> rows_;
  QString location_, error_;
  QLabel* store_;
  QLineEdit* filter_;
  QComboBox* result_;
  QDateEdit* since_;
  QLabel* sinceLabel_;
  QPushButton* refresh_;
  QPushButton* certificate_;
  QTableWidget* table_;
  QTabWidget* tabs_;
  QTableWidget* timeline_;
  QChartView* yieldChart_;
  QChartView* failingChart_;
};

} // namespace pv
