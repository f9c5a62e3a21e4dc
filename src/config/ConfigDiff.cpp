#include "config/ConfigDiff.h"

#include "config/ConfigFile.h"
#include "config/EditorState.h"
#include "kernel/Catalogue.h"
#include "text/Numbers.h"
#include "text/Texts.h"

#include <QFile>

namespace pv {

namespace {

QString N(const char* base, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(i); }

QString Num(double v) { return NumToText(v).trimmed(); }

template <size_t K, typename Row>
QString RowName(const std::array<Row, K>& table, int row) {
  if (row >= 0 && row < static_cast<int>(K) && !table[static_cast<size_t>(row)].name.isEmpty())
    return table[static_cast<size_t>(row)].name;
  return QStringLiteral("#%1").arg(row);
}

} // namespace

std::vector<FieldValue> ConfigFields(const AppState& s, const RangeTables& T, const DeviceIdentity& id,
                                     uint8_t familyCell, const ConfigRecord& r) {
  const CellLayout L = CellLayoutFor(id);
  const ModelRow* model = ModelOf(id.variant, familyCell);
  const bool twoInputs = !model || model->inputs == 2;
  const bool twoOutputs = !model || model->secondOutput;
  const QString yes = Tr(s, 132), no = Tr(s, 133);
  std::vector<FieldValue> out;
  auto add = [&](QString key, QString caption, QString value, QString unit, QStringList controls) {
    out.push_back({std::move(key), std::move(caption), std::move(value), std::move(unit), std::move(controls)});
  };
  const QString input = Tr(s, 48), output = Tr(s, 49), type = Tr(s, 40);
  const QString max = Tr(s, 110), min = Tr(s, 111);

  for (int c = 0; c < 2; ++c) {
    const ChannelConfig& ch = r.ch[static_cast<size_t>(c)];
    const QString k = QString(QChar('A' + c)) + QLatin1Char('.');
    const QString channel = Tr(s, 72) + QLatin1Char(' ') + QChar('A' + c) + QLatin1Char(' ');
    const bool in = c == 0 || twoInputs;
    // Channel B's input repeats channel A's on these layouts: not a field of its own.
    const bool ownInput = in && !(c == 1 && (L.inputCopyInCell1 || L.frequencyInput));
    // A frequency input is always the "Freq" row, whatever a file says.
    const int inRow = L.frequencyInput ? rows::Freq : ch.inputRow;
    const QString inUnit =
        inRow >= 0 && inRow < static_cast<int>(T.input.size()) ? T.input[static_cast<size_t>(inRow)].unit : QString();
    if (ownInput) {
      if (!L.frequencyInput)
        add(k + "input_type", channel + input + ' ' + type, RowName(T.input, ch.inputRow), {}, {N("cmb_Prog_In", c)});
      add(k + "input_max", channel + input + ' ' + max, Num(ch.inputMax), inUnit, {N("txt_Input_max", c)});
      add(k + "input_min", channel + input + ' ' + min, Num(ch.inputMin), inUnit, {N("txt_Input_min", c)});
    }
    if (c == 0 || twoOutputs) {
      const QString outUnit = T.output[static_cast<size_t>(ch.outputRow & 3)].unit;
      add(k + "output_type", channel + output + ' ' + type, RowName(T.output, ch.outputRow), {}, {N("cmb_Prog_Out", c)});
      add(k + "output_max", channel + output + ' ' + max, Num(ch.outputMax), outUnit, {N("txt_Output_max", c)});
      add(k + "output_min", channel + output + ' ' + min, Num(ch.outputMin), outUnit, {N("txt_Output_min", c)});
    }
    if (in) {
      add(k + "offset", channel + Tr(s, 112), Num(ch.offset), inUnit, {N("txt_offset", c)});
      add(k + "cjc", channel + Tr(s, 126), Tr(s, ch.cjc ? 43 : 42), {}, {N("frm_cjc", c)});
      static const char* wires[] = {"2", "4", "3"};
      add(k + "wires", channel + Tr(s, 60),
          ch.wires >= 0 && ch.wires < 3 ? QString::fromLatin1(wires[ch.wires]) : QStringLiteral("#%1").arg(ch.wires),
          {}, {N("frm_fili", c)});
      add(k + "function", channel + Tr(s, 41),
          ch.function >= 0 && ch.function < 3 ? Tr(s, 32 + ch.function) : QStringLiteral("#%1").arg(ch.function), {},
          {N("frm_funz", c)});
      add(k + "burn_out", channel + Tr(s, 127), Tr(s, ch.burnOut ? 45 : 44), {}, {N("frm_break", c)});
      add(k + "over_range", channel + Tr(s, 118), RowName(T.overRange, ch.overRange & 3), {}, {N("cmb_OverRange", c)});
    }
    add(k + "operation", channel + Tr(s, 57), QString::fromLatin1(kOperationCaptions[ch.operation & 7]), {},
        {N("cmd_Operatore", c)});
    add(k + "relay", channel + Tr(s, 128), QStringLiteral("NC|NO").split('|')[ch.relay & 1], {},
        {N("optRele", 2 * c), N("optRele", 2 * c + 1)});
    if (c < L.tripChannels) {
      // On variants 2..6 channel A's direction bit names the model family.
      if (!(c == 0 && L.familyInCell4))
        add(k + "trip_direction", channel + Tr(s, 129), ch.tripDirection ? min : max, {},
            {N("optTrip", 2 * c), N("optTrip", 2 * c + 1)});
      add(k + "trip_high", channel + Tr(s, 50) + ' ' + Tr(s, 113), Num(ch.tripHigh), inUnit, {N("txt_soglia_H", c)});
      add(k + "trip_low", channel + Tr(s, 50) + ' ' + Tr(s, 114), Num(ch.tripLow), inUnit, {N("txt_soglia_L", c)});
    }
  }
  const QString seconds = QStringLiteral("s");
  add("trip_delay", Tr(s, 50) + ' ' + Tr(s, 115), Num(r.tripDelay), seconds, {QStringLiteral("txt_soglia_Delay")});
  if (!L.familyInCell4) add("doubler", Tr(s, 31), r.doubler ? yes : no, {}, {QStringLiteral("chk_Doubler")});
  add("high_speed", QStringLiteral("HS"), r.highSpeed ? yes : no, {}, {QStringLiteral("chk_HS")});
  if (L.responseTime)
    add("response_time", Tr(s, 130), Num(r.responseTime), seconds, {QStringLiteral("txt_Delay")});
  if (L.frequencyInput) {
    add("freq_type", input + ' ' + type, RowName(T.frequency, r.freqType & 7), {}, {QStringLiteral("cmb_Freq_Type")});
    add("filter_50hz", QStringLiteral("50 Hz"), r.filter50Hz ? yes : no, {}, {QStringLiteral("chk_50hz")});
    add("filter", Tr(s, 82), QString::number(r.filter), {}, {QStringLiteral("txt_filter")});
    add("aux_frequency", QStringLiteral("Aux"), QString::number(r.auxFrequency), {}, {QStringLiteral("txt_aux_freq")});
    add("trigger", Tr(s, 81), Num(r.trigger), QStringLiteral("V"), {QStringLiteral("txt_Trig")});
  }
  if (L.physicalScale) {
    // Order of the record: max A, min A, max B, min B, out max A, out min A, out max B, out min B.
    static const char* controls[] = {"txt_Fisico_max_2",    "txt_Fisico_min_2",    "txt_Fisico_max_3",
                                     "txt_Fisico_min_3",    "txt_FisicoOut_max_0", "txt_FisicoOut_min_0",
                                     "txt_FisicoOut_max_1", "txt_FisicoOut_min_1"};
    for (int k = 0; k < 8; ++k) {
      const QString caption = Tr(s, 131) + ' ' + (k < 4 ? input : output) + ' ' + (k % 2 ? min : max) + ' ' +
                              QChar(k % 4 < 2 ? 'A' : 'B');
      add(QStringLiteral("physical_%1").arg(k + 1), caption, Num(r.physical[static_cast<size_t>(k)]), {},
          {QString::fromLatin1(controls[k])});
    }
  }
  return out;
}

std::vector<FieldDiff> DiffFields(const std::vector<FieldValue>& a, const std::vector<FieldValue>& b) {
  std::vector<FieldDiff> out;
  auto shown = [](const FieldValue& v) { return v.unit.isEmpty() ? v.value : v.value + ' ' + v.unit; };
  auto find = [](const std::vector<FieldValue>& list, const QString& key) -> const FieldValue* {
    for (const FieldValue& v : list)
      if (v.key == key) return &v;
    return nullptr;
  };
  for (const FieldValue& x : a) {
    const FieldValue* y = find(b, x.key);
    if (!y) {
      out.push_back({x.key, x.caption, shown(x), QStringLiteral("-"), {}, x.controls});
    } else if (x.value != y->value || x.unit != y->unit) {
      if (x.unit == y->unit) out.push_back({x.key, x.caption, x.value, y->value, x.unit, x.controls});
      else out.push_back({x.key, x.caption, shown(x), shown(*y), {}, x.controls});
    }
  }
  // Fields only the second layout has.
  for (const FieldValue& y : b)
    if (!find(a, y.key)) out.push_back({y.key, y.caption, QStringLiteral("-"), shown(y), {}, y.controls});
  return out;
}

std::vector<FieldDiff> DiffConfig(const AppState& s, const RangeTables& t, const DeviceIdentity& id,
                                  uint8_t familyCell, const ConfigRecord& a, const ConfigRecord& b) {
  return DiffFields(ConfigFields(s, t, id, familyCell, a), ConfigFields(s, t, id, familyCell, b));
}

std::vector<CompareRow> CompareSides(const std::vector<std::vector<FieldValue>>& sides) {
  // Keys in the order they first appear, side by side.
  QStringList keys;
  for (const auto& side : sides)
    for (const FieldValue& v : side)
      if (!keys.contains(v.key)) keys << v.key;
  std::vector<CompareRow> out;
  for (const QString& key : keys) {
    std::vector<const FieldValue*> found;
    const FieldValue* any = nullptr;
    for (const auto& side : sides) {
      const FieldValue* hit = nullptr;
      for (const FieldValue& v : side)
        if (v.key == key) hit = &v;
      found.push_back(hit);
      if (!any) any = hit;
    }
    bool sameUnit = true, same = true;
    for (const FieldValue* v : found) {
      if (!v) {
        same = false;
        continue;
      }
      if (v->unit != any->unit) sameUnit = same = false;
      if (v->value != any->value) same = false;
    }
    if (same) continue;
    CompareRow row{key, any->caption, {}, sameUnit ? any->unit : QString(), any->controls};
    for (const FieldValue* v : found)
      row.values << (!v ? QStringLiteral("-") : sameUnit || v->unit.isEmpty() ? v->value : v->value + ' ' + v->unit);
    out.push_back(std::move(row));
  }
  return out;
}

std::optional<QByteArray> ReadRecordFile(const QString& path, QString* why) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    if (why) *why = f.errorString();
    return std::nullopt;
  }
  QByteArray bytes = f.read(kRecordSize);
  if (const QString bad = ValidateRecord(bytes); !bad.isEmpty()) {
    if (why) *why = bad;
    return std::nullopt;
  }
  return bytes;
}

ConfigSnapshot SnapshotFromFile(const AppState& s, const RangeTables& tables, const QByteArray& bytes,
                                const ConfigSnapshot* base) {
  ConfigSnapshot out;
  out.identity = RecordIdentity(bytes);
  ConfigRecord start;
  // What the file does not hold stays as the unit holds it, as when the
  // file is opened in the editor.
  if (base && base->identity == out.identity) {
    start = base->record;
    out.familyCell = base->familyCell;
  }
  AppState unit = s;
  unit.identity = out.identity;
  out.record = OpenedRecord(bytes, start, unit, tables);
  return out;
}

QString IdentityText(const AppState& s, const DeviceIdentity& id) {
  return QStringLiteral("%1 %2.%3.%4").arg(Tr(s, 73)).arg(id.deviceCode).arg(id.variant).arg(id.hardwareRevision);
}

} // namespace pv
