#pragma once

#include <filesystem>
#include <optional>

#include "export/export_report.hpp"
#include "formats/run_interface.hpp"
#include "formats/xml/exchange_document.hpp"

namespace thp::exporter {

struct ExportSettings {
  // The working directory; the default one when not given.
  std::optional<std::filesystem::path> workingDirectory;
  char decimalSeparator = '.';
  // Do all the work in a scratch directory and replace no table.
  bool checkOnly = false;
};

struct ExportResult {
  RunOutcome outcome = RunOutcome::MissingInput;
  ExportReport report;
};

// Reads the sections the export needs from an exchange document.
xml::ExchangeDocument readForExport(const std::filesystem::path& document);

// Builds the six tables from a loaded document into `directory` and replaces
// the current ones there only when all six are complete (never in a check).
ExportReport exportTables(const xml::ExchangeDocument& document,
                          const std::filesystem::path& directory, const ExportSettings& settings);

// The export run behind the dialog's export button: asks for the exchange
// document, rebuilds the six tables from it and reports "Proceso finalizado".
// A missing document is reported as "No existe archivo". Errors are thrown as
// thp::Error; every table then keeps what it held before the run.
ExportResult BExportarClick(DialogState& state, RunUserInterface& ui,
                            const ExportSettings& settings);

}  // namespace thp::exporter
