#include "config/EditorModel.h"

#include "kernel/Catalogue.h"
#include "text/Texts.h"
#include "text/Numbers.h"

namespace pv {

const std::array<const char*, 8> kOperationCaptions = {"= A", "= B", "A+B", "A-B",
                                                       "A*B", "A/B", "MAX", "MIN"};

EditorModel::EditorModel(AppState& state, RangeTables& tables, QObject* parent)
    : QObject(parent), state_(state), tables_(tables) {
  for (int c = 0; c < 2; ++c) f.cmdOperatore[c] = QString::fromLatin1(kOperationCaptions[0]);
}

void EditorModel::fillLists() {
  const QStringList in = tables_.InputList(state_.identity);
  for (int c = 0; c < 2; ++c) {
    f.cmbProgIn[c].items = in;
    f.cmbProgOut[c].items = tables_.OutputList();
    f.cmbOverRange[c].items = tables_.OverRangeList();
  }
  f.cmbFreqType.items = tables_.FrequencyList();
  emit changed();
}

QString EditorModel::doublerText() const { return Tr(state_, 31); }

int EditorModel::inputRow(int c) const {
  const bool doubler = f.cmbProgIn[1].text == doublerText();
  return tables_.InputRowByName(doubler ? f.cmbProgIn[0].text : f.cmbProgIn[c].text);
}

int EditorModel::outputRow(int c) const { return tables_.OutputRowByName(f.cmbProgOut[c].text); }

QString EditorModel::LimitsCaption(double lower, double upper, const QString& unit) {
  return NumToText(lower) + QString::fromUtf8(" \u00f7 ") + NumToText(upper) + " " + unit;
}

QString EditorModel::SpanCaption(double span, const QString& unit) {
  return QStringLiteral("Span min.: ") + NumToText(span) + " " + unit;
}

void EditorModel::inputTypeChanged(int c) {
  const int r = inputRow(c);
  if (r >= 0) {
    const InputRange& row = tables_.input[r];
    f.lblUMisIn[2 * c] = f.lblUMisIn[2 * c + 1] = row.unit;
    // A trip is in its own channel's unit: channel B's input must not
    // relabel channel A's thresholds.
    f.lblUMisS[2 * c] = f.lblUMisS[2 * c + 1] = row.unit;
    f.lblLimiteIn[c] = LimitsCaption(row.lower, row.upper, row.unit);
    f.lblSpanminIn[c] = SpanCaption(row.minSpan, row.unit);
  }
  refreshVisibility();  // emits
}

void EditorModel::outputCaptions(int c) {
  const int r = outputRow(c);
  if (r < 0) return;
  const OutputRange& row = tables_.output[r];
  f.lblUMisOut[2 * c] = f.lblUMisOut[2 * c + 1] = row.unit;
  f.lblLimiteOut[c] = LimitsCaption(row.lower, row.upper, row.unit);
  f.lblSpanminOut[c] = SpanCaption(row.minSpan, row.unit);
}

void EditorModel::outputTypeChanged(int c) {
  const int r = outputRow(c);
  if (r >= 0) {
    outputCaptions(c);
    f.txtOutputMin[c] = NumToText(tables_.output[r].lower);
    f.txtOutputMax[c] = NumToText(tables_.output[r].upper);
  }
  emit changed();
}

void EditorModel::freqTypeChanged() {
  int idx = -1;
  for (int i = 0; i <= 6; ++i)
    if (tables_.frequency[i].name == f.cmbFreqType.text) idx = i;
  if (idx < 0) {
    emit changed();
    return;
  }
  f.auxVisible = idx == 6;
  // The table's default trigger is a cell value; the field shows volts, so
  // it is converted as the cell would be (a raw " 100" would read as 100 V
  // and could never be written).
  const FrequencySensor& row = tables_.frequency[idx];
  f.txtTrig = FormatNumber(row.defaultTrigger * 0.0278 + 0.122, QStringLiteral("#0.###"));
  f.lblUMisTrig = row.unit;
  emit changed();
}

void EditorModel::doublerClicked() {
  if (isVariant(0)) {
    f.frmOptions[1] = f.chkDoubler;
    f.frmOutput[1] = f.chkDoubler;
  }
  emit changed();
}

void EditorModel::refreshVisibility() {
  const DeviceIdentity& id = state_.identity;
  const int v = id.variant;
  const int last = std::clamp<int>(state_.channelSelector, 0, 1);
  for (int c = 0; c <= last; ++c) {
    const int r = inputRow(c);
    f.frmCjc[c] = f.frmFili[c] = f.frmBreak[c] = f.frmFunz[c] = false;
    f.cmdMath = false;
    f.optFunzVisible[1] = f.optFunzVisible[4] = true;
    if (v == 0) {
      f.optFunzVisible[1] = f.optFunzVisible[4] = false;  // no tank on this model
      f.frmBreak[c] = true;
    } else if (v == 4) {
      f.frmBreak[c] = true;
    } else if (v == 5) {
      f.frmBreak[c] = true;
      f.cmdMath = true;
    }
    f.frmFunz[c] = false;
    auto noHighSpeed = [&] {
      f.chkHSEnabled = false;
      f.chkHS = false;
    };
    if (r >= rows::mV90 && r <= rows::mV800) {
      f.frmBreak[c] = true;
      f.chkHSEnabled = true;
      if (v == 0) f.frmFunz[c] = true;
    } else if (r == rows::Volt10 || r == rows::mA20) {
      f.optCJC[c] = 0;  // keeps the internal-compensation bit clear
      f.chkHSEnabled = true;
      if (v == 0 || v == 5) f.frmFunz[c] = true;
    } else if (rows::IsThermocouple(r) && r != rows::TcB) {
      f.frmCjc[c] = true;
      f.frmBreak[c] = true;
      noHighSpeed();
    } else if (r == rows::TcB) {
      f.frmCjc[c] = false;
      f.frmBreak[c] = true;
      noHighSpeed();
      f.frmFunz[c] = false;
    } else if ((r >= rows::Res2K && r <= rows::Ni1K) || (r >= rows::KTY81 && r <= rows::KTY83)) {
      f.frmFili[c] = true;
      f.frmBreak[c] = true;
      noHighSpeed();
    } else if (r == rows::Pot500 || r == rows::Pot2K) {
      f.frmBreak[c] = true;
      noHighSpeed();
    }
  }
  if (v == 0 || f.chkDoubler) {
    f.frmFili[1] = false;
    f.frmCjc[1] = false;
  }
  // Channel B exists on the two-channel families (cell 4 names the family);
  // on variant 7 it is the digital output of the one frequency input.
  if (v >= 2 && v <= 6) {
    const ModelRow* model = UnitModel(state_);
    const bool b = model && model->inputs == 2;
    f.frmInput[1] = f.frmOutput[1] = f.frmOptions[1] = b;
  } else if (v == 7) {
    f.frmInput[1] = false;
    f.frmOutput[1] = true;
    f.frmOptions[1] = false;
  } else {
    f.frmInput[1] = f.frmOutput[1] = f.frmOptions[1] = true;
  }
  if (v == 0) {
    f.frmOptions[1] = f.chkDoubler;
    f.frmOutput[1] = f.chkDoubler;
  }
  // Sections that exist only on some units.
  f.frmFreq = v == 7;
  f.frmOpt = id.deviceCode == 12 && v == 0 && id.hardwareRevision >= 4;
  f.frmFisico = id.deviceCode == 12 && v == 5;
  emit changed();
}

void EditorModel::copiaValori() {
  for (int c = 0; c < 2; ++c) {
    f.txtInputMax[2 + c] = f.txtInputMax[c];
    f.txtInputMin[2 + c] = f.txtInputMin[c];
    f.txtOutputMax[2 + c] = f.txtOutputMax[c];
    f.txtOutputMin[2 + c] = f.txtOutputMin[c];
  }
  for (int i = 0; i < 4; ++i) f.lblUMisIn[4 + i] = f.lblUMisIn[i];
  f.frmModo = true;
  emit changed();
}

void EditorModel::closeScalingPanel() {
  f.frmModo = false;
  emit changed();
}

void EditorModel::setInputType(int c, const QString& name) {
  f.cmbProgIn[c].text = name;
  inputTypeChanged(c);
}

void EditorModel::setOutputType(int c, const QString& name) {
  f.cmbProgOut[c].text = name;
  outputTypeChanged(c);
}

void EditorModel::setFreqType(const QString& name) {
  f.cmbFreqType.text = name;
  freqTypeChanged();
}

int EditorModel::openOptions(int c) {
  f.optionsChannel = std::clamp(c, 0, 1);
  const int op = state_.channels[f.optionsChannel].operatorOption;
  f.frame1 = op == 6 || op == 7;
  emit changed();
  return op;
}

void EditorModel::chooseOperation(int op) {
  if (op < 0 || op > 7) return;
  const int c = f.optionsChannel;
  state_.channels[c].operatorOption = static_cast<uint8_t>(op);
  f.frame1 = op == 6 || op == 7;
  f.cmdOperatore[c] = QString::fromLatin1(kOperationCaptions[op]);
  emit changed();
}

void EditorModel::keep(const QString& key, const QString& text, int context,
                       std::vector<std::pair<int, uint8_t>> cells) {
  kept_[key] = Kept{text, context, std::move(cells)};
}

const EditorModel::Kept* EditorModel::kept(const QString& key, const QString& text,
                                           int context) const {
  auto it = kept_.find(key);
  if (it == kept_.end() || it->second.text != text || it->second.context != context) return nullptr;
  return &it->second;
}

bool EditorModel::edited(const QString& key, const QString& text) const {
  auto it = kept_.find(key);
  return it == kept_.end() || it->second.text != text;
}

} // namespace pv
