// AULAT: one record per room. A room without a code takes the start of its
// name; codes are unique without regard to case and at most ten characters.
#include "export/export_context.hpp"
#include "formats/exchange_sections.hpp"
#include "formats/timetable_tables.hpp"

namespace thp::exporter {
namespace {

namespace a = exchange::aula;

struct Fields {
  std::size_t abrev, nombre, maxalum, idaula;
  explicit Fields(const dbf::TableLayout& l)
      : abrev(l.indexOf("ABREV")),
        nombre(l.indexOf("NOMBRE")),
        maxalum(l.indexOf("MAXALUM")),
        idaula(l.indexOf("IDAULA")) {}
};

// A taken code is numbered after its first nine characters while the number
// fits in ten; a code that is, or so would become, longer than ten is
// numbered after its first eight, whether or not it was taken.
std::string roomCode(CaseInsensitiveCodes& codes, const std::string& code) {
  if (codes.contains(code)) {
    const unsigned long k = codes.firstFreeNumber(code, 9);
    const std::string number = std::to_string(k);
    const std::string_view first9 = text::left(code, 9);
    if (first9.size() + number.size() <= kCodeWidth) return std::string(first9) + number;
    return codes.firstFreeNumbered(code, 8);
  }
  if (code.size() > kCodeWidth) return codes.firstFreeNumbered(code, 8);
  return code;
}

}  // namespace

void ExportarAulas(ExportContext& context) {
  const xml::Section& section = context.document.section(exchange::kAulas);
  dbf::TableWriter& writer = context.tables.writer(kAulat);
  if (sectionIsTaken(section)) {
    static const Fields f(tables::aulat());
    dbf::RecordBuffer record(tables::aulat());
    CaseInsensitiveCodes codes;
    for (std::size_t i = 0; i < section.size(); ++i) {
      const std::string own = valueOf(section, i, a::codigo);
      const std::string name = valueOf(section, i, a::nombre);
      const std::string code = roomCode(codes, own.empty() ? cut(name, 4) : own);
      if (code != own)
        context.report.note(exchange::kAulas, i, text::fromCp1252(own.empty() ? name : own),
                            "escrita con el código '" + text::fromCp1252(code) + "'");
      codes.add(code);

      record.clear();
      record.setText(f.abrev, code);
      record.setText(f.nombre, name);
      record.setIntegerFromText(f.maxalum, valueOf(section, i, a::capacidad_alumnos));
      record.setText(f.idaula, valueOf(section, i, a::idaula));
      writer.append(record);
    }
  }
  context.tables.finish(kAulat);
  context.report.records[kAulat] = writer.recordCount();
}

}  // namespace thp::exporter
