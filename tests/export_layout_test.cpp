// An export read back by an independent dBase reader: the six layouts as the
// timetabling program's side sees them, and the values that reach it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "export/export_run.hpp"

namespace {

namespace fs = std::filesystem;

const char* kDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro>
  <materias>
    <dmateria codigo="MAT" nombre="Matemáticas" codigo_actividad="MAT-A" idmateria="M1"/>
    <dmateria codigo="GUARDIA" nombre="Guardia" codigo_actividad="GUARDIA" idmateria="A1"/>
  </materias>
  <profesores>
    <profesor codigo="ana" nombre="Ana" apellido1="Núñez" apellido2="" documento="1Z" idprofesor="P1"/>
    <profesor codigo="ANA" nombre="Íñigo" apellido1="Ruiz" apellido2="Gil" documento="2Z" idprofesor="P2"/>
  </profesores>
  <aulas>
    <daula codigo="" nombre="Laboratorio" capacidad_alumnos="24" idaula="AULA-0000000000000001"/>
    <daula codigo="GIM" nombre="Gimnasio" capacidad_alumnos="" idaula="R2"/>
  </aulas>
  <grupos>
    <dgrupo codigo="1ESO-A" nombre="1º ESO A" codigo_nivel="ESO" curso="1" cgrupo="A" idgrupo="G1" idcurso="C1"/>
    <dgrupo codigo="2ESO-DIVERSIF" nombre="2º ESO D" codigo_nivel="ESO" curso="2" cgrupo="D" idgrupo="G2" idcurso="C2"/>
  </grupos>
  <franjashorarias>
    <franjahoraria dia_semana="3" posicion="1" hora_inicio="08:00" hora_final="08:55"/>
    <franjahoraria dia_semana="6" posicion="12" hora_inicio="10:00:00" hora_final="09:30:00"/>
  </franjashorarias>
  <asignaturas>
    <dasignatura cgrupo="G1" casig="M1" cprofe="P2" conexion="12345" nhoras="20.5"/>
    <dasignatura cgrupo="G2" casig="A1" cprofe="" conexion="" nhoras="0"/>
  </asignaturas>
</centro>
)";

// Field definitions and records as TDbf prints them.
struct Dump {
  std::vector<std::string> fields;                       // "NAME TYPE SIZE DECIMALS"
  std::vector<std::map<std::string, std::string>> rows;  // name -> printed value
};

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

#ifdef THP_TDBF_DUMP
Dump dumpWithTdbf(const fs::path& table) {
  const std::string command = std::string("'") + THP_TDBF_DUMP + "' '" + table.string() + "'";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  EXPECT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  EXPECT_EQ(::pclose(pipe), 0) << output;
  Dump dump;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("field ", 0) == 0) {
      dump.fields.push_back(line.substr(6));
    } else if (line.rfind("record ", 0) == 0) {
      dump.rows.emplace_back();
    } else if (const auto eq = line.find('='); eq != std::string::npos && !dump.rows.empty()) {
      dump.rows.back()[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return dump;
}
#endif

class ExportLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef THP_TDBF_DUMP
    GTEST_SKIP() << "Free Pascal's TDbf is not available";
#else
    dir_ = fs::temp_directory_path() / ("thp-layout-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    std::ofstream(dir_ / "centro.xml") << kDocument;
    thp::exporter::ExportSettings settings;
    settings.decimalSeparator = '.';
    const auto document = thp::exporter::readForExport(dir_ / "centro.xml");
    thp::exporter::exportTables(document, dir_, settings);
#endif
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  fs::path dir_;
};

#ifdef THP_TDBF_DUMP
TEST_F(ExportLayoutTest, TablesHaveTheirLayoutsForAnIndependentReader) {
  const std::map<std::string, std::vector<std::string>> layouts = {
      {"ASIGNOMT.DBF",
       {"COD C 10 0", "CODLARGO C 10 0", "NOMBRE C 80 0", "CODTAREA C 10 0", "ESTAREA L 1 0",
        "IDASIG C 10 0"}},
      {"PROFT.DBF",
       {"ABREV C 10 0", "NOMBRE C 80 0", "DEPART C 40 0", "DNI C 14 0", "IDPROF C 10 0"}},
      {"AULAT.DBF",
       {"ABREV C 10 0", "NOMBRE C 80 0", "EDIFICIO C 1 0", "MAXALUM I 4 0", "IDAULA C 20 0"}},
      {"GRUPOST.DBF",
       {"ABREV C 10 0", "TURNO C 1 0", "NIVEL C 5 0", "CURSO C 3 0", "GRUPO C 2 0", "MARCO C 1 0",
        "IDGRUPO C 10 0", "IDCURSO C 10 0", "DESCRIP C 80 0", "TUTOR C 10 0"}},
      {"DIASHORAST.DBF",
       {"DIHO C 10 0", "CODDIHO C 10 0", "DIA C 20 0", "TEXTODIA C 20 0", "HORA C 8 0",
        "TEXTOHOR C 15 0", "HORADESDE C 8 0", "HORAHASTA C 8 0", "MINUTOS C 8 0", "MARCO C 1 0",
        "MARCOXML C 10 0", "SESION_ORDEN I 4 0", "PLANTILLA C 20 0"}},
      {"ASIGT.DBF",
       {"CASIG C 10 0", "CPROF C 10 0", "CGRUP C 10 0", "CAULA C 10 0", "TURNO C 1 0",
        "NIVEL C 5 0", "CURSO C 3 0", "GRUPO C 2 0", "HORAS O 8 0", "SESIONES C 20 0",
        "CTAREA C 10 0", "NCONEX C 4 0", "IDCURSO C 10 0", "IDGRUP C 10 0", "IDASIG C 10 0",
        "IDPROF C 10 0"}},
  };
  for (const auto& [file, fields] : layouts) {
    const Dump dump = dumpWithTdbf(dir_ / file);
    EXPECT_EQ(dump.fields, fields) << file;
    EXPECT_EQ(dump.rows.size(), 2u) << file;
  }
}

TEST_F(ExportLayoutTest, ValuesReachTheReaderInWindows1252) {
  const Dump subjects = dumpWithTdbf(dir_ / "ASIGNOMT.DBF");
  EXPECT_EQ(subjects.rows[0].at("NOMBRE"), hex("Matem\xE1ticas"));
  EXPECT_EQ(subjects.rows[0].at("ESTAREA"), "F");
  EXPECT_EQ(subjects.rows[1].at("ESTAREA"), "T");
  EXPECT_EQ(subjects.rows[1].at("CODTAREA"), hex("GUARDIA"));

  const Dump teachers = dumpWithTdbf(dir_ / "PROFT.DBF");
  EXPECT_EQ(teachers.rows[1].at("ABREV"), hex("ANA1"));
  EXPECT_EQ(teachers.rows[1].at("NOMBRE"), hex("\xCD\xF1igo, Ruiz Gil"));
  EXPECT_EQ(teachers.rows[0].at("DEPART"), "<null>");

  const Dump rooms = dumpWithTdbf(dir_ / "AULAT.DBF");
  EXPECT_EQ(rooms.rows[0].at("ABREV"), hex("Labo"));
  EXPECT_EQ(rooms.rows[0].at("MAXALUM"), "24");
  EXPECT_EQ(rooms.rows[1].at("MAXALUM"), "<null>");
  EXPECT_EQ(rooms.rows[0].at("IDAULA"), hex("AULA-000000000000000"));  // 20 kept

  const Dump groups = dumpWithTdbf(dir_ / "GRUPOST.DBF");
  EXPECT_EQ(groups.rows[1].at("ABREV"), hex("2ESO-DIVIF"));
  EXPECT_EQ(groups.rows[1].at("DESCRIP"), hex("2\xBA ESO D"));

  const Dump slots = dumpWithTdbf(dir_ / "DIASHORAST.DBF");
  EXPECT_EQ(slots.rows[0].at("TEXTODIA"), hex("Mi\xE9rcoles"));
  EXPECT_EQ(slots.rows[1].at("TEXTODIA"), hex("S\xE1"
                                              "bado"));
  EXPECT_EQ(slots.rows[1].at("DIHO"), hex("612"));
  EXPECT_EQ(slots.rows[1].at("MINUTOS"), hex("-30"));
  EXPECT_EQ(slots.rows[1].at("TEXTOHOR"), hex("12-10:00:00-09:"));
  EXPECT_EQ(slots.rows[1].at("SESION_ORDEN"), "12");

  const Dump assignments = dumpWithTdbf(dir_ / "ASIGT.DBF");
  EXPECT_EQ(assignments.rows[0].at("HORAS"), "4034800000000000");  // 20.5
  EXPECT_EQ(assignments.rows[0].at("SESIONES"), hex("81111111111111\xBD"));
  EXPECT_EQ(assignments.rows[0].at("NCONEX"), hex("1234"));
  EXPECT_EQ(assignments.rows[0].at("CPROF"), hex("ANA1"));
  EXPECT_EQ(assignments.rows[1].at("HORAS"), "3FF0000000000000");  // 0 counts as 1
  EXPECT_EQ(assignments.rows[1].at("SESIONES"), hex("1\xBD"));
  EXPECT_EQ(assignments.rows[1].at("CPROF"), "<null>");
  EXPECT_EQ(assignments.rows[1].at("CAULA"), "<null>");
}
#endif

}  // namespace
