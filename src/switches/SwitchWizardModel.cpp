#include "switches/SwitchWizardModel.h"
#include "kernel/AppState.h"
#include "kernel/Catalogue.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "config/RangeTables.h"
#include "link/Codecs.h"
#include "switches/SwitchUnit.h"
#include "text/Numbers.h"

#include <QRegularExpression>
#include <cmath>

namespace pv {

class SwitchWizardModel::Batch {
public:
  explicit Batch(SwitchWizardModel& m) : m_(m) { ++m_.batchDepth_; }
  ~Batch() {
    if (--m_.batchDepth_ == 0 && m_.dirty_) {
      m_.dirty_ = false;
      emit m_.changed();
    }
  }

private:
  SwitchWizardModel& m_;
};

namespace {
// Texts of the wizard (Italian ids; + languageOffset for English).
enum : int {
  kOption = 5, kOff, kOn, kExt, kInt, k3w, k2w, k24w, kSelectColon, kSelect, kSelectDevice, kSpanDefault,
  kZeroDefault, kSoftwareConfigured = 21
};
} // namespace

SwitchWizardModel::SwitchWizardModel(AppState& state, const RangeTables& tables,
                                     Prompter& prompter, QObject* parent)
    : QObject(parent), state_(state), tables_(tables), prompter_(prompter) {
  captions_[0] = captions_[1] = {Tr(state_, kOption), Tr(state_, kOff), Tr(state_, kOn)};
}

QString SwitchWizardModel::demoModelListText() const { return Tr(state_, kSelectDevice); }

QString SwitchWizardModel::selectPrompt(int slot) const {
  return Tr(state_, DemoSelectPrompt(slot).endsWith(QLatin1Char(':')) ? kSelectColon : kSelect);
}

void SwitchWizardModel::touch() { dirty_ = true; }

QStringList SwitchWizardModel::multiplierItems() {
  return {QStringLiteral("1000"), QStringLiteral("100"), QStringLiteral("10"),
          QStringLiteral("1")};
}

const SwitchBytes& SwitchWizardModel::bytes() const { return state_.switchBytes; }
bool SwitchWizardModel::demoMode() const { return state_.demoMode; }

std::array<SwitchWizardModel::BankView, 3> SwitchWizardModel::banks() const {
  std::array<BankView, 3> out;
  for (int b = 0; b < kBankCount; ++b) {
    BankView& v = out[b];
    v.caption = b == 2 ? bank3Caption_ : QStringLiteral("SW%1").arg(b + 1);
    v.switches = BankSwitchCount(b);
    for (int k = 1; k <= v.switches; ++k) v.on[k - 1] = SwitchOn(state_.switchBytes, b, k);
    v.visible = vis_.bank[b];
  }
  return out;
}

QStringList SwitchWizardModel::demoModelList() const {
  QStringList out;
  for (const auto& m : kDemoModels) out << QString::fromLatin1(m.id);
  return out;
}

DeviceIdentity SwitchWizardModel::effectiveIdentity() const {
  DeviceIdentity id = state_.identity;
  if (state_.demoMode && demoSlot_ >= 0) {
    id.deviceCode = 12;
    id.variant = static_cast<uint8_t>(DemoVariant(DemoGroupOfSlot(demoSlot_)));
  }
  return id;
}

std::optional<SwitchLayout> SwitchWizardModel::layout() const {
  return LayoutFor(effectiveIdentity());
}

CodeMapping SwitchWizardModel::mapping() const {
  if (state_.demoMode && demoSlot_ >= 0) {
    // The resistive and thermistor demo models emulate units counting from row 15.
    const DemoGroup g = DemoGroupOfSlot(demoSlot_);
    return (g == DemoGroup::GroupB || g == DemoGroup::GroupC) ? CodeMapping::Minus15
                                                              : CodeMapping::Plain;
  }
  return CodeMappingFor(state_.identity);
}

int SwitchWizardModel::inputCodeA() const {
  const Selector& s = input_[0];
  if (state_.demoMode && demoSlot_ >= 0)
    return std::max(DemoInputRow(DemoGroupOfSlot(demoSlot_), s.index), 0);
  if (s.text.isEmpty()) return 0;
  return std::max(tables_.InputRowByName(s.text), 0);
}

int SwitchWizardModel::outputIndex(int ch) const {
  return std::max(tables_.OutputRowByName(output_[ch].text), 0);
}

ChannelDip SwitchWizardModel::channelDip(int ch) const {
  int pos = input_[ch].index;
  // Channel B doubling channel A is set like channel A.
  if (ch == 1 && input_[1].text == QLatin1String(kDoublerEntry)) pos = input_[0].index;
  return {std::max(pos, 0), option_[ch], std::max(output_[ch].index, 0)};
}

void SwitchWizardModel::encode(SwitchLayout l) {
  SwitchBytes& b = state_.switchBytes;
  switch (l) {
    case SwitchLayout::Dip2210:
      DisegnaDip2210_r1(b, {inputCodeA(), option_[0], outputIndex(0), outputIndex(1),
                            std::max(span_.selected, 0), std::max(zero_.selected, 0)});
      break;
    case SwitchLayout::Dip11:
      DisegnaDip(b, input_[0].index >= 0 ? std::optional<int>(inputCodeA()) : std::nullopt,
                 outputIndex(0), option_[0]);
      break;
    case SwitchLayout::Dip2212:
      DisegnaDip2212(b, PackInputCode(inputCodeA(), mapping()), outputIndex(0));
      break;
    case SwitchLayout::Dip2212c: DisegnaDip2212_c(b, channelDip(0), channelDip(1)); break;
    case SwitchLayout::Dip2220:
      DisegnaDip2220(b, {std::max(input_[0].index, 0), outputIndex(0), std::max(span_.selected, 0),
                         std::max(multiplier_, 0)},
                     state_.demoMode);
      break;
  }
  touch();
}

bool SwitchWizardModel::fillUnitLists() {
  if (!unit_) return false;
  const DeviceIdentity id = effectiveIdentity();
  const int code = TableCode(inputCodeA(), id);
  const QVector<int> words = unit_->ReadCalibrationTables(code);
  if (state_.commError) return false;
  SwitchList span, zero;
  const bool frequency = IsCode12Variant(id, 7);
  if (!FillListsFromWords(words, TableSliceFor(id, state_.spanPoints, state_.zeroPoints),
                          DisplayDecimals(tables_, code, id), frequency, span, zero))
    return false;
  span_ = span;
  zero_ = zero;
  if (const auto l = layout()) {
    const SpanZeroIndex named = DecodeSpanZero(state_.switchBytes, *l);
    span_.select(named.span);
    zero_.select(named.zero);
  }
  touch();
  return true;
}

void SwitchWizardModel::fillDemoLists() {
  if (demoSlot_ < 0) return;
  const DemoGroup g = DemoGroupOfSlot(demoSlot_);
  FillDemoLists(g, input_[0].index, fahrenheit_, kMultipliers[std::max(multiplier_, 0)], span_,
                zero_);
  touch();
}

void SwitchWizardModel::setText(Selector& s, const QString& text) {
  s.text = text;
  s.index = text.isEmpty() ? -1 : static_cast<int>(s.items.indexOf(text));
}

void SwitchWizardModel::setIndex(Selector& s, int index) {
  if (index >= 0 && index < s.items.size()) {
    s.index = index;
    s.text = s.items[index];
  } else {
    s.index = -1;
    s.text.clear();
  }
}

void SwitchWizardModel::clearSelector(Selector& s, bool keepItems) {
  if (!keepItems) s.items.clear();
  s.index = -1;
  s.text.clear();
}

void SwitchWizardModel::fillUnitSelectors(const DeviceIdentity& id, SwitchLayout l) {
  for (int c = 0; c < 2; ++c) {
    clearSelector(input_[c], false);
    clearSelector(output_[c], false);
  }
  switch (l) {
    case SwitchLayout::Dip2212c:
      input_[0].items = input_[1].items = OutputLabelsA();
      output_[0].items = output_[1].items = OutputLabelsB();
      return;
    case SwitchLayout::Dip2220:
      // The input switches choose the frequency sensor.
      for (int r = 28; r <= 31; ++r) input_[0].items << InputTypes()[r].name;
      break;
    default: {
      // Only the inputs the layout's code field can hold.
      const CodeMapping m = CodeMappingFor(id);
      for (const QString& name : tables_.InputList(id)) {
        const int row = tables_.InputRowByName(name);
        const bool fits = l == SwitchLayout::Dip2212
                              ? UnpackInputCode(PackInputCode(row, m), m) == row
                              : row <= 31;
        if (fits) input_[0].items << name;
      }
      break;
    }
  }
  output_[0].items = output_[1].items = tables_.OutputList();
}

void SwitchWizardModel::ReadSwitch() {
  Batch batch(*this);
  if (state_.demoMode) leaveDemo();
  const DeviceIdentity id = state_.identity;
  const auto l = LayoutFor(id);
  const int v = id.variant;
  vis_.optionFrame[0] = v == 0 || v == 4 || v == 5 || v == 7;
  touch();
  if (!l || !unit_) return;

  const std::array<int, 4> read = unit_->ReadSwitchState();
  if (state_.commError) return;
  SwitchBytes& b = state_.switchBytes;
  for (int i = 0; i < 3; ++i) b[i] = static_cast<uint8_t>(read[i]);
  fillUnitSelectors(id, *l);
  sw2Text_.clear();
  software_ = false;
  vis_.limitsText = false;
  limits_.clear();

  // A decoded code shows only when the unit offers that input.
  auto offered = [&](int row) {
    const QString& name = tables_.input[std::clamp(row, 0, rows::Freq)].name;
    return row > 0 && input_[0].items.contains(name) ? name : QString();
  };

  switch (*l) {
    case SwitchLayout::Dip2210: {
      const Dip2210Fields f = DecodeDip2210(b);
      if (f.inputCode == rows::Eeprom) {
        showSoftwareConfigured();
        break;
      }
      setText(input_[0], offered(f.inputCode));
      ImpostaSwOpz();
      setIndex(output_[0], f.outputA);
      setIndex(output_[1], f.outputB);
      option_[0] = f.option;
      if (input_[0].index >= 0) fillUnitLists();
      break;
    }
    case SwitchLayout::Dip11: {
      const Dip11Fields f = DecodeDip11(b);
      if (f.inputCode == rows::Eeprom) {
        showSoftwareConfigured();
        break;
      }
      setText(input_[0], offered(f.inputCode));
      ImpostaSwOpz();
      setIndex(output_[0], f.output);
      option_[0] = f.option;
      if (input_[0].index >= 0) fillUnitLists();
      break;
    }
    case SwitchLayout::Dip2212: {
      const Dip2212Fields f = DecodeDip2212(b);
      if (UnpackInputCode(f.packedCode, CodeMappingFor(id)) == rows::Eeprom) {
        showSoftwareConfigured();
        break;
      }
      setText(input_[0], offered(UnpackInputCode(f.packedCode, CodeMappingFor(id))));
      ImpostaSwOpz();
      setIndex(output_[0], f.output);
      fillUnitLists();  // an unknown input lists the tables of code 1
      break;
    }
    case SwitchLayout::Dip2212c: {
      // Positions are set by program: keep the selector events quiet meanwhile.
      const bool events = state_.switchEventsEnabled;
      state_.switchEventsEnabled = false;
      const auto ch = DecodeDip2212c(b);
      for (int c = 0; c < 2; ++c) {
        setIndex(input_[c], ch[c].inputPos);
        setIndex(output_[c], ch[c].outputPos);
        option_[c] = ch[c].option;
      }
      state_.switchEventsEnabled = events;
      ImpostaSwOpz();
      span_.clear();
      zero_.clear();
      break;
    }
    case SwitchLayout::Dip2220: {
      const Dip2220Fields f = DecodeDip2220(b);
      setIndex(input_[0], f.inputPos);
      ImpostaSwOpz();
      setIndex(output_[0], f.output);
      multiplier_ = f.multiplier;
      if (input_[0].index >= 0) fillUnitLists();
      span_.select(f.span);
      break;
    }
  }
  rangeCheck();
}

void SwitchWizardModel::ImpostaSwOpz() {
  Batch batch(*this);
  touch();
  const DeviceIdentity id = effectiveIdentity();
  const bool demo = state_.demoMode && demoSlot_ >= 0;
  bank3Caption_ = QStringLiteral("SW3");
  // The first bank shows with the second, except on the frequency unit below.
  vis_.bank[0] = vis_.bank[1];
  vis_.selectors = true;
  vis_.optionButtons = true;

  if (id.deviceCode == 12 && (id.variant == 4 || id.variant == 5)) {
    vis_.spanList = vis_.zeroList = vis_.spanLabel = vis_.zeroLabel = false;
    for (int c = 0; c < 2; ++c)
      captions_[c] = {Tr(state_, 49), Tr(state_, 58), Tr(state_, 59)};
    vis_.optionFrame = {true, true};
    vis_.inputFrame[1] = vis_.outputFrame[1] = true;
    vis_.channelLabels = true;
    vis_.bank[2] = false;
    vis_.multiplierFrame = false;
    // The KRV2211 D unit has nothing to choose here. A demonstration keeps
    // its selectors whatever unit was seen last.
    if (!demo && state_.modelFamily == QLatin1String("KRV2211")) {
      vis_.selectors = false;
      vis_.spanLabel = vis_.zeroLabel = false;
      vis_.inputFrame[1] = vis_.outputFrame[1] = false;
      vis_.channelLabels = false;
      vis_.optionFrame = {false, false};
      vis_.optionButtons = false;
    }
    const bool chosen = input_[0].index >= 0 || input_[1].index >= 0;
    limits_ = chosen ? TwoChannelLimitsText(input_[0].text, input_[1].text) : QString();
    return;
  }

  vis_.spanList = vis_.zeroList = vis_.spanLabel = vis_.zeroLabel = true;
  vis_.inputFrame[1] = vis_.outputFrame[1] = false;
  vis_.bank[2] = false;
  vis_.channelLabels = false;
  vis_.multiplierFrame = false;
  if (id.variant == 0) {
    vis_.outputFrame[1] = true;
    vis_.bank[2] = true;
    vis_.optionFrame[0] = true;
  } else if (id.variant == 7) {
    vis_.outputFrame[1] = false;
    vis_.bank[2] = true;
    vis_.multiplierFrame = true;
    vis_.optionFrame[0] = false;
    // The frequency unit's four-switch bank is its "SW1"; the first byte
    // holds none of its switches, so that bank is not drawn (two banks
    // captioned "SW1" would send the technician to the wrong one).
    bank3Caption_ = QStringLiteral("SW1");
    vis_.bank[0] = false;
  }
  if (demo && DemoGroupOfSlot(demoSlot_) == DemoGroup::Krv2220)
    vis_.zeroList = vis_.zeroLabel = false;
  vis_.optionFrame[1] = false;

  const int code = inputCodeA();
  refreshLimits();
  captions_[0] = {Tr(state_, kOption), Tr(state_, kOff), Tr(state_, kOn)};
  if (rows::IsThermocouple(code) && code != rows::TcB) {
    captions_[0] = {Tr(state_, 126), Tr(state_, kExt), Tr(state_, kInt)};
  } else if (code >= rows::Res2K && code <= rows::Ni1K) {
    const bool fourWire = id.variant == 0 && id.deviceCode == 12;
    captions_[0] = {Tr(state_, 60), Tr(state_, k3w), Tr(state_, fourWire ? k24w : k2w)};
  }
  // A unit configured by software: no lists to choose from, the text says
  // what it runs.
  if (software_) {
    vis_.spanList = vis_.zeroList = vis_.spanLabel = vis_.zeroLabel = false;
    vis_.limitsText = true;
  }
  // A demonstration selector still asking for a choice asks in the
  // language now shown.
  if (demo) {
    for (int c = 0; c < 2; ++c)
      for (Selector* sel : {&input_[c], &output_[c]})
        if (sel->index < 0 && !sel->text.isEmpty()) sel->text = selectPrompt(demoSlot_);
  }
}

void SwitchWizardModel::refreshLimits() {
  if (software_) {
    limits_ = softwareText();
    return;
  }
  const Selector& s = input_[0];
  if (s.index < 0) {
    limits_.clear();
    return;
  }
  // "Pot" names no row; it is the potentiometer input, code 8 of its unit.
  int row = s.text == QLatin1String("Pot") ? rows::Pot2K : InputTypeRowByName(s.text);
  limits_ = LimitsText(row);
}

void SwitchWizardModel::runInputChange() {
  limits_.clear();
  touch();
  const auto l = layout();
  if (!l) {
    ImpostaSwOpz();
    return;
  }
  const bool demo = state_.demoMode;
  const int variant = effectiveIdentity().variant;
  // Demo lists first: the encoders then see no span or zero chosen.
  if (demo) fillDemoLists();
  bool ok = true;
  switch (*l) {
    case SwitchLayout::Dip2212:
      if (!demo) ok = fillUnitLists();
      if (ok) encode(*l);
      break;
    case SwitchLayout::Dip2210:
      if (!demo) ok = fillUnitLists();
      // The older KRV2210 switch set has no input switches to plan.
      if (ok && variant != 1) encode(*l);
      break;
    case SwitchLayout::Dip2212c: encode(*l); break;
    case SwitchLayout::Dip2220:
    case SwitchLayout::Dip11:
      if (!demo) ok = fillUnitLists();
      if (ok) encode(*l);
      break;
  }
  ImpostaSwOpz();
  if (ok) rangeCheck();
  else check_ = CheckResult::None;
}

void SwitchWizardModel::inputSelected(int ch, int index) {
  software_ = false;
  Batch batch(*this);
  ch &= 1;
  setIndex(input_[ch], index);
  touch();
  if (!state_.switchEventsEnabled) return;
  runInputChange();
}

void SwitchWizardModel::outputSelected(int ch, int index) {
  software_ = false;
  Batch batch(*this);
  ch &= 1;
  setIndex(output_[ch], index);
  touch();
  if (!state_.switchEventsEnabled) return;
  const auto l = layout();
  if (!l) return;
  switch (*l) {
    case SwitchLayout::Dip11:
      if (fillUnitLists()) encode(*l);
      break;
    case SwitchLayout::Dip2210:
      encode(effectiveIdentity().variant == 1 ? SwitchLayout::Dip2212 : *l);
      break;
    default: encode(*l); break;
  }
  rangeCheck();
}

void SwitchWizardModel::optionSelected(int ch, bool on) {
  Batch batch(*this);
  ch &= 1;
  option_[ch] = on;
  touch();
  if (!state_.switchEventsEnabled) return;
  const auto l = layout();
  if (!l || *l == SwitchLayout::Dip2220) return;  // the frequency unit has no option
  encode(*l == SwitchLayout::Dip2210 && effectiveIdentity().variant == 1 ? SwitchLayout::Dip2212
                                                                        : *l);
  rangeCheck();
}

void SwitchWizardModel::spanClicked(int index) {
  Batch batch(*this);
  if (index < 0 || index >= span_.entries.size()) return;
  span_.selected = index;
  touch();
  rangeCheck();
  const auto l = layout();
  if (!l) return;
  if (*l == SwitchLayout::Dip2220) encode(*l);
  else ApplySpanIndex(state_.switchBytes, *l, index);
  sw2Text_ = Hex2(state_.switchBytes[1]);
}

void SwitchWizardModel::zeroClicked(int index) {
  Batch batch(*this);
  if (index < 0 || index >= zero_.entries.size()) return;
  zero_.selected = index;
  touch();
  rangeCheck();
  const auto l = layout();
  if (l && *l != SwitchLayout::Dip2220) ApplyZeroIndex(state_.switchBytes, *l, index);
}

void SwitchWizardModel::multiplierSelected(int index) {
  Batch batch(*this);
  multiplier_ = (index >= 0 && index < static_cast<int>(kMultipliers.size())) ? index : -1;
  touch();
  const auto l = layout();
  if (l && *l == SwitchLayout::Dip2220) {
    encode(*l);
    // Demonstration frequencies are shown in hertz: they follow the multiplier.
    if (state_.demoMode) {
      const int s = span_.selected;
      fillDemoLists();
      span_.select(s);
    }
  }
  rangeCheck();
}

void SwitchWizardModel::temperatureUnitSelected(bool fahrenheit) {
  Batch batch(*this);
  fahrenheit_ = fahrenheit;
  touch();
  if (!state_.switchEventsEnabled) return;
  runInputChange();
}

void SwitchWizardModel::showSoftwareConfigured() {
  // The switches hand the whole channel to the configuration in the cells:
  // their output and span fields mean nothing, and no range is checked.
  software_ = true;
  setText(input_[0], QStringLiteral("EEPROM"));
  ImpostaSwOpz();
  for (Selector& out : output_) setText(out, QStringLiteral("EEPROM"));
  span_.clear();
  zero_.clear();
  limits_ = softwareText();
  vis_.spanList = vis_.zeroList = vis_.spanLabel = vis_.zeroLabel = false;
  vis_.limitsText = true;
}

QString SwitchWizardModel::softwareText() const {
  // What the unit runs, as the last configuration read shows it.
  const ModelRow* model = FindModel(IdentifyModel(state_.identity.variant, state_.familyCell));
  const int channels = model ? model->inputs : 1;
  QStringList lines{Tr(state_, kSoftwareConfigured)};
  for (int c = 0; c < channels; ++c) {
    const ChannelSettings& ch = state_.channels[static_cast<size_t>(c)];
    const QString in = tables_.input[std::clamp<int>(ch.inputType, 0, rows::Freq)].name;
    const QString out = tables_.output[std::clamp<int>(ch.outputType, 0, static_cast<int>(tables_.output.size()) - 1)].name;
    lines << QStringLiteral("%1 %2 %3 \u00f7%4 %5  ->  %6")
                 .arg(channels > 1 ? QStringLiteral("CH%1:").arg(c + 1) : QString(), in, NumToText(ch.inputMin),
                      NumToText(ch.inputMax), ch.inputUnit, out)
                 .trimmed();
  }
  return lines.join(QStringLiteral("\n"));
}

void SwitchWizardModel::rangeCheck() {
  touch();
  if (software_) {
    check_ = CheckResult::None;
    return;
  }
  const auto l = layout();
  if (!l) {
    check_ = CheckResult::None;
    return;
  }
  switch (*l) {
    case SwitchLayout::Dip2212c:
      check_ = CheckTwoChannel({input_[0].text, output_[0].text, input_[0].index, output_[0].index},
                               {input_[1].text, output_[1].text, input_[1].index, output_[1].index});
      break;
    case SwitchLayout::Dip2220:
      check_ = CheckFrequency(span_, kMultipliers[std::max(multiplier_, 0)],
                              tables_.input[rows::Freq]);
      break;
    default:
      check_ = CheckSpanZero(span_, zero_, tables_.input[inputCodeA()],
                             effectiveIdentity().variant == 0);
      break;
  }
}

SwitchWizardModel::StoreResult SwitchWizardModel::storeDefault(Table which, int entry) {
  Batch batch(*this);
  const DeviceIdentity id = state_.identity;
  const auto l = LayoutFor(id);
  const int code = inputCodeA();
  // Only a unit's own default (entry 0 "Def: ") can be replaced; the
  // frequency unit's entry 0 is "EEPROM", not a default.
  if (entry != 0 || state_.demoMode || !unit_ || code == 0 || !l ||
      *l == SwitchLayout::Dip2212c || *l == SwitchLayout::Dip2220)
    return StoreResult::NotApplicable;
  const SwitchList& list = which == Table::Span ? span_ : zero_;
  if (list.entries.isEmpty()) return StoreResult::NotApplicable;

  const QString title = ProductTitle(state_);
  const auto answer = prompter_.askText(
      title, Tr(state_, which == Table::Span ? kSpanDefault : kZeroDefault),
      QString());
  if (!answer || answer->trimmed().isEmpty()) return StoreResult::Cancelled;
  static const QRegularExpression numeric(QStringLiteral("^\\s*[-+]?(\\d|\\.\\d)"));
  if (!numeric.match(*answer).hasMatch()) return StoreResult::NotANumber;
  const double value = ParseLeadingNumber(*answer);

  const InputRange& row = tables_.input[code];
  if (value > row.upper || value < row.lower) {
    const QString text = Tr(state_, 63) +
                         (value > row.upper ? QStringLiteral(" MAX ") : QStringLiteral(" MIN ")) +
                         Tr(state_, 65);
    if (prompter_.ask(title, text, Buttons::OkCancel, Icon::Warning) != Answer::Ok)
      return StoreResult::Cancelled;
  }

  // The unit keeps the value scaled as its table words are.
  const int tableCode = TableCode(code, id);
  const double scaled =
      RoundHalfEven(value * std::pow(10.0, DisplayDecimals(tables_, tableCode, id)));
  const double lo = state_.signedValues ? -32768 : 0;
  const double hi = state_.signedValues ? 32767 : 65535;
  const int address = DefaultCellAddress(which, tableCode, state_.channelSelector);
  if (scaled < lo || scaled > hi || address < 0 || address + 1 > 255) {
    prompter_.ask(title, Tr(state_, 63) + QLatin1Char(' ') + Tr(state_, 65), Buttons::Ok,
                  Icon::Critical);
    return StoreResult::OutOfRange;
  }
  const WordBytes w = SplitWord(static_cast<int>(scaled));
  state_.writeList.reset();
  state_.writeList.push(static_cast<uint8_t>(address), w.lo);
  state_.writeList.push(static_cast<uint8_t>(address + 1), w.hi);
  unit_->WriteCells(0, state_.writeList.queued());
  state_.writeList.reset();

  // Read the tables back so the list shows what the unit now holds, and
  // re-plan with the unit's own layout.
  if (fillUnitLists()) encode(*l);
  rangeCheck();
  return StoreResult::Stored;
}

void SwitchWizardModel::enterDemo() {
  Batch batch(*this);
  software_ = false;
  state_.demoMode = true;
  state_.modelId.clear();
  demoSlot_ = -1;
  vis_.bank = {false, false, false};
  vis_.inputFrame = {false, false};
  vis_.outputFrame = {false, false};
  vis_.optionFrame = {false, false};
  vis_.checkFrame = false;
  vis_.limitsText = true;
  vis_.wizardButton = false;
  vis_.backButton = true;
  vis_.modelList = true;
  check_ = CheckResult::None;
  touch();
}

void SwitchWizardModel::chooseDemoModel(int slot) {
  Batch batch(*this);
  if (!state_.demoMode || slot < 0 || slot >= static_cast<int>(kDemoModels.size())) return;
  limits_.clear();
  demoSlot_ = slot;
  state_.modelId = QString::fromLatin1(kDemoModels[slot].id);
  const DemoGroup g = DemoGroupOfSlot(slot);

  const QString prompt = selectPrompt(slot);
  for (int c = 0; c < 2; ++c) {
    input_[c].items = DemoInputEntries(slot);
    output_[c].items = DemoOutputEntries(slot);
    option_[c] = false;
  }
  if (!DemoTwoChannel(g)) input_[1].items.clear();
  if (DemoHasDoubler(slot)) input_[1].items << QString::fromLatin1(kDoublerEntry);
  for (int c = 0; c < 2; ++c) {
    clearSelector(input_[c], true);
    clearSelector(output_[c], true);
    input_[c].text = output_[c].text = prompt;
  }
  span_.clear();
  zero_.clear();
  // A fresh plan starts from all switches off.
  state_.switchBytes = {0, 0, 0};
  sw2Text_.clear();

  vis_.bank[0] = vis_.bank[1] = true;
  vis_.inputFrame[0] = vis_.outputFrame[0] = true;
  ImpostaSwOpz();
  limits_.clear();
  check_ = CheckResult::None;
  touch();
}

void SwitchWizardModel::leaveDemo() {
  Batch batch(*this);
  state_.demoMode = false;
  state_.modelId.clear();
  demoSlot_ = -1;
  // The demo entries mean nothing for a unit: the next read refills them.
  for (int c = 0; c < 2; ++c) {
    clearSelector(input_[c], false);
    clearSelector(output_[c], false);
  }
  vis_.bank = {true, true, true};
  vis_.inputFrame[0] = vis_.outputFrame[0] = vis_.outputFrame[1] = true;
  vis_.checkFrame = true;
  vis_.optionFrame[0] = true;
  vis_.limitsText = false;
  vis_.backButton = false;
  vis_.wizardButton = true;
  vis_.modelList = false;
  span_.clear();
  zero_.clear();
  limits_.clear();
  sw2Text_.clear();
  check_ = CheckResult::None;
  touch();
}

} // namespace pv
