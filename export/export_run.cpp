#include "export/export_run.hpp"

#include <random>
#include <system_error>

#include "export/export_context.hpp"
#include "export/table_set.hpp"
#include "formats/error.hpp"
#include "formats/exchange_sections.hpp"
#include "formats/platform.hpp"
#include "formats/text.hpp"
#include "formats/timetable_tables.hpp"
#include "formats/working_directory.hpp"

namespace thp::exporter {
namespace {

bool fileExists(const std::filesystem::path& file) {
  std::error_code error;
  return !file.empty() && std::filesystem::is_regular_file(file, error);
}

// A private directory for a check run, removed with everything in it.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::error_code error;
    const auto base = std::filesystem::temp_directory_path(error);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = base / ("transhorval-check-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_, error)) return;
    }
    throw Error("No se puede crear un directorio temporal en " + platform::displayPath(base));
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A section of a single item writes no record: say so, since it is easily
// taken for a lost element.
void noteLoneItems(const xml::ExchangeDocument& document, ExportReport& report) {
  for (std::size_t s = 0; s < exchange::kSectionCount; ++s) {
    const auto section = static_cast<exchange::Section>(s);
    if (document.section(section).size() == 1)
      report.note(section, 0, std::string(text::trim(document.section(section).value(0, 0))),
                  "sin registro: la sección tiene un solo elemento");
  }
}

}  // namespace

xml::ExchangeDocument readForExport(const std::filesystem::path& document) {
  return xml::ExchangeDocument::read(document, exchange::exportQueries(), {});
}

ExportReport exportTables(const xml::ExchangeDocument& document,
                          const std::filesystem::path& directory, const ExportSettings& settings) {
  if (!settings.checkOnly) tables::recoverInterruptedExport(directory);
  ExportReport report;
  TableSet tables(directory, dbf::today());
  ExportContext context{document, tables, settings.decimalSeparator, report, {}, {}};
  noteLoneItems(document, report);
  ExportarMaterias(context);
  ExportarActividades(context);
  ExportarProfesores(context);
  ExportarAulas(context);
  ExportarGrupos(context);
  ExportarFranjas(context);
  ExportarAsignaturas(context);
  if (!settings.checkOnly) tables.commit();
  return report;
}

ExportResult BExportarClick(DialogState& state, RunUserInterface& ui,
                            const ExportSettings& settings) {
  ExportResult result;
  if (auto chosen = ui.chooseExchangeDocument()) state.FicheroXML = *chosen;
  if (!fileExists(state.FicheroXML)) {
    ui.showMessage("No existe archivo");
    if (state.ModoIntegrado) {
      state.CodigoResultado = -1;
      ui.closeDialog();
    }
    return result;
  }

  const xml::ExchangeDocument document = readForExport(state.FicheroXML);
  {
    BusyScope busy(ui);
    if (settings.checkOnly) {
      ScratchDirectory scratch;
      result.report = exportTables(document, scratch.path(), settings);
    } else {
      result.report =
          exportTables(document, requireWorkingDirectory(settings.workingDirectory), settings);
    }
  }
  state.CodigoResultado = 1;
  result.outcome = RunOutcome::Finished;
  ui.showMessage("Proceso finalizado");
  if (state.ModoIntegrado) ui.closeDialog();
  return result;
}

}  // namespace thp::exporter
