#pragma once
// The language of the tools without windows, chosen as other command-line
// programs choose theirs: from the locale in the environment.
#include <QString>

namespace pv {

// 0 (Italian) or 1 (English), the language indexes of the string table.
// The locale is LC_ALL, else LC_MESSAGES, else LANG; "C", "POSIX" or none
// is English. Otherwise LANGUAGE, a list such as "it:en", decides when set,
// else the locale: a name that starts with "it" is Italian, any other English.
int LanguageIndexForLocale(const QString& language, const QString& lcAll, const QString& lcMessages,
                           const QString& lang);

// The same, read from this process's environment.
int LanguageIndexFromEnvironment();

} // namespace pv
