#include "config/EditorModel.h"

#include "kernel/Catalogue.h"
#include "text/Texts.h"
#include "config/ConfigCodec.h"
#include "text/Numbers.h"

#include <QSignalBlocker>
#include <cmath>

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
  if (c == 1 && f.chkDoubler) c = 0;
  if (pickedRow_[c] >= 0 && f.cmbProgIn[c].text == pickedText_[c]) return pickedRow_[c];
  // A list text still as loaded names the loaded row (separator rows share
  // one empty name, so a name alone cannot tell them apart).
  if (f.cmbProgIn[c].text == loadedFields_.cmbProgIn[c].text && f.cmbProgIn[c].text != doublerText())
    return loaded_.ch[c].inputRow;
  return tables_.InputRowByName(f.cmbProgIn[c].text);
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
  // Channel B's list shows the doubler text in the current language while
  // the box is checked, and channel B's own input again when it is not.
  if (f.chkDoubler) {
    f.cmbProgIn[1].text = doublerText();
  } else if (f.cmbProgIn[1].text == LoadText(31) || f.cmbProgIn[1].text == LoadText(331)) {
    f.cmbProgIn[1].text = tables_.input[std::clamp(loaded_.ch[1].inputRow, 0, 51)].name;
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
  f.frmOpt = CellLayoutFor(id).responseTime;
  f.frmFisico = CellLayoutFor(id).physicalScale;
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
  pickedRow_[c] = -1;
  inputTypeChanged(c);
}

void EditorModel::setInputRow(int c, int row) {
  if (row < 0 || row >= static_cast<int>(tables_.input.size())) return;
  f.cmbProgIn[c].text = tables_.input[row].name;
  pickedRow_[c] = row;
  pickedText_[c] = f.cmbProgIn[c].text;
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

namespace {
const QString kFmt = QStringLiteral("#0.###");
} // namespace

bool EditorModel::tripDirectionOwned(int c) const {
  const CellLayout L = CellLayoutFor(state_.identity);
  return c < L.tripChannels && !(c == 0 && L.familyInCell4);
}

bool EditorModel::doublerOwned() const {
  const CellLayout L = CellLayoutFor(state_.identity);
  return !L.frequencyInput && !L.familyInCell4;
}

void EditorModel::applyValues(const ConfigRecord& r) {
  const CellLayout L = CellLayoutFor(state_.identity);
  for (int c = 0; c < 2; ++c) {
    const ChannelConfig& ch = r.ch[c];
    f.cmbProgIn[c].text = tables_.input[std::clamp(ch.inputRow, 0, 51)].name;
    f.cmbProgOut[c].text = tables_.output[ch.outputRow & 3].name;
    f.txtInputMax[c] = FormatNumber(ch.inputMax, kFmt);
    f.txtInputMin[c] = FormatNumber(ch.inputMin, kFmt);
    f.txtOutputMax[c] = FormatNumber(ch.outputMax, kFmt);
    f.txtOutputMin[c] = FormatNumber(ch.outputMin, kFmt);
    f.optBreak[c] = ch.burnOut;
    f.optFili[c] = ch.wires;
    f.optCJC[c] = ch.cjc;
    f.optFunz[c] = ch.function;
    f.optRele[c] = ch.relay;
    f.optTrip[c] = ch.tripDirection;
    f.cmbOverRange[c].text = tables_.overRange[ch.overRange & 3].name;
    f.txtOffset[c] = FormatNumber(ch.offset, QStringLiteral("#0.0"));
    const double scale = (L.tripScaledByRow && (ch.inputRow == rows::Volt10 || ch.inputRow == rows::mA20))
                             ? std::pow(10.0, tables_.input[ch.inputRow].decimals)
                             : 1.0;
    f.txtSogliaH[c] = Float24Text(ch.tripHigh, scale);
    f.txtSogliaL[c] = Float24Text(ch.tripLow, scale);
    state_.channels[c].operatorOption = static_cast<uint8_t>(ch.operation);
    f.cmdOperatore[c] = QString::fromLatin1(kOperationCaptions[ch.operation & 7]);
  }
  f.chkDoubler = r.doubler;
  f.chkHS = r.highSpeed;
  f.txtSogliaDelay = FormatNumber(r.tripDelay, kFmt);
  f.txtDelay = FormatNumber(r.responseTime, QStringLiteral("#0.0"));
  f.cmbFreqType.text = tables_.frequency[r.freqType & 7].name;
  f.chk50hz = r.filter50Hz;
  f.txtFilter = QString::number(r.filter);
  f.txtAuxFreq = QString::number(r.auxFrequency);
  f.txtTrig = FormatNumber(r.trigger, kFmt);
  for (int k = 0; k < 8; ++k) {
    QString& text = k < 4 ? (k % 2 == 0 ? f.txtFisicoMax[2 + k / 2] : f.txtFisicoMin[2 + k / 2])
                          : (k % 2 == 0 ? f.txtFisicoOutMax[(k - 4) / 2] : f.txtFisicoOutMin[(k - 4) / 2]);
    text = Float24Text(r.physical[k], 1.0);
  }
}

void EditorModel::load(const ConfigRecord& r) {
  QSignalBlocker quiet(this);
  loaded_ = r;
  pickedRow_ = {-1, -1};
  for (int c = 0; c < 2; ++c) {
    state_.channels[c] = SettingsFrom(r, tables_, c);
    state_.trips[c] = TripFrom(r, c);
  }
  applyValues(r);
  loadedFields_ = f;
  // The change rules once, for captions and visibility; then the values
  // again, since the rules write defaults (output limits, trigger, CJC and
  // high-speed boxes) that must not replace what the unit holds.
  for (int c = 0; c < 2; ++c) {
    outputCaptions(c);
    inputTypeChanged(c);
  }
  if (CellLayoutFor(state_.identity).frequencyInput) freqTypeChanged();
  applyValues(r);
  refreshVisibility();
  f.chkHS = r.highSpeed;
  for (int c = 0; c < 2; ++c) f.optCJC[c] = r.ch[c].cjc;
  loadedFields_ = f;
  markLoaded();
  quiet.unblock();
  emit changed();
}

ConfigRecord EditorModel::record() const {
  ConfigRecord r = loaded_;
  const EditorFields& was = loadedFields_;
  // A text still as shown after loading keeps the loaded value.
  auto num = [](const QString& now, const QString& then, double keep) {
    return now == then ? keep : ParseLeadingNumber(now);
  };
  auto whole = [&](const QString& now, const QString& then, int keep) {
    return now == then ? keep : static_cast<int>(std::lround(ParseLeadingNumber(now)));
  };
  for (int c = 0; c < 2; ++c) {
    ChannelConfig& ch = r.ch[c];
    const ChannelConfig& old = loaded_.ch[c];
    if (!(c == 1 && f.chkDoubler)) {
      ch.inputRow = inputRow(c);
    }
    if (CellLayoutFor(state_.identity).frequencyInput) ch.inputRow = rows::Freq;
    ch.inputMax = num(f.txtInputMax[c], was.txtInputMax[c], old.inputMax);
    ch.inputMin = num(f.txtInputMin[c], was.txtInputMin[c], old.inputMin);
    ch.outputRow = f.cmbProgOut[c].text == was.cmbProgOut[c].text ? old.outputRow
                                                                   : tables_.OutputRowByName(f.cmbProgOut[c].text);
    ch.outputMax = num(f.txtOutputMax[c], was.txtOutputMax[c], old.outputMax);
    ch.outputMin = num(f.txtOutputMin[c], was.txtOutputMin[c], old.outputMin);
    ch.burnOut = f.optBreak[c];
    ch.wires = f.optFili[c];
    ch.cjc = f.optCJC[c];
    ch.function = f.optFunz[c];
    ch.relay = f.optRele[c];
    ch.tripDirection = f.optTrip[c];
    ch.operation = state_.channels[c].operatorOption;
    if (f.cmbOverRange[c].text != was.cmbOverRange[c].text) {
      const double pct = tables_.OverRangePercentByName(f.cmbOverRange[c].text);
      ch.overRange = pct < 0 ? old.overRange : tables_.OverRangeRowByPercent(pct);
    }
    ch.offset = num(f.txtOffset[c], was.txtOffset[c], old.offset);
    ch.tripHigh = num(f.txtSogliaH[c], was.txtSogliaH[c], old.tripHigh);
    ch.tripLow = num(f.txtSogliaL[c], was.txtSogliaL[c], old.tripLow);
  }
  r.doubler = f.chkDoubler;
  r.highSpeed = f.chkHS;
  r.tripDelay = num(f.txtSogliaDelay, was.txtSogliaDelay, loaded_.tripDelay);
  r.responseTime = num(f.txtDelay, was.txtDelay, loaded_.responseTime);
  if (f.cmbFreqType.text != was.cmbFreqType.text) {
    for (int i = 0; i <= 6; ++i)
      if (tables_.frequency[i].name == f.cmbFreqType.text) r.freqType = i;
  }
  r.filter50Hz = f.chk50hz;
  r.filter = whole(f.txtFilter, was.txtFilter, loaded_.filter);
  r.auxFrequency = whole(f.txtAuxFreq, was.txtAuxFreq, loaded_.auxFrequency);
  r.trigger = num(f.txtTrig, was.txtTrig, loaded_.trigger);
  const std::array<const QString*, 8> now = {&f.txtFisicoMax[2], &f.txtFisicoMin[2], &f.txtFisicoMax[3],
                                             &f.txtFisicoMin[3], &f.txtFisicoOutMax[0], &f.txtFisicoOutMin[0],
                                             &f.txtFisicoOutMax[1], &f.txtFisicoOutMin[1]};
  const std::array<const QString*, 8> then = {&was.txtFisicoMax[2], &was.txtFisicoMin[2], &was.txtFisicoMax[3],
                                              &was.txtFisicoMin[3], &was.txtFisicoOutMax[0], &was.txtFisicoOutMin[0],
                                              &was.txtFisicoOutMax[1], &was.txtFisicoOutMin[1]};
  for (int k = 0; k < 8; ++k) r.physical[k] = num(*now[k], *then[k], loaded_.physical[k]);
  return r;
}

} // namespace pv
