#include "text/Numbers.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <clocale>

using namespace pv;

TEST(Numbers, NumToTextPutsBlankBeforeNonNegative) {
  EXPECT_EQ(NumToText(1200), " 1200");
  EXPECT_EQ(NumToText(-200), "-200");
  EXPECT_EQ(NumToText(0), " 0");
  EXPECT_EQ(NumToText(0.5), " 0.5");
  EXPECT_EQ(NumToText(4), " 4");
  EXPECT_EQ(NumToText(0.1 + 0.2), " 0.3");
  EXPECT_EQ(NumToText(-0.0), " 0");
  EXPECT_EQ(NumToText(5.877e-39), " 5.877e-39");
}

TEST(Numbers, ExactTextReadsBackAsTheSameNumber) {
  EXPECT_EQ(NumToExactText(1200), " 1200");
  EXPECT_EQ(NumToExactText(-0.5), "-0.5");
  EXPECT_EQ(NumToExactText(-0.0), " 0");
  EXPECT_EQ(NumToExactText(0.1 + 0.2), " 0.30000000000000004");
  EXPECT_EQ(NumToExactText(1.2345678e-8), " 0.000000012345678");  // NumToText: " 0.00000001234568"
  EXPECT_EQ(NumToExactText(3e-12), " 3e-12");
  EXPECT_EQ(NumToExactText(1e300), " 1e+300");
  for (double v : {1.2345678e-8, 0.1 + 0.2, 4.4555664062500004e-4, 1.9e-10, -7.25e-200, 1.6602069666338596e20,
                   4.9406564584124654e-324, 123456.78901234567})
    EXPECT_EQ(ParseLeadingNumber(NumToExactText(v)), v) << NumToExactText(v).toStdString();
}

TEST(Numbers, LeadingNumberRule) {
  EXPECT_EQ(ParseLeadingNumber("12abc"), 12);
  EXPECT_EQ(ParseLeadingNumber(""), 0);
  EXPECT_EQ(ParseLeadingNumber("abc"), 0);
  EXPECT_EQ(ParseLeadingNumber(" -1.5e2x"), -150);
  EXPECT_EQ(ParseLeadingNumber("1,5"), 1);
  EXPECT_EQ(ParseLeadingNumber("1e"), 1);
  EXPECT_EQ(ParseLeadingNumber(".5"), 0.5);
  EXPECT_EQ(ParseLeadingNumber("-"), 0);
  EXPECT_EQ(ParseLeadingNumber("1e999"), 0);  // not finite: treated as no number
}

TEST(Numbers, WholeNumberOrNothing) {
  EXPECT_EQ(ParseWholeNumber(" 800 "), 800);
  EXPECT_EQ(ParseWholeNumber("-1.5e2"), -150);
  EXPECT_EQ(ParseWholeNumber(".5"), 0.5);
  for (const char* t : {"", "  ", "abc", "12abc", "1,5", "1.000,5", "-", "1e", "1e999", "inf", "nan", "0x10"})
    EXPECT_FALSE(ParseWholeNumber(QString::fromLatin1(t)).has_value()) << t;
}

TEST(Numbers, FormatPatterns) {
  EXPECT_EQ(FormatNumber(12.5, "#0.###"), "12.5");
  EXPECT_EQ(FormatNumber(12, "#0.###"), "12");
  EXPECT_EQ(FormatNumber(0.1234, "#0.###"), "0.123");
  EXPECT_EQ(FormatNumber(-1, "#0.0"), "-1.0");
  EXPECT_EQ(FormatNumber(1.5, "00.000"), "01.500");
  EXPECT_EQ(FormatNumber(2.675, "0.00"), "2.68");
  EXPECT_EQ(FormatNumber(-0.04, "#0.0"), "0.0");
  EXPECT_EQ(FormatNumber(1234.5, "0"), "1235");
}

TEST(Numbers, RoundHalfEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(2.6), 3);
  EXPECT_DOUBLE_EQ(RoundHalfEven(0.125, 2), 0.12);
  EXPECT_DOUBLE_EQ(RoundHalfEven(0.135, 2), 0.14);
}

TEST(Numbers, IndependentOfItalianLocale) {
  QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
  std::setlocale(LC_NUMERIC, "it_IT.UTF-8");
  EXPECT_EQ(ParseLeadingNumber("12.5"), 12.5);
  EXPECT_EQ(NumToText(12.5), " 12.5");
  EXPECT_EQ(FormatNumber(12.5, "#0.0"), "12.5");
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
}
