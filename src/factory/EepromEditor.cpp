#include "factory/EepromEditor.h"

#include "config/ConfigDevice.h"
#include "kernel/AtomicFile.h"
#include "kernel/Prompter.h"
#include "link/Codecs.h"
#include "link/DeviceLink.h"
#include "link/Transport.h"
#include "text/Numbers.h"
#include "text/Texts.h"

#include <algorithm>
#include <QFile>

namespace pv {

namespace {

// String table ids of the editor's own texts.
enum : int {
  kErrorsSuffix = 229,
  kOverwriteAll = 230,
  kBadLine = 231,
  kShortList = 232,
  kShortFile = 233,
  kLongFile = 234,
  kNothingWritten = 235,
  kNotWritten = 236,
  kBadField = 237,
  kCannotRead = 238,
  kCannotSave = 239,
  kBankCaption = 225,
  kStartCaption = 226,
  kValueCaption = 227,
};

// A memory file is a few kilobytes; more than this is not one.
constexpr qint64 kMaxFileBytes = 1 << 20;
// A message lists at most this many differing cells.
constexpr int kListedDifferences = 24;

QString Shown(const QString& text) {
  // Enough of a bad line to recognise it, without flooding the message;
  // bytes that are not text (a binary file) show as '?'.
  QString t;
  for (QChar c : text.left(24)) t += c.isPrint() ? c : QLatin1Char('?');
  if (text.size() > 24) t += QStringLiteral("...");
  return t;
}

QString DifferenceList(const std::vector<CellDifference>& diffs) {
  QStringList parts;
  for (size_t i = 0; i < diffs.size() && i < static_cast<size_t>(kListedDifferences); ++i)
    parts << QStringLiteral("%1: %2 / %3").arg(diffs[i].cell).arg(diffs[i].actual).arg(diffs[i].expected);
  QString text = parts.join(QStringLiteral(", "));
  if (diffs.size() > static_cast<size_t>(kListedDifferences)) text += QStringLiteral(", ...");
  return text;
}

std::optional<int> ParseWhole(const QString& text, int lo, int hi) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  int start = (t[0] == QLatin1Char('-')) ? 1 : 0;
  if (start == t.size() || t.size() - start > 6) return std::nullopt;
  for (int i = start; i < t.size(); ++i)
    if (!t[i].isDigit() || t[i].unicode() > '9') return std::nullopt;
  const int v = t.toInt();
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

QString FieldError(const AppState& s, const QString& field, const QString& text, const QString& allowed) {
  return Tr(s, kBadField).arg(field, Shown(text), allowed);
}

} // namespace

int CellsOf(EepromFormat format) {
  switch (format) {
  case EepromFormat::Byte: return 1;
  case EepromFormat::Int: return 2;
  case EepromFormat::Float: return 3;
  }
  return 1;
}

std::optional<EepromFormat> ParseFormat(const QString& name) {
  const QString n = name.trimmed().toLower();
  if (n == QLatin1String("byte")) return EepromFormat::Byte;
  if (n == QLatin1String("int")) return EepromFormat::Int;
  if (n == QLatin1String("float")) return EepromFormat::Float;
  return std::nullopt;
}

std::optional<int> ParseCellValue(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty() || t[0] == QLatin1Char('-')) return std::nullopt;
  return ParseWhole(t, 0, 255);
}

MemoryParse ParseMemoryFile(const AppState& s, const QByteArray& raw) {
  MemoryParse r;
  QByteArray bytes = raw;
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
  QList<QByteArray> lines = bytes.split('\n');
  for (QByteArray& l : lines)
    if (l.endsWith('\r')) l.chop(1);
  // Blank lines after the last value are what some editors leave behind.
  while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();

  MemoryImage image{};
  for (int i = 0; i < kMemoryCells; ++i) {
    if (i >= lines.size()) {
      r.line = static_cast<int>(lines.size());
      r.error = Tr(s, kShortFile).arg(r.line);
      return r;
    }
    // Shown as the editor that wrote it meant it: UTF-8.
    const QString text = QString::fromUtf8(lines[i]);
    // Digits with blanks or tabs around them, nothing else: a byte such as
    // 0x85 or 0xA0 would read as a blank once taken as Latin-1 text.
    const bool plain = std::all_of(lines[i].begin(), lines[i].end(), [](char c) {
      return (c >= '0' && c <= '9') || c == ' ' || c == '\t';
    });
    const std::optional<int> v = plain ? ParseCellValue(text) : std::nullopt;
    if (!v) {
      r.line = i + 1;
      r.error = Tr(s, kBadLine).arg(r.line).arg(Shown(text));
      return r;
    }
    image[i] = static_cast<uint8_t>(*v);
  }
  if (lines.size() > kMemoryCells) {
    r.line = kMemoryCells + 1;
    r.error = Tr(s, kLongFile).arg(r.line);
    return r;
  }
  r.image = image;
  return r;
}

QByteArray MemoryFileBytes(const MemoryImage& image) {
  QByteArray out;
  out.reserve(kMemoryCells * 5);
  for (uint8_t v : image) out += QByteArray::number(v) + "\r\n";
  return out;
}

QString MemoryLine(int cell, const QString& value) { return NumToText(cell) + QLatin1Char('\t') + value; }

QString ValueOfLine(const QString& line) {
  const int tab = line.lastIndexOf(QLatin1Char('\t'));
  return tab < 0 ? line : line.mid(tab + 1);
}

std::optional<SingleCells> CheckPlace(const AppState& s, const SingleFields& f, QString* why) {
  const int n = CellsOf(f.format);
  const std::optional<int> bank = ParseWhole(f.bank, 0, 255);
  if (!bank) {
    if (why) *why = FieldError(s, Tr(s, kBankCaption), f.bank, QStringLiteral("0..255"));
    return std::nullopt;
  }
  const std::optional<int> address = ParseWhole(f.start, 0, kMemoryCells - n);
  if (!address) {
    if (why) *why = FieldError(s, Tr(s, kStartCaption), f.start, QStringLiteral("0..%1").arg(kMemoryCells - n));
    return std::nullopt;
  }
  SingleCells c;
  c.bank = *bank;
  c.address = *address;
  c.format = f.format;
  return c;
}

std::optional<SingleCells> CheckWrite(const AppState& s, const SingleFields& f, QString* why) {
  std::optional<SingleCells> c = CheckPlace(s, f, why);
  if (!c) return std::nullopt;
  if (!f.fromValue) {
    // The raw bytes as typed, each a cell value.
    const std::array<std::pair<const QString*, const char*>, 3> raw = {
        {{&f.a, "L"}, {&f.b, "H"}, {&f.c, "Exp"}}};
    // Float's raw fields are S, M1, M2 in address order.
    for (int i = 0; i < CellsOf(f.format); ++i) {
      const std::optional<int> v = ParseCellValue(*raw[i].first);
      if (!v) {
        if (why) *why = FieldError(s, QLatin1String(raw[i].second), *raw[i].first, QStringLiteral("0..255"));
        return std::nullopt;
      }
      c->bytes[i] = static_cast<uint8_t>(*v);
    }
    return c;
  }
  const QString value = f.value.trimmed();
  switch (f.format) {
  case EepromFormat::Byte: {
    const std::optional<int> v = ParseCellValue(value);
    if (!v) {
      if (why) *why = FieldError(s, Tr(s, kValueCaption), f.value, QStringLiteral("0..255"));
      return std::nullopt;
    }
    c->bytes[0] = static_cast<uint8_t>(*v);
    return c;
  }
  case EepromFormat::Int: {
    const std::optional<int> v = ParseWhole(value, -32768, 65535);
    if (!v) {
      if (why) *why = FieldError(s, Tr(s, kValueCaption), f.value, QStringLiteral("-32768..65535"));
      return std::nullopt;
    }
    const WordBytes w = SplitWord(*v);
    c->bytes[0] = w.lo;  // the low byte at the lower address
    c->bytes[1] = w.hi;
    return c;
  }
  case EepromFormat::Float: {
    // Always '.', whatever the user's locale; "1,5" is refused, not read as 1.
    bool ok = false;
    const double v = value.toDouble(&ok);
    const std::optional<Float24Bytes> b = ok ? TryEncodeFloat24(v) : std::nullopt;
    if (!b) {
      if (why) *why = FieldError(s, Tr(s, kValueCaption), f.value, QStringLiteral("Float24"));
      return std::nullopt;
    }
    c->bytes = {b->s, b->m1, b->m2};
    return c;
  }
  }
  return std::nullopt;
}

QString SingleValueText(EepromFormat format, const std::array<uint8_t, 3>& b) {
  switch (format) {
  case EepromFormat::Byte: return QString::number(b[0]);
  case EepromFormat::Int: return QString::number(b[1] * 256 + b[0]);
  case EepromFormat::Float: return FormatNumber(DecodeFloat24(b[1], b[2], b[0]), QStringLiteral("#0.0####"));
  }
  return {};
}

EepromEditor::EepromEditor(AppState& state, DeviceCommands& commands, DeviceLink& link, Prompter& prompter,
                           QObject* parent)
    : QObject(parent), state_(state), commands_(commands), link_(link), prompter_(prompter) {}

QString EepromEditor::title() const { return ProductTitle(state_); }

void EepromEditor::tell(const QString& text) { prompter_.ask(title(), text, Buttons::Ok, Icon::Critical); }

bool EepromEditor::exchange(const std::function<void()>& fn, bool readOnly) {
  // A cell read on a closed port fails at once and says nothing (a write
  // says so itself); the technician must still learn why nothing happened.
  const bool closed = readOnly && !commands_.transport().isOpen();
  if (!link_.run(Exchange::Command, fn)) return false;
  if (closed && state_.commError) tell(QStringLiteral("COM Port not open"));
  return true;
}

void EepromEditor::setLine(int cell, const QString& text) {
  if (cell < 0 || cell >= lines_.size()) return;
  lines_[cell] = text;
  emit listChanged();
}

void EepromEditor::setImage(const MemoryImage& image) {
  lines_.clear();
  for (int i = 0; i < kMemoryCells; ++i) lines_ << MemoryLine(i, NumToText(image[i]));
  emit listChanged();
}

std::optional<MemoryImage> EepromEditor::image(QString* why) const {
  if (lines_.size() != kMemoryCells) {
    if (why) *why = Tr(state_, kShortList).arg(lines_.size());
    return std::nullopt;
  }
  MemoryImage image{};
  for (int i = 0; i < kMemoryCells; ++i) {
    const QString value = ValueOfLine(lines_[i]);
    const std::optional<int> v = ParseCellValue(value);
    if (!v) {
      if (why) *why = Tr(state_, kBadLine).arg(i + 1).arg(Shown(value.trimmed()));
      return std::nullopt;
    }
    image[i] = static_cast<uint8_t>(*v);
  }
  return image;
}

EepromResult EepromEditor::readAll() {
  CellBytes cells{};
  if (!exchange([&] { cells = commands_.ReadCells(0, 0, kMemoryCells); })) return EepromResult::Busy;
  // The list keeps what it held: a half-read memory is no use to anyone.
  if (state_.commError) return EepromResult::CommFailure;
  lines_.clear();
  for (int i = 0; i < kMemoryCells; ++i) lines_ << MemoryLine(i, NumToText(cells[i]));
  emit listChanged();
  return EepromResult::Ok;
}

bool EepromEditor::saveBeforeWrite(int bank, int first, int count, EepromResult* result) {
  // The entry is named by the unit's identity and fingerprint: ask for them,
  // it may be another unit.
  if (commands_.ReadIdentity()[0] != 0 || state_.commError) {
    *result = EepromResult::CommFailure;
    return false;
  }
  const CellBytes now = commands_.ReadCells(bank, first, count);
  if (state_.commError) {
    *result = EepromResult::CommFailure;
    return false;
  }
  std::vector<StoredCell> cells;
  for (int i = 0; i < count; ++i) cells.push_back({bank, first + i, now[static_cast<size_t>(i)]});
  BackupOptions backup;
  backup.savedId = &savedEntry_;
  switch (SaveCellsBeforeWrite(commands_, cells, backup)) {
  case ConfigResult::Ok: return true;
  case ConfigResult::CommFailure: *result = EepromResult::CommFailure; return false;
  default: *result = EepromResult::Cancelled; return false;
  }
}

EepromResult EepromEditor::writeAll() {
  QString why;
  const std::optional<MemoryImage> img = image(&why);
  if (!img) {
    tell(why + QStringLiteral("\n\n") + Tr(state_, kNothingWritten));
    return EepromResult::Invalid;
  }
  if (prompter_.ask(title(), Tr(state_, kOverwriteAll), Buttons::OkCancel, Icon::Warning) != Answer::Ok)
    return EepromResult::Cancelled;

  EepromResult result = EepromResult::Ok;
  std::vector<CellDifference> diffs;
  const bool ran = exchangeWrite([&] {
    // What the unit holds now goes to the write history first: the undo.
    if (!saveBeforeWrite(0, 0, kMemoryCells, &result)) return;
    const DeviceCommands::WriteInHand inHand(commands_);
    WriteList& list = state_.writeList;
    list.reset();
    for (int i = 0; i < kMemoryCells; ++i) list.push(static_cast<uint8_t>(i), (*img)[i]);
    commands_.WriteCells(0, kMemoryCells);
    // WriteCells has told the user what went wrong.
    if (state_.commError) {
      result = EepromResult::CommFailure;
      return;
    }
    // The write reads no answers: only a read-back shows what the unit holds.
    const CellBytes back = commands_.ReadCells(0, 0, kMemoryCells);
    if (state_.commError) {
      result = EepromResult::CommFailure;
      return;
    }
    for (int i = 0; i < kMemoryCells; ++i)
      if (back[i] != (*img)[i]) diffs.push_back({i, (*img)[i], back[i]});
    // The factory cells may have changed: the unit's history follows it.
    FollowFingerprint(commands_, savedEntry_);
  });
  if (!ran) return EepromResult::Busy;
  if (result != EepromResult::Ok) return result;
  differences_ = diffs;
  differenceLines_.clear();
  for (const CellDifference& d : diffs) differenceLines_ << MemoryLine(d.cell, NumToText(d.expected));
  emit differencesChanged();
  if (diffs.empty()) return EepromResult::Ok;
  tell(Tr(state_, kNotWritten).arg(diffs.size()).arg(DifferenceList(diffs)));
  return EepromResult::Differs;
}

EepromResult EepromEditor::save() {
  QString why;
  if (!image(&why)) {
    tell(why);
    return EepromResult::Invalid;
  }
  const QString name = prompter_.saveFileName(title(), QString(), {QStringLiteral("(*.dat)"), QStringLiteral("(*.*)")});
  if (name.isEmpty()) return EepromResult::Cancelled;
  return saveTo(name);
}

EepromResult EepromEditor::saveTo(const QString& path) {
  QString why;
  const std::optional<MemoryImage> img = image(&why);
  if (!img) {
    tell(why);
    return EepromResult::Invalid;
  }
  QString error;
  if (!SaveAtomically(path, MemoryFileBytes(*img), &error)) {
    tell(Tr(state_, kCannotSave).arg(path, error));
    return EepromResult::IoError;
  }
  return EepromResult::Ok;
}

EepromResult EepromEditor::load() {
  const QString name = prompter_.openFileName(title(), QString(), {QStringLiteral(" (*.dat)"), QStringLiteral("(*.*)")});
  if (name.isEmpty()) return EepromResult::Cancelled;
  return loadFrom(name);
}

EepromResult EepromEditor::loadFrom(const QString& path) {
  QByteArray bytes;
  QString why;
  if (!ReadInputFile(path, kMaxFileBytes, &bytes, &why)) {
    tell(Tr(state_, kCannotRead).arg(path, why));
    return EepromResult::IoError;
  }
  const MemoryParse parsed = ParseMemoryFile(state_, bytes);
  if (!parsed.image) {
    tell(path + QStringLiteral("\n\n") + parsed.error);
    return EepromResult::Invalid;
  }
  setImage(*parsed.image);
  return EepromResult::Ok;
}

EepromResult EepromEditor::verify() {
  QString why;
  const std::optional<MemoryImage> img = image(&why);
  if (!img) {
    tell(why);
    return EepromResult::Invalid;
  }
  CellBytes cells{};
  if (!exchange([&] { cells = commands_.ReadCells(0, 0, kMemoryCells); })) return EepromResult::Busy;
  // No count after a failed read: " 0 errori" would pass a unit never read.
  if (state_.commError) return EepromResult::CommFailure;
  differences_.clear();
  differenceLines_.clear();
  for (int i = 0; i < kMemoryCells; ++i) {
    if (cells[i] == (*img)[i]) continue;
    differences_.push_back({i, (*img)[i], cells[i]});
    differenceLines_ << MemoryLine(i, ValueOfLine(lines_[i]));
  }
  emit differencesChanged();
  // A clean check is news, not an error.
  prompter_.ask(title(), NumToText(lastErrors()) + Tr(state_, kErrorsSuffix), Buttons::Ok,
                differences_.empty() ? Icon::Information : Icon::Critical);
  return differences_.empty() ? EepromResult::Ok : EepromResult::Differs;
}

EepromResult EepromEditor::readOne() {
  QString why;
  const std::optional<SingleCells> place = CheckPlace(state_, fields, &why);
  if (!place) {
    tell(why);
    return EepromResult::Invalid;
  }
  const int n = CellsOf(place->format);
  CellBytes cells{};
  if (!exchange([&] { cells = commands_.ReadCells(place->bank, place->address, n); })) return EepromResult::Busy;
  if (state_.commError) return EepromResult::CommFailure;
  const std::array<uint8_t, 3> b = {cells[0], n > 1 ? cells[1] : uint8_t(0), n > 2 ? cells[2] : uint8_t(0)};
  fields.value = SingleValueText(place->format, b);
  fields.a = QString::number(b[0]);
  fields.b = QString::number(b[1]);
  fields.c = QString::number(b[2]);
  emit fieldsChanged();
  return EepromResult::Ok;
}

EepromResult EepromEditor::writeOne() {
  QString why;
  const std::optional<SingleCells> cells = CheckWrite(state_, fields, &why);
  if (!cells) {
    tell(why + QStringLiteral("\n\n") + Tr(state_, kNothingWritten));
    return EepromResult::Invalid;
  }
  const int n = CellsOf(cells->format);
  // The fields show the bytes that go out, and the value they make.
  fields.a = QString::number(cells->bytes[0]);
  fields.b = QString::number(n > 1 ? cells->bytes[1] : 0);
  fields.c = QString::number(n > 2 ? cells->bytes[2] : 0);
  if (!fields.fromValue) fields.value = SingleValueText(cells->format, cells->bytes);
  emit fieldsChanged();

  EepromResult result = EepromResult::Ok;
  std::vector<CellDifference> diffs;
  const bool ran = exchangeWrite([&] {
    if (!saveBeforeWrite(cells->bank, cells->address, n, &result)) return;
    const DeviceCommands::WriteInHand inHand(commands_);
    WriteList& list = state_.writeList;
    list.reset();
    for (int i = 0; i < n; ++i) list.push(static_cast<uint8_t>(cells->address + i), cells->bytes[i]);
    commands_.WriteCells(cells->bank, n);
    if (state_.commError) {
      result = EepromResult::CommFailure;
      return;
    }
    const CellBytes back = commands_.ReadCells(cells->bank, cells->address, n);
    if (state_.commError) {
      result = EepromResult::CommFailure;
      return;
    }
    for (int i = 0; i < n; ++i)
      if (back[i] != cells->bytes[i]) diffs.push_back({cells->address + i, cells->bytes[i], back[i]});
    if (cells->bank == 0) FollowFingerprint(commands_, savedEntry_);
  });
  if (!ran) return EepromResult::Busy;
  if (result != EepromResult::Ok) return result;
  if (diffs.empty()) return EepromResult::Ok;
  differences_ = diffs;
  tell(Tr(state_, kNotWritten).arg(diffs.size()).arg(DifferenceList(diffs)));
  return EepromResult::Differs;
}

} // namespace pv
