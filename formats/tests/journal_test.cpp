// Replacing several files as one step, and finishing a replacement that a
// killed run left half done.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include "formats/error.hpp"
#include "formats/replacement_journal.hpp"
#include "tests/support/scratch_dir.hpp"

namespace thp::journal {
namespace {

namespace fs = std::filesystem;

class JournalTest : public ::testing::Test {
 protected:
  void put(const std::string& name, const std::string& content) {
    testsupport::writeFile(dir_ / name, content);
  }
  std::string get(const std::string& name) { return testsupport::readFile(dir_ / name); }
  std::set<std::string> names() {
    const auto entries = testsupport::entriesOf(dir_);
    return {entries.begin(), entries.end()};
  }
  void journal(const std::string& text) { put(kJournalName, text); }

  testsupport::ScratchDir scratch_;
  const fs::path& dir_ = scratch_.path();
};

const std::vector<std::string> kNames = {"A.DBF", "B.DBF", "C.DBF"};

TEST_F(JournalTest, ReplacesAllAndLeavesNoJournal) {
  put("A.DBF", "old a");
  put("A.DBF.thp-1.tmp", "new a");
  put("B.DBF.thp-2.tmp", "new b");
  replaceTogether(dir_, {{dir_ / "A.DBF.thp-1.tmp", dir_ / "A.DBF"},
                         {dir_ / "B.DBF.thp-2.tmp", dir_ / "B.DBF"}});
  EXPECT_EQ(names(), (std::set<std::string>{"A.DBF", "B.DBF"}));
  EXPECT_EQ(get("A.DBF"), "new a");
  EXPECT_EQ(get("B.DBF"), "new b");
}

TEST_F(JournalTest, AFailedReplacementPutsEveryFileBack) {
  put("A.DBF", "old a");
  put("A.DBF.thp-1.tmp", "new a");
  put("B.DBF.thp-2.tmp", "new b");
  put("C.DBF", "old c");
  put("C.DBF.thp-3.tmp", "new c");
  fs::create_directories(dir_ / "D.DBF" / "in-the-way");
  put("D.DBF.thp-4.tmp", "new d");
  EXPECT_THROW(replaceTogether(dir_, {{dir_ / "A.DBF.thp-1.tmp", dir_ / "A.DBF"},
                                      {dir_ / "B.DBF.thp-2.tmp", dir_ / "B.DBF"},
                                      {dir_ / "C.DBF.thp-3.tmp", dir_ / "C.DBF"},
                                      {dir_ / "D.DBF.thp-4.tmp", dir_ / "D.DBF"}}),
               Error);
  EXPECT_EQ(names(), (std::set<std::string>{"A.DBF", "C.DBF", "D.DBF"}));
  EXPECT_EQ(get("A.DBF"), "old a");
  EXPECT_EQ(get("C.DBF"), "old c");
}

TEST_F(JournalTest, AForwardJournalIsCompleted) {
  // Killed while replacing: A moved aside, B not yet touched, C already new.
  put("A.DBF.thp-previous.tmp", "old a");
  put("A.DBF.thp-1.tmp", "new a");
  put("B.DBF", "old b");
  put("B.DBF.thp-2.tmp", "new b");
  put("C.DBF", "new c");
  journal(
      "forward\n1\tA.DBF.thp-1.tmp\tA.DBF\n1\tB.DBF.thp-2.tmp\tB.DBF\n0\tC.DBF.thp-3.tmp\tC.DBF\n");
  recover(dir_, kNames);
  EXPECT_EQ(names(), (std::set<std::string>{"A.DBF", "B.DBF", "C.DBF"}));
  EXPECT_EQ(get("A.DBF") + get("B.DBF") + get("C.DBF"), "new anew bnew c");
}

TEST_F(JournalTest, ABackwardJournalIsUndone) {
  // Killed while undoing a failed replacement: A new with its old aside, B
  // untouched, C new where there was none before.
  put("A.DBF", "new a");
  put("A.DBF.thp-previous.tmp", "old a");
  put("B.DBF", "old b");
  put("B.DBF.thp-2.tmp", "new b");
  put("C.DBF", "new c");
  journal(
      "backward\n1\tA.DBF.thp-1.tmp\tA.DBF\n1\tB.DBF.thp-2.tmp\tB.DBF\n0\tC.DBF.thp-3.tmp\tC."
      "DBF\n");
  recover(dir_, kNames);
  EXPECT_EQ(names(), (std::set<std::string>{"A.DBF", "B.DBF"}));
  EXPECT_EQ(get("A.DBF") + get("B.DBF"), "old aold b");
}

TEST_F(JournalTest, StrayTemporaryFilesOfTheTablesGoOthersStay) {
  put("A.DBF", "a");
  put("A.DBF.thp-99-1.tmp", "staged");
  put("b.dbf.thp-98-2.tmp", "staged, other case");
  put("TRANSHORVAL.JNL.thp-5-1.tmp", "half a journal");
  put("OTHER.DBF.thp-1-1.tmp", "not ours");
  put("A.DBF.bak", "kept");
  recover(dir_, kNames);
  EXPECT_EQ(names(), (std::set<std::string>{"A.DBF", "OTHER.DBF.thp-1-1.tmp", "A.DBF.bak"}));
}

TEST_F(JournalTest, ADamagedJournalIsAnErrorAndChangesNothing) {
  for (const char* text : {"", "sideways\n", "forward\n2\ta\tb\n", "forward\n1\t../x\tA.DBF\n",
                           "forward\n1\tA.tmp\n"}) {
    journal(text);
    put("A.DBF", "a");
    EXPECT_THROW(recover(dir_, kNames), Error) << text;
    EXPECT_EQ(get("A.DBF"), "a");
    EXPECT_EQ(get(kJournalName), text);
  }
}

}  // namespace
}  // namespace thp::journal
