#pragma once
// planovix-cli's cell-memory commands, on the same core as the EEPROM window:
//   eeprom read OUT.dat | eeprom write IN.dat | eeprom verify IN.dat
//   peek BANK ADDR byte|int|float | poke BANK ADDR byte|int|float VALUE
// Arguments and memory files are checked before the port is opened, so bad
// input never reaches the unit. "eeprom verify" exits 4 when cells differ.
#include "factory/EepromEditor.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

namespace pv {

class DeviceLink;
class Prompter;

constexpr int kExitDiffer = 4;

bool IsEepromCommand(const QString& command);
QString EepromHelpText();

// A command checked and its input file read.
struct EepromJob {
  QString command;     // "eeprom", "peek" or "poke"
  QString sub;         // "read", "write" or "verify" for "eeprom"
  QString path;        // the memory file
  MemoryImage image{};  // the file's cells (write, verify)
  SingleFields fields;  // bank, address, format and value (peek, poke)
};

// Nothing, with the reason on err and the exit code in *code, when the
// arguments or the file are bad.
std::optional<EepromJob> PrepareEepromCommand(const QString& command, const QStringList& args,
                                              QTextStream& err, int* code);

// Runs inside the command's exchange on the link.
int RunEepromCommand(const EepromJob& job, AppState& state, DeviceCommands& commands, DeviceLink& link,
                     Prompter& prompter, bool json, QTextStream& out, QTextStream& err);

} // namespace pv
