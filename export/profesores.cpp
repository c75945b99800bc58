// PROFT: one record per teacher, with a code unique without regard to case.
#include "export/export_context.hpp"
#include "formats/exchange_sections.hpp"
#include "formats/timetable_tables.hpp"

namespace thp::exporter {
namespace {

namespace a = exchange::profesor;

struct Fields {
  std::size_t abrev, nombre, dni, idprof;
  explicit Fields(const dbf::TableLayout& l)
      : abrev(l.indexOf("ABREV")),
        nombre(l.indexOf("NOMBRE")),
        dni(l.indexOf("DNI")),
        idprof(l.indexOf("IDPROF")) {}
};

}  // namespace

void ExportarProfesores(ExportContext& context) {
  const xml::Section& section = context.document.section(exchange::kProfesores);
  dbf::TableWriter& writer = context.tables.writer(kProft);
  if (sectionIsTaken(section)) {
    static const Fields f(tables::proft());
    dbf::RecordBuffer record(tables::proft());
    CaseInsensitiveCodes codes;
    for (std::size_t i = 0; i < section.size(); ++i) {
      const std::string own = valueOf(section, i, a::codigo);
      // A longer code would be cut by its field; cut it here so it is compared
      // as it will be stored.
      std::string code = cut(own, kCodeWidth);
      if (codes.contains(code)) code = codes.firstFreeNumbered(code, 9);
      if (code != own)
        context.report.note(exchange::kProfesores, i, text::fromCp1252(own),
                            "escrito con el código '" + text::fromCp1252(code) + "'");
      codes.add(code);

      record.clear();
      record.setText(f.abrev, code);
      record.setText(f.nombre, valueOf(section, i, a::nombre) + ", " +
                                   valueOf(section, i, a::apellido1) + " " +
                                   valueOf(section, i, a::apellido2));
      record.setText(f.dni, valueOf(section, i, a::documento));
      record.setText(f.idprof, valueOf(section, i, a::idprofesor));
      writer.append(record);
    }
  }
  context.tables.finish(kProft);
  context.report.records[kProft] = writer.recordCount();
}

}  // namespace thp::exporter
