// The exchange document's reader and a whole export on arbitrary documents. An
// export either replaces the six tables by six complete ones, each readable
// with as many records as the run reports, or fails with a thp::Error and
// leaves the working directory exactly as it was: no table changed, no
// temporary file, no journal.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "export/export_run.hpp"
#include "export/table_set.hpp"
#include "formats/dbf/table.hpp"
#include "formats/error.hpp"
#include "formats/timetable_tables.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

namespace fs = std::filesystem;
using thp::fuzz::broken;

struct Workspace {
  fs::path document = thp::fuzz::scratchDirectory() / "centro.xml";
  fs::path tables = thp::fuzz::scratchDirectory() / "HTEMP";
  std::map<std::string, std::string> before;  // the tables the last run left
  Workspace() { fs::create_directories(tables); }
};

void checkReplacedTables(const Workspace& w, const std::map<std::string, std::string>& after,
                         const thp::exporter::ExportReport& report) {
  const auto names = thp::tables::exportedFileNames();
  if (after.size() != names.size()) broken("an export left other files than the six tables");
  for (std::size_t t = 0; t < names.size(); ++t) {
    if (after.count(names[t]) == 0) broken("an export left a table out: " + names[t]);
    const auto table = thp::dbf::Table::open(w.tables / names[t], thp::dbf::Access::Shared);
    if (table.recordCount() != report.records[t])
      broken("a table holds other records than the run reported: " + names[t]);
    const auto& layout = thp::exporter::layoutOf(static_cast<thp::exporter::TableId>(t));
    if (table.fields().size() != layout.fields().size())
      broken("a table has other fields than its layout: " + names[t]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Workspace w;
  thp::fuzz::writeFile(w.document, data, size);
  std::optional<thp::exporter::ExportReport> report;
  try {
    const auto document = thp::exporter::readForExport(w.document);
    thp::exporter::ExportSettings settings;
    settings.workingDirectory = w.tables;
    settings.decimalSeparator = ',';
    report = thp::exporter::exportTables(document, w.tables, settings);
  } catch (const thp::Error& error) {
    if (std::string(error.what()).empty()) broken("an error without a message");
  }
  const auto after = thp::fuzz::snapshot(w.tables);
  if (!report) {
    if (after != w.before) broken("a failed export changed the working directory");
    return 0;
  }
  checkReplacedTables(w, after, *report);
  w.before = after;
  return 0;
}
