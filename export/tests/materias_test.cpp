// ASIGNOMT: the subject pass, then the activity pass, against shared registries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/tests/export_fixture.hpp"

namespace thp::exporter::testing {
namespace {

struct CatalogueCase {
  std::string label;
  std::vector<Materia> materias;
  std::vector<std::string> codes;  // COD of the records, in table order
};

void PrintTo(const CatalogueCase& c, std::ostream* os) { *os << c.label; }

class ExportMateriasCodes : public ExportTest,
                            public ::testing::WithParamInterface<CatalogueCase> {};

TEST_P(ExportMateriasCodes, GivesEachRecordAUniqueCode) {
  Document d;
  d.materias = GetParam().materias;
  exportDocument(d);
  EXPECT_EQ(column("ASIGNOMT", "COD"), GetParam().codes);
}

// A subject is one whose codigo differs from its codigo_actividad ("-" here).
Materia subject(std::string code, std::string name) { return {code, name, "-", "id"}; }
Materia activity(std::string code, std::string name) { return {code, name, code, "id"}; }

std::vector<Materia> eleven(const std::string& code) {
  std::vector<Materia> out;
  for (int i = 0; i < 11; ++i) out.push_back(subject(code, "Nombre " + std::to_string(i)));
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportMateriasCodes,
    ::testing::Values(
        CatalogueCase{"NewNamesAreNumbered_SeenNameAndCodeIsDropped",
                      {subject("MAT", "Mat I"), subject("MAT", "Mat II"), subject("MAT", "Mat III"),
                       subject("MAT", "Mat I")},
                      {"MAT", "MAT1", "MAT2"}},
        CatalogueCase{"LongCodesKeepFirstEightAndLastTwo_ACollisionIsNumbered",
                      {subject("MATEMATICAS1", "A"), subject("MATEMATICAS2", "B"),
                       subject("MATEMATIXXS1", "C")},
                      {"MATEMATIS1", "MATEMATIS2", "MATEMATIX1"}},
        CatalogueCase{
            "TakenTenCharacterCodeNumbersUpToTwoDigits",
            eleven("ABCDEFGHIJ"),
            {"ABCDEFGHIJ", "ABCDEFGHI1", "ABCDEFGHI2", "ABCDEFGHI3", "ABCDEFGHI4", "ABCDEFGHI5",
             "ABCDEFGHI6", "ABCDEFGHI7", "ABCDEFGHI8", "ABCDEFGHI9", "ABCDEFGH10"}},
        CatalogueCase{"LongCodeOfASeenNameKeepsItsFirstTen",
                      {subject("ABCDEFGHIJKL", "Química"), subject("OTRA", "Física"),
                       subject("ABCDEFGHIJKL", "Física")},
                      {"ABCDEFGHKL", "OTRA", "ABCDEFGHIJ"}},
        CatalogueCase{"CodesDifferingInCaseAreDifferent",
                      {subject("mat", "Mat"), subject("MAT", "Mat"), subject("Mat", "Otra")},
                      {"mat", "MAT", "Mat"}},
        CatalogueCase{"EmptyCodeIsACodeLikeAnyOther",
                      {subject("", "A"), subject("", "B"), subject("", "C"), subject("", "A")},
                      {"", "1", "2"}},
        // The first ten characters end in a blank, which the cut drops: the
        // code is then ABCDEFGHI, which is taken.
        CatalogueCase{
            "BlankLeftByTheCutIsDropped",
            {subject("ABCDEFGHI", "A"), subject("ABCDEFGHI XY", "A"), subject("ABCDEFGHI XY", "B")},
            {"ABCDEFGHI", "ABCDEFGHI1"}},
        CatalogueCase{"ActivitiesComeAfterSubjectsAndShareTheirRegistries",
                      {activity("MAT", "Guardia"), activity("MAT", "Matemáticas"),
                       subject("MAT", "Matemáticas"), activity("TUTORIAGRUPO", "Tutoría"),
                       subject("TUT", "Tutoría")},
                      {"MAT", "TUT", "MAT1", "TUTORIAGRU"}}),
    [](const auto& p) { return p.param.label; });

using ExportMaterias = ExportTest;

TEST_F(ExportMaterias, WritesTheFieldsOfSubjectsAndActivities) {
  const std::string longName(90, 'n');
  Document d;
  d.materias = {
      {" \tACT\n", "Actividad", " ACT ", " A1 "},  // equal once trimmed: an activity
      {" LEN ", " " + longName + " ", " LENGUA-ACTIVIDAD ", " IDENTIFICADOR-LARGO "},
      {"MAT", "Matemáticas", "MAT-A", "M01"},
      {"LEN", "Lengua II", "LEN", "A2"},  // an activity renumbered after the subject LEN
  };
  exportDocument(d);

  const auto r = rows("ASIGNOMT");
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].at("COD"), "LEN");
  EXPECT_EQ(r[0].at("CODLARGO"), "nnnnnnnnnn");
  EXPECT_EQ(r[0].at("NOMBRE"), std::string(80, 'n'));
  EXPECT_EQ(r[0].at("CODTAREA"), "LENGUA-ACT");
  EXPECT_EQ(r[0].at("ESTAREA"), "F");
  EXPECT_EQ(r[0].at("IDASIG"), "IDENTIFICA");

  EXPECT_EQ(r[1].at("COD"), "MAT");
  EXPECT_EQ(r[1].at("CODLARGO"), "Matemática");
  EXPECT_EQ(r[1].at("NOMBRE"), "Matemáticas");
  EXPECT_EQ(r[1].at("CODTAREA"), "MAT-A");

  EXPECT_EQ(r[2].at("COD"), "ACT");
  EXPECT_EQ(r[2].at("CODTAREA"), "ACT");
  EXPECT_EQ(r[2].at("ESTAREA"), "T");
  EXPECT_EQ(r[2].at("IDASIG"), "A1");

  EXPECT_EQ(r[3].at("COD"), "LEN1");
  EXPECT_EQ(r[3].at("CODTAREA"), "LEN1");  // the record's own code
  EXPECT_EQ(r[3].at("ESTAREA"), "T");
}

}  // namespace
}  // namespace thp::exporter::testing
