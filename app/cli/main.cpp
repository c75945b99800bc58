// transhorval: the export and the import from the command line, for scripts,
// batches and tests.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/command_line.hpp"
#include "export/export_run.hpp"
#include "formats/error.hpp"
#include "formats/exchange_sections.hpp"
#include "formats/numbers.hpp"
#include "formats/platform.hpp"
#include "import/import_run.hpp"

namespace {

using namespace thp;

// The runs' user interface on a terminal: the document comes from the
// arguments, messages go to standard output.
class ConsoleInterface : public RunUserInterface {
 public:
  explicit ConsoleInterface(std::filesystem::path document) : document_(std::move(document)) {}
  std::optional<std::filesystem::path> chooseExchangeDocument() override { return document_; }
  void showMessage(std::string_view message) override {
    if (quietReminder_ && message.find("Deberá Abrir") == 0) return;
    std::cout << message << '\n';
  }
  void setBusy(bool) override {}
  void closeDialog() override {}
  void hideReminder() { quietReminder_ = true; }

 private:
  std::filesystem::path document_;
  bool quietReminder_ = false;
};

void printExportReport(const exporter::ExportReport& report) {
  static constexpr const char* kNames[] = {"ASIGNOMT", "PROFT",      "AULAT",
                                           "GRUPOST",  "DIASHORAST", "ASIGT"};
  std::cout << "Registros escritos:\n";
  for (std::size_t t = 0; t < exporter::kTableCount; ++t)
    std::cout << "  " << kNames[t] << ": " << report.records[t] << '\n';
  if (report.notices.empty()) return;
  std::cout << "Elementos sin registro o con otro código (" << report.notices.size() << "):\n";
  for (const auto& notice : report.notices)
    std::cout << "  " << exchange::sectionName(notice.section) << " n.º " << notice.position << " '"
              << notice.identifier << "': " << notice.message << '\n';
}

void printImportReport(const importer::ImportReport& report) {
  std::cout << "Documento de resultado: " << platform::displayPath(report.resultDocument) << '\n'
            << "Entradas escritas: " << report.entries << '\n';
  if (report.notices.empty()) return;
  std::cout << "Registros de SOLUC sin entrada o con códigos no encontrados ("
            << report.notices.size() << "):\n";
  for (const auto& notice : report.notices)
    std::cout << "  registro " << notice.record << " (" << notice.codes << "): " << notice.message
              << '\n';
}

int run(const cli::Invocation& invocation) {
  ConsoleInterface ui(invocation.document);
  DialogState state;
  const char separator = numbers::localeDecimalSeparator();
  switch (invocation.command) {
    case cli::Command::Help:
      std::cout << cli::usageText();
      return cli::kExitDone;
    case cli::Command::Version:
      std::cout << "transhorval " << THP_VERSION << '\n';
      return cli::kExitDone;
    case cli::Command::Export:
    case cli::Command::Check: {
      exporter::ExportSettings settings;
      settings.workingDirectory = invocation.directory;
      settings.decimalSeparator = separator;
      settings.checkOnly = invocation.command == cli::Command::Check;
      const auto result = exporter::BExportarClick(state, ui, settings);
      if (result.outcome == RunOutcome::MissingInput) return cli::kExitMissingInput;
      printExportReport(result.report);
      return cli::kExitDone;
    }
    case cli::Command::Import: {
      importer::ImportSettings settings;
      settings.workingDirectory = invocation.directory;
      settings.decimalSeparator = separator;
      ui.hideReminder();  // the document is named on the command line
      const auto result = importer::BImportarClick(state, ui, settings);
      if (result.outcome == RunOutcome::MissingInput) return cli::kExitMissingInput;
      printImportReport(result.report);
      return cli::kExitDone;
    }
  }
  return cli::kExitError;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    return run(cli::parseArguments(arguments));
  } catch (const cli::UsageError& error) {
    std::cerr << "transhorval: " << error.message << "\n\n" << cli::usageText();
    return cli::kExitUsage;
  } catch (const thp::Error& error) {
    std::cerr << error.what() << '\n';
    return cli::kExitError;
  } catch (const std::exception& error) {
    std::cerr << "Error interno: " << error.what() << '\n';
    return cli::kExitError;
  } catch (...) {
    std::cerr << "Error interno\n";
    return cli::kExitError;
  }
}
