// ASIGT: teaching assignments joined to the groups, subjects and teachers
// written earlier in the same run.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "export/tests/export_fixture.hpp"

namespace thp::exporter::testing {
namespace {

using ExportAsignaturas = ExportTest;

Document lookupSchool() {
  Document d;
  d.materias = {{"MAT", "Matemáticas", "MAT-A", "M01"}, {"LEN", "Lengua", "LEN-A", "M02"},
                {"TUT", "Tutoría", "TUT", "A01"},       {"", "Sin código", "X", "M03"},
                {"FIS", "Física", "F", "M04"},          {"QUI", "Química", "Q", "M04"}};
  d.profesores = {{"ana", "Ana", "", "", "", "P01"},
                  {"LUIS", "Luis", "", "", "", "P02"},
                  {"VACIO", "Sin identificador", "", "", "", ""},
                  {"DUP1", "Primero", "", "", "", "P03"},
                  {"DUP2", "Segundo", "", "", "", "P03"}};
  d.grupos = {{"1ESO-A", "1º A", "ESO", "1", "A", "G01", "C1"},
              {"2ESO-B", "2º B", "ESO", "2", "B", "G02", "C2"},
              {"SINID", "Sin identificador", "BACH", "1", "A", "", "C9"},
              {"LARGO", "Identificador largo", "BACH", "2", "L", "GRUPO-LARGO1", "C3"},
              {"DUPG1", "Primero", "FP", "1", "X", "G03", "C4"},
              {"DUPG2", "Segundo", "FP", "2", "Y", "G03", "C5"}};
  return d;
}

TEST_F(ExportAsignaturas, JoinsGroupSubjectAndTeacher) {
  Document d = lookupSchool();
  d.asignaturas = {
      {" G01 ", " M01 ", " P01 ", " 12345 ", " 4 "},
      {"G99", "M99", "P01", "", "2"},           // subject not found: no record
      {"G99", "M02", "P99", "", "3"},           // group and teacher not found, after a found one
      {"g01", "A01", "p01", "", "1"},           // identifiers differ in case: not found
      {"", "M01", "", "", "1"},                 // an empty key finds nothing
      {"GRUPO-LARGO1", "M04", "P03", "", "1"},  // longer than its field; duplicates
      {"G03", "M03", "P01", "", "1"},           // subject found, but its code is empty
      {"G03", "M01", "P02", "", "1"},           // duplicate group identifier: the first
  };
  exportDocument(d);

  const auto r = rows("ASIGT");
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0], (Row{{"CASIG", "MAT"},
                       {"CPROF", "ana"},
                       {"CGRUP", "1ESO-A"},
                       {"CAULA", ""},
                       {"TURNO", ""},
                       {"NIVEL", "ESO"},
                       {"CURSO", "1"},
                       {"GRUPO", "A"},
                       {"HORAS", "4"},
                       {"SESIONES", "1111"},
                       {"CTAREA", "MAT-A"},
                       {"NCONEX", "1234"},
                       {"IDCURSO", "C1"},
                       {"IDGRUP", "G01"},
                       {"IDASIG", "M01"},
                       {"IDPROF", "P01"}}));

  EXPECT_EQ(r[1], (Row{{"CASIG", "LEN"},
                       {"CPROF", ""},
                       {"CGRUP", ""},
                       {"CAULA", ""},
                       {"TURNO", ""},
                       {"NIVEL", ""},
                       {"CURSO", ""},
                       {"GRUPO", ""},
                       {"HORAS", "3"},
                       {"SESIONES", "111"},
                       {"CTAREA", "LEN-A"},
                       {"NCONEX", ""},
                       {"IDCURSO", ""},
                       {"IDGRUP", "G99"},
                       {"IDASIG", "M02"},
                       {"IDPROF", "P99"}}));

  EXPECT_EQ(r[2].at("CASIG"), "TUT");
  EXPECT_EQ(r[2].at("CTAREA"), "TUT");
  EXPECT_EQ(r[2].at("CGRUP"), "");
  EXPECT_EQ(r[2].at("CPROF"), "");
  EXPECT_EQ(r[2].at("IDGRUP"), "g01");

  EXPECT_EQ(r[3].at("CASIG"), "MAT");
  EXPECT_EQ(r[3].at("CGRUP"), "");  // not the group SINID
  EXPECT_EQ(r[3].at("IDCURSO"), "");
  EXPECT_EQ(r[3].at("CPROF"), "");  // not the teacher VACIO

  EXPECT_EQ(r[4].at("CGRUP"), "LARGO");
  EXPECT_EQ(r[4].at("IDCURSO"), "C3");
  EXPECT_EQ(r[4].at("IDGRUP"), "GRUPO-LARG");
  EXPECT_EQ(r[4].at("CASIG"), "FIS");
  EXPECT_EQ(r[4].at("CPROF"), "DUP1");

  EXPECT_EQ(r[5].at("CGRUP"), "DUPG1");
  EXPECT_EQ(r[5].at("NIVEL"), "FP");
  EXPECT_EQ(r[5].at("CPROF"), "LUIS");
}

struct HoursCase {
  std::string nhoras;  // written with a comma; the run's separator replaces it
  float hours;
  std::string sesiones;
};

TEST_F(ExportAsignaturas, TurnsHoursIntoSessions) {
  const std::string thirteen(13, '1');
  const std::vector<HoursCase> cases = {
      {"3", 3.0f, "111"},      {"1,5", 1.5f, "11½"},          {"0", 1.0f, "1½"},
      {"13", 13.0f, thirteen}, {"15", 15.0f, "2" + thirteen}, {"20,5", 20.5f, "8" + thirteen + "½"},
      {"0,25", 0.25f, "1½"},   {"2,3", 2.3f, "111½"},  // kept in single precision
      {"-1,5", -1.5f, "½"},
  };
  for (const char separator : {',', '.'}) {
    SCOPED_TRACE(std::string("separator ") + separator);
    Document d = lookupSchool();
    for (const auto& c : cases) {
      std::string nhoras = c.nhoras;
      std::replace(nhoras.begin(), nhoras.end(), ',', separator);
      d.asignaturas.push_back({"G01", "M01", "P01", "", nhoras});
    }
    exportDocument(d, separator);

    const dbf::Table t = open("ASIGT");
    ASSERT_EQ(t.recordCount(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
      SCOPED_TRACE("nhoras " + cases[i].nhoras);
      EXPECT_EQ(t.number(i, t.field("HORAS"), '.'), double{cases[i].hours});
      EXPECT_EQ(text::fromCp1252(t.rawText(i, t.field("SESIONES"))), cases[i].sesiones);
    }
  }
}

}  // namespace
}  // namespace thp::exporter::testing
