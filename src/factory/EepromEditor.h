#pragma once
// The cell-memory editor behind the EEPROM window and the command line's
// eeprom, peek and poke commands.
//
// Memory list: 256 lines, line i for cell i of bank 0, written as
// NumToText(i) + TAB + value (" 12\t52"). The value is the text after the
// last tab.
//
// Memory file: text, one decimal value a line, 256 lines, line i + 1 for
// cell i. Saved with CR LF and no blanks; read with either line ending and
// blanks around a value allowed. Anything else (a short or long file, a
// value outside 0..255, a sign, a fraction, text) is refused naming the
// line, and the list stays as it was.
//
// Single values at any bank and address, lowest address first:
//   Byte   1 cell   the value
//   Int    2 cells  L (low byte), H (high byte); value = H * 256 + L
//   Float  3 cells  Float24: S (sign and exponent), M1, M2
//
// Nothing that would corrupt a unit reaches it: a list line or raw field
// that is not a whole number 0..255, a value its cells cannot hold, a bank
// or address that is not 0..255, or cells past 255 are refused naming the
// line or field, and nothing is sent. Every device action is one exchange
// on the link and does nothing while another runs.
#include "link/DeviceCommands.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace pv {

class DeviceLink;
class Prompter;

constexpr int kMemoryCells = 256;
using MemoryImage = std::array<uint8_t, kMemoryCells>;

enum class EepromFormat { Byte = 0, Int = 1, Float = 2 };
// Cells a value of the format takes: 1, 2 or 3.
int CellsOf(EepromFormat format);
// "byte", "int", "float" (any case).
std::optional<EepromFormat> ParseFormat(const QString& name);

enum class EepromResult {
  Ok,
  Busy,         // another exchange holds the link: nothing was sent
  Invalid,      // refused input (the user was told which line or field)
  Cancelled,    // the user said no, or chose no file
  CommFailure,  // the unit did not answer or took no cell
  Differs,      // verify or a write's read-back found differing cells
  IoError,      // a file could not be read or saved
};

// A whole number 0..255, blanks around it allowed; nothing else.
std::optional<int> ParseCellValue(const QString& text);

// A memory file read strictly. On failure image is empty and error says
// what is wrong and on which line (line is 1-based).
struct MemoryParse {
  std::optional<MemoryImage> image;
  int line = 0;
  QString error;
};
MemoryParse ParseMemoryFile(const AppState& state, const QByteArray& bytes);
QByteArray MemoryFileBytes(const MemoryImage& image);

// One line of the memory list, and the value part of one.
QString MemoryLine(int cell, const QString& value);
QString ValueOfLine(const QString& line);

struct CellDifference {
  int cell;
  int expected;  // the list's or file's value
  int actual;    // the unit's
};

// A single value's place and cells, checked.
struct SingleCells {
  int bank = 0, address = 0;
  EepromFormat format = EepromFormat::Byte;
  std::array<uint8_t, 3> bytes{};  // in address order; CellsOf(format) used
};

// The single-value fields as typed (txt_banco, txt_start, txt_valore,
// txt_valoreA..C), the format (Option2) and the write source (Option1).
struct SingleFields {
  QString bank = QStringLiteral("0");
  QString start = QStringLiteral("0");
  QString value, a = QStringLiteral("0"), b = QStringLiteral("0"), c = QStringLiteral("0");
  EepromFormat format = EepromFormat::Byte;
  bool fromValue = true;  // false: the raw byte fields as typed
};

// Bank and address checked for a read of the format; nothing and the
// reason in *why otherwise.
std::optional<SingleCells> CheckPlace(const AppState& s, const SingleFields& f, QString* why);
// Place and bytes checked for a write; nothing and the reason otherwise.
std::optional<SingleCells> CheckWrite(const AppState& s, const SingleFields& f, QString* why);
// The value text of cells as shown in txt_valore.
QString SingleValueText(EepromFormat format, const std::array<uint8_t, 3>& bytes);

class EepromEditor final : public QObject {
  Q_OBJECT
public:
  // prompter: the one the device commands ask through (the link's).
  EepromEditor(AppState& state, DeviceCommands& commands, DeviceLink& link, Prompter& prompter,
               QObject* parent = nullptr);

  // The memory list (List1) and the difference list (List2).
  const QStringList& lines() const { return lines_; }
  const QStringList& differenceLines() const { return differenceLines_; }
  const std::vector<CellDifference>& differences() const { return differences_; }
  // A line the user edited; it is checked when the list is written.
  void setLine(int cell, const QString& text);
  void setImage(const MemoryImage& image);
  // The list as cells, or nothing with the first bad line in *why.
  std::optional<MemoryImage> image(QString* why = nullptr) const;

  SingleFields fields;

  // "Leggi EEprom": cells 0..255 of bank 0 into the list. A failed read
  // leaves the list as it was.
  EepromResult readAll();
  // "Scrivi EEprom": asks, writes the 256 cells of bank 0, reads them back
  // and names the cells that differ.
  EepromResult writeAll();
  // "Salva su file EEprom.dat" / "Carica da file EEprom.dat": ask for a
  // name, then saveTo / loadFrom.
  EepromResult save();
  EepromResult load();
  EepromResult saveTo(const QString& path);
  EepromResult loadFrom(const QString& path);
  // "Verifica": the unit's bank 0 against the list; Differs when any cell
  // differs. The count is shown as " N errori".
  EepromResult verify();
  int lastErrors() const { return static_cast<int>(differences_.size()); }
  // "Leggi" / "Scrivi": one value at the fields' bank and address. A write
  // is read back.
  EepromResult readOne();
  EepromResult writeOne();

signals:
  void listChanged();
  void differencesChanged();
  void fieldsChanged();

private:
  // Saves the cells a write is about to replace to the record store.
  bool saveBeforeWrite(int bank, int first, int count, EepromResult* result);
  QString title() const;
  void tell(const QString& text);
  // Runs fn as one exchange; false when the link is busy.
  bool exchange(const std::function<void()>& fn, bool readOnly = true);
  bool exchangeWrite(const std::function<void()>& fn) { return exchange(fn, false); }

  AppState& state_;
  DeviceCommands& commands_;
  DeviceLink& link_;
  Prompter& prompter_;
  QStringList lines_;
  QStringList differenceLines_;
  std::vector<CellDifference> differences_;
  qint64 savedEntry_ = 0;  // the record store entry of the write in hand
};

} // namespace pv
