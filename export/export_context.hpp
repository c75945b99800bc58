#pragma once

#include <string>
#include <string_view>

#include "export/code_numbering.hpp"
#include "export/export_report.hpp"
#include "export/table_set.hpp"
#include "formats/text.hpp"
#include "formats/xml/exchange_document.hpp"

namespace thp::exporter {

// What the transforms of one export run share: the loaded document, the new
// tables, the subject code registries and the report.
struct ExportContext {
  const xml::ExchangeDocument& document;
  TableSet& tables;
  char decimalSeparator;
  ExportReport& report;

  // The subject and activity passes' registries: written codes and seen names,
  // compared exactly. New for every run, so every run rebuilds ASIGNOMT alike.
  ExactCodes ListaCodigos;
  ExactCodes ListaNombres;
};

// A value of the document as the tables hold it: trimmed, in Windows-1252.
inline std::string valueOf(const xml::Section& section, std::size_t item, std::size_t attribute) {
  return text::toCp1252(text::trim(section.value(item, attribute)));
}

// Every export transform writes nothing for a section of fewer than two items.
inline bool sectionIsTaken(const xml::Section& section) { return section.size() >= 2; }

// The transforms, in the order of the export run.
void ExportarMaterias(ExportContext& context);
void ExportarActividades(ExportContext& context);
void ExportarProfesores(ExportContext& context);
void ExportarAulas(ExportContext& context);
void ExportarGrupos(ExportContext& context);
void ExportarFranjas(ExportContext& context);
void ExportarAsignaturas(ExportContext& context);

}  // namespace thp::exporter
