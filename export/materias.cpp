// ASIGNOMT: the catalogue of subjects and activities. One procedure, two passes:
// the subjects first, then the activities, against the same two registries.
#include "export/export_context.hpp"
#include "formats/exchange_sections.hpp"
#include "formats/timetable_tables.hpp"

namespace thp::exporter {
namespace {

namespace a = exchange::materia;

enum class Pass { Subjects, Activities };

struct Fields {
  std::size_t cod, codlargo, nombre, codtarea, estarea, idasig;
  explicit Fields(const dbf::TableLayout& l)
      : cod(l.indexOf("COD")),
        codlargo(l.indexOf("CODLARGO")),
        nombre(l.indexOf("NOMBRE")),
        codtarea(l.indexOf("CODTAREA")),
        estarea(l.indexOf("ESTAREA")),
        idasig(l.indexOf("IDASIG")) {}
};

// The code for an element whose name is new: its own code while its first ten
// characters are not written; else the first free numbered code. A code longer
// than ten keeps its first eight and last two characters; where that is
// written already, numbering goes on until a free code is found, so that no
// subject with a new name is lost.
std::string codeForNewName(ExactCodes& codes, const std::string& code, const std::string& first10) {
  if (!codes.contains(first10)) {
    std::string candidate = code.size() > kCodeWidth ? firstEightLastTwo(code) : code;
    if (!codes.contains(candidate)) return candidate;
  }
  return codes.firstFreeNumbered(first10, 9);
}

void exportCatalogue(ExportContext& context, Pass pass) {
  const xml::Section& section = context.document.section(exchange::kMaterias);
  dbf::TableWriter& writer = context.tables.writer(kAsignomt);
  if (!sectionIsTaken(section)) return;

  static const Fields f(tables::asignomt());
  dbf::RecordBuffer record(tables::asignomt());
  for (std::size_t i = 0; i < section.size(); ++i) {
    const std::string code = valueOf(section, i, a::codigo);
    const std::string name = valueOf(section, i, a::nombre);
    const bool isActivity =
        text::fromCp1252(code) == text::trim(section.value(i, a::codigo_actividad));
    if (isActivity != (pass == Pass::Activities)) continue;

    const std::string first10 = cut(code, kCodeWidth);
    std::string candidate;
    if (!context.ListaNombres.contains(name)) {
      context.ListaNombres.add(name);
      candidate = codeForNewName(context.ListaCodigos, code, first10);
    } else {
      candidate = first10;
    }
    if (context.ListaCodigos.contains(candidate)) {
      context.report.note(exchange::kMaterias, i, text::fromCp1252(code),
                          "omitida: su nombre y su código '" + text::fromCp1252(candidate) +
                              "' ya están en ASIGNOMT");
      continue;
    }
    context.ListaCodigos.add(candidate);
    if (candidate != code)
      context.report.note(exchange::kMaterias, i, text::fromCp1252(code),
                          "escrita con el código '" + text::fromCp1252(candidate) + "'");

    record.clear();
    record.setText(f.cod, candidate);
    record.setText(f.codlargo, text::left(name, 10));
    record.setText(f.nombre, name);
    if (pass == Pass::Subjects) {
      record.setText(f.codtarea, valueOf(section, i, a::codigo_actividad));
      record.setBoolean(f.estarea, false);
    } else {
      record.setText(f.codtarea, candidate);
      record.setBoolean(f.estarea, true);
    }
    record.setText(f.idasig, valueOf(section, i, a::idmateria));
    writer.append(record);
  }
}

}  // namespace

void ExportarMaterias(ExportContext& context) { exportCatalogue(context, Pass::Subjects); }

void ExportarActividades(ExportContext& context) {
  exportCatalogue(context, Pass::Activities);
  context.tables.finish(kAsignomt);
  context.report.records[kAsignomt] = context.tables.writer(kAsignomt).recordCount();
}

}  // namespace thp::exporter
