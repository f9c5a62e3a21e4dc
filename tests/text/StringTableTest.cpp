#include "text/StringTable.h"

#include <gtest/gtest.h>

using namespace pv;

TEST(StringTable, LanguagePairsAndExactTexts) {
  EXPECT_EQ(LoadText(38), "Apri Com");
  EXPECT_EQ(LoadText(338), "Open Com");
  EXPECT_EQ(LoadText(68 + 300), "Communication error");
  EXPECT_EQ(LoadText(56), "Controllo Config. ");  // trailing blank kept
  EXPECT_EQ(LoadText(75), QString::fromUtf8("Attenzione: il file \u00e8 stato salavato con una versione "
                                            "differente del software"));
  EXPECT_EQ(LoadText(69), QString::fromUtf8("Il dispositivo \u00e8 stato sostituito"));
  // Every Italian text 31..83 has its English partner.
  for (int id = 31; id <= 83; ++id) {
    EXPECT_TRUE(FindText(id).has_value()) << id;
    EXPECT_TRUE(FindText(id + 300).has_value()) << id + 300;
  }
}

TEST(StringTable, LanguageOffsetFollowsTextOne) {
  EXPECT_EQ(ComputeLanguageOffset(0), 0);
  EXPECT_EQ(ComputeLanguageOffset(1), 300);
}

TEST(StringTable, BrandBlocks) {
  EXPECT_EQ(LoadText(BrandBase(0) + brand::Company), "Vantrel srl");
  EXPECT_EQ(LoadText(BrandBase(0) + brand::ProductTitle), "PLANOVIX v.2.6");
  EXPECT_EQ(LoadText(1010), "KRV 2210");
  EXPECT_EQ(LoadText(1027), "KRV 2220");
  for (int b = 0; b < 4; ++b)
    for (int k : {0, 1, 2, 3, 4}) EXPECT_TRUE(FindText(BrandBase(b) + k).has_value()) << b << k;
  for (int k = 0; k < 18; ++k) EXPECT_TRUE(FindText(1110 + k).has_value());
  // The fourth brand carries only thirteen model captions.
  EXPECT_TRUE(FindText(1322).has_value());
  EXPECT_FALSE(FindText(1323).has_value());
}

TEST(StringTable, AbsentIdIsReportedNotFatal) {
  EXPECT_FALSE(FindText(30).has_value());
  EXPECT_FALSE(FindText(-5).has_value());
  EXPECT_TRUE(LoadText(99999).contains("99999"));
}
