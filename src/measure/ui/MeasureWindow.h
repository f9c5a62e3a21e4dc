#pragma once
// The measurement window: live output and input of each channel, range
// labels, input bars, trip lamps, and a trend chart of the last minutes
// with a CSV export. A thin view of MeasurementRun.
#include "measure/MeasurementRun.h"

#include <QWidget>
#include <array>

class QLabel;
class QGroupBox;
class QPushButton;
class QChartView;
class QChart;
class QLineSeries;
class QValueAxis;

namespace pv {

class Lamp;
class Prompter;

class MeasureWindow final : public QWidget {
  Q_OBJECT
public:
  MeasureWindow(AppState& state, MeasurementRun& run, Prompter& prompter, QWidget* parent = nullptr);

  void applyCaptions(const AppState& s);
  // Shows only the sections the identified model has.
  void applyLayout(const MeasurePanels& panels);
  bool saveCsv(const QString& path, QString* error = nullptr);
  // Start is pressable only while the device link allows a new run.
  void setStartAllowed(bool on);

signals:
  void startRequested();
  void stopRequested();

private:
  void onStarted(const RunSetup& setup);
  void onFrame(const DisplayFrame& frame);
  void onFinished(RunEnd why);
  void refreshChart();

  AppState& state_;
  MeasurementRun& run_;
  Prompter& prompter_;
  QPushButton* start_;
  QPushButton* stop_;
  QPushButton* csv_;
  std::array<QGroupBox*, 2> inFrame_{}, outFrame_{};
  QGroupBox* tripFrame_;
  std::array<QLabel*, 2> inValue_{}, outValue_{}, breakL_{}, breakH_{}, progIn_{}, progOut_{};
  std::array<QWidget*, 2> barBack_{}, bar_{};
  std::array<Lamp*, 3> leds_{};
  std::array<QLabel*, 3> ledCaptions_{};
  QLabel* progTrip_;
  std::array<QChartView*, 2> chartView_{};
  std::array<QLineSeries*, 2> inSeries_{}, outSeries_{};
  std::array<QValueAxis*, 2> timeAxis_{}, inAxis_{}, outAxis_{};
  qint64 lastChartMs_ = -1;
  bool startAllowed_ = true;
};

} // namespace pv
