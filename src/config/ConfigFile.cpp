#include "config/ConfigFile.h"

#include "config/EditorModel.h"
#include "config/EditorRules.h"
#include "kernel/AtomicFile.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "text/Numbers.h"

#include <QCoreApplication>
#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace pv {

namespace {

// Offsets of the record.
namespace off {
constexpr int Version = 0, Spare = 8, Code = 9, Variant = 10, Revision = 11;
constexpr int InputType = 12, InputMax = 14, InputMin = 30, OutputType = 46;
constexpr int OutputMax = 48, OutputMin = 64, Cjc0 = 80, Cjc1 = 84, Offset = 88;
constexpr int Fili0 = 104, Fili1 = 108, Fili2 = 112, Funz0 = 116, Funz1 = 120, Funz2 = 124;
constexpr int Break0 = 128, Break1 = 132, OverRange = 136, TripHigh = 152, TripLow = 168;
constexpr int Trip0 = 184, Trip1 = 188, Reserved = 192;
constexpr int Physical = 208;  // eight doubles in the record's order
constexpr int Operation = 272, OptionA = 274, OptionB = 282, HighSpeed = 290, Doubler = 291;
} // namespace off

// Every double of the record, for the soundness check.
constexpr int kDoubles[] = {off::Version, off::InputMax, off::InputMax + 8, off::InputMin,
                            off::InputMin + 8, off::OutputMax, off::OutputMax + 8,
                            off::OutputMin, off::OutputMin + 8, off::Offset, off::Offset + 8,
                            off::OverRange, off::OverRange + 8, off::TripHigh, off::TripHigh + 8,
                            off::TripLow, off::TripLow + 8, off::Reserved, off::Reserved + 8,
                            off::Physical, off::Physical + 8, off::Physical + 16, off::Physical + 24,
                            off::Physical + 32, off::Physical + 40, off::Physical + 48, off::Physical + 56,
                            off::OptionA, off::OptionB};
constexpr int kBooleans[] = {off::Cjc0, off::Cjc1, off::Fili0, off::Fili1, off::Fili2,
                             off::Funz0, off::Funz1, off::Funz2, off::Break0, off::Break1,
                             off::Trip0, off::Trip1};

double GetD(const QByteArray& r, int at) {
  quint64 bits = qFromLittleEndian<quint64>(r.constData() + at);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}
void SetD(QByteArray& r, int at, double v) {
  quint64 bits;
  std::memcpy(&bits, &v, sizeof bits);
  qToLittleEndian<quint64>(bits, r.data() + at);
}
int16_t GetB(const QByteArray& r, int at) { return qFromLittleEndian<qint16>(r.constData() + at); }
bool IsTrue(const QByteArray& r, int at) { return GetB(r, at) != 0; }
void SetB(QByteArray& r, int at, bool v) { qToLittleEndian<qint16>(v ? -1 : 0, r.data() + at); }
uint8_t GetU8(const QByteArray& r, int at) { return static_cast<uint8_t>(r[at]); }
void SetU8(QByteArray& r, int at, int v) { r[at] = static_cast<char>(v); }

// An option group of n buttons per channel: the Boolean of button k of
// channel c is at first[k] + 2c.
void SetGroup(QByteArray& r, std::initializer_list<int> first, int c, int chosen) {
  int k = 0;
  for (int at : first) SetB(r, at + 2 * c, k++ == chosen);
}
// The chosen button, or -1 when none is set (the field is left as it is).
int GetGroup(const QByteArray& r, std::initializer_list<int> first, int c) {
  int k = 0, chosen = -1;
  for (int at : first) {
    if (IsTrue(r, at + 2 * c) && chosen < 0) chosen = k;
    ++k;
  }
  return chosen;
}

// Texts of this file's messages (Italian ids; + languageOffset for English).
enum : int { kShortRecord = 94, kNotFinite, kNotAnOption, kNotABox, kBadOperation, kNotAConfiguration };
constexpr int kCannotRead = 238;
constexpr int kCannotSave = 239;

// The number fields a file holds: opened, they show its numbers exactly.
const std::vector<Field> kFileFields = {
    Field::InputMaxA,    Field::InputMaxB,    Field::InputMinA,       Field::InputMinB,       Field::OutputMaxA,
    Field::OutputMaxB,   Field::OutputMinA,   Field::OutputMinB,      Field::OffsetA,         Field::OffsetB,
    Field::TripHighA,    Field::TripLowA,     Field::PhysicalMaxA,    Field::PhysicalMinA,    Field::PhysicalMaxB,
    Field::PhysicalMinB, Field::PhysicalOutMaxA, Field::PhysicalOutMinA, Field::PhysicalOutMaxB,
    Field::PhysicalOutMinB};

} // namespace

QByteArray EncodeDst(const ConfigRecord& r, const DstHeader& h, const RangeTables& T, const QByteArray& held) {
  QByteArray out = held.size() == kRecordSize ? held : QByteArray(kRecordSize, '\0');
  SetD(out, off::Version, h.version);
  SetU8(out, off::Spare, h.identity.spare);
  SetU8(out, off::Code, h.identity.deviceCode);
  SetU8(out, off::Variant, h.identity.variant);
  SetU8(out, off::Revision, h.identity.hardwareRevision);
  for (int c = 0; c < 2; ++c) {
    const ChannelConfig& ch = r.ch[c];
    const int in = InputRowOf(r, c);  // with the doubler, channel A's row
    if (in >= 0 && in < static_cast<int>(T.input.size())) SetU8(out, off::InputType + c, in);
    SetD(out, off::InputMax + 8 * c, ch.inputMax);
    SetD(out, off::InputMin + 8 * c, ch.inputMin);
    if (ch.outputRow >= 0 && ch.outputRow < static_cast<int>(T.output.size()))
      SetU8(out, off::OutputType + c, ch.outputRow);
    SetD(out, off::OutputMax + 8 * c, ch.outputMax);
    SetD(out, off::OutputMin + 8 * c, ch.outputMin);
    SetGroup(out, {off::Cjc0, off::Cjc1}, c, ch.cjc);
    SetD(out, off::Offset + 8 * c, ch.offset);
    SetGroup(out, {off::Fili0, off::Fili1, off::Fili2}, c, ch.wires);
    SetGroup(out, {off::Funz0, off::Funz1, off::Funz2}, c, ch.function);
    SetGroup(out, {off::Break0, off::Break1}, c, ch.burnOut);
    if (ch.overRange >= 0 && ch.overRange < static_cast<int>(T.overRange.size()))
      SetD(out, off::OverRange + 8 * c, T.overRange[static_cast<size_t>(ch.overRange)].percent);
    SetU8(out, off::Operation + c, ch.operation);
  }
  // Trips: channel A only; channel B's slots are written as zero.
  SetD(out, off::TripHigh, r.ch[0].tripHigh);
  SetD(out, off::TripLow, r.ch[0].tripLow);
  SetD(out, off::TripHigh + 8, 0);
  SetD(out, off::TripLow + 8, 0);
  SetGroup(out, {off::Trip0, off::Trip1}, 0, r.ch[0].tripDirection);
  SetB(out, off::Trip0 + 2, false);
  SetB(out, off::Trip1 + 2, false);
  SetD(out, off::Reserved + 8, 0);  // channel A's reserved value stays as held
  for (int k = 0; k < 8; ++k) SetD(out, off::Physical + 8 * k, r.physical[static_cast<size_t>(k)]);
  SetD(out, off::OptionA, h.optionValue[0]);
  SetD(out, off::OptionB, h.optionValue[1]);
  SetU8(out, off::HighSpeed, r.highSpeed ? 1 : 0);
  SetU8(out, off::Doubler, r.doubler ? 1 : 0);
  return out;
}

ConfigRecord DecodeDst(const QByteArray& bytes, const ConfigRecord& base, const RangeTables& T, const CellLayout& L) {
  ConfigRecord r = base;
  auto choose = [&bytes](std::initializer_list<int> group, int c, int& field) {
    if (const int k = GetGroup(bytes, group, c); k >= 0) field = k;
  };
  for (int c = 0; c < 2; ++c) {
    ChannelConfig& ch = r.ch[c];
    if (const int in = GetU8(bytes, off::InputType + c); in < static_cast<int>(T.input.size())) ch.inputRow = in;
    ch.inputMax = GetD(bytes, off::InputMax + 8 * c);
    ch.inputMin = GetD(bytes, off::InputMin + 8 * c);
    if (const int out = GetU8(bytes, off::OutputType + c); out < static_cast<int>(T.output.size())) ch.outputRow = out;
    ch.outputMax = GetD(bytes, off::OutputMax + 8 * c);
    ch.outputMin = GetD(bytes, off::OutputMin + 8 * c);
    choose({off::Cjc0, off::Cjc1}, c, ch.cjc);
    ch.offset = GetD(bytes, off::Offset + 8 * c);
    choose({off::Fili0, off::Fili1, off::Fili2}, c, ch.wires);
    choose({off::Funz0, off::Funz1, off::Funz2}, c, ch.function);
    choose({off::Break0, off::Break1}, c, ch.burnOut);
    if (const int row = T.OverRangeRowByPercent(GetD(bytes, off::OverRange + 8 * c)); row >= 0) ch.overRange = row;
    ch.operation = GetU8(bytes, off::Operation + c);
  }
  r.highSpeed = GetU8(bytes, off::HighSpeed) != 0;
  if (DoublerOwned(L)) r.doubler = GetU8(bytes, off::Doubler) != 0;
  r.ch[0].tripHigh = GetD(bytes, off::TripHigh);
  r.ch[0].tripLow = GetD(bytes, off::TripLow);
  if (TripDirectionOwned(L, 0)) choose({off::Trip0, off::Trip1}, 0, r.ch[0].tripDirection);
  for (int k = 0; k < 8; ++k) r.physical[static_cast<size_t>(k)] = GetD(bytes, off::Physical + 8 * k);
  return r;
}

DstHeader DecodeDstHeader(const QByteArray& bytes) {
  DstHeader h;
  h.version = GetD(bytes, off::Version);
  h.identity = {GetU8(bytes, off::Code), GetU8(bytes, off::Variant), GetU8(bytes, off::Revision),
                GetU8(bytes, off::Spare)};
  h.optionValue = {GetD(bytes, off::OptionA), GetD(bytes, off::OptionB)};
  return h;
}

ConfigRecord OpenedRecord(const QByteArray& bytes, const ConfigRecord& base, const AppState& unit,
                          const RangeTables& T) {
  const CellLayout L = CellLayoutFor(unit.identity);
  const ConfigRecord once = DecodeDst(bytes, base, T, L);
  return DecodeDst(bytes, ClearedByInput(once, {unit, T}), T, L);
}

void ApplyRecord(EditorModel& m, const QByteArray& record) {
  const DstHeader header = DecodeDstHeader(record);
  // The unit keeps a whole number 0..255.
  std::array<uint8_t, 2> optionValues{};
  for (int c = 0; c < 2; ++c)
    optionValues[c] = static_cast<uint8_t>(std::clamp(std::lround(header.optionValue[c]), 0L, 255L));
  m.loadFile(OpenedRecord(record, m.record(), m.state(), m.tables()), kFileFields, optionValues);
}

QString ValidateRecord(const QByteArray& bytes, const AppState* language) {
  // The program's messages follow its language; the command line's are English.
  auto text = [language](int id) {
    return language ? Tr(*language, id) : LoadText(id + ComputeLanguageOffset(1));
  };
  if (bytes.size() < kRecordSize) return text(kShortRecord).arg(bytes.size()).arg(kRecordSize);
  for (int at : kDoubles)
    if (!std::isfinite(GetD(bytes, at))) return text(kNotFinite).arg(at);
  // A saved option button is exactly -1 or 0, a saved box exactly 0 or 1:
  // anything else is not a configuration record.
  for (int at : kBooleans)
    for (int c = 0; c < 2; ++c) {
      const int16_t b = GetB(bytes, at + 2 * c);
      if (b != 0 && b != -1) return text(kNotAnOption).arg(at + 2 * c);
    }
  if (GetU8(bytes, off::HighSpeed) > 1 || GetU8(bytes, off::Doubler) > 1) return text(kNotABox);
  if (GetU8(bytes, off::Operation) > 15 || GetU8(bytes, off::Operation + 1) > 15) return text(kBadOperation);
  return {};
}

QStringList UnknownRecordValues(const AppState& s, const RangeTables& T, const QByteArray& r) {
  QStringList out;
  for (int c = 0; c < 2; ++c) {
    const QString channel = QStringLiteral(" (%1 %2)").arg(Tr(s, 72), QChar('A' + c));
    const int in = GetU8(r, off::InputType + c);
    if (in >= static_cast<int>(T.input.size())) out << Tr(s, 48) + ' ' + QString::number(in) + channel;
    const int outType = GetU8(r, off::OutputType + c);
    if (outType >= static_cast<int>(T.output.size())) out << Tr(s, 49) + ' ' + QString::number(outType) + channel;
    const double pct = GetD(r, off::OverRange + 8 * c);
    if (T.OverRangeRowByPercent(pct) < 0) out << Tr(s, 118) + ' ' + QString::number(pct) + QStringLiteral(" %") + channel;
  }
  return out;
}

ConfigFile::ConfigFile(EditorModel& model, Prompter& prompter)
    : model_(model), prompter_(prompter), held_(kRecordSize, '\0') {}

QString ConfigFile::windowTitle() const {
  const QString title = ProductTitle(model_.state());
  return fileName_.isEmpty() ? title : title + " - " + fileName_;
}

FileResult ConfigFile::fail(FileResult why, const QString& text) {
  lastError_ = text;
  prompter_.ask(ProductTitle(model_.state()), text, Buttons::Ok, Icon::Critical);
  return why;
}

FileResult ConfigFile::save(bool askName) {
  QString name = fileName_;
  if (askName || name.isEmpty()) {
    name = prompter_.saveFileName(ProductTitle(model_.state()), QString(),
                                  {QStringLiteral(" (*.DST)"), QStringLiteral("(*.*)")});
    if (name.isEmpty()) return FileResult::Cancelled;
  }
  return saveTo(name);
}

FileResult ConfigFile::open() {
  const QString name =
      prompter_.openFileName(ProductTitle(model_.state()), QCoreApplication::applicationDirPath(),
                             {QStringLiteral("(*.DST)"), QStringLiteral(" (*.*)")});
  if (name.isEmpty()) return FileResult::Cancelled;
  return openFrom(name);
}

FileResult ConfigFile::saveTo(const QString& path) {
  const AppState& s = model_.state();
  const DstHeader header{kFileVersion, s.identity, {double(s.channels[0].optionValue), double(s.channels[1].optionValue)}};
  const QByteArray record = EncodeDst(model_.shown(), header, model_.tables(), held_);
  QString why;
  if (!SaveAtomically(path, record, &why)) return fail(FileResult::IoError, Tr(s, kCannotSave).arg(path, why));
  held_ = record;
  fileName_ = path;
  saveEnabled_ = true;
  lastError_.clear();
  return FileResult::Done;
}

FileResult ConfigFile::openFrom(const QString& path) {
  const AppState& s = model_.state();
  // A named pipe or a device is refused, never waited on or read forever.
  QByteArray bytes;
  QString error;
  if (!ReadInputFile(path, kRecordSize, &bytes, &error)) return fail(FileResult::IoError, Tr(s, kCannotRead).arg(path, error));
  if (const QString why = ValidateRecord(bytes, &s); !why.isEmpty())
    return fail(FileResult::BadFile, Tr(s, kNotAConfiguration).arg(path, why));
  const QString title = ProductTitle(s);
  const DstHeader header = DecodeDstHeader(bytes);
  if (header.version != kFileVersion &&
      prompter_.ask(title, Tr(s, 75), Buttons::OkCancel, Icon::Warning) != Answer::Ok)
    return FileResult::Cancelled;
  if ((header.identity.deviceCode != s.identity.deviceCode || header.identity.variant != s.identity.variant) &&
      prompter_.ask(title, Tr(s, 61), Buttons::OkCancel, Icon::Warning) != Answer::Ok)
    return FileResult::Cancelled;
  // A value the editor has no place for is said, not silently dropped.
  if (const QStringList unknown = UnknownRecordValues(s, model_.tables(), bytes); !unknown.isEmpty() &&
      prompter_.ask(title, Tr(s, 169).arg(unknown.join(QStringLiteral(", "))), Buttons::OkCancel, Icon::Warning) !=
          Answer::Ok)
    return FileResult::Cancelled;
  // Only a file that was loaded becomes the one Save writes to.
  fileName_ = path;
  saveEnabled_ = true;
  held_ = bytes.left(kRecordSize);
  ApplyRecord(model_, held_);
  lastError_.clear();
  return FileResult::Done;
}

} // namespace pv
