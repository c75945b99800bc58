#pragma once

// What the hostile-input, fault and kill tests share: the command-line tool
// run as a child process (with a write limit, or killed part-way), the state
// of a directory tree byte for byte, exchange documents and SOLUC tables made
// to measure, and a count of what the tests tried.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/scratch_dir.hpp"

namespace thp::reliability {

using testsupport::readFile;
using testsupport::ScratchDir;
using testsupport::writeFile;

// How a run of the tool ended.
struct Outcome {
  int exitCode = -1;  // -1 when it did not exit by itself
  int signal = 0;     // the signal that ended it, 0 when it exited
  std::string out;
  std::string err;
};

struct RunOptions {
  // RLIMIT_FSIZE for the tool, in bytes: a write beyond it fails with EFBIG
  // (SIGXFSZ ignored), as a full disk makes it fail part-way.
  std::optional<std::uint64_t> writeLimit;
  std::string locale = "C.UTF-8";
};

// A started run of the tool, its standard output and error read through pipes
// (which no write limit touches).
class ToolProcess {
 public:
  explicit ToolProcess(const std::vector<std::string>& arguments, const RunOptions& options = {});
  ~ToolProcess();
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  // Waits for the end of the run.
  Outcome wait();
  // Sends SIGKILL and waits for the end of the run.
  Outcome kill();

 private:
  pid_t pid_ = -1;
  int outFd_ = -1, errFd_ = -1;
};

// Runs the tool to its end.
Outcome runTool(const std::vector<std::string>& arguments, const RunOptions& options = {});

// Every file under a directory by its path relative to it, with its bytes;
// directories appear as "<dir>".
using Tree = std::map<std::string, std::string>;
Tree snapshot(const std::filesystem::path& directory);
// The paths whose content differs between two trees, or that only one has.
std::vector<std::string> differences(const Tree& before, const Tree& after);
// The files of a tree whose names are the tool's temporary or journal files.
std::vector<std::string> leftovers(const Tree& tree);

// A process that holds an exclusive lock on a file, as the timetabling
// program does on a table it has open, until the object goes.
class LockHolder {
 public:
  explicit LockHolder(const std::filesystem::path& file);
  ~LockHolder();
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

 private:
  pid_t pid_ = -1;
  int release_ = -1;  // writing end of the pipe the holder waits on
};

// Marks a file or directory immutable (chattr +i), which stops even root from
// changing it; undone by the destructor. available() is false where the file
// system or the process's capabilities do not allow it.
class Immutable {
 public:
  explicit Immutable(std::filesystem::path path);
  ~Immutable();
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool available() const { return set_; }

 private:
  std::filesystem::path path_;
  bool set_ = false;
};

// The size of a generated school.
struct SchoolSize {
  std::size_t subjects = 6, teachers = 4, rooms = 3, groups = 3, slots = 6, assignments = 10;
};

// An exchange document (UTF-8) with every section, whose codes are all
// distinct and whose `variant` changes names and hours, so that two variants
// export to different tables of the same form.
std::string schoolDocument(const SchoolSize& size, int variant = 0);

// Writes a SOLUC table (level 7, through our own writer) of `records` entries
// naming the groups, subjects, teachers and rooms of schoolDocument(size).
void writeSoluc(const std::filesystem::path& file, const SchoolSize& size, std::size_t records);

// The tool's executable.
std::string toolPath();

// What a group of tests tried, printed at the end of the test program as
// "reliability: <what> <count>" lines.
void count(const std::string& what, std::size_t n = 1);

}  // namespace thp::reliability
