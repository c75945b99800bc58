#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "record_buffer.hpp"
#include "table_layout.hpp"

namespace thp::dbf {

// Writes a new dBase level 7 table (version byte 0x04, language driver
// DBWINUS0 for Windows-1252, no production index) to the given file, which it
// creates or truncates. Records are buffered; finish() completes the header's
// record count and the end-of-file mark. The caller decides where the file
// goes: normally the temporary file of a StagedFile, in which case its errors
// name the table it will become (`displayName`) rather than the file itself.
class TableWriter {
 public:
  TableWriter(std::filesystem::path file, const TableLayout& layout,
              std::chrono::year_month_day lastUpdate, std::string displayName = {});
  ~TableWriter();
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  // Appends one record; throws thp::Error naming the file when a write fails.
  void append(const RecordBuffer& record);
  // Writes the final header and the end-of-file mark and closes the file.
  void finish();

  std::size_t recordCount() const { return count_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  void flushBuffer();
  void writeAt(long offset, const void* data, std::size_t size);

  std::filesystem::path file_;
  std::string display_;  // the file as messages name it
  const TableLayout* layout_;
  std::chrono::year_month_day lastUpdate_;
  std::FILE* stream_ = nullptr;
  std::vector<char> buffer_;
  std::size_t count_ = 0;
};

// Today's date in local time, as the header's last-update date.
std::chrono::year_month_day today();

}  // namespace thp::dbf
