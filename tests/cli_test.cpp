// The command-line tool as a user runs it: arguments, messages, exit codes,
// and what it leaves on disk.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include "tests/support/scratch_dir.hpp"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

using thp::testsupport::readFile;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "HTEMP"); }

  Outcome run(const std::string& arguments, const std::string& locale = "C.UTF-8") {
    const std::string command = "env -u TRANSHORVAL_HTEMP LC_ALL=" + locale + " '" + THP_TOOL +
                                "' " + arguments + " >'" + (dir_ / "out").string() + "' 2>'" +
                                (dir_ / "err").string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir_ / "out"),
            readFile(dir_ / "err")};
  }

  fs::path write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return dir_ / name;
  }

  std::map<std::string, std::string> tables() {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::directory_iterator(dir_ / "HTEMP"))
      found[entry.path().filename().string()] = readFile(entry.path());
    return found;
  }

  std::string htemp() { return "'" + (dir_ / "HTEMP").string() + "'"; }

  thp::testsupport::ScratchDir scratch_{"thp-cli"};
  const fs::path& dir_ = scratch_.path();
};

const char* kDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo_interno="1" nombre="IES" curso="2026" version="1">
  <materias>
    <dmateria codigo="MAT" nombre="Matemáticas" codigo_actividad="X" idmateria="M1"/>
    <dmateria codigo="MAT" nombre="Matemáticas II" codigo_actividad="X" idmateria="M2"/>
  </materias>
  <asignaturas>
    <dasignatura cgrupo="G" casig="M1" cprofe="P" conexion="" nhoras="3"/>
    <dasignatura cgrupo="G" casig="M9" cprofe="P" conexion="" nhoras="2"/>
  </asignaturas>
</centro>
)";

TEST_F(CliTest, HelpVersionAndUsageErrors) {
  EXPECT_EQ(run("--help").exitCode, 0);
  EXPECT_NE(run("--help").out.find("transhorval export"), std::string::npos);
  EXPECT_EQ(run("--version").exitCode, 0);
  EXPECT_EQ(run("--version").out.rfind("transhorval ", 0), 0u);

  const char* usage[] = {"",
                         "exportar x.xml",
                         "export",
                         "export a.xml b.xml",
                         "export a.xml --dir",
                         "export a.xml --bogus",
                         "check a.xml --dir d",
                         "--version extra"};
  for (const char* arguments : usage) {
    const Outcome outcome = run(arguments);
    EXPECT_EQ(outcome.exitCode, 64) << arguments;
    EXPECT_NE(outcome.err.find("Uso:"), std::string::npos) << arguments;
  }
}

TEST_F(CliTest, ExportWritesTheTablesAndReports) {
  const fs::path document = write("centro.xml", kDocument);
  const Outcome outcome = run("export '" + document.string() + "' --dir " + htemp());
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out.rfind("Proceso finalizado\n", 0), 0u);
  EXPECT_NE(outcome.out.find("ASIGNOMT: 2"), std::string::npos);
  EXPECT_NE(outcome.out.find("ASIGT: 1"), std::string::npos);
  EXPECT_NE(outcome.out.find("materias/dmateria n.º 2 'MAT': escrita con el código 'MAT1'"),
            std::string::npos);
  EXPECT_NE(outcome.out.find("asignaturas/dasignatura n.º 2 'M9'"), std::string::npos);
  EXPECT_EQ(tables().size(), 6u);
}

TEST_F(CliTest, CheckReportsTheSameAndWritesNothing) {
  const fs::path document = write("centro.xml", kDocument);
  const Outcome check = run("check '" + document.string() + "'");
  ASSERT_EQ(check.exitCode, 0) << check.err;
  EXPECT_TRUE(tables().empty());
  const Outcome done = run("export '" + document.string() + "' --dir " + htemp());
  EXPECT_EQ(check.out, done.out);
}

TEST_F(CliTest, MissingInputsExitWithTwo) {
  Outcome outcome = run("export '" + (dir_ / "none.xml").string() + "' --dir " + htemp());
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.out, "No existe archivo\n");
  EXPECT_TRUE(tables().empty());

  const fs::path document = write("centro.xml", kDocument);
  outcome = run("import '" + document.string() + "' --dir " + htemp());
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.out, "No existe archivo XML o Solución.\n");
  EXPECT_FALSE(fs::exists(dir_ / "ResultadoHorvalcentro.xml"));
}

TEST_F(CliTest, ErrorsExitWithOneAndChangeNothing) {
  const fs::path good = write("centro.xml", kDocument);
  ASSERT_EQ(run("export '" + good.string() + "' --dir " + htemp()).exitCode, 0);
  const auto before = tables();

  const fs::path broken = write("roto.xml", "<centro><materias>\n<dmateria codigo='a'>\n</centro>");
  Outcome outcome = run("export '" + broken.string() + "' --dir " + htemp());
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.err.find("roto.xml"), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("línea 3"), std::string::npos) << outcome.err;
  EXPECT_EQ(tables(), before);

  outcome = run("export '" + good.string() + "' --dir '" + (dir_ / "nowhere").string() + "'");
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.err.find("No existe el directorio de trabajo"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
}

TEST_F(CliTest, SampleExportsAndImportsInASpanishLocale) {
  if (std::system("locale -a 2>/dev/null | grep -qi '^es_ES.utf-\\?8$'") != 0)
    GTEST_SKIP() << "no es_ES.UTF-8 locale on this machine";
  fs::copy_file(fs::path(THP_SAMPLES) / "centro.xml", dir_ / "centro.xml");
  fs::copy_file(fs::path(THP_SAMPLES) / "SOLUC.DBF", dir_ / "HTEMP" / "SOLUC.DBF");
  const std::string document = "'" + (dir_ / "centro.xml").string() + "'";
  Outcome outcome = run("export " + document + " --dir " + htemp(), "es_ES.UTF-8");
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  outcome = run("import " + document + " --dir " + htemp(), "es_ES.UTF-8");
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out.rfind("Proceso finalizado\n", 0), 0u);
  EXPECT_NE(outcome.out.find("ResultadoHorvalcentro.xml"), std::string::npos);
  const std::string result = readFile(dir_ / "ResultadoHorvalcentro.xml");
  EXPECT_NE(result.find("<solucion_horario>"), std::string::npos);
  EXPECT_NE(result.find("<dsolucion casig="), std::string::npos);
}

}  // namespace
