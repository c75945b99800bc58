#pragma once

// What the import tests share: a scratch directory per test, whole-file reads
// and writes, a user interface that records what the run does with it, the
// lookup tables made by a real export, and an independent XML parser
// (Python's expat-based minidom) to read result documents back.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include "tests/support/scratch_dir.hpp"

#include "formats/run_interface.hpp"
#include "import/import_run.hpp"
#include "soluc_builder.hpp"

namespace thp::importer::testing {

using testsupport::entriesOf;
using testsupport::readFile;
using testsupport::ScratchDir;
using testsupport::writeFile;

// Records every call a run makes on its user interface, in order: messages as
// their text, the others as "choose", "busy", "idle" and "close".
class RecordingUi : public RunUserInterface {
 public:
  std::optional<std::filesystem::path> choice;  // what the chooser answers
  std::vector<std::string> events;

  std::optional<std::filesystem::path> chooseExchangeDocument() override;
  void showMessage(std::string_view message) override;
  void setBusy(bool busy) override;
  void closeDialog() override;
};

inline constexpr const char* kReminder =
    "Deberá Abrir el fichero XML de PLADUNA,\r\ndesde el cual realizó la Importación a Horvalen";
inline constexpr const char* kMissingInput = "No existe archivo XML o Solución.";
inline constexpr const char* kFinished = "Proceso finalizado";

// Exports an exchange document's tables into directory, as the export run does.
void exportTables(const std::filesystem::path& document, const std::filesystem::path& directory,
                  char decimalSeparator);

// UTF-8 text as ISO-8859-1 bytes, characters beyond it as character references.
std::string latin1WithReferences(std::string_view utf8);

// A node of a parsed document, in document order: an element with its
// attributes in the order written, a comment or a processing instruction.
struct ParsedNode {
  char kind;  // 'E', 'C' or 'P'
  int depth;  // 0 outside the root element
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string value;  // comment text or PI data
  bool operator==(const ParsedNode&) const = default;
};
void PrintTo(const ParsedNode& node, std::ostream* out);

// Every node of an XML file as Python's minidom reads it, values as UTF-8;
// fails the test when the file does not parse.
std::vector<ParsedNode> parseIndependently(const std::filesystem::path& file);

// The dsolucion elements of a parsed result document.
using Attributes = std::vector<std::pair<std::string, std::string>>;
std::vector<Attributes> entriesIn(const std::vector<ParsedNode>& nodes);

// A dsolucion's attributes in the order the result document must carry them.
Attributes entry(std::string casig, std::string cgrupo, std::string cprofe, std::string caula,
                 std::string cactiv, std::string dia, std::string hora, std::string sesiones,
                 std::string idcurso);

// The exchange document the lookup tables come from (UTF-8). Its export gives:
//   GRUPOST  ABREV 1A -> IDGRUPO Gº1, IDCURSO C1; ABREV "" -> G00, C0
//   ASIGNOMT COD MAT -> M01; FIS -> FISQ01; ANO -> Año1X; "" -> M00;
//            LECTIVA -> A01; LECT -> A09; TUT -> Tutoría€; no GUARDIA
//   PROFT    ABREV JLM -> IDPROF Pñ01; ABREV "" -> P00
//   AULAT    ABREV A1 -> IDAULA "Aula Ñ €"; ABREV "" -> R00
// A comment and a processing instruction precede the root, a comment follows it.
extern const char* const kExchangeDocument;

inline constexpr const char* kTimestamp = "17/05/2026 10:11:12";

// The usual SOLUC: level 7, as the timetabling program writes it by default.
std::vector<FieldSpec> standardSolucFields();
std::string standardSoluc(const std::vector<RecordSpec>& records);

// A SOLUC record from its eight values, in the order DIA, HORA, SESIONES,
// CODGRUPO, ASIG, TAREA, PROF, AULA.
RecordSpec solucRecord(std::string dia, std::string hora, std::string sesiones,
                       std::string codgrupo, std::string asig, std::string tarea, std::string prof,
                       std::string aula);

// A working directory with the lookup tables exported from kExchangeDocument
// and that document in a folder of its own, in UTF-8 or in a single-byte
// encoding (characters beyond ISO-8859-1 as character references).
struct ImportSetup {
  explicit ImportSetup(std::string_view encoding = "UTF-8");

  ScratchDir scratch;
  std::filesystem::path htemp;     // the working directory
  std::filesystem::path folder;    // the exchange document's folder
  std::filesystem::path document;  // folder / "centro.xml"
  std::filesystem::path result;    // folder / "ResultadoHorvalcentro.xml"

  void writeSoluc(std::string_view bytes) const { writeFile(htemp / "SOLUC.DBF", bytes); }
  ImportSettings settings(char decimalSeparator = ',') const;
  // An interactive run that picks `document`.
  ImportResult run(char decimalSeparator = ',') const;
};

}  // namespace thp::importer::testing
