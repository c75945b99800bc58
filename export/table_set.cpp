#include "export/table_set.hpp"

#include <system_error>
#include <vector>

#include "formats/error.hpp"
#include "formats/platform.hpp"
#include "formats/replacement_journal.hpp"
#include "formats/text.hpp"
#include "formats/timetable_tables.hpp"
#include "formats/working_directory.hpp"

namespace thp::exporter {
namespace {

// Entries of directory whose names equal name without regard to ASCII case
// and are not the same file as target (other spellings on case-sensitive
// file systems).
std::vector<std::filesystem::path> otherSpellings(const std::filesystem::path& directory,
                                                  const std::string& name,
                                                  const std::filesystem::path& target) {
  std::vector<std::filesystem::path> found;
  std::error_code error;
  const std::string wanted = text::lowerAscii(name);
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    if (text::lowerAscii(it->path().filename().string()) != wanted) continue;
    std::error_code same;
    if (std::filesystem::equivalent(it->path(), target, same)) continue;
    found.push_back(it->path());
  }
  return found;
}

void removeAllSpellings(const std::filesystem::path& directory, const std::string& name) {
  const std::filesystem::path exact = directory / name;
  std::error_code ignored;
  for (const auto& other : otherSpellings(directory, name, exact))
    std::filesystem::remove(other, ignored);
  std::filesystem::remove(exact, ignored);
}

}  // namespace

const dbf::TableLayout& layoutOf(TableId table) {
  switch (table) {
    case kAsignomt:
      return tables::asignomt();
    case kProft:
      return tables::proft();
    case kAulat:
      return tables::aulat();
    case kGrupost:
      return tables::grupost();
    case kDiashorast:
      return tables::diashorast();
    default:
      return tables::asigt();
  }
}

TableSet::TableSet(std::filesystem::path directory, std::chrono::year_month_day date)
    : directory_(std::move(directory)), date_(date) {}

TableSet::~TableSet() {
  for (auto& writer : writers_) writer.reset();  // close before the staged files go
}

dbf::TableWriter& TableSet::writer(TableId table) {
  if (!writers_[table]) {
    const auto& layout = layoutOf(table);
    staged_[table].emplace(directory_ / layout.fileName());
    writers_[table] =
        std::make_unique<dbf::TableWriter>(staged_[table]->temporary(), layout, date_,
                                           platform::displayPath(staged_[table]->target()));
  }
  return *writers_[table];
}

void TableSet::finish(TableId table) { writer(table).finish(); }

const std::filesystem::path& TableSet::stagedFile(TableId table) const {
  return staged_[table]->temporary();
}

void TableSet::commit() {
  for (std::size_t t = 0; t < kTableCount; ++t) writer(static_cast<TableId>(t));  // all exist

  // Hold every current table, so none is replaced while another program has it.
  std::vector<platform::FileLock> locks;
  for (std::size_t t = 0; t < kTableCount; ++t) {
    const auto& name = layoutOf(static_cast<TableId>(t)).fileName();
    const auto current = findIgnoringCase(directory_, name);
    if (!current) continue;
    auto lock = platform::FileLock::tryAcquire(*current);
    if (!lock)
      throw Error("La tabla " + platform::displayPath(*current) + " está en uso por otro programa");
    locks.push_back(std::move(*lock));
  }

  // Let go before moving them: on Windows a file held open cannot be moved, not
  // even by its holder. A program that takes a table meanwhile makes the move
  // fail, which puts every table back.
  locks.clear();

  std::vector<journal::Replacement> replacements;
  for (auto& staged : staged_) replacements.push_back({staged->temporary(), staged->target()});
  journal::replaceTogether(directory_, replacements);
  for (auto& staged : staged_) staged->release();

  for (std::size_t t = 0; t < kTableCount; ++t) {
    const auto& name = layoutOf(static_cast<TableId>(t)).fileName();
    std::error_code ignored;
    for (const auto& other : otherSpellings(directory_, name, staged_[t]->target()))
      std::filesystem::remove(other, ignored);
  }
  for (std::size_t t = 0; t < kTableCount; ++t) {
    const auto id = static_cast<TableId>(t);
    if (id == kDiashorast) continue;  // its index file is not the export's to remove
    removeAllSpellings(directory_, layoutOf(id).name() + ".MDX");
  }
}

}  // namespace thp::exporter
