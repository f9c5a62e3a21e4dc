#pragma once
// The language planovix-cli speaks: the session's (LANG, LC_MESSAGES...),
// through the program's string table. Results (--json, exit codes) never
// change with it.
#include <QString>

namespace pv {

// 0 Italian, 1 English; read from the environment at each call.
int CliLanguageIndex();
// The offset to add to an Italian string table id.
int CliLanguageOffset();
// The text of an Italian id in the tool's language.
QString CliText(int italianId);

// Ids of the tool's own texts.
namespace clitext {
constexpr int Help = 2000;            // the general part of --help
constexpr int SeeHelp = 2001;         // "see --help"
constexpr int NoCommand = 2002;
constexpr int UnknownCommand = 2003;  // %1: the word
constexpr int UnknownOption = 2004;   // %1: the option
constexpr int PortNeedsValue = 2005;
constexpr int PortNeedsPort = 2010;
constexpr int UnitOnlyOptions = 2011; // %1: what they were given to
} // namespace clitext

} // namespace pv
