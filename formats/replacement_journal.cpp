#include "formats/replacement_journal.hpp"

#include <fstream>
#include <sstream>
#include <system_error>

#include "formats/error.hpp"
#include "formats/platform.hpp"
#include "formats/staged_file.hpp"
#include "formats/text.hpp"

namespace thp::journal {
namespace {

namespace fs = std::filesystem;

enum class Direction { Forward, Backward };

struct Entry {
  bool hadPrevious;
  fs::path staged;
  fs::path target;
  fs::path aside() const {
    return target.parent_path() / (target.filename().string() + ".thp-previous.tmp");
  }
};

bool present(const fs::path& file) {
  std::error_code error;
  return fs::exists(fs::symlink_status(file, error));
}

void removeQuietly(const fs::path& file) {
  std::error_code ignored;
  fs::remove(file, ignored);
}

// Writes the journal whole under a temporary name and moves it into place, so
// that it is either absent or complete.
void writeJournal(const fs::path& directory, Direction direction,
                  const std::vector<Entry>& entries) {
  StagedFile file(directory / kJournalName);
  {
    std::ofstream out(file.temporary(), std::ios::binary | std::ios::trunc);
    out << (direction == Direction::Forward ? "forward" : "backward") << '\n';
    for (const auto& e : entries)
      out << (e.hadPrevious ? 1 : 0) << '\t' << e.staged.filename().string() << '\t'
          << e.target.filename().string() << '\n';
    out.flush();
    if (!out)
      throw Error("No se puede escribir en " + platform::displayPath(directory / kJournalName));
  }
  file.commit();
}

std::vector<Entry> readJournal(const fs::path& journal, const fs::path& directory,
                               Direction& direction) {
  std::ifstream in(journal, std::ios::binary);
  const auto damaged = [&journal] {
    return Error("El diario " + platform::displayPath(journal) +
                 " está dañado; revise las tablas de ese directorio");
  };
  std::string line;
  if (!std::getline(in, line)) throw damaged();
  if (line == "forward")
    direction = Direction::Forward;
  else if (line == "backward")
    direction = Direction::Backward;
  else
    throw damaged();
  std::vector<Entry> entries;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string flag, staged, target;
    if (!std::getline(fields, flag, '\t') || !std::getline(fields, staged, '\t') ||
        !std::getline(fields, target) || (flag != "0" && flag != "1") || staged.empty() ||
        target.empty() || fs::path(staged).filename() != fs::path(staged) ||
        fs::path(target).filename() != fs::path(target))
      throw damaged();
    entries.push_back({flag == "1", directory / staged, directory / target});
  }
  return entries;
}

void rollForward(const std::vector<Entry>& entries) {
  for (const auto& e : entries)
    if (present(e.staged)) platform::replaceFile(e.staged, e.target);
  for (const auto& e : entries) removeQuietly(e.aside());
}

void rollBack(const std::vector<Entry>& entries) {
  for (const auto& e : entries) {
    if (present(e.aside()))
      platform::replaceFile(e.aside(), e.target);
    else if (!e.hadPrevious && !present(e.staged))
      removeQuietly(e.target);  // moved in, and there was nothing before it
    removeQuietly(e.staged);
  }
}

void finish(const fs::path& directory) {
  platform::syncDirectory(directory);
  removeQuietly(directory / kJournalName);
  platform::syncDirectory(directory);
}

// Moves a target out of the way of its new version; a failure names the
// target, not the name it was to have meanwhile.
void moveAside(const Entry& e) {
  try {
    platform::replaceFile(e.target, e.aside());
  } catch (const Error& error) {
    const std::string message = error.what();
    const std::string said = "No se puede reemplazar " + platform::displayPath(e.aside());
    if (message.rfind(said, 0) != 0) throw;
    throw Error("No se puede reemplazar " + platform::displayPath(e.target) +
                message.substr(said.size()));
  }
}

}  // namespace

void replaceTogether(const fs::path& directory, const std::vector<Replacement>& replacements) {
  std::vector<Entry> entries;
  for (const auto& r : replacements) {
    std::error_code error;
    entries.push_back({fs::is_regular_file(r.target, error), r.staged, r.target});
    platform::syncFile(r.staged);
  }
  writeJournal(directory, Direction::Forward, entries);

  try {
    for (const auto& e : entries) {
      if (e.hadPrevious) moveAside(e);
      platform::replaceFile(e.staged, e.target);
    }
  } catch (...) {
    // Undo; should this be killed too, the journal says to go on undoing.
    try {
      writeJournal(directory, Direction::Backward, entries);
      rollBack(entries);
      finish(directory);
    } catch (const Error&) {
      // The journal stays and the next run completes the undoing.
    }
    throw;
  }
  platform::syncDirectory(directory);
  for (const auto& e : entries) removeQuietly(e.aside());
  finish(directory);
}

void recover(const fs::path& directory, const std::vector<std::string>& fileNames) {
  const fs::path journal = directory / kJournalName;
  if (present(journal)) {
    Direction direction = Direction::Forward;
    const auto entries = readJournal(journal, directory, direction);
    if (direction == Direction::Forward)
      rollForward(entries);
    else
      rollBack(entries);
    finish(directory);
  }

  // Temporary files of a run killed before it replaced anything.
  std::vector<std::string> prefixes;
  for (const auto& name : fileNames) prefixes.push_back(text::lowerAscii(name) + ".thp-");
  prefixes.push_back(text::lowerAscii(kJournalName) + std::string(".thp-"));
  std::vector<fs::path> strays;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string name = text::lowerAscii(it->path().filename().string());
    if (!StagedFile::isTemporaryName(it->path())) continue;
    for (const auto& prefix : prefixes)
      if (name.rfind(prefix, 0) == 0) {
        strays.push_back(it->path());
        break;
      }
  }
  for (const auto& stray : strays) removeQuietly(stray);
}

}  // namespace thp::journal
