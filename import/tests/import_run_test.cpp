// The import run as the dialog drives it: the reminder, the choice of the
// exchange document, missing input, and failures that must leave an earlier
// result document as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "formats/dbf/table.hpp"
#include "formats/error.hpp"
#include "import/import_run.hpp"
#include "import_test_support.hpp"

namespace thp::importer::testing {
namespace {

const RecordSpec kUsable = solucRecord("1", "1", "1", "1A", "MAT", "TUT", "JLM", "A1");

class FinishedRun : public ::testing::TestWithParam<bool> {};

TEST_P(FinishedRun, RemindsAsksWritesAndReportsTheEnd) {
  const bool embedded = GetParam();
  const ImportSetup setup;
  setup.writeSoluc(standardSoluc({kUsable}));
  DialogState state;
  state.ModoIntegrado = embedded;
  RecordingUi ui;
  ui.choice = setup.document;

  const ImportResult result = BImportarClick(state, ui, setup.settings());

  std::vector<std::string> expected = {kReminder, "choose", "busy", "idle", kFinished};
  if (embedded) expected.emplace_back("close");
  EXPECT_EQ(ui.events, expected);
  EXPECT_EQ(state.CodigoResultado, 1);
  EXPECT_EQ(state.FicheroXML, setup.document);
  EXPECT_EQ(result.outcome, RunOutcome::Finished);
  EXPECT_TRUE(std::filesystem::exists(setup.result));
}

INSTANTIATE_TEST_SUITE_P(ImportRun, FinishedRun, ::testing::Values(false, true),
                         [](const auto& testInfo) {
                           return std::string(testInfo.param ? "Embedded" : "Interactive");
                         });

struct MissingCase {
  const char* name;
  // Prepares the run: what the chooser answers, the state, the settings.
  std::function<void(const ImportSetup&, RecordingUi&, DialogState&, ImportSettings&)> prepare;
};

void PrintTo(const MissingCase& c, std::ostream* out) { *out << c.name; }

const MissingCase kMissing[] = {
    {"NothingChosenYet", [](const ImportSetup& s, RecordingUi&, DialogState&,
                            ImportSettings&) { s.writeSoluc(standardSoluc({kUsable})); }},
    {"ChosenDocumentAbsent",
     [](const ImportSetup& s, RecordingUi& ui, DialogState&, ImportSettings&) {
       s.writeSoluc(standardSoluc({kUsable}));
       ui.choice = s.folder / "otro.xml";
     }},
    {"ChosenFolderInsteadOfDocument",
     [](const ImportSetup& s, RecordingUi& ui, DialogState&, ImportSettings&) {
       s.writeSoluc(standardSoluc({kUsable}));
       ui.choice = s.folder;
     }},
    {"NoSoluc", [](const ImportSetup& s, RecordingUi& ui, DialogState&,
                   ImportSettings&) { ui.choice = s.document; }},
    {"NoWorkingDirectory",
     [](const ImportSetup& s, RecordingUi& ui, DialogState&, ImportSettings& settings) {
       s.writeSoluc(standardSoluc({kUsable}));
       ui.choice = s.document;
       settings.workingDirectory = s.scratch / "no-existe";
     }},
};

class MissingInput : public ::testing::TestWithParam<std::tuple<MissingCase, bool>> {};

TEST_P(MissingInput, IsReportedAndWritesNothing) {
  const auto& [c, embedded] = GetParam();
  const ImportSetup setup;
  RecordingUi ui;
  DialogState state;
  state.ModoIntegrado = embedded;
  state.CodigoResultado = 1;  // an earlier run finished
  ImportSettings settings = setup.settings();
  c.prepare(setup, ui, state, settings);

  const ImportResult result = BImportarClick(state, ui, settings);

  std::vector<std::string> expected = {kReminder, "choose", kMissingInput};
  if (embedded) expected.emplace_back("close");
  EXPECT_EQ(ui.events, expected);
  EXPECT_EQ(state.CodigoResultado, embedded ? -1 : 1);
  EXPECT_EQ(result.outcome, RunOutcome::MissingInput);
  EXPECT_EQ(entriesOf(setup.folder), std::vector<std::string>{"centro.xml"});
}

INSTANTIATE_TEST_SUITE_P(ImportRun, MissingInput,
                         ::testing::Combine(::testing::ValuesIn(kMissing), ::testing::Bool()),
                         [](const auto& testInfo) {
                           return std::string(std::get<0>(testInfo.param).name) +
                                  (std::get<1>(testInfo.param) ? "Embedded" : "Interactive");
                         });

TEST(ImportRun, AChoiceReplacesTheRememberedDocumentAndACancelReusesIt) {
  const ImportSetup setup;
  setup.writeSoluc(standardSoluc({kUsable}));
  const std::filesystem::path other = setup.scratch / "otra" / "horario.xml";
  std::filesystem::create_directories(other.parent_path());
  std::filesystem::copy_file(setup.document, other);
  DialogState state;
  state.FicheroXML = setup.document;  // from an earlier export
  RecordingUi ui;

  ui.choice = other;
  BImportarClick(state, ui, setup.settings());
  EXPECT_EQ(state.FicheroXML, other);
  EXPECT_TRUE(std::filesystem::exists(other.parent_path() / "ResultadoHorvalhorario.xml"));
  EXPECT_FALSE(std::filesystem::exists(setup.result));

  std::filesystem::remove(other.parent_path() / "ResultadoHorvalhorario.xml");
  ui.choice.reset();
  ui.events.clear();
  BImportarClick(state, ui, setup.settings());
  EXPECT_EQ(state.FicheroXML, other);
  EXPECT_EQ(ui.events.back(), kFinished);
  EXPECT_TRUE(std::filesystem::exists(other.parent_path() / "ResultadoHorvalhorario.xml"));
  EXPECT_FALSE(std::filesystem::exists(setup.result));
}

TEST(ImportRun, FindsTheTablesWhateverTheCaseOfTheirFileNames) {
  const ImportSetup setup;
  setup.writeSoluc(standardSoluc({kUsable}));
  std::filesystem::rename(setup.htemp / "SOLUC.DBF", setup.htemp / "soluc.dbf");
  std::filesystem::rename(setup.htemp / "GRUPOST.DBF", setup.htemp / "Grupost.dbf");
  std::filesystem::rename(setup.htemp / "ASIGT.DBF", setup.htemp / "asigt.DBF");

  setup.run();

  EXPECT_EQ(entriesIn(parseIndependently(setup.result)),
            std::vector<Attributes>{
                entry("M01", "Gº1", "Pñ01", "Aula Ñ €", "Tutoría€", "1", "1", "1", "C1")});
}

// A failure prepared in the working directory or the document; the returned
// table, when there is one, holds its file for the length of the run.
struct FailureCase {
  const char* name;
  std::function<std::optional<dbf::Table>(const ImportSetup&)> prepare;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

std::optional<dbf::Table> holdTable(const std::filesystem::path& file) {
  return dbf::Table::open(file, dbf::Access::Exclusive);
}

const FailureCase kFailures[] = {
    {"SolucWithoutAsig",
     [](const ImportSetup& s) -> std::optional<dbf::Table> {
       std::vector<FieldSpec> fields = standardSolucFields();
       std::erase_if(fields, [](const FieldSpec& f) { return f.name == "ASIG"; });
       s.writeSoluc(dbfBytes(DbfLevel::Level7, fields, {kUsable}));
       return std::nullopt;
     }},
    {"SolucHeldByAnotherProgram",
     [](const ImportSetup& s) {
       s.writeSoluc(standardSoluc({kUsable}));
       return holdTable(s.htemp / "SOLUC.DBF");
     }},
    {"AsigtHeldByAnotherProgram",
     [](const ImportSetup& s) {
       s.writeSoluc(standardSoluc({kUsable}));
       return holdTable(s.htemp / "ASIGT.DBF");
     }},
    {"AsigtMissing",
     [](const ImportSetup& s) -> std::optional<dbf::Table> {
       s.writeSoluc(standardSoluc({kUsable}));
       std::filesystem::remove(s.htemp / "ASIGT.DBF");
       return std::nullopt;
     }},
    {"AulatMissing",
     [](const ImportSetup& s) -> std::optional<dbf::Table> {
       s.writeSoluc(standardSoluc({kUsable}));
       std::filesystem::remove(s.htemp / "AULAT.DBF");
       return std::nullopt;
     }},
    {"SolucDamaged",
     [](const ImportSetup& s) -> std::optional<dbf::Table> {
       s.writeSoluc(standardSoluc({kUsable}).substr(0, 40));
       return std::nullopt;
     }},
    {"DayThatIsNoNumberAfterAGoodRecord",
     [](const ImportSetup& s) -> std::optional<dbf::Table> {
       std::vector<FieldSpec> fields = standardSolucFields();
       fields[0] = {"DIA", 'C', 2};
       s.writeSoluc(dbfBytes(DbfLevel::Level7, fields,
                             {kUsable, solucRecord("x", "1", "1", "1A", "MAT", "", "", "")}));
       return std::nullopt;
     }},
    {"DocumentNotWellFormed",
     [](const ImportSetup& s) -> std::optional<dbf::Table> {
       s.writeSoluc(standardSoluc({kUsable}));
       const std::string text = readFile(s.document);
       writeFile(s.document, text.substr(0, text.find("</materias>")));
       return std::nullopt;
     }},
    {"DocumentOfOtherContent",
     [](const ImportSetup& s) -> std::optional<dbf::Table> {
       s.writeSoluc(standardSoluc({kUsable}));
       writeFile(s.document, "centro;nombre\n28000001;IES\n");
       return std::nullopt;
     }},
};

class ImportFailure : public ::testing::TestWithParam<FailureCase> {};

// Run first without, then with an earlier result document of the same name.
TEST_P(ImportFailure, EndsTheRunAndLeavesNoResultBehind) {
  const ImportSetup setup;
  const std::optional<dbf::Table> held = GetParam().prepare(setup);
  const std::string earlier = "<?xml version=\"1.0\"?>\n<centro nombre=\"anterior\"/>\n";

  for (const bool withEarlier : {false, true}) {
    SCOPED_TRACE(withEarlier ? "with an earlier result" : "without an earlier result");
    if (withEarlier) writeFile(setup.result, earlier);
    DialogState state;
    state.ModoIntegrado = true;
    RecordingUi ui;
    ui.choice = setup.document;

    EXPECT_THROW(BImportarClick(state, ui, setup.settings()), Error);

    EXPECT_EQ(state.CodigoResultado, 0);
    EXPECT_EQ(ui.events.front(), kReminder);
    EXPECT_EQ(std::count(ui.events.begin(), ui.events.end(), kFinished), 0);
    EXPECT_EQ(std::count(ui.events.begin(), ui.events.end(), "close"), 0);
    if (withEarlier) {
      EXPECT_EQ(readFile(setup.result), earlier);
      EXPECT_EQ(entriesOf(setup.folder),
                (std::vector<std::string>{"ResultadoHorvalcentro.xml", "centro.xml"}));
    } else {
      EXPECT_EQ(entriesOf(setup.folder), std::vector<std::string>{"centro.xml"});
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ImportRun, ImportFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace thp::importer::testing
