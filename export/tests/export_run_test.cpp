// The export run as a whole: six tables replaced together or not at all, the
// index files, old spellings of the tables, the report and the dialog's run.
#include <gtest/gtest.h>
#include <algorithm>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/tests/export_fixture.hpp"
#include "formats/error.hpp"
#include "formats/platform.hpp"

namespace thp::exporter::testing {
namespace {

using ExportRun = ExportTest;

const std::vector<std::string> kTables = {"ASIGNOMT", "PROFT",      "AULAT",
                                          "GRUPOST",  "DIASHORAST", "ASIGT"};

bool isTemporary(const std::string& name) {
  return name.find(".thp-") != std::string::npos && name.size() > 4 &&
         name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// The files of a directory with the last-update date of the tables blanked, so
// that runs on either side of midnight compare alike.
Files withoutDates(Files files) {
  for (auto& [name, bytes] : files)
    if (bytes.size() > 4) bytes.replace(1, 3, 3, '\0');
  return files;
}

TEST_F(ExportRun, EmptyDocumentGivesSixEmptyTablesWithTheirFields) {
  struct Field {
    std::string name;
    char type;
    std::size_t length;
  };
  const std::map<std::string, std::vector<Field>> layouts = {
      {"ASIGNOMT",
       {{"COD", 'C', 10},
        {"CODLARGO", 'C', 10},
        {"NOMBRE", 'C', 80},
        {"CODTAREA", 'C', 10},
        {"ESTAREA", 'L', 1},
        {"IDASIG", 'C', 10}}},
      {"PROFT",
       {{"ABREV", 'C', 10},
        {"NOMBRE", 'C', 80},
        {"DEPART", 'C', 40},
        {"DNI", 'C', 14},
        {"IDPROF", 'C', 10}}},
      {"AULAT",
       {{"ABREV", 'C', 10},
        {"NOMBRE", 'C', 80},
        {"EDIFICIO", 'C', 1},
        {"MAXALUM", 'I', 4},
        {"IDAULA", 'C', 20}}},
      {"GRUPOST",
       {{"ABREV", 'C', 10},
        {"TURNO", 'C', 1},
        {"NIVEL", 'C', 5},
        {"CURSO", 'C', 3},
        {"GRUPO", 'C', 2},
        {"MARCO", 'C', 1},
        {"IDGRUPO", 'C', 10},
        {"IDCURSO", 'C', 10},
        {"DESCRIP", 'C', 80},
        {"TUTOR", 'C', 10}}},
      {"DIASHORAST",
       {{"DIHO", 'C', 10},
        {"CODDIHO", 'C', 10},
        {"DIA", 'C', 20},
        {"TEXTODIA", 'C', 20},
        {"HORA", 'C', 8},
        {"TEXTOHOR", 'C', 15},
        {"HORADESDE", 'C', 8},
        {"HORAHASTA", 'C', 8},
        {"MINUTOS", 'C', 8},
        {"MARCO", 'C', 1},
        {"MARCOXML", 'C', 10},
        {"SESION_ORDEN", 'I', 4},
        {"PLANTILLA", 'C', 20}}},
      {"ASIGT",
       {{"CASIG", 'C', 10},
        {"CPROF", 'C', 10},
        {"CGRUP", 'C', 10},
        {"CAULA", 'C', 10},
        {"TURNO", 'C', 1},
        {"NIVEL", 'C', 5},
        {"CURSO", 'C', 3},
        {"GRUPO", 'C', 2},
        {"HORAS", 'O', 8},
        {"SESIONES", 'C', 20},
        {"CTAREA", 'C', 10},
        {"NCONEX", 'C', 4},
        {"IDCURSO", 'C', 10},
        {"IDGRUP", 'C', 10},
        {"IDASIG", 'C', 10},
        {"IDPROF", 'C', 10}}},
  };

  const ExportReport report = exportDocument(Document{});

  for (const auto& table : kTables) {
    SCOPED_TRACE(table);
    const dbf::Table t = open(table);
    EXPECT_EQ(t.recordCount(), 0u);
    const auto& expected = layouts.at(table);
    ASSERT_EQ(t.fields().size(), expected.size());
    for (std::size_t f = 0; f < expected.size(); ++f) {
      EXPECT_EQ(t.fields()[f].name, expected[f].name);
      EXPECT_EQ(t.fields()[f].type, expected[f].type) << expected[f].name;
      EXPECT_EQ(t.fields()[f].length, expected[f].length) << expected[f].name;
    }
  }
  EXPECT_EQ(report.records, (std::array<std::size_t, kTableCount>{}));
  EXPECT_TRUE(report.notices.empty());
}

// Each section of the small school cut to its first item: its table is empty.
class ExportRunSingleItem : public ExportTest, public ::testing::WithParamInterface<TableId> {};

TEST_P(ExportRunSingleItem, SectionWithOneItemGivesAnEmptyTable) {
  Document d = smallSchool();
  const TableId table = GetParam();
  if (table == kAsignomt) d.materias.resize(1);
  if (table == kProft) d.profesores.resize(1);
  if (table == kAulat) d.aulas.resize(1);
  if (table == kGrupost) d.grupos.resize(1);
  if (table == kDiashorast) d.franjas.resize(1);
  if (table == kAsigt) d.asignaturas.resize(1);
  const ExportReport report = exportDocument(d);

  // TableId and Section share their order; the lone item is reported.
  const auto section = static_cast<exchange::Section>(table);
  const auto lone =
      std::count_if(report.notices.begin(), report.notices.end(), [section](const Notice& n) {
        return n.section == section && n.position == 1 &&
               n.message.find("un solo elemento") != std::string::npos;
      });
  EXPECT_EQ(lone, 1);

  for (std::size_t t = 0; t < kTableCount; ++t) {
    const std::size_t records = open(kTables[t]).recordCount();
    if (t == table) {
      EXPECT_EQ(records, 0u) << kTables[t];
    } else if (t != kAsigt) {  // the assignments need the subjects
      EXPECT_GE(records, 2u) << kTables[t];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sections, ExportRunSingleItem,
                         ::testing::Values(kAsignomt, kProft, kAulat, kGrupost, kDiashorast,
                                           kAsigt),
                         [](const auto& p) { return kTables[p.param]; });

// A run that fails leaves the previous tables exactly as they were.
struct FailureCase {
  std::string label;
  std::function<void(Document&)> spoil;
  char separator;
  std::string message;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.label; }

class ExportRunFailure : public ExportTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ExportRunFailure, KeepsEveryTableAndLeavesNoTemporaryFile) {
  const FailureCase& c = GetParam();
  const ExportReport first = exportDocument(smallSchool(), c.separator);
  const auto before = snapshot();
  ASSERT_EQ(before.size(), kTables.size());

  Document spoilt = smallSchool();
  spoilt.materias.push_back({"NUEVA", "Nueva", "N", "M99"});  // changes ASIGNOMT and PROFT
  spoilt.profesores.push_back({"NUEVO", "Nuevo", "", "", "", "P99"});
  c.spoil(spoilt);
  try {
    exportDocument(spoilt, c.separator);
    FAIL() << "the run should have failed";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), c.message);
  }
  EXPECT_EQ(changedSince(before), std::vector<std::string>{});
  for (const auto& name : fileNames()) EXPECT_FALSE(isTemporary(name)) << name;

  // A later run works as if the failed one had not been.
  const ExportReport again = exportDocument(smallSchool(), c.separator);
  EXPECT_EQ(again.records, first.records);
  EXPECT_EQ(differences(withoutDates(before), withoutDates(snapshot())),
            std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportRunFailure,
    ::testing::Values(
        FailureCase{"RoomCapacity", [](Document& d) { d.aulas[1].capacidad_alumnos = "30.5"; }, '.',
                    "'30.5' no es un valor entero válido para el campo 'MAXALUM'"},
        FailureCase{"Weekday", [](Document& d) { d.franjas[1].dia_semana = "lunes"; }, '.',
                    "'lunes' no es un valor entero válido"},
        FailureCase{"EmptyPosition", [](Document& d) { d.franjas[0].posicion = ""; }, '.',
                    "'' no es un valor entero válido"},
        FailureCase{"SingleDigitHour", [](Document& d) { d.franjas[0].hora_inicio = "8:00"; }, '.',
                    "'8:' no es un valor entero válido"},
        FailureCase{"ShortTime", [](Document& d) { d.franjas[1].hora_final = "09:5"; }, '.',
                    "'09:5' no es un valor entero válido"},
        FailureCase{"Hours", [](Document& d) { d.asignaturas[2].nhoras = "dos"; }, '.',
                    "'dos' no es un valor punto flotante válido"},
        FailureCase{"EmptyHours", [](Document& d) { d.asignaturas[0].nhoras = " "; }, '.',
                    "'' no es un valor punto flotante válido"},
        FailureCase{"PointWhereTheSeparatorIsAComma",
                    [](Document& d) { d.asignaturas[1].nhoras = "1.5"; }, ',',
                    "'1.5' no es un valor punto flotante válido"},
        // The hours are read before the subject is looked for.
        FailureCase{"HoursOfAnAssignmentWithoutSubject",
                    [](Document& d) {
                      d.asignaturas.push_back({"G01", "M77", "P01", "", "x"});
                    },
                    '.', "'x' no es un valor punto flotante válido"}),
    [](const auto& p) { return p.param.label; });

TEST_F(ExportRun, TableHeldByAnotherProgramStopsTheRunAndKeepsEveryTable) {
  exportDocument(smallSchool());
  const auto before = snapshot();
  Document changed = smallSchool();
  changed.profesores.push_back({"NUEVO", "Nuevo", "", "", "", "P99"});
  {
    auto lock = platform::FileLock::tryAcquire(tablesDir() / "PROFT.DBF");
    ASSERT_TRUE(lock);
    try {
      exportDocument(changed);
      FAIL() << "the run should have failed";
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find("PROFT.DBF"), std::string::npos) << error.what();
    }
    EXPECT_EQ(changedSince(before), std::vector<std::string>{});
  }
  exportDocument(changed);
  EXPECT_EQ(open("PROFT").recordCount(), 3u);
}

// Here AULAT.DBF is a directory, which no table can replace: the tables
// replaced before it must be put back, and PROFT, which was not there, removed.
TEST_F(ExportRun, TableThatCannotBeReplacedPutsBackTheOthers) {
  exportDocument(smallSchool());
  std::filesystem::remove(tablesDir() / "PROFT.DBF");
  std::filesystem::remove(tablesDir() / "AULAT.DBF");
  std::filesystem::create_directory(tablesDir() / "AULAT.DBF");
  writeFile(tablesDir() / "AULAT.DBF" / "dentro", "x");
  const auto before = snapshot();
  Document changed = smallSchool();
  changed.materias.push_back({"NUEVA", "Nueva", "N", "M99"});
  changed.profesores.push_back({"NUEVO", "Nuevo", "", "", "", "P99"});

  EXPECT_THROW(exportDocument(changed), Error);
  EXPECT_EQ(changedSince(before), std::vector<std::string>{});
  for (const auto& name : fileNames()) EXPECT_FALSE(isTemporary(name)) << name;
}

TEST_F(ExportRun, ReplacesOldSpellingsAndRemovesIndexFilesButDiashorast) {
  writeFile(tablesDir() / "asignomt.dbf", "old");
  writeFile(tablesDir() / "Proft.Dbf", "old");
  writeFile(tablesDir() / "ASIGNOMT.MDX", "index");
  writeFile(tablesDir() / "proft.mdx", "index");
  writeFile(tablesDir() / "AULAT.mdx", "index");
  writeFile(tablesDir() / "GRUPOST.MDX", "index");
  writeFile(tablesDir() / "asigt.MDX", "index");
  writeFile(tablesDir() / "Diashorast.mdx", "kept");
  writeFile(tablesDir() / "SOLUC.DBF", "solution");

  exportDocument(smallSchool());

  EXPECT_EQ(fileNames(),
            (std::vector<std::string>{"ASIGNOMT.DBF", "ASIGT.DBF", "AULAT.DBF", "DIASHORAST.DBF",
                                      "Diashorast.mdx", "GRUPOST.DBF", "PROFT.DBF", "SOLUC.DBF"}));
  EXPECT_EQ(readFile(tablesDir() / "Diashorast.mdx"), "kept");
  EXPECT_EQ(readFile(tablesDir() / "SOLUC.DBF"), "solution");
  EXPECT_EQ(open("ASIGNOMT").recordCount(), 3u);
}

TEST_F(ExportRun, RepeatedRunsWriteTheSameTables) {
  Document d = smallSchool();
  d.materias.push_back({"MAT", "Matemáticas II", "MAT-B", "M03"});  // numbered: MAT1
  exportDocument(d);
  const auto first = withoutDates(snapshot());
  exportDocument(d);
  EXPECT_EQ(differences(first, withoutDates(snapshot())), std::vector<std::string>{});
  EXPECT_EQ(column("ASIGNOMT", "COD"), (std::vector<std::string>{"MAT", "LEN", "MAT1", "TUT"}));
}

TEST_F(ExportRun, ReportsDroppedAndRenamedElements) {
  Document d = smallSchool();
  d.materias.push_back({"MAT", "Matemáticas", "MAT-B", "M03"});  // 4th: same code and name
  d.profesores.push_back({"ANA", "Ana", "", "", "", "P03"});     // 3rd: renamed ANA1
  d.asignaturas.push_back({"G01", "M77", "P01", "", "2"});       // 4th: no such subject

  const ExportReport report = exportDocument(d);

  auto find = [&report](exchange::Section section, std::size_t position) -> const Notice* {
    for (const auto& n : report.notices)
      if (n.section == section && n.position == position) return &n;
    return nullptr;
  };
  const Notice* subject = find(exchange::kMaterias, 4);
  ASSERT_NE(subject, nullptr);
  EXPECT_EQ(subject->identifier, "MAT");
  const Notice* teacher = find(exchange::kProfesores, 3);
  ASSERT_NE(teacher, nullptr);
  EXPECT_EQ(teacher->identifier, "ANA");
  EXPECT_NE(teacher->message.find("ANA1"), std::string::npos) << teacher->message;
  const Notice* assignment = find(exchange::kAsignaturas, 4);
  ASSERT_NE(assignment, nullptr);
  EXPECT_EQ(assignment->identifier, "M77");
  // The room without a code takes the start of its name: a rename as well.
  EXPECT_NE(find(exchange::kAulas, 2), nullptr);
  EXPECT_EQ(report.records, (std::array<std::size_t, kTableCount>{3, 3, 2, 2, 2, 3}));
}

TEST_F(ExportRun, ExportsTheBundledSample) {
  const ExportReport report =
      exportFile(sourceDir() / "samples" / "centro.xml", /*decimalSeparator=*/',');

  EXPECT_EQ(report.records, (std::array<std::size_t, kTableCount>{15, 6, 6, 4, 30, 15}));
  EXPECT_EQ(
      column("ASIGNOMT", "COD"),
      (std::vector<std::string>{"MAT", "MAT1", "MAT2", "ING", "FYQ", "BIOGEOLOA1", "BIOGEOLOA2",
                                "GEH", "mat", "LCL", "EF", "LECTIVA", "GUARDIA", "TUT", "REU"}));
  EXPECT_EQ(column("ASIGNOMT", "NOMBRE")[0], "Matemáticas");
  EXPECT_EQ(column("PROFT", "ABREV"),
            (std::vector<std::string>{"ana", "ANA1", "Ana2", "JLM", "MCR", ""}));
  EXPECT_EQ(column("PROFT", "NOMBRE")[5], "Íñigo, Etxeberria Zubiri");
  EXPECT_EQ(column("AULAT", "ABREV"),
            (std::vector<std::string>{"Labo", "Labo1", "A1", "a11", "GIM", "Lab"}));
  EXPECT_EQ(column("AULAT", "MAXALUM")[4], "");
  EXPECT_EQ(column("GRUPOST", "ABREV"),
            (std::vector<std::string>{"1ESO-A", "1ESO-A1", "2ESO-DIVIF", "1BACH"}));
  EXPECT_EQ(rows("DIASHORAST")[12].at("TEXTODIA"), "Miércoles");
  EXPECT_EQ(rows("DIASHORAST")[12].at("DIHO"), "31");

  const auto asigt = rows("ASIGT");
  ASSERT_EQ(asigt.size(), 15u);
  EXPECT_EQ(asigt[1].at("CASIG"), "LCL");  // an activity
  EXPECT_EQ(asigt[1].at("CTAREA"), "LCL");
  EXPECT_EQ(asigt[3].at("SESIONES"), "111½");
  EXPECT_EQ(asigt[5].at("CGRUP"), "1ESO-A1");
  EXPECT_EQ(asigt[5].at("GRUPO"), "AB");
  EXPECT_EQ(asigt[8].at("SESIONES"), "1½");
  EXPECT_EQ(asigt[9].at("SESIONES"), "2" + std::string(13, '1'));
  EXPECT_EQ(asigt[11].at("CASIG"), "mat");
  EXPECT_EQ(asigt[12].at("CGRUP"), "");  // G09 is no group
  EXPECT_EQ(asigt[12].at("IDGRUP"), "G09");
}

// ---------------------------------------------------------------------------
// The dialog's export button

class FakeUi : public RunUserInterface {
 public:
  std::optional<std::filesystem::path> choice;
  std::vector<std::string> messages;
  std::vector<bool> busy;
  int closed = 0;

  std::optional<std::filesystem::path> chooseExchangeDocument() override { return choice; }
  void showMessage(std::string_view message) override { messages.emplace_back(message); }
  void setBusy(bool on) override { busy.push_back(on); }
  void closeDialog() override { ++closed; }
};

using ExportRunDialog = ExportTest;

TEST_F(ExportRunDialog, MissingDocument) {
  for (const bool embedded : {false, true}) {
    SCOPED_TRACE(embedded ? "embedded" : "interactive");
    DialogState state;
    state.ModoIntegrado = embedded;
    FakeUi ui;  // cancels on the first run: no document at all
    ExportSettings settings;
    settings.workingDirectory = tablesDir();
    EXPECT_EQ(BExportarClick(state, ui, settings).outcome, RunOutcome::MissingInput);
    ui.choice = scratch_.path() / "borrado.xml";  // chosen, but not there
    EXPECT_EQ(BExportarClick(state, ui, settings).outcome, RunOutcome::MissingInput);

    EXPECT_EQ(ui.messages, (std::vector<std::string>{"No existe archivo", "No existe archivo"}));
    EXPECT_EQ(state.CodigoResultado, embedded ? -1 : 0);
    EXPECT_EQ(ui.closed, embedded ? 2 : 0);
    EXPECT_TRUE(fileNames().empty());
  }
}

TEST_F(ExportRunDialog, ExportsTheChosenDocumentAndRepeatsItWhenCancelled) {
  DialogState state;
  state.ModoIntegrado = true;
  FakeUi ui;
  ui.choice = writeDocument(smallSchool());
  ExportSettings settings;
  settings.workingDirectory = tablesDir();

  const ExportResult result = BExportarClick(state, ui, settings);
  EXPECT_EQ(result.outcome, RunOutcome::Finished);
  EXPECT_EQ(result.report.records[kAsigt], 3u);
  EXPECT_EQ(state.CodigoResultado, 1);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Proceso finalizado"});
  EXPECT_EQ(ui.closed, 1);
  EXPECT_EQ(ui.busy, (std::vector<bool>{true, false}));
  EXPECT_EQ(open("ASIGT").recordCount(), 3u);

  ui.choice.reset();  // cancelled: the document chosen last
  std::filesystem::remove_all(tablesDir());
  std::filesystem::create_directories(tablesDir());
  EXPECT_EQ(BExportarClick(state, ui, settings).outcome, RunOutcome::Finished);
  EXPECT_EQ(open("ASIGT").recordCount(), 3u);
}

TEST_F(ExportRunDialog, FailedRunKeepsTheResultCodeAndShowsNoMessage) {
  Document bad = smallSchool();
  bad.aulas[0].capacidad_alumnos = "muchos";
  DialogState state;
  state.ModoIntegrado = true;
  FakeUi ui;
  ui.choice = writeDocument(bad);
  ExportSettings settings;
  settings.workingDirectory = tablesDir();

  EXPECT_THROW(BExportarClick(state, ui, settings), Error);
  EXPECT_EQ(state.CodigoResultado, 0);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ui.closed, 0);
  EXPECT_TRUE(fileNames().empty());
}

TEST_F(ExportRunDialog, CheckReplacesNoTable) {
  DialogState state;
  FakeUi ui;
  ui.choice = writeDocument(smallSchool());
  ExportSettings settings;
  settings.workingDirectory = tablesDir();
  settings.checkOnly = true;

  const ExportResult result = BExportarClick(state, ui, settings);
  EXPECT_EQ(result.outcome, RunOutcome::Finished);
  EXPECT_EQ(result.report.records[kProft], 2u);
  EXPECT_TRUE(fileNames().empty());
}

}  // namespace
}  // namespace thp::exporter::testing
