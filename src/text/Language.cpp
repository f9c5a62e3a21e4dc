#include "Language.h"

#include <QStringList>
#include <QtGlobal>

namespace pv {
namespace {

bool IsItalian(const QString& name) { return name.startsWith(QLatin1String("it")); }

} // namespace

int LanguageIndexForLocale(const QString& language, const QString& lcAll, const QString& lcMessages,
                           const QString& lang) {
  constexpr int kItalian = 0, kEnglish = 1;
  QString locale = lcAll;
  if (locale.isEmpty()) locale = lcMessages;
  if (locale.isEmpty()) locale = lang;
  // The C locale speaks English whatever LANGUAGE says.
  const QString base = locale.section(QLatin1Char('.'), 0, 0);
  if (base.isEmpty() || base == QLatin1String("C") || base == QLatin1String("POSIX")) return kEnglish;
  // The first language of the list wins.
  const QStringList wanted = language.split(QLatin1Char(':'), Qt::SkipEmptyParts);
  const QString& chosen = wanted.isEmpty() ? locale : wanted.first();
  return IsItalian(chosen) ? kItalian : kEnglish;
}

int LanguageIndexFromEnvironment() {
  return LanguageIndexForLocale(qEnvironmentVariable("LANGUAGE"), qEnvironmentVariable("LC_ALL"),
                                qEnvironmentVariable("LC_MESSAGES"), qEnvironmentVariable("LANG"));
}

} // namespace pv
