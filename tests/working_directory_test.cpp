#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "formats/error.hpp"
#include "formats/working_directory.hpp"

namespace thp {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(WorkingDirectoryTest, OverrideThenWinePrefixThenHome) {
  {
    ScopedEnv htemp("TRANSHORVAL_HTEMP", "/srv/htemp");
    ScopedEnv wine("WINEPREFIX", "/opt/wine");
    EXPECT_EQ(defaultWorkingDirectory(), fs::path("/srv/htemp"));
  }
  ScopedEnv htemp("TRANSHORVAL_HTEMP", nullptr);
  {
    ScopedEnv wine("WINEPREFIX", "/opt/wine");
    EXPECT_EQ(defaultWorkingDirectory(), fs::path("/opt/wine/drive_c/HTEMP"));
  }
  ScopedEnv wine("WINEPREFIX", nullptr);
  ScopedEnv home("HOME", "/home/secretaria");
  EXPECT_EQ(defaultWorkingDirectory(), fs::path("/home/secretaria/.wine/drive_c/HTEMP"));
}

TEST(WorkingDirectoryTest, MissingDirectoryIsAnErrorAndIsNotCreated) {
  const fs::path missing = fs::temp_directory_path() / "thp-no-such-htemp";
  EXPECT_THROW(requireWorkingDirectory(missing), Error);
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(requireWorkingDirectory(fs::temp_directory_path()), fs::temp_directory_path());
}

TEST(WorkingDirectoryTest, FindsTablesWhateverTheirLetterCase) {
  const fs::path dir =
      fs::temp_directory_path() / ("thp-case-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir / "proft.dbf");  // a directory of that name is no table
  std::ofstream(dir / "soluc.dbf") << "x";
  std::ofstream(dir / "GRUPOST.DBF") << "x";
  EXPECT_EQ(findIgnoringCase(dir, "SOLUC.DBF"), dir / "soluc.dbf");
  EXPECT_EQ(findIgnoringCase(dir, "GRUPOST.DBF"), dir / "GRUPOST.DBF");
  EXPECT_EQ(findIgnoringCase(dir, "PROFT.DBF"), std::nullopt);
  EXPECT_EQ(findIgnoringCase(dir, "AULAT.DBF"), std::nullopt);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace thp
