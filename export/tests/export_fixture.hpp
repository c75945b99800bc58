#pragma once

// Helpers shared by the export tests: exchange documents composed in the test,
// a working directory per test, and the tables read back as UTF-8 text.

#include <gtest/gtest.h>
#include "tests/support/scratch_dir.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_run.hpp"
#include "formats/dbf/table.hpp"
#include "formats/text.hpp"

namespace thp::exporter::testing {

using testsupport::entriesOf;
using testsupport::readFile;
using testsupport::ScratchDir;
using testsupport::writeFile;

// ---------------------------------------------------------------------------
// Exchange documents

struct Materia {
  std::string codigo, nombre, codigo_actividad, idmateria;
};
struct Profesor {
  std::string codigo, nombre, apellido1, apellido2, documento, idprofesor;
};
struct Aula {
  std::string codigo, nombre, capacidad_alumnos, idaula;
};
struct Grupo {
  std::string codigo, nombre, codigo_nivel, curso, cgrupo, idgrupo, idcurso;
};
struct Franja {
  std::string dia_semana, posicion, hora_inicio, hora_final;
};
struct Asignatura {
  std::string cgrupo, casig, cprofe, conexion, nhoras;
};

// An attribute value as XML text. Tabs and line ends become character
// references, so that they reach the reader rather than being normalised to
// blanks by the parser.
inline std::string escaped(std::string_view value) {
  static const std::map<char, std::string_view> kReferences = {
      {'&', "&amp;"}, {'<', "&lt;"},   {'>', "&gt;"},  {'"', "&quot;"},
      {'\t', "&#9;"}, {'\n', "&#10;"}, {'\r', "&#13;"}};
  std::string out;
  for (const char c : value) {
    const auto reference = kReferences.find(c);
    if (reference != kReferences.end()) {
      out += reference->second;
    } else {
      out += c;
    }
  }
  return out;
}

using Attributes = std::vector<std::pair<std::string_view, std::string_view>>;

inline std::string element(std::string_view name, const Attributes& attributes) {
  std::string out = "<" + std::string(name);
  for (const auto& [key, value] : attributes)
    out += " " + std::string(key) + "=\"" + escaped(value) + "\"";
  return out + "/>\n";
}

// A document in UTF-8. A section without items is left out of the document.
struct Document {
  std::vector<Materia> materias;
  std::vector<Profesor> profesores;
  std::vector<Aula> aulas;
  std::vector<Grupo> grupos;
  std::vector<Franja> franjas;
  std::vector<Asignatura> asignaturas;

  std::string xml() const {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro nombre=\"IES\">\n";
    auto section = [&out](std::string_view container, const auto& items, auto toElement) {
      if (items.empty()) return;
      out += "<" + std::string(container) + ">\n";
      for (const auto& item : items) out += toElement(item);
      out += "</" + std::string(container) + ">\n";
    };
    section("materias", materias, [](const Materia& m) {
      return element("dmateria", {{"codigo", m.codigo},
                                  {"nombre", m.nombre},
                                  {"codigo_actividad", m.codigo_actividad},
                                  {"idmateria", m.idmateria}});
    });
    section("profesores", profesores, [](const Profesor& p) {
      return element("profesor", {{"codigo", p.codigo},
                                  {"nombre", p.nombre},
                                  {"apellido1", p.apellido1},
                                  {"apellido2", p.apellido2},
                                  {"documento", p.documento},
                                  {"idprofesor", p.idprofesor}});
    });
    section("aulas", aulas, [](const Aula& a) {
      return element("daula", {{"codigo", a.codigo},
                               {"nombre", a.nombre},
                               {"capacidad_alumnos", a.capacidad_alumnos},
                               {"idaula", a.idaula}});
    });
    section("grupos", grupos, [](const Grupo& g) {
      return element("dgrupo", {{"codigo", g.codigo},
                                {"nombre", g.nombre},
                                {"codigo_nivel", g.codigo_nivel},
                                {"curso", g.curso},
                                {"cgrupo", g.cgrupo},
                                {"idgrupo", g.idgrupo},
                                {"idcurso", g.idcurso}});
    });
    section("franjashorarias", franjas, [](const Franja& f) {
      return element("franjahoraria", {{"dia_semana", f.dia_semana},
                                       {"posicion", f.posicion},
                                       {"hora_inicio", f.hora_inicio},
                                       {"hora_final", f.hora_final}});
    });
    section("asignaturas", asignaturas, [](const Asignatura& a) {
      return element("dasignatura", {{"cgrupo", a.cgrupo},
                                     {"casig", a.casig},
                                     {"cprofe", a.cprofe},
                                     {"conexion", a.conexion},
                                     {"nhoras", a.nhoras}});
    });
    return out + "</centro>\n";
  }
};

// A small school with two or more items in every section, all of them valid:
// every assignment finds its group, subject and teacher.
inline Document smallSchool() {
  Document d;
  d.materias = {{"MAT", "Matemáticas", "MAT-A", "M01"},
                {"LEN", "Lengua", "LEN-A", "M02"},
                {"TUT", "Tutoría", "TUT", "A01"}};
  d.profesores = {{"ana", "Ana", "Gil", "Sanz", "111A", "P01"},
                  {"LUIS", "Luis", "Pérez", "", "222B", "P02"}};
  d.aulas = {{"A1", "Aula 1", "30", "R01"}, {"", "Laboratorio", "", "R02"}};
  d.grupos = {{"1ESO-A", "1º ESO A", "ESO", "1", "A", "G01", "C1"},
              {"1ESO-B", "1º ESO B", "ESO", "1", "B", "G02", "C1"}};
  d.franjas = {{"1", "1", "08:00", "08:55"}, {"1", "2", "08:55", "09:50"}};
  d.asignaturas = {{"G01", "M01", "P01", "1", "4"},
                   {"G02", "M02", "P02", "", "3"},
                   {"G01", "A01", "P02", "", "1"}};
  return d;
}

// ---------------------------------------------------------------------------
// Files

// The entries of a directory by name, with the bytes of each file.
using Files = std::map<std::string, std::string>;

// The names of the entries that differ between two listings.
inline std::vector<std::string> differences(const Files& before, const Files& after) {
  std::vector<std::string> changed;
  for (const auto& [name, bytes] : before) {
    const auto it = after.find(name);
    if (it == after.end()) {
      changed.push_back(name + " (removed)");
    } else if (it->second != bytes) {
      changed.push_back(name);
    }
  }
  for (const auto& [name, bytes] : after)
    if (before.count(name) == 0) changed.push_back(name + " (added)");
  return changed;
}

// One record read back: field name -> value as UTF-8 text (numbers as the
// table renders them with '.').
using Row = std::map<std::string, std::string>;

// A test with its own working directory for the tables and a place for the
// exchange document beside it.
class ExportTest : public ::testing::Test {
 protected:
  ExportTest() { std::filesystem::create_directories(tablesDir()); }

  std::filesystem::path tablesDir() const { return scratch_.path() / "htemp"; }

  std::filesystem::path writeDocument(const Document& document) const {
    const auto file = scratch_.path() / "centro.xml";
    writeFile(file, document.xml());
    return file;
  }

  ExportReport exportFile(const std::filesystem::path& file, char decimalSeparator = '.') const {
    ExportSettings settings;
    settings.decimalSeparator = decimalSeparator;
    return exportTables(readForExport(file), tablesDir(), settings);
  }

  ExportReport exportDocument(const Document& document, char decimalSeparator = '.') const {
    return exportFile(writeDocument(document), decimalSeparator);
  }

  // Table names as "PROFT"; the file is the table's name followed by ".DBF".
  dbf::Table open(std::string_view table) const {
    return dbf::Table::open(tablesDir() / (std::string(table) + ".DBF"), dbf::Access::Shared);
  }

  std::vector<Row> rows(std::string_view table) const {
    const dbf::Table t = open(table);
    std::vector<Row> out;
    for (std::size_t r = 0; r < t.recordCount(); ++r) {
      Row row;
      for (std::size_t f = 0; f < t.fields().size(); ++f)
        row[t.fields()[f].name] = text::fromCp1252(t.text(r, f, '.'));
      out.push_back(std::move(row));
    }
    return out;
  }

  std::vector<std::string> column(std::string_view table, std::string_view field) const {
    const dbf::Table t = open(table);
    const std::size_t f = t.field(field);
    std::vector<std::string> out;
    for (std::size_t r = 0; r < t.recordCount(); ++r)
      out.push_back(text::fromCp1252(t.text(r, f, '.')));
    return out;
  }

  // Every entry of the working directory with the bytes of the files.
  Files snapshot() const {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(tablesDir()))
      files[entry.path().filename().string()] =
          entry.is_regular_file() ? readFile(entry.path()) : "(directory)";
    return files;
  }

  // The entries added, removed or changed since a snapshot.
  std::vector<std::string> changedSince(const Files& before) const {
    return differences(before, snapshot());
  }

  std::vector<std::string> fileNames() const {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : snapshot()) names.push_back(name);
    return names;
  }

  ScratchDir scratch_;
};

// The directory of the project's sources, for the bundled sample.
inline std::filesystem::path sourceDir() {
  const char* dir = std::getenv("THP_SOURCE_DIR");
  return dir != nullptr ? std::filesystem::path(dir) : std::filesystem::current_path();
}

}  // namespace thp::exporter::testing
