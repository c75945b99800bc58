#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/export_report.hpp"
#include "formats/dbf/table_layout.hpp"
#include "formats/dbf/table_writer.hpp"
#include "formats/staged_file.hpp"

namespace thp::exporter {

const dbf::TableLayout& layoutOf(TableId table);

// New versions of the six timetable tables, written beside the current ones
// under temporary names. The current tables stay untouched until commit(),
// which replaces all six together; a set destroyed without commit leaves
// nothing of itself on disk.
class TableSet {
 public:
  TableSet(std::filesystem::path directory, std::chrono::year_month_day date);
  ~TableSet();
  TableSet(const TableSet&) = delete;
  TableSet& operator=(const TableSet&) = delete;

  // The writer of a table; created on first use.
  dbf::TableWriter& writer(TableId table);
  // Completes a table's file so that it can be read back.
  void finish(TableId table);
  // Where a finished table's new version can be read.
  const std::filesystem::path& stagedFile(TableId table) const;

  // Replaces the current tables by the six new ones, and removes the index files
  // that belonged to the old ones (all but DIASHORAST.MDX). Throws thp::Error,
  // with every current table as it was, when one of them is held by another
  // program or cannot be replaced.
  void commit();

  const std::filesystem::path& directory() const { return directory_; }

 private:
  std::filesystem::path directory_;
  std::chrono::year_month_day date_;
  std::array<std::optional<StagedFile>, kTableCount> staged_;
  std::array<std::unique_ptr<dbf::TableWriter>, kTableCount> writers_;
};

}  // namespace thp::exporter
