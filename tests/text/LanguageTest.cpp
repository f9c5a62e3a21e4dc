// The command-line tools' language from the locale environment.
#include "text/Language.h"

#include <QMap>
#include <gtest/gtest.h>

using namespace pv;

namespace {
constexpr int kItalian = 0, kEnglish = 1;

// An environment as a shell would set it ("LC_ALL=C LANG=it_IT"), unset
// variables left out, and the language it must give.
struct Environment {
  const char* variables;
  int expected;
};

void ExpectLanguages(std::initializer_list<Environment> rows) {
  for (const Environment& e : rows) {
    QMap<QString, QString> env;
    for (const QString& word : QString::fromLatin1(e.variables).split(u' ', Qt::SkipEmptyParts))
      env.insert(word.section(u'=', 0, 0), word.section(u'=', 1));
    EXPECT_EQ(LanguageIndexForLocale(env.value("LANGUAGE"), env.value("LC_ALL"), env.value("LC_MESSAGES"),
                                     env.value("LANG")),
              e.expected)
        << e.variables;
  }
}
} // namespace

TEST(Language, TheLocaleVariablesInTheirOrder) {
  ExpectLanguages({
      {"LANG=it_IT.UTF-8", kItalian},
      {"LANG=it_CH", kItalian},
      {"LANG=en_GB.UTF-8", kEnglish},
      {"LANG=de_DE.UTF-8", kEnglish},
      // LC_MESSAGES before LANG, LC_ALL before both.
      {"LC_MESSAGES=it_IT.UTF-8 LANG=en_US.UTF-8", kItalian},
      {"LC_MESSAGES=en_US.UTF-8 LANG=it_IT.UTF-8", kEnglish},
      {"LC_ALL=en_US.UTF-8 LC_MESSAGES=it_IT.UTF-8 LANG=it_IT.UTF-8", kEnglish},
      {"LC_ALL=it_IT.UTF-8 LC_MESSAGES=en_US.UTF-8 LANG=en_US.UTF-8", kItalian},
  });
}

TEST(Language, NoLocaleOrTheCLocaleIsEnglish) {
  ExpectLanguages({
      {"", kEnglish},
      {"LANG=C", kEnglish},
      {"LC_ALL=C.UTF-8 LANG=it_IT.UTF-8", kEnglish},
      {"LANG=POSIX", kEnglish},
      // LANGUAGE does not reach past the C locale.
      {"LANGUAGE=it LANG=C", kEnglish},
      {"LANGUAGE=it", kEnglish},
  });
}

TEST(Language, LanguageListDecidesForAnyOtherLocale) {
  ExpectLanguages({
      {"LANGUAGE=it:en LANG=en_US.UTF-8", kItalian},
      {"LANGUAGE=en LC_ALL=it_IT.UTF-8", kEnglish},
      {"LANGUAGE=en_GB:it LANG=it_IT.UTF-8", kEnglish},
      // An empty list (or only separators) leaves the locale to decide.
      {"LANGUAGE=: LANG=it_IT.UTF-8", kItalian},
  });
}
