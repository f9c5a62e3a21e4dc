#include "CliLanguage.h"
#include "text/Language.h"
#include "text/StringTable.h"

namespace pv {

int CliLanguageIndex() { return LanguageIndexFromEnvironment(); }

int CliLanguageOffset() { return ComputeLanguageOffset(CliLanguageIndex()); }

QString CliText(int italianId) { return LoadText(italianId + CliLanguageOffset()); }

} // namespace pv
