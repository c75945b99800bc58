#include "import_test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "export/export_run.hpp"

namespace thp::importer::testing {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

// One line per node: kind, depth, then hex fields, each prefixed with 'x' so
// that an empty one still shows.
constexpr const char* kDumpScript = R"(import sys
from xml.dom import minidom, Node
def h(s): return 'x' + s.encode('utf-8').hex()
def walk(parent, depth):
    for n in parent.childNodes:
        if n.nodeType == Node.ELEMENT_NODE:
            print(' '.join(['E', str(depth), h(n.tagName)] +
                           [h(k) + '=' + h(v) for k, v in n.attributes.items()]))
            walk(n, depth + 1)
        elif n.nodeType == Node.COMMENT_NODE:
            print('C', depth, h(n.data))
        elif n.nodeType == Node.PROCESSING_INSTRUCTION_NODE:
            print('P', depth, h(n.target), h(n.data))
walk(minidom.parse(sys.argv[1]), 0)
)";

std::string fromHex(std::string_view token) {
  std::string out;
  for (std::size_t i = 1; i + 1 < token.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(token.substr(i, 2)), nullptr, 16));
  return out;
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> tokens;
  std::size_t at = 0;
  while (at <= line.size()) {
    std::size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    tokens.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return tokens;
}

}  // namespace

std::optional<std::filesystem::path> RecordingUi::chooseExchangeDocument() {
  events.emplace_back("choose");
  return choice;
}
void RecordingUi::showMessage(std::string_view message) { events.emplace_back(message); }
void RecordingUi::setBusy(bool busy) { events.emplace_back(busy ? "busy" : "idle"); }
void RecordingUi::closeDialog() { events.emplace_back("close"); }

void exportTables(const std::filesystem::path& document, const std::filesystem::path& directory,
                  char decimalSeparator) {
  exporter::ExportSettings settings;
  settings.workingDirectory = directory;
  settings.decimalSeparator = decimalSeparator;
  exporter::exportTables(exporter::readForExport(document), directory, settings);
}

std::string latin1WithReferences(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    if (code <= 0xFF)
      out += static_cast<char>(code);
    else
      out += "&#" + std::to_string(static_cast<unsigned long>(code)) + ";";
    i += length;
  }
  return out;
}

void PrintTo(const ParsedNode& node, std::ostream* out) {
  *out << node.kind << node.depth << " <" << node.name;
  for (const auto& [name, value] : node.attributes)
    *out << " " << name << "=" << ::testing::PrintToString(value);
  if (!node.value.empty()) *out << " " << ::testing::PrintToString(node.value);
  *out << ">";
}

std::vector<ParsedNode> parseIndependently(const std::filesystem::path& file) {
  const ScratchDir scratch;
  const std::filesystem::path script = scratch / "dump.py";
  const std::filesystem::path output = scratch / "dump.txt";
  writeFile(script, kDumpScript);
  const std::string command = std::string(kPython) + " '" + script.string() + "' '" +
                              file.string() + "' > '" + output.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << "minidom cannot read " << file << ":\n" << readFile(output);
  std::vector<ParsedNode> nodes;
  if (status != 0) return nodes;
  std::ifstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    const std::vector<std::string> tokens = split(line);
    ParsedNode node{tokens.at(0).at(0), std::stoi(tokens.at(1)), fromHex(tokens.at(2)), {}, {}};
    if (node.kind == 'E') {
      for (std::size_t t = 3; t < tokens.size(); ++t) {
        const std::size_t equals = tokens[t].find('=');
        node.attributes.emplace_back(fromHex(tokens[t].substr(0, equals)),
                                     fromHex(tokens[t].substr(equals + 1)));
      }
    } else if (node.kind == 'C') {
      node.value = node.name;
      node.name.clear();
    } else {
      node.value = fromHex(tokens.at(3));
    }
    nodes.push_back(std::move(node));
  }
  return nodes;
}

std::vector<Attributes> entriesIn(const std::vector<ParsedNode>& nodes) {
  std::vector<Attributes> entries;
  for (const ParsedNode& node : nodes)
    if (node.kind == 'E' && node.name == "dsolucion") entries.push_back(node.attributes);
  return entries;
}

Attributes entry(std::string casig, std::string cgrupo, std::string cprofe, std::string caula,
                 std::string cactiv, std::string dia, std::string hora, std::string sesiones,
                 std::string idcurso) {
  return {{"casig", std::move(casig)},    {"cgrupo", std::move(cgrupo)},
          {"cprofe", std::move(cprofe)},  {"caula", std::move(caula)},
          {"cactiv", std::move(cactiv)},  {"dia", std::move(dia)},
          {"hora", std::move(hora)},      {"sesiones", std::move(sesiones)},
          {"idcurso", std::move(idcurso)}};
}

}  // namespace thp::importer::testing

namespace thp::importer::testing {

const char* const kExchangeDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- Exportación de prueba -->
<?pladuna origen="prueba"?>
<centro codigo_interno=" 28000001 " nombre=" IES Peñalara € " curso="2026-2027" version=" 3.2 " fecha_exportacion="01/09/2026 8:00:00">
  <materias>
    <dmateria codigo="" nombre="" codigo_actividad="Q" idmateria="M00"/>
    <dmateria codigo="MAT" nombre="Matemáticas" codigo_actividad="X" idmateria="M01"/>
    <dmateria codigo="FIS" nombre="Física" codigo_actividad="X" idmateria="FISQ01"/>
    <dmateria codigo="ANO" nombre="Anatomía" codigo_actividad="X" idmateria="Año1X"/>
    <dmateria codigo="LECTIVA" nombre="Lectiva" codigo_actividad="LECTIVA" idmateria="A01"/>
    <dmateria codigo="LECT" nombre="Lectura" codigo_actividad="LECT" idmateria="A09"/>
    <dmateria codigo="TUT" nombre="Tutoría" codigo_actividad="TUT" idmateria="Tutoría€"/>
  </materias>
  <profesores>
    <profesor codigo="JLM" nombre="José Luis" apellido1="Martín" idprofesor="Pñ01"/>
    <profesor codigo="" nombre="Íñigo" apellido1="Etxeberria" idprofesor="P00"/>
  </profesores>
  <aulas>
    <daula codigo="A1" nombre="Aula 1" capacidad_alumnos="30" idaula="Aula Ñ €"/>
    <daula codigo="" nombre="" capacidad_alumnos="" idaula="R00"/>
  </aulas>
  <grupos>
    <dgrupo codigo="1A" nombre="1º A" codigo_nivel="ESO" curso="1" cgrupo="A" idgrupo="Gº1" idcurso="C1"/>
    <dgrupo codigo="" nombre="" codigo_nivel="ESO" curso="1" cgrupo="B" idgrupo="G00" idcurso="C0"/>
  </grupos>
</centro>
<!-- fin -->
)";

std::vector<FieldSpec> standardSolucFields() {
  return {{"DIA", 'N', 1},       {"HORA", 'N', 2},  {"SESIONES", 'N', 2},
          {"CODGRUPO", 'C', 10}, {"ASIG", 'C', 10}, {"TAREA", 'C', 10},
          {"PROF", 'C', 10},     {"AULA", 'C', 10}, {"SEMANA", 'C', 1}};
}

std::string standardSoluc(const std::vector<RecordSpec>& records) {
  return dbfBytes(DbfLevel::Level7, standardSolucFields(), records);
}

RecordSpec solucRecord(std::string dia, std::string hora, std::string sesiones,
                       std::string codgrupo, std::string asig, std::string tarea, std::string prof,
                       std::string aula) {
  return {{{"DIA", std::move(dia)},
           {"HORA", std::move(hora)},
           {"SESIONES", std::move(sesiones)},
           {"CODGRUPO", std::move(codgrupo)},
           {"ASIG", std::move(asig)},
           {"TAREA", std::move(tarea)},
           {"PROF", std::move(prof)},
           {"AULA", std::move(aula)},
           {"SEMANA", "A"}}};
}

ImportSetup::ImportSetup(std::string_view encoding)
    : htemp(scratch / "HTEMP"),
      folder(scratch / "pladuna"),
      document(folder / "centro.xml"),
      result(folder / "ResultadoHorvalcentro.xml") {
  std::filesystem::create_directories(htemp);
  std::filesystem::create_directories(folder);
  std::string text = kExchangeDocument;
  if (encoding != "UTF-8") {
    const std::string declaration = "encoding=\"UTF-8\"";
    text.replace(text.find(declaration), declaration.size(),
                 "encoding=\"" + std::string(encoding) + "\"");
    text = latin1WithReferences(text);
  }
  writeFile(document, text);
  exportTables(document, htemp, ',');
}

ImportSettings ImportSetup::settings(char decimalSeparator) const {
  ImportSettings settings;
  settings.workingDirectory = htemp;
  settings.decimalSeparator = decimalSeparator;
  settings.exportTimestamp = kTimestamp;
  return settings;
}

ImportResult ImportSetup::run(char decimalSeparator) const {
  DialogState state;
  RecordingUi ui;
  ui.choice = document;
  return BImportarClick(state, ui, settings(decimalSeparator));
}

}  // namespace thp::importer::testing
