#include "factory/RunRecord.h"

#include "factory/CalibrationTables.h"
#include "factory/Instrument.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <cmath>

namespace pv {

namespace {

// The number a cell shows first ("1.012", "-3", "1234 (Veq 5)").
std::optional<double> NumberIn(const QString& text) {
  static const QRegularExpression number(QStringLiteral("^\\s*([-+]?\\d+(\\.\\d+)?)"));
  const QRegularExpressionMatch m = number.match(text);
  if (!m.hasMatch()) return std::nullopt;
  return m.captured(1).toDouble();
}

QString UnitOf(const char* caption) {
  const QStringList words = QString::fromLatin1(caption).split(QLatin1Char(' '));
  return words.size() == 2 ? words[1] : QString();
}

const InputStepRow* InputStepOf(int row) {
  const int c = GridRow(row).channel;
  for (const InputStepRow* s : InputStepsInOrder(c))
    if (s->gridRow[static_cast<size_t>(c)] == row) return s;
  return nullptr;
}

} // namespace

std::vector<FactoryRow> GridRowRecord(const CalibrationModel& model, int row, const GridRowState& state) {
  const GridRowInfo& info = GridRow(row);
  const QString step = QStringLiteral("%1 %2 %3").arg(row).arg(QLatin1String(info.caption)).arg(QChar('A' + info.channel));
  const InputStepRow* input = info.kind == RowKind::Input ? InputStepOf(row) : nullptr;
  const InputSetup* setup = input ? FindInputSetup(input->inputCode) : nullptr;
  std::vector<FactoryRow> out;
  for (int c = 0; c < kCellCount; ++c) {
    const GridCell& cell = state.cells[static_cast<size_t>(c)];
    if (cell.text.isEmpty() && cell.colour == CellColour::NotRun) continue;
    FactoryRow r;
    r.seq = row * kCellCount + c;
    r.step = step;
    r.item = QString::fromLatin1(CellName(row, c));
    r.text = cell.text;
    r.value = NumberIn(cell.text);
    r.colour = cell.colour == CellColour::NotRun ? QString() : QString::fromLatin1(ColourName(cell.colour));
    r.pass = cell.colour != CellColour::Red;
    // The limits the step judges this cell by, in the unit the cell shows.
    if (input && setup && c == kK1) {
      const double e = ExpectedK1(model, *input);
      r.low = e - e / 50;
      r.high = e + e / 50;
    } else if (input && setup && (c == kZero || c == kHalf || c == kSpan)) {
      const double point = c == kZero ? input->min : c == kHalf ? input->half : input->max;
      const double tolerance = (input->max - input->min) / 1000;
      r.low = (point - tolerance) * setup->readingScale;
      r.high = (point + tolerance) * setup->readingScale;
      r.unit = UnitOf(info.caption);
    }
    out.push_back(r);
  }
  return out;
}

CalibrationRecord::CalibrationRecord(QString location, QString outbox)
    : recorder_(std::move(location), std::move(outbox)) {}

QString CalibrationRecord::begin(const CalibrationModel& model, const QJsonObject& options,
                                 const std::vector<const Instrument*>& bench, const QString& continueUid) {
  if (!enabled_) return {};
  FactoryRecord head;
  head.kind = QString::fromLatin1(kEventCalibration);
  head.model = QString::fromLatin1(model.modelId);
  QJsonArray instruments;
  for (const Instrument* i : bench)
    instruments.append(QJsonObject{{"name", i->name()}, {"selector", i->selector()}});
  head.details = QJsonObject{{"options", options}, {"instruments", instruments}};
  if (options.contains(QStringLiteral("ambient"))) head.details.insert(QStringLiteral("ambient"), options.value(QStringLiteral("ambient")));
  if (options.contains(QStringLiteral("operator"))) head.operatorName = options.value(QStringLiteral("operator")).toString();
  if (options.contains(QStringLiteral("label"))) head.label = options.value(QStringLiteral("label")).toString();
  recorder_.begin(head, continueUid);
  return recorder_.record().uid;
}

void CalibrationRecord::unit(const QString& fingerprint) {
  if (!recorder_.active()) return;
  if (recorder_.head().fingerprint.isEmpty()) {
    recorder_.head().fingerprint = fingerprint;
    recorder_.update();
  }
}

void CalibrationRecord::row(const CalibrationModel& model, int row, const GridRowState& state) {
  if (!recorder_.active()) return;
  recorder_.put(GridRowRecord(model, row, state));
}

void CalibrationRecord::written(const std::map<int, uint8_t>& cells) {
  if (!recorder_.active()) return;
  QJsonObject w;
  for (const auto& [a, v] : cells) w.insert(QString::number(a), v);
  recorder_.head().details.insert(QStringLiteral("written"), w);
  recorder_.update();
}

void CalibrationRecord::end(const QString& outcome, const QString& reason, const QString& fingerprintAfter) {
  if (!recorder_.active()) return;
  FactoryRecord& h = recorder_.head();
  if (fingerprintAfter != h.fingerprint) h.fingerprintAfter = fingerprintAfter;
  recorder_.finish(outcome, reason);
}

} // namespace pv
