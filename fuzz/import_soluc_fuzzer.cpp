// The import on arbitrary SOLUC bytes, beside valid tables exported from the
// bundled sample. An import either writes a complete result document, which
// reads back with as many entries as the run reports, or fails with a
// thp::Error naming a file and leaves the previous result document as it was.
// Either way it changes no table and leaves no temporary file.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "export/export_run.hpp"
#include "formats/error.hpp"
#include "formats/xml/exchange_document.hpp"
#include "fuzz/fuzz_support.hpp"
#include "import/import_run.hpp"

namespace {

namespace fs = std::filesystem;
using thp::fuzz::broken;

constexpr const char* kTimestamp = "01/09/2026 8:00:00";

struct Workspace {
  fs::path folder = thp::fuzz::scratchDirectory();
  fs::path document = folder / "centro.xml";
  fs::path tables = folder / "HTEMP";
  fs::path soluc = tables / "SOLUC.DBF";
  fs::path result = thp::importer::resultDocumentPath(document);
  std::map<std::string, std::string> exported;
  std::optional<std::string> lastResult;

  Workspace() {
    fs::create_directories(tables);
    fs::copy_file(THP_FUZZ_EXCHANGE_DOCUMENT, document, fs::copy_options::overwrite_existing);
    thp::exporter::ExportSettings settings;
    settings.decimalSeparator = ',';
    thp::exporter::exportTables(thp::exporter::readForExport(document), tables, settings);
    exported = thp::fuzz::snapshot(tables);
  }
};

std::size_t entriesIn(const fs::path& result) {
  const thp::xml::SectionQuery entries{{"centro", "solucion_horario", "dsolucion"}, {"casig"}};
  const auto read = thp::xml::ExchangeDocument::read(result, {entries}, {"fecha_exportacion"});
  if (!read.rootIsCentro() || read.rootAttribute(0) != kTimestamp)
    broken("the result document lacks its root");
  return read.section(0).size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Workspace w;
  thp::fuzz::writeFile(w.soluc, data, size);

  std::optional<thp::importer::ImportResult> result;
  try {
    thp::DialogState state;
    thp::fuzz::SilentInterface ui(w.document);
    thp::importer::ImportSettings settings;
    settings.workingDirectory = w.tables;
    settings.decimalSeparator = ',';
    settings.exportTimestamp = kTimestamp;
    result = thp::importer::BImportarClick(state, ui, settings);
  } catch (const thp::Error& error) {
    if (std::string(error.what()).find(w.folder.string()) == std::string::npos)
      broken(std::string("an error that names no file: ") + error.what());
  }

  auto tables = thp::fuzz::snapshot(w.tables);
  tables.erase("SOLUC.DBF");
  if (tables != w.exported) broken("the import changed the working directory");
  auto folder = thp::fuzz::snapshot(w.folder);
  const bool written = folder.erase(w.result.filename().string()) == 1;
  if (folder.size() != 2) broken("the import left a file beside the result document");

  if (!result) {
    const std::optional<std::string> now =
        written ? std::optional<std::string>(thp::fuzz::readFile(w.result)) : std::nullopt;
    if (now != w.lastResult) broken("a failed import changed the result document");
    return 0;
  }
  if (result->outcome != thp::RunOutcome::Finished) broken("SOLUC was there, yet missing");
  if (!written || entriesIn(w.result) != result->report.entries)
    broken("the result document does not hold the entries the run reported");
  w.lastResult = thp::fuzz::readFile(w.result);
  return 0;
}
