#include "kernel/Catalogue.h"
#include "measure/ui/MeasureWindow.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "kernel/ui/Widgets.h"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>
#include <cmath>

namespace pv {

namespace {
QString N(const char* base, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(i); }

// "Soglia A", "Soglia B", "Allarme" (Italian ids; + languageOffset for English).
constexpr int kLampCaptions = 2;

// Round steps and as many decimals as the steps need, so that a label is
// never cut ("1098.9" read "109..." beside a narrow chart).
void SetAxis(QValueAxis* axis, double lo, double hi) {
  axis->setRange(lo, hi);
  axis->applyNiceNumbers();
  const double step = (axis->max() - axis->min()) / std::max(1, axis->tickCount() - 1);
  const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : 3;
  axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

void Paint(QLabel* l, Colour c) {
  const QColor col = FromVbColor(static_cast<int>(c));
  l->setStyleSheet(QStringLiteral("color: white; background: %1; border-radius: 3px; padding: 1px 4px;")
                       .arg(col.name()));
}
} // namespace

MeasureWindow::MeasureWindow(AppState& state, MeasurementRun& run, Prompter& prompter, QWidget* parent)
    : QWidget(parent), state_(state), run_(run), prompter_(prompter) {
  setObjectName(QStringLiteral("frm_misura"));
  auto* outer = new QVBoxLayout(this);

  auto* modo = new QGroupBox(this);
  modo->setObjectName(QStringLiteral("frm_modo"));
  auto* ml = new QHBoxLayout(modo);
  start_ = new QPushButton(QStringLiteral("Start"), modo);
  start_->setObjectName(QStringLiteral("Cmd_StartRead"));
  stop_ = new QPushButton(QStringLiteral("Stop"), modo);
  stop_->setObjectName(QStringLiteral("Cmd_StopRead"));
  csv_ = new QPushButton(modo);
  csv_->setObjectName(QStringLiteral("cmd_SaveCsv"));
  ml->addWidget(start_);
  ml->addWidget(stop_);
  ml->addStretch();
  ml->addWidget(csv_);
  outer->addWidget(modo);
  connect(start_, &QPushButton::clicked, this, &MeasureWindow::startRequested);
  connect(stop_, &QPushButton::clicked, this, &MeasureWindow::stopRequested);

  auto* grid = new QGridLayout;
  for (int c = 0; c < 2; ++c) {
    inFrame_[c] = new QGroupBox(this);
    inFrame_[c]->setObjectName(N("frm_in", c));
    auto* il = new QGridLayout(inFrame_[c]);
    progIn_[c] = new QLabel(inFrame_[c]);
    progIn_[c]->setObjectName(N("lbl_progIn", c));
    il->addWidget(progIn_[c], 0, 0, 1, 3);
    breakL_[c] = new QLabel(QStringLiteral("<"), inFrame_[c]);
    breakL_[c]->setObjectName(N("lbl_Break_L", c));
    breakH_[c] = new QLabel(QStringLiteral(">"), inFrame_[c]);
    breakH_[c]->setObjectName(N("lbl_Break_H", c));
    Paint(breakL_[c], Colour::Grey);
    Paint(breakH_[c], Colour::Grey);
    inValue_[c] = new QLabel(QStringLiteral("----"), inFrame_[c]);
    inValue_[c]->setObjectName(N("txt_misura_in", c));
    QFont big = inValue_[c]->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    inValue_[c]->setFont(big);
    inValue_[c]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    inValue_[c]->setMinimumWidth(200);
    inValue_[c]->setFrameShape(QFrame::StyledPanel);
    il->addWidget(breakL_[c], 1, 0);
    il->addWidget(inValue_[c], 1, 1);
    il->addWidget(breakH_[c], 1, 2);
    barBack_[c] = new QWidget(inFrame_[c]);
    barBack_[c]->setFixedHeight(10);
    barBack_[c]->setStyleSheet(QStringLiteral("background: #dde3e8; border-radius: 2px;"));
    bar_[c] = new QWidget(barBack_[c]);
    bar_[c]->setObjectName(N("progress", c));
    bar_[c]->setStyleSheet(QStringLiteral("background: #1f6fc8; border-radius: 2px;"));
    bar_[c]->setGeometry(0, 0, 0, 10);
    il->addWidget(barBack_[c], 2, 1);
    grid->addWidget(inFrame_[c], 0, c);

    outFrame_[c] = new QGroupBox(this);
    outFrame_[c]->setObjectName(N("frm_out", c));
    auto* ol = new QVBoxLayout(outFrame_[c]);
    progOut_[c] = new QLabel(outFrame_[c]);
    progOut_[c]->setObjectName(N("lbl_progOut", c));
    outValue_[c] = new QLabel(QStringLiteral("----"), outFrame_[c]);
    outValue_[c]->setObjectName(N("txt_misura_out", c));
    outValue_[c]->setFont(big);
    outValue_[c]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    outValue_[c]->setFrameShape(QFrame::StyledPanel);
    ol->addWidget(progOut_[c]);
    ol->addWidget(outValue_[c]);
    grid->addWidget(outFrame_[c], 1, c);
  }
  outer->addLayout(grid);

  tripFrame_ = new QGroupBox(this);
  tripFrame_->setObjectName(QStringLiteral("frm_soglie"));
  auto* tl = new QHBoxLayout(tripFrame_);
  const char* captions[3] = {"Trip A", "Trip B", "Alarm"};
  for (int i = 0; i < 3; ++i) {
    leds_[i] = new Lamp(tripFrame_);
    leds_[i]->setObjectName(N("Led", i));
    leds_[i]->setFixedSize(20, 20);
    ledCaptions_[i] = new QLabel(QString::fromLatin1(captions[i]), tripFrame_);
    ledCaptions_[i]->setObjectName(N("lbl_soglie", i));
    tl->addWidget(leds_[i]);
    tl->addWidget(ledCaptions_[i]);
    tl->addSpacing(12);
  }
  progTrip_ = new QLabel(tripFrame_);
  progTrip_->setObjectName(QStringLiteral("lbl_progTrip"));
  tl->addWidget(progTrip_, 1);
  outer->addWidget(tripFrame_);

  // Trend: one chart per channel, input on the left axis, output on the right.
  auto* charts = new QHBoxLayout;
  for (int c = 0; c < 2; ++c) {
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    inSeries_[c] = new QLineSeries(chart);
    outSeries_[c] = new QLineSeries(chart);
    chart->addSeries(inSeries_[c]);
    chart->addSeries(outSeries_[c]);
    timeAxis_[c] = new QValueAxis(chart);
    timeAxis_[c]->setLabelFormat(QStringLiteral("%.0f"));
    timeAxis_[c]->setTitleText(QStringLiteral("s"));
    // Before the first frame: the ten seconds the chart shows at least,
    // not 0..1 labelled "0 0 1 1 1".
    timeAxis_[c]->setRange(0, 10);
    inAxis_[c] = new QValueAxis(chart);
    outAxis_[c] = new QValueAxis(chart);
    SetAxis(inAxis_[c], 0, 100);
    SetAxis(outAxis_[c], 0, 20);
    chart->addAxis(timeAxis_[c], Qt::AlignBottom);
    chart->addAxis(inAxis_[c], Qt::AlignLeft);
    chart->addAxis(outAxis_[c], Qt::AlignRight);
    inSeries_[c]->attachAxis(timeAxis_[c]);
    inSeries_[c]->attachAxis(inAxis_[c]);
    outSeries_[c]->attachAxis(timeAxis_[c]);
    outSeries_[c]->attachAxis(outAxis_[c]);
    QPen outPen(QColor(0xd2, 0x3b, 0x2f));
    outPen.setWidthF(1.6);
    outSeries_[c]->setPen(outPen);
    QPen inPen(QColor(0x1f, 0x6f, 0xc8));
    inPen.setWidthF(1.6);
    inSeries_[c]->setPen(inPen);
    chartView_[c] = new QChartView(chart, this);
    chartView_[c]->setObjectName(N("chart", c));
    chartView_[c]->setRenderHint(QPainter::Antialiasing);
    chartView_[c]->setMinimumSize(320, 220);
    charts->addWidget(chartView_[c]);
  }
  outer->addLayout(charts, 1);

  connect(csv_, &QPushButton::clicked, this, [this] {
    const QString path = prompter_.saveFileName(ProductTitle(state_), QString(),
                                                 {QStringLiteral("CSV (*.csv)"), QStringLiteral("(*.*)")});
    if (path.isEmpty()) return;
    QString error;
    if (!saveCsv(path, &error))
      prompter_.ask(ProductTitle(state_), error, Buttons::Ok, Icon::Critical);
  });
  connect(&run_, &MeasurementRun::started, this, &MeasureWindow::onStarted);
  connect(&run_, &MeasurementRun::frameShown, this, &MeasureWindow::onFrame);
  connect(&run_, &MeasurementRun::finished, this, &MeasureWindow::onFinished);
  applyLayout(PanelsFor(kModels[0]));
}

void MeasureWindow::applyCaptions(const AppState& s) {
  for (int c = 0; c < 2; ++c) {
    const QString suffix = c == 0 ? QString() : QStringLiteral(" B");
    inFrame_[c]->setTitle(Tr(s, 48) + suffix);
    outFrame_[c]->setTitle(Tr(s, 49) + suffix);
    inSeries_[c]->setName(Tr(s, 48));
    outSeries_[c]->setName(Tr(s, 49));
    chartView_[c]->chart()->setTitle(Tr(s, 72) + (c == 0 ? QStringLiteral(" A") : QStringLiteral(" B")));
  }
  tripFrame_->setTitle(Tr(s, 50));
  for (int i = 0; i < 3; ++i) ledCaptions_[static_cast<size_t>(i)]->setText(Tr(s, kLampCaptions + i));
  csv_->setText(Tr(s, 89));
  setWindowTitle(Tr(s, 36));
}

void MeasureWindow::applyLayout(const MeasurePanels& panels) {
  inFrame_[1]->setVisible(panels.inputB);
  outFrame_[1]->setVisible(panels.outputB);
  chartView_[1]->setVisible(panels.outputB);
  ledCaptions_[1]->setVisible(panels.tripB);
  leds_[1]->setVisible(panels.tripB);
}

void MeasureWindow::onStarted(const RunSetup& setup) {
  for (int c = 0; c < 2; ++c) {
    const ChannelSetup& ch = setup.channels[c];
    if (!ch.configured) continue;
    progIn_[c]->setText(ch.inputLabel);
    progIn_[c]->setVisible(ch.inputLabelVisible);
    progOut_[c]->setText(ch.outputLabel);
    double lo = std::min(ch.settings.inputMin, ch.settings.inputMax);
    double hi = std::max(ch.settings.inputMin, ch.settings.inputMax);
    if (ch.settings.function == 1 || ch.settings.function == 2) {
      lo = 0;
      hi = 1000;
    }
    if (hi <= lo) hi = lo + 1;
    const double inMargin = (hi - lo) * 0.1;
    SetAxis(inAxis_[c], lo - inMargin, hi + inMargin);
    inAxis_[c]->setTitleText(ch.settings.inputUnit);
    double olo = std::min(ch.settings.outputMin, ch.settings.outputMax);
    double ohi = std::max(ch.settings.outputMin, ch.settings.outputMax);
    if (ohi <= olo) ohi = olo + 1;
    const double outMargin = (ohi - olo) * 0.1;
    SetAxis(outAxis_[c], olo - outMargin, ohi + outMargin);
    outAxis_[c]->setTitleText(ch.settings.outputUnit);
  }
  // One line per trip; with two, each names its channel.
  QStringList trips;
  int present = 0;
  for (const TripLabels& t : setup.trips) present += t.present;
  for (int c = 0; c < 2; ++c) {
    const TripLabels& t = setup.trips[static_cast<size_t>(c)];
    if (!t.present) continue;
    const QString line = QStringList{t.high, t.low, t.direction, t.delay}.join(QStringLiteral("   "));
    trips << (present > 1 ? QString(QChar('A' + c)) + QStringLiteral(":   ") + line : line);
  }
  progTrip_->setText(trips.join(QStringLiteral("\n")));
  start_->setEnabled(false);
  lastChartMs_ = -1;
}

void MeasureWindow::onFrame(const DisplayFrame& frame) {
  for (int c = 0; c < 2; ++c) {
    const ChannelDisplay& d = frame.channels[c];
    if (!d.updated) continue;
    outValue_[c]->setText(d.outputText);
    inValue_[c]->setText(d.inputText);
    Paint(breakL_[c], d.underLabel);
    Paint(breakH_[c], d.overLabel);
    const int full = barBack_[c]->width();
    bar_[c]->setGeometry(0, 0, d.barValid ? int(std::lround(d.barFraction * full)) : 0, barBack_[c]->height());
  }
  for (int i = 0; i < 3; ++i) leds_[i]->setVbColor(static_cast<int>(frame.lamps[i]));
  // The chart is redrawn a few times a second at most; the samples keep every frame.
  if (lastChartMs_ < 0 || frame.timeMs - lastChartMs_ >= 250) {
    lastChartMs_ = frame.timeMs;
    refreshChart();
  }
}

void MeasureWindow::refreshChart() {
  const std::vector<Sample> samples = run_.history().visible();
  if (samples.empty()) return;
  const qint64 t0 = samples.front().timeMs;
  const double span = std::max(10.0, (samples.back().timeMs - t0) / 1000.0);
  for (int c = 0; c < 2; ++c) {
    QList<QPointF> in, out;
    in.reserve(int(samples.size()));
    out.reserve(int(samples.size()));
    for (const Sample& s : samples) {
      if (!s.present[c]) continue;
      const double t = (s.timeMs - t0) / 1000.0;
      if (s.inputValid[c]) in.append(QPointF(t, s.input[c]));
      out.append(QPointF(t, s.output[c]));
    }
    inSeries_[c]->replace(in);
    outSeries_[c]->replace(out);
    timeAxis_[c]->setRange(0, span);
    timeAxis_[c]->applyNiceNumbers();
  }
}

void MeasureWindow::setStartAllowed(bool on) {
  startAllowed_ = on;
  start_->setEnabled(on && !run_.active());
}

void MeasureWindow::onFinished(RunEnd) {
  start_->setEnabled(startAllowed_);
  refreshChart();
}

bool MeasureWindow::saveCsv(const QString& path, QString* error) {
  return SaveSamplesCsv(run_.history().visible(), run_.setup(), path, error);
}

} // namespace pv
