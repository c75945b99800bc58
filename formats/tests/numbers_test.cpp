#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "formats/error.hpp"
#include "formats/numbers.hpp"

namespace thp::numbers {
namespace {

TEST(NumbersTest, IntegersInDecimalOrDollarHexadecimal) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case good[] = {{"0", 0},
                       {"30", 30},
                       {"-7", -7},
                       {"+7", 7},
                       {"  08", 8},
                       {"2147483647", 2147483647},
                       {"-2147483648", INT32_MIN},
                       {"$1A2B", 0x1A2B},
                       {"$ff", 255},
                       {"$FFFFFFFF", -1},
                       {"-$10", -16}};
  for (const auto& c : good) EXPECT_EQ(toInt(c.text), c.value) << c.text;

  const char* bad[] = {"",        " ", "8:",         "1.5", "1,5", "2147483648", "0x1A2B",
                       "$0x1A2B", "$", "$123456789", "12 ", "+",   "1e3"};
  for (const char* text : bad) {
    std::int32_t ignored = 0;
    EXPECT_FALSE(tryToInt(text, ignored)) << text;
  }
}

TEST(NumbersTest, IntegerErrorQuotesTheTextAsUtf8) {
  try {
    toInt("$0x1A2B");
    FAIL();
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "'$0x1A2B' no es un valor entero válido");
  }
  try {
    toInt(
        "d\xED"
        "a");
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "'día' no es un valor entero válido");
  }
}

TEST(NumbersTest, DecimalNumbersUseTheGivenSeparator) {
  EXPECT_DOUBLE_EQ(toDouble("1,5", ','), 1.5);
  EXPECT_DOUBLE_EQ(toDouble(" 20,5 ", ','), 20.5);
  EXPECT_DOUBLE_EQ(toDouble("1.5", '.'), 1.5);
  EXPECT_DOUBLE_EQ(toDouble("-3", ','), -3.0);
  EXPECT_DOUBLE_EQ(toDouble(",5", ','), 0.5);
  EXPECT_DOUBLE_EQ(toDouble("2,", ','), 2.0);
  EXPECT_DOUBLE_EQ(toDouble("1,5E2", ','), 150.0);

  const char* bad[] = {"", "  ", "1.5", "1,5,0", "abc", "1,5x", "e5", "1E", "1e999", ",", "- 1"};
  for (const char* text : bad) {
    try {
      toDouble(text, ',');
      ADD_FAILURE() << text;
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()),
                "'" + std::string(text) + "' no es un valor punto flotante válido");
    }
  }
}

TEST(NumbersTest, FormatsWithSeparatorAndDecimals) {
  EXPECT_EQ(formatFixed(3, 0, ','), "3");
  EXPECT_EQ(formatFixed(2.5, 1, ','), "2,5");
  EXPECT_EQ(formatFixed(-0.25, 2, '.'), "-0.25");
  EXPECT_EQ(formatShortest(1.5, ','), "1,5");
  EXPECT_EQ(formatShortest(13, ','), "13");
  EXPECT_EQ(formatFixed(1e300, 0, '.').size(), 301u);
}

TEST(NumbersTest, FormatsWholeNumbersAsTheGeneralFixedFormDoes) {
  EXPECT_EQ(formatFixed(12, 3, ','), "12,000");
  EXPECT_EQ(formatFixed(-7, 0, '.'), "-7");
  EXPECT_EQ(formatFixed(0, 0, '.'), "0");
  EXPECT_EQ(formatFixed(-0.0, 0, '.'), "-0");
  EXPECT_EQ(formatFixed(-0.0, 2, ','), "-0,00");
  EXPECT_EQ(formatFixed(9007199254740992.0, 1, ','), "9007199254740992,0");  // 2^53
  EXPECT_EQ(formatFixed(1e20, 0, '.'), "100000000000000000000");
  EXPECT_EQ(formatFixed(2.5, 0, '.'), "2");  // to even, as printf rounds
  EXPECT_EQ(formatFixed(3.5, 0, '.'), "4");
  EXPECT_EQ(formatFixed(-1.25, 1, ','), "-1,2");
}

}  // namespace
}  // namespace thp::numbers
