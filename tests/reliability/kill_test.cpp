// The command-line tool killed (SIGKILL) at random points of an export and of
// an import of a document of a few megabytes, again and again. After each kill
// and the next start of the tool: every table is byte for byte the old one or
// the new one, the six all of one run, no temporary file or journal is left,
// and the result document is absent, the old one, or complete.
//
// The seed of the random delays is printed; THP_KILL_SEED repeats a run.
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "formats/replacement_journal.hpp"
#include "formats/timetable_tables.hpp"
#include "formats/xml/exchange_document.hpp"
#include "tests/reliability/reliability_support.hpp"

namespace thp::reliability {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kKills = 60;
const SchoolSize kSchool{2000, 800, 300, 400, 30, 30000};
constexpr std::size_t kSolucRecords = 60000;

std::mt19937 randomDelays() {
  std::random_device device;
  const char* given = std::getenv("THP_KILL_SEED");
  const unsigned seed = given != nullptr ? static_cast<unsigned>(std::stoul(given)) : device();
  std::cout << "THP_KILL_SEED=" << seed << '\n';
  return std::mt19937(seed);
}

// A moment of a run, seen from outside: an entry of a directory appearing
// (created or moved there), whose name is `name` or, for a prefix, starts so.
struct Moment {
  std::string name;
  bool prefix = false;
};

// Waits for a moment of a run in one directory.
class Watch {
 public:
  explicit Watch(const fs::path& directory) {
    fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd_ >= 0) inotify_add_watch(fd_, directory.c_str(), IN_CREATE | IN_MOVED_TO);
  }
  ~Watch() {
    if (fd_ >= 0) close(fd_);
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  // Returns once the moment comes, or after `patience` without it (a run that
  // ended before it or failed).
  void waitFor(const Moment& moment, std::chrono::milliseconds patience) {
    const auto end = Clock::now() + patience;
    alignas(inotify_event) char buffer[8192];
    while (fd_ >= 0 && Clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const ssize_t got = read(fd_, buffer, sizeof buffer);
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        const std::string name = event->len > 0 ? event->name : "";
        if (moment.prefix ? name.rfind(moment.name, 0) == 0 : name == moment.name) return;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

 private:
  int fd_ = -1;
};

// One kill: half the time after a random delay of up to a little more than a
// whole run, else right at one of the given moments, picked at random.
Outcome killPartWay(const std::vector<std::string>& arguments, std::mt19937& random,
                    Clock::duration fullRun, const fs::path& watched,
                    const std::vector<Moment>& moments) {
  Watch watch(watched);
  ToolProcess tool(arguments);
  if (std::bernoulli_distribution(0.5)(random)) {
    const auto limit = std::chrono::duration_cast<std::chrono::microseconds>(fullRun * 6 / 5);
    std::this_thread::sleep_for(std::chrono::microseconds(
        std::uniform_int_distribution<long long>(0, limit.count())(random)));
  } else {
    const auto pick = std::uniform_int_distribution<std::size_t>(0, moments.size() - 1)(random);
    watch.waitFor(moments[pick], std::chrono::seconds(60));
  }
  return tool.kill();
}

Clock::duration timeOf(const std::vector<std::string>& arguments) {
  const auto start = Clock::now();
  const Outcome outcome = runTool(arguments);
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  return Clock::now() - start;
}

Tree tablesIn(const fs::path& directory) {
  Tree tables = snapshot(directory);
  tables.erase("SOLUC.DBF");
  return tables;
}

void copyTables(const fs::path& from, const fs::path& to) {
  for (const auto& entry : fs::directory_iterator(to))
    if (entry.path().filename() != "SOLUC.DBF") fs::remove_all(entry.path());
  for (const auto& name : tables::exportedFileNames()) fs::copy_file(from / name, to / name);
}

class KillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& d : {htemp_, oldTables_, newTables_}) fs::create_directories(d);
    writeFile(oldDocument_, schoolDocument(kSchool, 0));
    writeFile(newDocument_, schoolDocument(kSchool, 1));
    writeSoluc(htemp_ / "SOLUC.DBF", kSchool, kSolucRecords);
    // Both versions of the six tables, made now so that they carry today's
    // date as the killed runs do.
    ASSERT_EQ(runTool({"export", oldDocument_.string(), "--dir", oldTables_.string()}).exitCode, 0);
    ASSERT_EQ(runTool({"export", newDocument_.string(), "--dir", newTables_.string()}).exitCode, 0);
    oldSet_ = snapshot(oldTables_);
    newSet_ = snapshot(newTables_);
    ASSERT_EQ(oldSet_.size(), 6u);
    for (const auto& [name, bytes] : oldSet_)
      ASSERT_TRUE(bytes != newSet_[name]) << name << " is the same in both versions";
  }

  ScratchDir scratch_{"thp-kill"};
  const fs::path folder_ = scratch_.path();
  const fs::path htemp_ = folder_ / "HTEMP";
  const fs::path oldTables_ = folder_ / "antiguas";
  const fs::path newTables_ = folder_ / "nuevas";
  const fs::path oldDocument_ = folder_ / "antiguo.xml";
  const fs::path newDocument_ = folder_ / "nuevo.xml";
  Tree oldSet_, newSet_;
};

TEST_F(KillTest, AKilledExportLeavesTheOldTablesOrTheNewOnes) {
  std::mt19937 random = randomDelays();
  const std::vector<std::string> exportNew = {"export", newDocument_.string(), "--dir",
                                              htemp_.string()};
  const auto fullRun = timeOf(exportNew);
  // The journal being written, the journal in place, a table moved aside.
  std::vector<Moment> exportMoments = {{std::string(journal::kJournalName) + ".thp-", true},
                                       {journal::kJournalName}};
  for (const auto& name : tables::exportedFileNames())
    exportMoments.push_back({name + ".thp-previous.tmp"});
  std::map<std::string, int> seen;
  for (int kill = 0; kill < kKills; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    copyTables(oldTables_, htemp_);
    const Outcome outcome = killPartWay(exportNew, random, fullRun, htemp_, exportMoments);
    const bool journalLeft = fs::exists(htemp_ / journal::kJournalName);

    // The next start of the tool: the recovery every run begins with, either
    // called as the tool calls it or through a real run that only reads.
    if (kill % 2 == 0) {
      tables::recoverInterruptedExport(htemp_);
    } else {
      const Outcome next = runTool({"import", oldDocument_.string(), "--dir", htemp_.string()});
      ASSERT_EQ(next.exitCode, 0) << next.err;
      fs::remove(folder_ / "ResultadoHorvalantiguo.xml");
    }

    const Tree after = tablesIn(htemp_);
    ASSERT_EQ(leftovers(after), std::vector<std::string>{});
    const bool isOld = after == oldSet_;
    const bool isNew = after == newSet_;
    if (!isOld && !isNew) {
      for (const auto& [name, bytes] : after)
        ADD_FAILURE() << name << ": "
                      << (bytes == oldSet_[name]   ? "old"
                          : bytes == newSet_[name] ? "new"
                                                   : "neither");
      FAIL() << "the tables are not one run's set";
    }
    ++seen[std::string(isNew ? "new" : "old") + (journalLeft ? ", journal completed" : "") +
           (outcome.signal == SIGKILL ? "" : ", run ended first")];
    count("export kills survived");
  }
  for (const auto& [what, n] : seen) std::cout << "  " << n << " kills: " << what << '\n';
}

// The result document with its export date blanked, which differs by the
// second the run began.
std::string withoutTimestamp(const std::string& xml) {
  static const std::regex stamp("fecha_exportacion=\"[^\"]*\"");
  return std::regex_replace(xml, stamp, "fecha_exportacion=\"\"");
}

TEST_F(KillTest, AKilledImportLeavesNoResultTheOldOneOrACompleteOne) {
  std::mt19937 random = randomDelays();
  copyTables(newTables_, htemp_);
  const Tree tablesBefore = snapshot(htemp_);
  const fs::path result = folder_ / "ResultadoHorvalnuevo.xml";
  const std::vector<std::string> importNew = {"import", newDocument_.string(), "--dir",
                                              htemp_.string()};
  const auto fullRun = timeOf(importNew);
  const std::string complete = withoutTimestamp(readFile(result));
  const std::string earlier = "<?xml version=\"1.0\"?>\n<centro/>\n";  // what an older run left
  // The new result begun, and moved into place.
  const std::vector<Moment> importMoments = {{result.filename().string() + ".thp-", true},
                                             {result.filename().string()}};

  std::map<std::string, int> seen;
  for (int kill = 0; kill < kKills; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    const bool hadEarlier = kill % 2 == 0;
    if (hadEarlier)
      writeFile(result, earlier);
    else
      fs::remove(result);
    const Outcome outcome = killPartWay(importNew, random, fullRun, folder_, importMoments);

    std::string state;
    if (!fs::exists(result)) {
      EXPECT_FALSE(hadEarlier) << "the earlier result document is gone";
      state = "absent";
    } else if (readFile(result) == earlier) {
      EXPECT_TRUE(hadEarlier);
      state = "the earlier one";
    } else {
      // Complete: what an uninterrupted run writes, and readable to its end.
      ASSERT_EQ(withoutTimestamp(readFile(result)), complete);
      const xml::SectionQuery entries{{"centro", "solucion_horario", "dsolucion"}, {"casig"}};
      EXPECT_EQ(xml::ExchangeDocument::read(result, {entries}, {}).section(0).size(),
                kSolucRecords);
      state = "complete";
    }
    EXPECT_EQ(snapshot(htemp_), tablesBefore) << "an import changed the working directory";

    // The next run finds no temporary file of the killed one once it is done.
    const Outcome next = runTool(importNew);
    ASSERT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(leftovers(snapshot(folder_)), std::vector<std::string>{});
    ++seen[state + (outcome.signal == SIGKILL ? "" : ", run ended first")];
    count("import kills survived");
  }
  for (const auto& [what, n] : seen) std::cout << "  " << n << " kills: " << what << '\n';
}

}  // namespace
}  // namespace thp::reliability
