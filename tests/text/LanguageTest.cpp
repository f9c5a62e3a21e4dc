// The command-line tools' language from the locale environment.
#include "text/Language.h"

#include <gtest/gtest.h>

using namespace pv;

namespace {
constexpr int kItalian = 0, kEnglish = 1;
}

TEST(Language, TheLocaleVariablesInTheirOrder) {
  EXPECT_EQ(LanguageIndexForLocale("", "", "", "it_IT.UTF-8"), kItalian);
  EXPECT_EQ(LanguageIndexForLocale("", "", "", "it_CH"), kItalian);
  EXPECT_EQ(LanguageIndexForLocale("", "", "", "en_GB.UTF-8"), kEnglish);
  EXPECT_EQ(LanguageIndexForLocale("", "", "", "de_DE.UTF-8"), kEnglish);
  // LC_MESSAGES before LANG, LC_ALL before both.
  EXPECT_EQ(LanguageIndexForLocale("", "", "it_IT.UTF-8", "en_US.UTF-8"), kItalian);
  EXPECT_EQ(LanguageIndexForLocale("", "", "en_US.UTF-8", "it_IT.UTF-8"), kEnglish);
  EXPECT_EQ(LanguageIndexForLocale("", "en_US.UTF-8", "it_IT.UTF-8", "it_IT.UTF-8"), kEnglish);
  EXPECT_EQ(LanguageIndexForLocale("", "it_IT.UTF-8", "en_US.UTF-8", "en_US.UTF-8"), kItalian);
}

TEST(Language, NoLocaleOrTheCLocaleIsEnglish) {
  EXPECT_EQ(LanguageIndexForLocale("", "", "", ""), kEnglish);
  EXPECT_EQ(LanguageIndexForLocale("", "", "", "C"), kEnglish);
  EXPECT_EQ(LanguageIndexForLocale("", "C.UTF-8", "", "it_IT.UTF-8"), kEnglish);
  EXPECT_EQ(LanguageIndexForLocale("", "", "", "POSIX"), kEnglish);
  // LANGUAGE does not reach past the C locale.
  EXPECT_EQ(LanguageIndexForLocale("it", "", "", "C"), kEnglish);
  EXPECT_EQ(LanguageIndexForLocale("it", "", "", ""), kEnglish);
}

TEST(Language, LanguageListDecidesForAnyOtherLocale) {
  EXPECT_EQ(LanguageIndexForLocale("it:en", "", "", "en_US.UTF-8"), kItalian);
  EXPECT_EQ(LanguageIndexForLocale("en", "it_IT.UTF-8", "", ""), kEnglish);
  EXPECT_EQ(LanguageIndexForLocale("en_GB:it", "", "", "it_IT.UTF-8"), kEnglish);
  // An empty list (or only separators) leaves the locale to decide.
  EXPECT_EQ(LanguageIndexForLocale(":", "", "", "it_IT.UTF-8"), kItalian);
}
