#include "import/import_run.hpp"

#include <array>
#include <system_error>
#include <vector>

#include "formats/dbf/table.hpp"
#include "formats/error.hpp"
#include "formats/exchange_sections.hpp"
#include "formats/platform.hpp"
#include "formats/staged_file.hpp"
#include "formats/text.hpp"
#include "formats/timetable_tables.hpp"
#include "formats/working_directory.hpp"
#include "formats/xml/exchange_document.hpp"
#include "formats/xml/result_document_writer.hpp"

namespace thp::importer {
namespace {

constexpr const char* kReminder =
    "Deberá Abrir el fichero XML de PLADUNA,\r\ndesde el cual realizó la Importación a Horvalen";
constexpr const char* kMissingInput = "No existe archivo XML o Solución.";

bool fileExists(const std::filesystem::path& file) {
  std::error_code error;
  return !file.empty() && std::filesystem::is_regular_file(file, error);
}

std::optional<std::filesystem::path> solutionTable(const ImportSettings& settings) {
  const std::filesystem::path directory =
      settings.workingDirectory ? *settings.workingDirectory : defaultWorkingDirectory();
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error)) return std::nullopt;
  return findIgnoringCase(directory, tables::kSolucFile);
}

// A timetable table opened exclusively, searchable by one field: the first
// record whose field equals a key exactly. An empty key names no record. The
// values the import takes from a found record are carried by the index.
class Lookup {
 public:
  Lookup(const dbf::Table& table, std::size_t keyField, const std::vector<std::size_t>& valueFields)
      : index_(table, keyField, valueFields) {}

  // A found record carries the value fields, read by their place in valueFields.
  std::optional<dbf::KeyIndex::Found> find(std::string_view key) const {
    if (key.empty()) return std::nullopt;
    return index_.find(key);
  }

 private:
  dbf::KeyIndex index_;
};

// A value as the result document holds it.
std::string utf8(const dbf::KeyIndex::Found& found, std::size_t i) {
  return text::fromCp1252(found.value(i));
}

dbf::Table openTable(const std::filesystem::path& directory, const std::string& fileName) {
  const auto found = findIgnoringCase(directory, fileName);
  return dbf::Table::open(found ? *found : directory / fileName, dbf::Access::Exclusive);
}

// The tables of one import, held exclusively from start to end.
struct ImportTables {
  explicit ImportTables(const std::filesystem::path& solucFile)
      : soluc(dbf::Table::open(solucFile, dbf::Access::Exclusive)),
        grupos(openTable(solucFile.parent_path(), tables::grupost().fileName())),
        profesores(openTable(solucFile.parent_path(), tables::proft().fileName())),
        aulas(openTable(solucFile.parent_path(), tables::aulat().fileName())),
        materias(openTable(solucFile.parent_path(), tables::asignomt().fileName())),
        asignaturas(openTable(solucFile.parent_path(), tables::asigt().fileName())) {}
  dbf::Table soluc, grupos, profesores, aulas, materias, asignaturas;
};

// The SOLUC fields the import reads.
struct SolucFields {
  std::size_t dia, hora, sesiones, codgrupo, asig, tarea, prof, aula;
  explicit SolucFields(const dbf::Table& t)
      : dia(t.field("DIA")),
        hora(t.field("HORA")),
        sesiones(t.field("SESIONES")),
        codgrupo(t.field("CODGRUPO")),
        asig(t.field("ASIG")),
        tarea(t.field("TAREA")),
        prof(t.field("PROF")),
        aula(t.field("AULA")) {}
};

// The fields of the lookup tables, looked up in this order so that a table
// lacking one is reported as ever.
struct LookupFields {
  std::size_t grupoAbrev, materiaCod, profesorAbrev, aulaAbrev, idgrupo, idcurso, idasig, idprof,
      idaula;
  explicit LookupFields(const ImportTables& t)
      : grupoAbrev(t.grupos.field("ABREV")),
        materiaCod(t.materias.field("COD")),
        profesorAbrev(t.profesores.field("ABREV")),
        aulaAbrev(t.aulas.field("ABREV")),
        idgrupo(t.grupos.field("IDGRUPO")),
        idcurso(t.grupos.field("IDCURSO")),
        idasig(t.materias.field("IDASIG")),
        idprof(t.profesores.field("IDPROF")),
        idaula(t.aulas.field("IDAULA")) {}
};

std::string mapTask(std::string_view task) {
  if (task == "LECT") return "LECTIVA";
  if (task == "GUAR") return "GUARDIA";
  return std::string(task);
}

// A header value as the tables would hold it: trimmed, through Windows-1252.
std::string headerValue(const xml::ExchangeDocument& document, std::size_t attribute) {
  return text::fromCp1252(text::toCp1252(text::trim(document.rootAttribute(attribute))));
}

class SolutionWriter {
 public:
  SolutionWriter(ImportTables& t, xml::ResultDocumentWriter& writer, ImportReport& report,
                 char decimalSeparator)
      : t_(t),
        s_(t.soluc),
        f_(t),
        groups_(t.grupos, f_.grupoAbrev, {f_.idgrupo, f_.idcurso}),
        subjects_(t.materias, f_.materiaCod, {f_.idasig}),
        teachers_(t.profesores, f_.profesorAbrev, {f_.idprof}),
        rooms_(t.aulas, f_.aulaAbrev, {f_.idaula}),
        writer_(writer),
        report_(report),
        separator_(decimalSeparator) {}

  void write(std::size_t record) {
    const dbf::Table& soluc = t_.soluc;
    const std::int32_t day = soluc.integer(record, s_.dia);
    if (day == 0 || soluc.number(record, s_.hora, separator_) == 0.0)
      return skip(record, "sin entrada: día u hora 0");

    const std::string_view subjectCode = soluc.rawText(record, s_.asig);
    const auto subject = subjects_.find(subjectCode);
    if (!subject) return skip(record, "sin entrada: la materia no está en ASIGNOMT");
    const std::string_view subjectRaw = subject->value(idasig_);
    const std::string subjectId = text::fromCp1252(subjectRaw);

    std::string group, course, teacher, room;
    if (const auto found = groups_.find(soluc.rawText(record, s_.codgrupo))) {
      group = utf8(*found, idgrupo_);
      course = utf8(*found, idcurso_);
    } else {
      note(record, "entrada sin grupo: el grupo no está en GRUPOST");
    }
    if (const auto found = teachers_.find(soluc.rawText(record, s_.prof)))
      teacher = utf8(*found, idprof_);
    else
      note(record, "entrada sin profesor: el profesor no está en PROFT");
    if (const auto found = rooms_.find(soluc.rawText(record, s_.aula)))
      room = utf8(*found, idaula_);
    else
      note(record, "entrada sin aula: el aula no está en AULAT");

    const std::string task = mapTask(soluc.rawText(record, s_.tarea));
    std::string activity;
    if (const auto found = subjects_.find(task))
      activity = utf8(*found, idasig_);
    else if (text::left(subjectRaw, 4) == task)
      activity = subjectId;
    else
      activity = text::fromCp1252(task);

    const std::string dayText = std::to_string(day);
    const std::string hour = text::fromCp1252(soluc.text(record, s_.hora, separator_));
    const std::string sessions = text::fromCp1252(soluc.text(record, s_.sesiones, separator_));
    const std::array<xml::Attribute, 9> attributes = {{{"casig", subjectId},
                                                       {"cgrupo", group},
                                                       {"cprofe", teacher},
                                                       {"caula", room},
                                                       {"cactiv", activity},
                                                       {"dia", dayText},
                                                       {"hora", hour},
                                                       {"sesiones", sessions},
                                                       {"idcurso", course}}};
    writer_.emptyElement("dsolucion", attributes);
    ++report_.entries;
  }

 private:
  std::string codesOf(std::size_t record) const {
    const dbf::Table& soluc = t_.soluc;
    // A value the run did not need may not read as its type (a skipped
    // record's HORA); the notice then shows it as stored.
    auto part = [&](const char* name, std::size_t field) {
      std::string value;
      try {
        value = soluc.text(record, field, separator_);
      } catch (const Error&) {
        value = soluc.rawText(record, field);
      }
      return std::string(name) + "=" + text::fromCp1252(value);
    };
    return part("DIA", s_.dia) + " " + part("HORA", s_.hora) + " " + part("CODGRUPO", s_.codgrupo) +
           " " + part("ASIG", s_.asig) + " " + part("TAREA", s_.tarea) + " " +
           part("PROF", s_.prof) + " " + part("AULA", s_.aula);
  }
  void note(std::size_t record, std::string message) {
    report_.notices.push_back({record + 1, codesOf(record), std::move(message)});
  }
  void skip(std::size_t record, std::string message) { note(record, std::move(message)); }

  ImportTables& t_;
  SolucFields s_;
  LookupFields f_;
  Lookup groups_, subjects_, teachers_, rooms_;
  // The value fields of each lookup, in the order given to it.
  static constexpr std::size_t idgrupo_ = 0, idcurso_ = 1, idasig_ = 0, idprof_ = 0, idaula_ = 0;
  xml::ResultDocumentWriter& writer_;
  ImportReport& report_;
  char separator_;
};

}  // namespace

std::filesystem::path resultDocumentPath(const std::filesystem::path& exchangeDocument) {
  return exchangeDocument.parent_path() /
         (std::filesystem::path("ResultadoHorval").native() + exchangeDocument.filename().native());
}

ImportResult BImportarClick(DialogState& state, RunUserInterface& ui,
                            const ImportSettings& settings) {
  ImportResult result;
  ui.showMessage(kReminder);
  if (auto chosen = ui.chooseExchangeDocument()) state.FicheroXML = *chosen;
  const auto solucFile = solutionTable(settings);
  if (!fileExists(state.FicheroXML) || !solucFile) {
    ui.showMessage(kMissingInput);
    if (state.ModoIntegrado) {
      state.CodigoResultado = -1;
      ui.closeDialog();
    }
    return result;
  }

  {
    BusyScope busy(ui);
    tables::recoverInterruptedExport(solucFile->parent_path());
    ImportTables tables(*solucFile);
    const auto document =
        xml::ExchangeDocument::read(state.FicheroXML, {}, exchange::headerAttributes());
    namespace h = exchange::header;
    const std::string timestamp =
        settings.exportTimestamp ? *settings.exportTimestamp : platform::localDateTimeNow();
    const std::string codigo = headerValue(document, h::codigo_interno);
    const std::string nombre = headerValue(document, h::nombre);
    const std::string curso = headerValue(document, h::curso);
    const std::string version = headerValue(document, h::version);
    const std::array<xml::Attribute, 5> root = {{{"codigo_interno", codigo},
                                                 {"nombre", nombre},
                                                 {"curso", curso},
                                                 {"fecha_exportacion", timestamp},
                                                 {"version", version}}};

    result.report.resultDocument = resultDocumentPath(state.FicheroXML);
    // With the tables held no other import is writing this result document:
    // what is left of one that was killed goes.
    StagedFile::removeLeftovers(result.report.resultDocument);
    xml::ResultDocumentWriter writer(document, result.report.resultDocument);
    writer.startElement("centro", root);
    writer.startElement("solucion_horario");
    SolutionWriter entries(tables, writer, result.report, settings.decimalSeparator);
    for (std::size_t record = 0; record < tables.soluc.recordCount(); ++record)
      entries.write(record);
    writer.commit();
  }
  state.CodigoResultado = 1;
  result.outcome = RunOutcome::Finished;
  ui.showMessage("Proceso finalizado");
  if (state.ModoIntegrado) ui.closeDialog();
  return result;
}

}  // namespace thp::importer
