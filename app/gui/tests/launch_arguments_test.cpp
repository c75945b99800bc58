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

}  // namespace
}  // namespace thp::gui
