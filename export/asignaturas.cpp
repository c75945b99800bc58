// ASIGT: one record per teaching assignment whose subject is found, joined to
// its group, subject and teacher as the earlier transforms of the run stored
// them.
#include <initializer_list>
#include <optional>
#include <vector>

#include "export/export_context.hpp"
#include "export/sessions.hpp"
#include "formats/dbf/table.hpp"
#include "formats/exchange_sections.hpp"
#include "formats/timetable_tables.hpp"

namespace thp::exporter {
namespace {

namespace a = exchange::asignatura;

struct Fields {
  std::size_t casig, cprof, cgrup, turno, nivel, curso, grupo, horas, sesiones, ctarea, nconex,
      idcurso, idgrup, idasig, idprof;
  explicit Fields(const dbf::TableLayout& l)
      : casig(l.indexOf("CASIG")),
        cprof(l.indexOf("CPROF")),
        cgrup(l.indexOf("CGRUP")),
        turno(l.indexOf("TURNO")),
        nivel(l.indexOf("NIVEL")),
        curso(l.indexOf("CURSO")),
        grupo(l.indexOf("GRUPO")),
        horas(l.indexOf("HORAS")),
        sesiones(l.indexOf("SESIONES")),
        ctarea(l.indexOf("CTAREA")),
        nconex(l.indexOf("NCONEX")),
        idcurso(l.indexOf("IDCURSO")),
        idgrup(l.indexOf("IDGRUP")),
        idasig(l.indexOf("IDASIG")),
        idprof(l.indexOf("IDPROF")) {}
};

// One of the run's new tables, opened exclusively and searchable by one field;
// the index carries the values the assignments take from a found record.
class Lookup {
 public:
  Lookup(const std::filesystem::path& file, std::string_view keyField,
         std::initializer_list<std::string_view> valueFields)
      : table_(dbf::Table::open(file, dbf::Access::Exclusive)),
        width_(table_.fields()[table_.field(keyField)].length),
        index_(table_, table_.field(keyField), fieldsOf(table_, valueFields)) {}

  // The first record whose key equals the identifier as its field stores it
  // (cut to the field's width). An empty identifier names no record.
  // A found record carries the value fields, read by their place in valueFields.
  std::optional<dbf::KeyIndex::Found> find(std::string_view identifier) const {
    if (identifier.empty()) return std::nullopt;
    return index_.find(text::trimRight(text::left(identifier, width_)));
  }

 private:
  static std::vector<std::size_t> fieldsOf(const dbf::Table& table,
                                           std::initializer_list<std::string_view> names) {
    std::vector<std::size_t> fields;
    for (const std::string_view name : names) fields.push_back(table.field(name));
    return fields;
  }

  dbf::Table table_;
  std::size_t width_;
  dbf::KeyIndex index_;
};

// The value fields each lookup carries, in the order given to it.
enum GroupValue : std::size_t { kAbrev, kTurno, kNivel, kCurso, kGrupo, kIdcurso };
enum SubjectValue : std::size_t { kCod, kCodtarea };
enum TeacherValue : std::size_t { kTeacherAbrev };

}  // namespace

void ExportarAsignaturas(ExportContext& context) {
  const xml::Section& section = context.document.section(exchange::kAsignaturas);
  dbf::TableWriter& writer = context.tables.writer(kAsigt);
  if (sectionIsTaken(section)) {
    const Lookup groups(context.tables.stagedFile(kGrupost), "IDGRUPO",
                        {"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO", "IDCURSO"});
    const Lookup subjects(context.tables.stagedFile(kAsignomt), "IDASIG", {"COD", "CODTAREA"});
    const Lookup teachers(context.tables.stagedFile(kProft), "IDPROF", {"ABREV"});
    static const Fields f(tables::asigt());
    dbf::RecordBuffer record(tables::asigt());
    for (std::size_t i = 0; i < section.size(); ++i) {
      const std::string groupId = valueOf(section, i, a::cgrupo);
      const std::string subjectId = valueOf(section, i, a::casig);
      const std::string teacherId = valueOf(section, i, a::cprofe);
      const auto group = groups.find(groupId);
      const auto subject = subjects.find(subjectId);
      const auto teacher = teachers.find(teacherId);
      // The hours come before the subject test: a bad count ends the run even
      // for an assignment that would get no record.
      const Sessions hours =
          sessionsFromHours(valueOf(section, i, a::nhoras), context.decimalSeparator);

      const std::string_view subjectCode = subject ? subject->value(kCod) : "";
      if (subjectCode.empty()) {
        context.report.note(exchange::kAsignaturas, i, text::fromCp1252(subjectId),
                            "omitida: su materia no está en ASIGNOMT");
        continue;
      }
      if (!group)
        context.report.note(exchange::kAsignaturas, i, text::fromCp1252(groupId),
                            "escrita sin grupo: el grupo no está en GRUPOST");
      if (!teacher)
        context.report.note(exchange::kAsignaturas, i, text::fromCp1252(teacherId),
                            "escrita sin profesor: el profesor no está en PROFT");

      record.clear();
      record.setText(f.casig, subjectCode);
      if (teacher) record.setText(f.cprof, teacher->value(kTeacherAbrev));
      if (group) {
        record.setText(f.cgrup, group->value(kAbrev));
        record.setText(f.turno, group->value(kTurno));
        record.setText(f.nivel, group->value(kNivel));
        record.setText(f.curso, group->value(kCurso));
        record.setText(f.grupo, group->value(kGrupo));
        record.setText(f.idcurso, group->value(kIdcurso));
      }
      record.setDouble(f.horas, double{hours.hours});
      record.setText(f.sesiones, hours.sessions);
      record.setText(f.ctarea, subject->value(kCodtarea));
      record.setText(f.nconex, valueOf(section, i, a::conexion));
      record.setText(f.idgrup, groupId);
      record.setText(f.idasig, subjectId);
      record.setText(f.idprof, teacherId);
      writer.append(record);
    }
  }
  context.tables.finish(kAsigt);
  context.report.records[kAsigt] = writer.recordCount();
}

}  // namespace thp::exporter
