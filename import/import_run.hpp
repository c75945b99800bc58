#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "formats/run_interface.hpp"

namespace thp::importer {

struct ImportSettings {
  // The working directory; the default one when not given.
  std::optional<std::filesystem::path> workingDirectory;
  char decimalSeparator = '.';
  // The value of fecha_exportacion; the current local date and time when not given.
  std::optional<std::string> exportTimestamp;
};

// A SOLUC record that gave no entry, or an entry with a code not found.
struct ImportNotice {
  std::size_t record;   // 1-based, among the table's live records
  std::string codes;    // the record's codes, for the reader to find it (UTF-8)
  std::string message;  // UTF-8, Spanish
};

struct ImportReport {
  std::size_t entries = 0;
  std::filesystem::path resultDocument;
  std::vector<ImportNotice> notices;
};

struct ImportResult {
  RunOutcome outcome = RunOutcome::MissingInput;
  ImportReport report;
};

// The result document's path: "ResultadoHorval" and the exchange document's
// file name, in the exchange document's folder.
std::filesystem::path resultDocumentPath(const std::filesystem::path& exchangeDocument);

// The import run behind the dialog's import button: reminds the user which
// document to pick, asks for it, and writes the solution in SOLUC back into a
// result document beside it. A missing document or SOLUC is reported as
// "No existe archivo XML o Solución.". Errors are thrown as thp::Error; an
// earlier result document then stays as it was.
ImportResult BImportarClick(DialogState& state, RunUserInterface& ui,
                            const ImportSettings& settings);

}  // namespace thp::importer
