#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "formats/xml/exchange_document.hpp"

// The sections of the exchange document that the export reads, and the
// attributes of their items, in the order the queries collect them.
namespace thp::exchange {

enum Section : std::size_t {
  kMaterias,     // /centro/materias/dmateria
  kProfesores,   // /centro/profesores/profesor
  kAulas,        // /centro/aulas/daula
  kGrupos,       // /centro/grupos/dgrupo
  kFranjas,      // /centro/franjashorarias/franjahoraria
  kAsignaturas,  // /centro/asignaturas/dasignatura
  kSectionCount
};

namespace materia {
enum : std::size_t { codigo, nombre, codigo_actividad, idmateria };
}
namespace profesor {
enum : std::size_t { codigo, nombre, apellido1, apellido2, documento, idprofesor };
}
namespace aula {
enum : std::size_t { codigo, nombre, capacidad_alumnos, idaula };
}
namespace grupo {
enum : std::size_t { codigo, nombre, codigo_nivel, curso, cgrupo, idgrupo, idcurso };
}
namespace franja {
enum : std::size_t { dia_semana, posicion, hora_inicio, hora_final };
}
namespace asignatura {
enum : std::size_t { cgrupo, casig, cprofe, conexion, nhoras };
}
namespace header {
enum : std::size_t { codigo_interno, nombre, curso, version };
}

// The queries for the six sections, indexed by Section.
const std::vector<xml::SectionQuery>& exportQueries();

// The header attributes of the root `centro`, indexed as in `header`.
const std::vector<std::string>& headerAttributes();

// The container and item names of a section, for messages ("materias/dmateria").
std::string sectionName(Section section);

}  // namespace thp::exchange
