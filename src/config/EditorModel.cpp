#include "config/EditorModel.h"

#include "text/Numbers.h"

#include <algorithm>
#include <cmath>

namespace pv {

EditorModel::EditorModel(AppState& state, RangeTables& tables, QObject* parent)
    : QObject(parent), state_(state), tables_(tables) {
  e_.record = loaded_ = BlankRecord();
}

void EditorModel::apply(EditorState e) {
  e_ = std::move(e);
  emit changed();
}

ConfigRecord EditorModel::shown() const {
  ConfigRecord r = e_.record;
  for (int i = 0; i < kFieldCount; ++i)
    SetValueOf(r, static_cast<Field>(i), ParseLeadingNumber(e_.texts[static_cast<size_t>(i)]));
  return r;
}

void EditorModel::fillLists() {
  const QStringList in = tables_.InputList(state_.identity);
  for (int c = 0; c < 2; ++c) {
    e_.view.cmbProgIn[c].items = in;
    e_.view.cmbProgOut[c].items = tables_.OutputList();
    e_.view.cmbOverRange[c].items = tables_.OverRangeList();
  }
  e_.view.cmbFreqType.items = tables_.FrequencyList();
  emit changed();
}

void EditorModel::setText(Field f, const QString& text) {
  const auto i = static_cast<size_t>(Index(f));
  e_.texts[i] = text;
  SetValueOf(e_.record, f, text == loadedTexts_[i] ? ValueOf(loaded_, f) : ParseLeadingNumber(text));
}

void EditorModel::setInputType(int c, const QString& name) {
  EditorState e = e_;
  // While the doubler is checked channel B's list names channel A's input.
  if (!(c == 1 && e.record.doubler)) e.record.ch[c].inputRow = tables_.InputRowByName(name);
  apply(InputTypeChanged(std::move(e), c, context()));
}

void EditorModel::setInputRow(int c, int row) {
  if (row < 0 || row >= static_cast<int>(tables_.input.size())) return;
  EditorState e = e_;
  if (!(c == 1 && e.record.doubler)) e.record.ch[c].inputRow = row;
  apply(InputTypeChanged(std::move(e), c, context()));
}

void EditorModel::setOutputType(int c, const QString& name) {
  EditorState e = e_;
  e.record.ch[c].outputRow = tables_.OutputRowByName(name);
  apply(OutputTypeChanged(std::move(e), c, context()));
}

void EditorModel::setOverRange(int c, const QString& name) {
  const double percent = tables_.OverRangePercentByName(name);
  if (percent < 0) return;
  e_.record.ch[c].overRange = tables_.OverRangeRowByPercent(percent);
  e_.view = ListTexts(e_.record, e_.view, context());
}

void EditorModel::setFreqType(const QString& name) {
  EditorState e = e_;
  for (int i = 0; i <= 6; ++i)
    if (tables_.frequency[static_cast<size_t>(i)].name == name) e.record.freqType = i;
  apply(FreqTypeChanged(std::move(e), context()));
}

void EditorModel::setChoice(int c, int ChannelConfig::*group, int k) { e_.record.ch[c].*group = k; }

void EditorModel::setDoubler(bool on) {
  EditorState e = e_;
  e.record.doubler = on;
  apply(DoublerClicked(std::move(e), context()));
}

void EditorModel::setHighSpeed(bool on) { e_.record.highSpeed = on; }
void EditorModel::setFilter50Hz(bool on) { e_.record.filter50Hz = on; }
void EditorModel::setOptionText(const QString& text) { e_.view.txtOpzione = text; }

void EditorModel::refreshVisibility() { apply(RefreshVisibility(e_, context())); }
void EditorModel::copiaValori() { apply(CopiaValori(e_)); }

void EditorModel::closeScalingPanel() {
  e_.view.frmModo = false;
  emit changed();
}

int EditorModel::openOptions(int c) {
  e_.view.optionsChannel = std::clamp(c, 0, 1);
  const int op = e_.record.ch[e_.view.optionsChannel].operation;
  e_.view.frame1 = op == 6 || op == 7;
  emit changed();
  return op;
}

void EditorModel::chooseOperation(int op) {
  if (op < 0 || op > 7) return;
  const int c = e_.view.optionsChannel;
  e_.record.ch[c].operation = op;
  state_.channels[c].operatorOption = static_cast<uint8_t>(op);
  e_.view.frame1 = op == 6 || op == 7;
  e_.view.cmdOperatore[c] = QString::fromLatin1(kOperationCaptions[static_cast<size_t>(op)]);
  emit changed();
}

void EditorModel::repeatInputOfA() {
  setText(Field::InputMaxB, text(Field::InputMaxA));
  setText(Field::InputMinB, text(Field::InputMinA));
}

bool EditorModel::tripDirectionOwned(int c) const { return TripDirectionOwned(CellLayoutFor(state_.identity), c); }
bool EditorModel::doublerOwned() const { return DoublerOwned(CellLayoutFor(state_.identity)); }

void EditorModel::load(const ConfigRecord& r) {
  const CellLayout L = CellLayoutFor(state_.identity);
  const RuleContext x = context();
  for (int c = 0; c < 2; ++c) {
    state_.channels[c] = SettingsFrom(r, tables_, c);
    state_.trips[c] = TripFrom(r, c);
  }
  EditorState e = e_;
  e.record = r;
  for (int i = 0; i < kFieldCount; ++i)
    e.texts[static_cast<size_t>(i)] = ReadText(r, static_cast<Field>(i), L, tables_);
  for (int c = 0; c < 2; ++c) {
    e.view = OutputCaptions(r, e.view, c, x);
    e.view = InputCaptions(r, e.view, c, x);
    e.view.cmdOperatore[c] = QString::fromLatin1(kOperationCaptions[static_cast<size_t>(r.ch[c].operation & 7)]);
  }
  if (L.frequencyInput) e.view = FrequencyCaptions(r, e.view, x);
  e.view = Frames(r, e.view, x);
  loaded_ = r;
  loadedTexts_ = e.texts;
  markLoaded();
  apply(std::move(e));
}

void EditorModel::loadFile(const ConfigRecord& r, const std::vector<Field>& fileFields,
                           const std::array<uint8_t, 2>& optionValues) {
  const RuleContext x = context();
  EditorState e = e_;
  e.record = r;
  for (Field f : fileFields) e.texts[static_cast<size_t>(Index(f))] = NumToExactText(ValueOf(r, f));
  for (int c = 0; c < 2; ++c) {
    e.view = InputCaptions(r, e.view, c, x);
    e.view = OutputCaptions(r, e.view, c, x);
    const int op = r.ch[c].operation;
    state_.channels[c].operatorOption = static_cast<uint8_t>(op);
    state_.channels[c].optionValue = optionValues[static_cast<size_t>(c)];
    if (op >= 0 && op < 8) e.view.cmdOperatore[c] = QString::fromLatin1(kOperationCaptions[static_cast<size_t>(op)]);
  }
  e.view = Frames(r, e.view, x);
  markLoaded();
  apply(std::move(e));
}

} // namespace pv
