#include "config/EditorRules.h"

#include "kernel/Catalogue.h"
#include "text/Numbers.h"
#include "text/Texts.h"

#include <algorithm>

namespace pv {

namespace {

QString LimitsCaption(double lower, double upper, const QString& unit) {
  return NumToText(lower) + QString::fromUtf8(" \u00f7 ") + NumToText(upper) + " " + unit;
}

QString SpanCaption(double span, const QString& unit) {
  return QStringLiteral("Span min.: ") + NumToText(span) + " " + unit;
}

template <size_t K, typename Row>
QString NameOf(const std::array<Row, K>& table, int row) {
  return row >= 0 && row < static_cast<int>(K) ? table[static_cast<size_t>(row)].name : QString();
}

int LastChannel(const AppState& s) { return std::clamp<int>(s.channelSelector, 0, 1); }

bool HasHighSpeed(int r) { return (r >= rows::mV90 && r <= rows::mV800) || r == rows::Volt10 || r == rows::mA20; }

// Rows that have no high speed: thermocouples, resistance rows, potentiometers.
bool LacksHighSpeed(int r) {
  return rows::IsThermocouple(r) || (r >= rows::Res2K && r <= rows::Ni1K) ||
         (r >= rows::KTY81 && r <= rows::KTY83) || r == rows::Pot500 || r == rows::Pot2K;
}

// A number field written by a rule: its text, and the value the text reads as.
void Write(EditorState& e, Field f, const QString& text) {
  e.texts[static_cast<size_t>(Index(f))] = text;
  SetValueOf(e.record, f, ParseLeadingNumber(text));
}

} // namespace

int InputRowOf(const ConfigRecord& r, int c) { return r.ch[c == 1 && r.doubler ? 0 : c].inputRow; }

EditorView InputCaptions(const ConfigRecord& r, EditorView v, int c, const RuleContext& x) {
  const int row = InputRowOf(r, c);
  if (row < 0 || row >= static_cast<int>(x.tables.input.size())) return v;
  const InputRange& in = x.tables.input[static_cast<size_t>(row)];
  v.lblUMisIn[2 * c] = v.lblUMisIn[2 * c + 1] = in.unit;
  // A trip is in its own channel's unit: channel B's input must not
  // relabel channel A's thresholds.
  v.lblUMisS[2 * c] = v.lblUMisS[2 * c + 1] = in.unit;
  v.lblLimiteIn[c] = LimitsCaption(in.lower, in.upper, in.unit);
  v.lblSpanminIn[c] = SpanCaption(in.minSpan, in.unit);
  return v;
}

EditorView OutputCaptions(const ConfigRecord& r, EditorView v, int c, const RuleContext& x) {
  const int row = r.ch[c].outputRow;
  if (row < 0 || row >= static_cast<int>(x.tables.output.size())) return v;
  const OutputRange& out = x.tables.output[static_cast<size_t>(row)];
  v.lblUMisOut[2 * c] = v.lblUMisOut[2 * c + 1] = out.unit;
  v.lblLimiteOut[c] = LimitsCaption(out.lower, out.upper, out.unit);
  v.lblSpanminOut[c] = SpanCaption(out.minSpan, out.unit);
  return v;
}

EditorView FrequencyCaptions(const ConfigRecord& r, EditorView v, const RuleContext& x) {
  if (r.freqType < 0 || r.freqType > 6) return v;  // the list's seven rows
  v.auxVisible = r.freqType == 6;
  v.lblUMisTrig = x.tables.frequency[static_cast<size_t>(r.freqType)].unit;
  return v;
}

EditorView ListTexts(const ConfigRecord& r, EditorView v, const RuleContext& x) {
  for (int c = 0; c < 2; ++c) {
    v.cmbProgIn[c].text = NameOf(x.tables.input, r.ch[c].inputRow);
    v.cmbProgOut[c].text = NameOf(x.tables.output, r.ch[c].outputRow);
    v.cmbOverRange[c].text = NameOf(x.tables.overRange, r.ch[c].overRange);
  }
  if (r.doubler) v.cmbProgIn[1].text = Tr(x.app, 31);
  v.cmbFreqType.text = NameOf(x.tables.frequency, r.freqType);
  return v;
}

EditorView Frames(const ConfigRecord& r, EditorView v, const RuleContext& x) {
  const DeviceIdentity& id = x.app.identity;
  const int variant = id.variant;
  for (int c = 0; c <= LastChannel(x.app); ++c) {
    const int row = InputRowOf(r, c);
    v.frmCjc[c] = v.frmFili[c] = v.frmBreak[c] = v.frmFunz[c] = false;
    v.cmdMath = false;
    v.optFunzVisible[1] = v.optFunzVisible[4] = true;
    if (variant == 0) {
      v.optFunzVisible[1] = v.optFunzVisible[4] = false;  // no tank on this model
      v.frmBreak[c] = true;
    } else if (variant == 4) {
      v.frmBreak[c] = true;
    } else if (variant == 5) {
      v.frmBreak[c] = true;
      v.cmdMath = true;
    }
    if (row >= rows::mV90 && row <= rows::mV800) {
      v.frmBreak[c] = true;
      if (variant == 0) v.frmFunz[c] = true;
    } else if (row == rows::Volt10 || row == rows::mA20) {
      if (variant == 0 || variant == 5) v.frmFunz[c] = true;
    } else if (rows::IsThermocouple(row)) {
      v.frmCjc[c] = row != rows::TcB;  // "Tc B" needs no compensation
      v.frmBreak[c] = true;
    } else if (LacksHighSpeed(row)) {
      v.frmFili[c] = row != rows::Pot500 && row != rows::Pot2K;
      v.frmBreak[c] = true;
    }
    if (HasHighSpeed(row)) v.chkHSEnabled = true;
    if (LacksHighSpeed(row)) v.chkHSEnabled = false;
  }
  if (variant == 0 || r.doubler) {
    v.frmFili[1] = false;
    v.frmCjc[1] = false;
  }
  // Channel B exists on the two-channel families (cell 4 names the family);
  // on variant 7 it is the digital output of the one frequency input.
  if (variant >= 2 && variant <= 6) {
    const ModelRow* model = UnitModel(x.app);
    const bool b = model && model->inputs == 2;
    v.frmInput[1] = v.frmOutput[1] = v.frmOptions[1] = b;
  } else if (variant == 7) {
    v.frmInput[1] = false;
    v.frmOutput[1] = true;
    v.frmOptions[1] = false;
  } else {
    v.frmInput[1] = v.frmOutput[1] = v.frmOptions[1] = true;
  }
  if (variant == 0) v.frmOptions[1] = v.frmOutput[1] = r.doubler;
  // Sections that exist only on some units.
  const CellLayout L = CellLayoutFor(id);
  v.frmFreq = L.frequencyInput;
  v.frmOpt = L.responseTime;
  v.frmFisico = L.physicalScale;
  return ListTexts(r, v, x);
}

ConfigRecord ClearedByInput(ConfigRecord r, const RuleContext& x) {
  for (int c = 0; c <= LastChannel(x.app); ++c) {
    const int row = InputRowOf(r, c);
    // External compensation keeps the internal-compensation bit clear.
    if (row == rows::Volt10 || row == rows::mA20) r.ch[c].cjc = 0;
    if (LacksHighSpeed(row)) r.highSpeed = false;
  }
  return r;
}

EditorState RefreshVisibility(EditorState e, const RuleContext& x) {
  e.record = ClearedByInput(e.record, x);
  e.view = Frames(e.record, e.view, x);
  return e;
}

EditorState InputTypeChanged(EditorState e, int c, const RuleContext& x) {
  e.view = InputCaptions(e.record, e.view, c, x);
  return RefreshVisibility(std::move(e), x);
}

EditorState OutputTypeChanged(EditorState e, int c, const RuleContext& x) {
  const int row = e.record.ch[c].outputRow;
  if (row >= 0 && row < static_cast<int>(x.tables.output.size())) {
    e.view = OutputCaptions(e.record, e.view, c, x);
    Write(e, Of(Field::OutputMinA, c), NumToText(x.tables.output[static_cast<size_t>(row)].lower));
    Write(e, Of(Field::OutputMaxA, c), NumToText(x.tables.output[static_cast<size_t>(row)].upper));
  }
  e.view = ListTexts(e.record, e.view, x);
  return e;
}

EditorState FreqTypeChanged(EditorState e, const RuleContext& x) {
  e.view = ListTexts(e.record, e.view, x);
  if (e.record.freqType < 0 || e.record.freqType > 6) return e;
  e.view = FrequencyCaptions(e.record, e.view, x);
  // The table's default trigger is a cell value; the field shows volts, so
  // it is converted as the cell would be (a raw " 100" would read as 100 V
  // and could never be written).
  const double trigger = x.tables.frequency[static_cast<size_t>(e.record.freqType)].defaultTrigger * 0.0278 + 0.122;
  Write(e, Field::Trigger, FormatNumber(trigger, QStringLiteral("#0.###")));
  return e;
}

EditorState DoublerClicked(EditorState e, const RuleContext& x) {
  if (x.app.identity.variant == 0) e.view.frmOptions[1] = e.view.frmOutput[1] = e.record.doubler;
  e.view = ListTexts(e.record, e.view, x);
  return e;
}

EditorState CopiaValori(EditorState e) {
  for (int c = 0; c < 2; ++c) {
    auto text = [&e, c](Field a) { return e.texts[static_cast<size_t>(Index(Of(a, c)))]; };
    e.view.panelInputMax[c] = text(Field::InputMaxA);
    e.view.panelInputMin[c] = text(Field::InputMinA);
    e.view.panelOutputMax[c] = text(Field::OutputMaxA);
    e.view.panelOutputMin[c] = text(Field::OutputMinA);
  }
  for (int i = 0; i < 4; ++i) e.view.lblUMisIn[4 + i] = e.view.lblUMisIn[i];
  e.view.frmModo = true;
  return e;
}

} // namespace pv
