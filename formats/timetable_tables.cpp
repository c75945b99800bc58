#include "formats/timetable_tables.hpp"

#include "formats/replacement_journal.hpp"

namespace thp::tables {
namespace {

using dbf::FieldDef;
using dbf::FieldType;

FieldDef text(const char* name, std::uint8_t width) { return {name, FieldType::Character, width}; }
FieldDef boolean(const char* name) { return {name, FieldType::Logical, 1}; }
FieldDef integer(const char* name) { return {name, FieldType::Integer, 4}; }
FieldDef floating(const char* name) { return {name, FieldType::Double, 8}; }

}  // namespace

const dbf::TableLayout& asignomt() {
  static const dbf::TableLayout layout(
      "ASIGNOMT", {text("COD", 10), text("CODLARGO", 10), text("NOMBRE", 80), text("CODTAREA", 10),
                   boolean("ESTAREA"), text("IDASIG", 10)});
  return layout;
}

const dbf::TableLayout& proft() {
  static const dbf::TableLayout layout(
      "PROFT", {text("ABREV", 10), text("NOMBRE", 80), text("DEPART", 40), text("DNI", 14),
                text("IDPROF", 10)});
  return layout;
}

const dbf::TableLayout& aulat() {
  static const dbf::TableLayout layout(
      "AULAT", {text("ABREV", 10), text("NOMBRE", 80), text("EDIFICIO", 1), integer("MAXALUM"),
                text("IDAULA", 20)});
  return layout;
}

const dbf::TableLayout& grupost() {
  static const dbf::TableLayout layout(
      "GRUPOST", {text("ABREV", 10), text("TURNO", 1), text("NIVEL", 5), text("CURSO", 3),
                  text("GRUPO", 2), text("MARCO", 1), text("IDGRUPO", 10), text("IDCURSO", 10),
                  text("DESCRIP", 80), text("TUTOR", 10)});
  return layout;
}

const dbf::TableLayout& diashorast() {
  static const dbf::TableLayout layout(
      "DIASHORAST", {text("DIHO", 10), text("CODDIHO", 10), text("DIA", 20), text("TEXTODIA", 20),
                     text("HORA", 8), text("TEXTOHOR", 15), text("HORADESDE", 8),
                     text("HORAHASTA", 8), text("MINUTOS", 8), text("MARCO", 1),
                     text("MARCOXML", 10), integer("SESION_ORDEN"), text("PLANTILLA", 20)});
  return layout;
}

const dbf::TableLayout& asigt() {
  static const dbf::TableLayout layout(
      "ASIGT", {text("CASIG", 10), text("CPROF", 10), text("CGRUP", 10), text("CAULA", 10),
                text("TURNO", 1), text("NIVEL", 5), text("CURSO", 3), text("GRUPO", 2),
                floating("HORAS"), text("SESIONES", 20), text("CTAREA", 10), text("NCONEX", 4),
                text("IDCURSO", 10), text("IDGRUP", 10), text("IDASIG", 10), text("IDPROF", 10)});
  return layout;
}

std::vector<std::string> exportedFileNames() {
  return {asignomt().fileName(), proft().fileName(),      aulat().fileName(),
          grupost().fileName(),  diashorast().fileName(), asigt().fileName()};
}

void recoverInterruptedExport(const std::filesystem::path& directory) {
  journal::recover(directory, exportedFileNames());
}

}  // namespace thp::tables
