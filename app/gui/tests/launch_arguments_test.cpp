// The command line a calling program passes: which mode, which window, which
// panels.
#include "app/gui/launch_arguments.hpp"

#include <gtest/gtest.h>

#include "formats/error.hpp"

namespace thp::gui {
namespace {

TEST(LaunchArguments, OnlyExactlyTwoArgumentsEmbed) {
  EXPECT_FALSE(readLaunchArguments({}));
  EXPECT_FALSE(readLaunchArguments({"exportar"}));
  EXPECT_FALSE(readLaunchArguments({"exportar", "1A2B", "x"}));
  // With any other count nothing is read, not even a malformed handle.
  EXPECT_FALSE(readLaunchArguments({"exportar", "0x1A2B", "x"}));
  EXPECT_TRUE(readLaunchArguments({"exportar", "1A2B"}));
}

TEST(LaunchArguments, HandleIsBareHexadecimal) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"1A2B", 0x1A2Bu}, {"1a2b", 0x1A2Bu}, {"0", 0u}, {"00000001", 1u}, {"FFFFFFFF", 0xFFFFFFFFu}};
  for (const auto& [argument, window] : cases) {
    const auto embedding = readLaunchArguments({"exportar", argument});
    ASSERT_TRUE(embedding) << argument;
    EXPECT_EQ(embedding->window, window) << argument;
  }
}

TEST(LaunchArguments, AnythingButOneToEightHexDigitsIsRefused) {
  for (const char* argument :
       {"0x1A2B", "", " 1A2B", "1A2B ", "+1A2B", "-1A2B", "$1A2B", "123456789", "1G", "1,5"}) {
    try {
      readLaunchArguments({"exportar", argument});
      ADD_FAILURE() << "accepted '" << argument << "'";
    } catch (const Error& error) {
      EXPECT_EQ(error.what(), "'$" + std::string(argument) + "' no es un valor entero válido");
    }
  }
  try {
    readLaunchArguments({"exportar", QStringLiteral("1Ａ")});  // a full-width letter
    ADD_FAILURE() << "accepted a full-width letter";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "'$1Ａ' no es un valor entero válido");
  }
}

TEST(LaunchArguments, HandlesOutOfRangeOrOfOddCharactersAreRefused) {
  const std::pair<QString, const char*> cases[] = {
      {QStringLiteral("100000000"), "'$100000000' no es un valor entero válido"},  // 2^32
      {QStringLiteral("FFFFFFFFF"), "'$FFFFFFFFF' no es un valor entero válido"},
      {QStringLiteral("000000001"), "'$000000001' no es un valor entero válido"},  // nine digits
      {QStringLiteral("4294967296"), "'$4294967296' no es un valor entero válido"},
      {QStringLiteral("１２"), "'$１２' no es un valor entero válido"},  // full-width digits
      {QStringLiteral("١٢"), "'$١٢' no es un valor entero válido"},      // Arabic-Indic digits
      {QStringLiteral("1²"), "'$1²' no es un valor entero válido"},
      {QStringLiteral("1A2B\t"), "'$1A2B\t' no es un valor entero válido"},
      {QStringLiteral("\u00A01A2B"), "'$\u00A01A2B' no es un valor entero válido"},
      // A NUL would have ended the message before its reason.
      {QStringLiteral("1A") + QChar(u'\0'), "'$1A?' no es un valor entero válido"},
      {QString(100000, QChar(u'F')), nullptr},
  };
  for (const auto& [argument, message] : cases) {
    try {
      readLaunchArguments({"exportar", argument});
      ADD_FAILURE() << "accepted '" << argument.toStdString() << "'";
    } catch (const Error& error) {
      if (message != nullptr)
        EXPECT_STREQ(error.what(), message);
      else
        EXPECT_EQ(error.what(), "'$" + argument.toStdString() + "' no es un valor entero válido");
    }
  }
}

TEST(LaunchArguments, DirectionWordIsLowerCasedAndComparedInFull) {
  const std::pair<const char*, Panels> cases[] = {
      {"exportar", Panels::Export}, {"EXPORTAR", Panels::Export}, {"Importar", Panels::Import},
      {"importar", Panels::Import}, {"otra", Panels::Both},       {"exportar ", Panels::Both},
      {"export", Panels::Both},     {"importarx", Panels::Both},  {"", Panels::Both}};
  for (const auto& [word, panels] : cases) {
    const auto embedding = readLaunchArguments({word, "1A2B"});
    ASSERT_TRUE(embedding) << word;
    EXPECT_EQ(embedding->panels, panels) << '"' << word << '"';
  }
}

// Only the ASCII letters are lower-cased: a word that only looks like a
// direction, or that Unicode case rules would turn into one, keeps both panels.
TEST(LaunchArguments, DirectionWordsOfOddCharactersKeepBothPanels) {
  const QString words[] = {
      QStringLiteral("İMPORTAR"),                 // dotted capital I
      QStringLiteral("ımportar"),                 // dotless small i
      QStringLiteral("ＥＸＰＯＲＴＡＲ"),         // full-width letters
      QStringLiteral("ехрortar"),                 // Cyrillic look-alikes
      QStringLiteral("e\u0301xportar"),           // a combining accent
      QStringLiteral("exportar\u00A0"),           // a no-break space
      QStringLiteral("exportar") + QChar(u'\0'),  // a NUL after the word
      QStringLiteral("importar\n"),
      QStringLiteral("\u200Bimportar"),  // a zero-width space
      QString(100000, QChar(u'x')),
  };
  for (const QString& word : words) {
    const auto embedding = readLaunchArguments({word, "1A2B"});
    ASSERT_TRUE(embedding) << word.toStdString();
    EXPECT_EQ(embedding->panels, Panels::Both) << word.toStdString();
    EXPECT_EQ(embedding->window, 0x1A2Bu);
  }
}

}  // namespace
}  // namespace thp::gui
