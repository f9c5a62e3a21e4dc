#include "config/ConfigFile.h"

#include "kernel/AtomicFile.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "text/Numbers.h"

#include <QCoreApplication>
#include <QFile>
#include <QtEndian>
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
constexpr int FisicoMaxA = 208, FisicoMinA = 216, FisicoMaxB = 224, FisicoMinB = 232;
constexpr int OutMaxA = 240, OutMinA = 248, OutMaxB = 256, OutMinB = 264;
constexpr int Operation = 272, OptionA = 274, OptionB = 282, HighSpeed = 290, Doubler = 291;
} // namespace off

// Every double of the record, for the soundness check.
constexpr int kDoubles[] = {off::Version, off::InputMax, off::InputMax + 8, off::InputMin,
                            off::InputMin + 8, off::OutputMax, off::OutputMax + 8,
                            off::OutputMin, off::OutputMin + 8, off::Offset, off::Offset + 8,
                            off::OverRange, off::OverRange + 8, off::TripHigh, off::TripHigh + 8,
                            off::TripLow, off::TripLow + 8, off::Reserved, off::Reserved + 8,
                            off::FisicoMaxA, off::FisicoMinA, off::FisicoMaxB, off::FisicoMinB,
                            off::OutMaxA, off::OutMinA, off::OutMaxB, off::OutMinB,
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

double Num(const QString& t) { return ParseLeadingNumber(t); }

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

} // namespace

QByteArray BuildRecord(const EditorModel& m, const QByteArray& held) {
  const AppState& s = m.state();
  const EditorFields& f = m.f;
  const RangeTables& T = m.tables();
  QByteArray r = held.size() == kRecordSize ? held : QByteArray(kRecordSize, '\0');

  SetD(r, off::Version, kFileVersion);
  SetU8(r, off::Spare, s.identity.spare);
  SetU8(r, off::Code, s.identity.deviceCode);
  SetU8(r, off::Variant, s.identity.variant);
  SetU8(r, off::Revision, s.identity.hardwareRevision);
  for (int c = 0; c < 2; ++c) {
    const int in = m.inputRow(c);  // the doubler text stands for channel A's row
    if (in >= 0) SetU8(r, off::InputType + c, in);
    SetD(r, off::InputMax + 8 * c, Num(f.txtInputMax[c]));
    SetD(r, off::InputMin + 8 * c, Num(f.txtInputMin[c]));
    const int out = m.outputRow(c);
    if (out >= 0) SetU8(r, off::OutputType + c, out);
    SetD(r, off::OutputMax + 8 * c, Num(f.txtOutputMax[c]));
    SetD(r, off::OutputMin + 8 * c, Num(f.txtOutputMin[c]));
    SetGroup(r, {off::Cjc0, off::Cjc1}, c, f.optCJC[c]);
    SetD(r, off::Offset + 8 * c, Num(f.txtOffset[c]));
    SetGroup(r, {off::Fili0, off::Fili1, off::Fili2}, c, f.optFili[c]);
    SetGroup(r, {off::Funz0, off::Funz1, off::Funz2}, c, f.optFunz[c]);
    SetGroup(r, {off::Break0, off::Break1}, c, f.optBreak[c]);
    const double pct = T.OverRangePercentByName(f.cmbOverRange[c].text);
    if (pct >= 0) SetD(r, off::OverRange + 8 * c, pct);
  }
  // Trips: channel A only; channel B's slots are written as zero.
  SetD(r, off::TripHigh, Num(f.txtSogliaH[0]));
  SetD(r, off::TripLow, Num(f.txtSogliaL[0]));
  SetD(r, off::TripHigh + 8, 0);
  SetD(r, off::TripLow + 8, 0);
  SetGroup(r, {off::Trip0, off::Trip1}, 0, f.optTrip[0]);
  SetB(r, off::Trip0 + 2, false);
  SetB(r, off::Trip1 + 2, false);
  SetD(r, off::Reserved + 8, 0);  // channel A's reserved value stays as held
  SetD(r, off::FisicoMaxA, Num(f.txtFisicoMax[2]));
  SetD(r, off::FisicoMinA, Num(f.txtFisicoMin[2]));
  SetD(r, off::FisicoMaxB, Num(f.txtFisicoMax[3]));
  SetD(r, off::FisicoMinB, Num(f.txtFisicoMin[3]));
  SetD(r, off::OutMaxA, Num(f.txtFisicoOutMax[0]));
  SetD(r, off::OutMinA, Num(f.txtFisicoOutMin[0]));
  SetD(r, off::OutMaxB, Num(f.txtFisicoOutMax[1]));
  SetD(r, off::OutMinB, Num(f.txtFisicoOutMin[1]));
  SetU8(r, off::Operation, s.channels[0].operatorOption);
  SetU8(r, off::Operation + 1, s.channels[1].operatorOption);
  SetD(r, off::OptionA, s.channels[0].optionValue);
  SetD(r, off::OptionB, s.channels[1].optionValue);
  SetU8(r, off::HighSpeed, f.chkHS ? 1 : 0);
  SetU8(r, off::Doubler, f.chkDoubler ? 1 : 0);
  return r;
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

DeviceIdentity RecordIdentity(const QByteArray& r) {
  return {GetU8(r, off::Code), GetU8(r, off::Variant), GetU8(r, off::Revision), GetU8(r, off::Spare)};
}

void ApplyRecord(EditorModel& m, const QByteArray& r) {
  AppState& s = m.state();
  EditorFields& f = m.f;
  const RangeTables& T = m.tables();
  // Both input types before any other field: a type's rule resets the
  // compensation of every channel, and the file's own choice must win on
  // both channels, as it does after a read from the unit.
  for (int c = 0; c < 2; ++c) {
    const int in = GetU8(r, off::InputType + c);
    if (in < static_cast<int>(T.input.size())) m.setInputRow(c, in);
  }
  for (int c = 0; c < 2; ++c) {
    f.txtInputMax[c] = NumToExactText(GetD(r, off::InputMax + 8 * c));
    f.txtInputMin[c] = NumToExactText(GetD(r, off::InputMin + 8 * c));
    // The type first: its rule writes the row's limits, which the file's
    // own limits must then replace, not the other way round.
    const int out = GetU8(r, off::OutputType + c);
    if (out < static_cast<int>(T.output.size())) m.setOutputType(c, T.output[out].name);
    f.txtOutputMax[c] = NumToExactText(GetD(r, off::OutputMax + 8 * c));
    f.txtOutputMin[c] = NumToExactText(GetD(r, off::OutputMin + 8 * c));
    if (int k = GetGroup(r, {off::Cjc0, off::Cjc1}, c); k >= 0) f.optCJC[c] = k;
    f.txtOffset[c] = NumToExactText(GetD(r, off::Offset + 8 * c));
    if (int k = GetGroup(r, {off::Fili0, off::Fili1, off::Fili2}, c); k >= 0) f.optFili[c] = k;
    if (int k = GetGroup(r, {off::Funz0, off::Funz1, off::Funz2}, c); k >= 0) f.optFunz[c] = k;
    if (int k = GetGroup(r, {off::Break0, off::Break1}, c); k >= 0) f.optBreak[c] = k;
    const int ov = T.OverRangeRowByPercent(GetD(r, off::OverRange + 8 * c));
    if (ov >= 0) f.cmbOverRange[c].text = T.overRange[ov].name;
  }
  f.chkHS = GetU8(r, off::HighSpeed) != 0;
  // A box or button the unit cannot store stays as the unit holds it.
  if (m.doublerOwned()) {
    f.chkDoubler = GetU8(r, off::Doubler) != 0;
    m.doublerClicked();
  }
  f.txtSogliaH[0] = NumToExactText(GetD(r, off::TripHigh));
  f.txtSogliaL[0] = NumToExactText(GetD(r, off::TripLow));
  if (int k = GetGroup(r, {off::Trip0, off::Trip1}, 0); k >= 0 && m.tripDirectionOwned(0)) f.optTrip[0] = k;
  f.txtFisicoMax[2] = NumToExactText(GetD(r, off::FisicoMaxA));
  f.txtFisicoMin[2] = NumToExactText(GetD(r, off::FisicoMinA));
  f.txtFisicoMax[3] = NumToExactText(GetD(r, off::FisicoMaxB));
  f.txtFisicoMin[3] = NumToExactText(GetD(r, off::FisicoMinB));
  f.txtFisicoOutMax[0] = NumToExactText(GetD(r, off::OutMaxA));
  f.txtFisicoOutMin[0] = NumToExactText(GetD(r, off::OutMinA));
  f.txtFisicoOutMax[1] = NumToExactText(GetD(r, off::OutMaxB));
  f.txtFisicoOutMin[1] = NumToExactText(GetD(r, off::OutMinB));
  for (int c = 0; c < 2; ++c) {
    ChannelSettings& ch = s.channels[c];
    ch.operatorOption = GetU8(r, off::Operation + c);
    const double value = GetD(r, c == 0 ? off::OptionA : off::OptionB);
    ch.optionValue = static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    if (ch.operatorOption < kOperationCaptions.size())
      f.cmdOperatore[c] = QString::fromLatin1(kOperationCaptions[ch.operatorOption]);
  }
  m.markLoaded();
  m.notify();
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
  const QByteArray record = BuildRecord(model_, held_);
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
  if (GetD(bytes, off::Version) != kFileVersion &&
      prompter_.ask(title, Tr(s, 75), Buttons::OkCancel, Icon::Warning) != Answer::Ok)
    return FileResult::Cancelled;
  if ((GetU8(bytes, off::Code) != s.identity.deviceCode ||
       GetU8(bytes, off::Variant) != s.identity.variant) &&
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
