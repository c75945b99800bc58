#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

#include "formats/text.hpp"

namespace thp::text {
namespace {

TEST(TextTest, ConvertsBetweenUtf8AndWindows1252) {
  struct Case {
    std::string utf8;
    std::string cp1252;
  };
  const Case cases[] = {
      {"Miércoles", "Mi\xE9rcoles"},
      {"Sábado ½ €",
       "S\xE1"
       "bado \xBD \x80"},
      {"ñÑüÜšŠœŒžŽÿŸ", "\xF1\xD1\xFC\xDC\x9A\x8A\x9C\x8C\x9E\x8E\xFF\x9F"},
      {"“comillas” – …",
       "\x93"
       "comillas\x94 \x96 \x85"},
      {"", ""},
      {"plain ASCII only", "plain ASCII only"},
      {"IES n.º 1", "IES n.\xBA 1"},  // ASCII up to the last character but two
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toCp1252(c.utf8), c.cp1252) << c.utf8;
    EXPECT_EQ(fromCp1252(c.cp1252), c.utf8) << c.utf8;
  }
}

TEST(TextTest, CharactersTheCodePageLacksBecomeQuestionMarks) {
  EXPECT_EQ(toCp1252("中文 Ω 😀"), "?? ? ?");
  EXPECT_EQ(toCp1252("a\xC3"), "a?");  // truncated sequence
  EXPECT_EQ(toCp1252("\xFF"
                     "b"),
            "?b");  // not UTF-8 at all
  // The five unassigned bytes survive a round trip as C1 controls.
  EXPECT_EQ(toCp1252(fromCp1252("\x81\x8D\x8F\x90\x9D")), "\x81\x8D\x8F\x90\x9D");
}

TEST(TextTest, TrimRemovesCodesUpTo32AtBothEndsOnly) {
  EXPECT_EQ(trim(" \t\r\n\x01 a b \x1F "), "a b");
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(trim("\xA0x\xA0"), "\xA0x\xA0");  // a no-break space is no blank here
  EXPECT_EQ(trimRight("  a  "), "  a");
  EXPECT_EQ(trimRight(std::string("ab\0\0", 4)), "ab");
}

TEST(TextTest, CaseInsensitiveComparisonFoldsAccentedLetters) {
  EXPECT_TRUE(
      equalsIgnoreCaseCp1252("\xE1\xF1\xFC\x9A\x9C\x9E\xFF", "\xC1\xD1\xDC\x8A\x8C\x8E\x9F"));
  EXPECT_TRUE(equalsIgnoreCaseCp1252("2bach", "2BACH"));
  EXPECT_FALSE(equalsIgnoreCaseCp1252("\xF7", "\xD7"));  // ÷ and × are no letters
  EXPECT_FALSE(equalsIgnoreCaseCp1252("\xDF", "SS"));
  EXPECT_FALSE(equalsIgnoreCaseCp1252("a", "a "));

  std::unordered_set<std::string, CaseInsensitiveHash, CaseInsensitiveEqual> codes{"Ana"};
  EXPECT_TRUE(codes.contains(std::string("ANA")));
  EXPECT_TRUE(codes.count("aNa") == 1);
  EXPECT_FALSE(codes.contains(std::string("Ana2")));
}

TEST(TextTest, LowerAsciiLeavesOtherBytes) {
  EXPECT_EQ(lowerAscii("EXPORTAR \xC9"), "exportar \xC9");
}

}  // namespace
}  // namespace thp::text
