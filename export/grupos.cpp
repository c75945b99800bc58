// GRUPOST: one record per group, with a code unique without regard to case.
#include "export/export_context.hpp"
#include "formats/exchange_sections.hpp"
#include "formats/timetable_tables.hpp"

namespace thp::exporter {
namespace {

namespace a = exchange::grupo;

struct Fields {
  std::size_t abrev, nivel, curso, grupo, marco, idgrupo, idcurso, descrip;
  explicit Fields(const dbf::TableLayout& l)
      : abrev(l.indexOf("ABREV")),
        nivel(l.indexOf("NIVEL")),
        curso(l.indexOf("CURSO")),
        grupo(l.indexOf("GRUPO")),
        marco(l.indexOf("MARCO")),
        idgrupo(l.indexOf("IDGRUPO")),
        idcurso(l.indexOf("IDCURSO")),
        descrip(l.indexOf("DESCRIP")) {}
};

// A taken code is numbered after its first nine characters (after eight once
// the number has two digits); a longer code keeps its first eight and last
// two, and is numbered as a taken one where that is given already.
std::string groupCode(CaseInsensitiveCodes& codes, const std::string& code) {
  if (codes.contains(code)) return codes.firstFreeNumbered(code, 9);
  if (code.size() <= kCodeWidth) return code;
  std::string shortened = firstEightLastTwo(code);
  if (!codes.contains(shortened)) return shortened;
  return codes.firstFreeNumbered(code, 9);
}

}  // namespace

void ExportarGrupos(ExportContext& context) {
  const xml::Section& section = context.document.section(exchange::kGrupos);
  dbf::TableWriter& writer = context.tables.writer(kGrupost);
  if (sectionIsTaken(section)) {
    static const Fields f(tables::grupost());
    dbf::RecordBuffer record(tables::grupost());
    CaseInsensitiveCodes codes;
    for (std::size_t i = 0; i < section.size(); ++i) {
      const std::string own = valueOf(section, i, a::codigo);
      const std::string code = groupCode(codes, own);
      if (code != own)
        context.report.note(exchange::kGrupos, i, text::fromCp1252(own),
                            "escrito con el código '" + text::fromCp1252(code) + "'");
      codes.add(code);

      record.clear();
      record.setText(f.abrev, code);
      record.setText(f.nivel, valueOf(section, i, a::codigo_nivel));
      record.setText(f.curso, valueOf(section, i, a::curso));
      record.setText(f.grupo, valueOf(section, i, a::cgrupo));
      record.setText(f.marco, "0");
      record.setText(f.idgrupo, valueOf(section, i, a::idgrupo));
      record.setText(f.idcurso, valueOf(section, i, a::idcurso));
      record.setText(f.descrip, valueOf(section, i, a::nombre));
      writer.append(record);
    }
  }
  context.tables.finish(kGrupost);
  context.report.records[kGrupost] = writer.recordCount();
}

}  // namespace thp::exporter
