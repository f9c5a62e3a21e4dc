// ".DST" open: any bytes as a configuration file, opened into an editor that
// holds a unit's factory configuration.
//
// Input: the file's bytes; a byte after the 292-byte record (ignored by the
// reader) picks the connected model from the catalogue.
//
// Invariants:
// - a file the record check refuses is reported as a bad file and leaves
//   every editor field as it was;
// - an accepted file saved again gives back every byte the editor owns
//   (the exceptions are listed at CheckSavedBack);
// - the configuration the editor then holds never encodes a value the unit
//   cannot store.
#include "CellChecks.h"
#include "FuzzSupport.h"

#include "DeviceSimulator.h"
#include "config/ConfigFile.h"
#include "config/EditorModel.h"
#include "kernel/Catalogue.h"
#include "kernel/Prompter.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <map>
#include <unistd.h>

using namespace pv;
using namespace pv::fuzz;

namespace {

// A user who confirms every question (another version, another model).
class YesPrompter : public Prompter {
public:
  Answer ask(const QString&, const QString&, Buttons, Icon) override { return Answer::Ok; }
  std::optional<QString> askText(const QString&, const QString&, const QString&) override { return {}; }
  QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }
};

double D(const QByteArray& r, int at) {
  const quint64 bits = qFromLittleEndian<quint64>(r.constData() + at);
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}
int16_t B(const QByteArray& r, int at) { return qFromLittleEndian<qint16>(r.constData() + at); }
int U8(const QByteArray& r, int at) { return static_cast<uint8_t>(r[at]); }

// Everything the window shows from the editor, as text.
QStringList Dump(const EditorModel& m) {
  const EditorView& v = m.view();
  const ConfigRecord& r = m.record();
  QStringList out(m.texts().begin(), m.texts().end());
  for (int c = 0; c < 2; ++c) {
    const ChannelConfig& ch = r.ch[c];
    out << v.cmbProgIn[c].text << v.cmbProgOut[c].text << v.cmbOverRange[c].text << v.cmdOperatore[c];
    out << QStringLiteral("cjc %1 wires %2 break %3 function %4 trip %5 relay %6 op %7 value %8")
               .arg(ch.cjc).arg(ch.wires).arg(ch.burnOut).arg(ch.function).arg(ch.tripDirection)
               .arg(ch.relay).arg(m.state().channels[c].operatorOption).arg(m.state().channels[c].optionValue);
  }
  out << v.cmbFreqType.text;
  out << QStringLiteral("doubler %1 hs %2 50hz %3").arg(r.doubler).arg(r.highSpeed).arg(r.filter50Hz);
  return out;
}

QString Where(int at, const QByteArray& was, const QByteArray& now) {
  return QStringLiteral("byte %1: file %2, saved %3")
      .arg(at)
      .arg(QString::fromLatin1(was.mid(at, 8).toHex(' ')))
      .arg(QString::fromLatin1(now.mid(at, 8).toHex(' ')));
}

void SameDouble(const QByteArray& was, const QByteArray& now, int at) {
  // By value: the text " 0" stands for both zeros.
  PV_FUZZ_CHECK(D(was, at) == D(now, at), Where(at, was, now) + QStringLiteral(" (%1 -> %2)")
                                                                    .arg(D(was, at), 0, 'g', 17)
                                                                    .arg(D(now, at), 0, 'g', 17));
}
void SameBytes(const QByteArray& was, const QByteArray& now, int at, int n) {
  PV_FUZZ_CHECK(was.mid(at, n) == now.mid(at, n), Where(at, was, now));
}
void ZeroDouble(const QByteArray& now, int at) {
  PV_FUZZ_CHECK(D(now, at) == 0, QStringLiteral("byte %1 should be written as zero").arg(at));
}

// An option group with exactly one button set comes back as it was. With
// none or several set the editor keeps one choice of its own.
void SameGroup(const QByteArray& was, const QByteArray& now, std::initializer_list<int> first, int c) {
  int set = 0;
  for (int at : first) set += B(was, at + 2 * c) != 0;
  if (set != 1) return;
  for (int at : first) SameBytes(was, now, at + 2 * c, 2);
}

// The bytes the editor cannot give back are:
// - 0..11: the version is always the program's, the identity the unit's;
// - a list row the tables do not have (input, output, over-range): the
//   editor keeps its own choice;
// - option groups with no button or several buttons set;
// - channel B's input with the doubler set: it repeats channel A's row;
// - channel B's trip, trip direction and reserved value: the editor has
//   none of them, they are written as zero;
// - the trip direction of channel A and the doubler where this unit cannot
//   store them (the editor keeps what the unit holds);
// - the option values: the unit keeps a whole number 0..255.
void CheckSavedBack(const EditorModel& m, const QByteArray& was, const QByteArray& now) {
  PV_FUZZ_CHECK(now.size() == kRecordSize, QStringLiteral("saved %1 bytes").arg(now.size()));
  const RangeTables& T = m.tables();
  for (int c = 0; c < 2; ++c) {
    if (U8(was, 12 + c) < static_cast<int>(T.input.size())) {
      if (c == 1 && m.record().doubler)
        PV_FUZZ_CHECK(U8(now, 13) == U8(now, 12), QStringLiteral("the doubler's channel B input is not channel A's"));
      else
        SameBytes(was, now, 12 + c, 1);
    }
    if (U8(was, 46 + c) < static_cast<int>(T.output.size())) SameBytes(was, now, 46 + c, 1);
    for (int at : {14, 30, 48, 64, 88}) SameDouble(was, now, at + 8 * c);
    SameGroup(was, now, {80, 84}, c);
    SameGroup(was, now, {104, 108, 112}, c);
    SameGroup(was, now, {116, 120, 124}, c);
    SameGroup(was, now, {128, 132}, c);
    if (T.OverRangeRowByPercent(D(was, 136 + 8 * c)) >= 0) SameDouble(was, now, 136 + 8 * c);
    SameBytes(was, now, 272 + c, 1);
    const double option = D(was, c == 0 ? 274 : 282);
    const double kept = static_cast<double>(std::clamp(std::lround(option), 0L, 255L));
    PV_FUZZ_CHECK(D(now, c == 0 ? 274 : 282) == kept, Where(c == 0 ? 274 : 282, was, now));
  }
  SameDouble(was, now, 152);
  SameDouble(was, now, 168);
  ZeroDouble(now, 160);
  ZeroDouble(now, 176);
  if (m.tripDirectionOwned(0)) SameGroup(was, now, {184, 188}, 0);
  PV_FUZZ_CHECK(B(now, 186) == 0 && B(now, 190) == 0, QStringLiteral("channel B's trip direction is set"));
  SameBytes(was, now, 192, 8);
  ZeroDouble(now, 200);
  for (int at = 208; at < 272; at += 8) SameDouble(was, now, at);
  SameBytes(was, now, 290, 1);
  if (m.doublerOwned()) SameBytes(was, now, 291, 1);
}

QString TempPath(const char* name) {
  return QDir::tempPath() + QStringLiteral("/planovix-fuzz-%1-%2").arg(::getpid()).arg(QLatin1String(name));
}

const RangeTables& Tables() {
  static const RangeTables tables;
  return tables;
}

// A unit's factory configuration, made once per model: the simulator that
// knows it is too slow to build on every run.
const CellImage& FactoryMemory(const ModelRow& unit) {
  static std::map<const ModelRow*, CellImage> made;
  auto it = made.find(&unit);
  if (it == made.end()) {
    sim::DeviceSimulator simulated;
    simulated.setModel(QString::fromLatin1(unit.id));
    it = made.emplace(&unit, simulated.bank(0)).first;
  }
  return it->second;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const ModelRow& unit = kModels[size > kRecordSize ? data[kRecordSize] % kModels.size() : 2];

  AppState state;
  state.identity = {12, unit.variant, 4, 0};
  state.familyCell = unit.family;
  state.languageIndex = 1;
  state.languageOffset = 300;
  RangeTables tables = Tables();
  EditorModel model(state, tables);
  YesPrompter prompter;
  ConfigFile file(model, prompter);
  model.fillLists();
  model.base = FactoryMemory(unit);
  model.baseValid = true;
  model.load(DecodeConfig(state.identity, tables, model.base));
  const QStringList before = Dump(model);

  static const QString in = TempPath("in.DST"), out = TempPath("out.DST");
  {
    QFile f(in);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) std::abort();
  }
  const QString refused = ValidateRecord(bytes.left(kRecordSize));
  const FileResult opened = file.openFrom(in);
  if (!refused.isEmpty()) {
    PV_FUZZ_CHECK(opened == FileResult::BadFile, QStringLiteral("refused (%1) but opened").arg(refused));
    const QStringList after = Dump(model);
    for (int i = 0; i < before.size(); ++i)
      PV_FUZZ_CHECK(before[i] == after[i], QStringLiteral("a refused file changed field %1: \"%2\" -> \"%3\"")
                                               .arg(i).arg(before[i], after[i]));
    return 0;
  }
  PV_FUZZ_CHECK(opened == FileResult::Done, QStringLiteral("a sound record was not opened: ") + file.lastError());
  PV_FUZZ_CHECK(file.saveTo(out) == FileResult::Done, file.lastError());
  QFile saved(out);
  if (!saved.open(QIODevice::ReadOnly)) std::abort();
  CheckSavedBack(model, bytes.left(kRecordSize), saved.readAll());

  const ConfigRecord record = model.record();
  const EncodedCells cells = EncodeConfig(state.identity, tables, record, model.base);
  CheckEncodedFloats(state.identity, model.base, cells);
  CheckUnsentCellsKept(model.base, cells);
  return 0;
}
