#include "formats/exchange_sections.hpp"

namespace thp::exchange {

const std::vector<xml::SectionQuery>& exportQueries() {
  static const std::vector<xml::SectionQuery> queries = {
      {{"centro", "materias", "dmateria"}, {"codigo", "nombre", "codigo_actividad", "idmateria"}},
      {{"centro", "profesores", "profesor"},
       {"codigo", "nombre", "apellido1", "apellido2", "documento", "idprofesor"}},
      {{"centro", "aulas", "daula"}, {"codigo", "nombre", "capacidad_alumnos", "idaula"}},
      {{"centro", "grupos", "dgrupo"},
       {"codigo", "nombre", "codigo_nivel", "curso", "cgrupo", "idgrupo", "idcurso"}},
      {{"centro", "franjashorarias", "franjahoraria"},
       {"dia_semana", "posicion", "hora_inicio", "hora_final"}},
      {{"centro", "asignaturas", "dasignatura"},
       {"cgrupo", "casig", "cprofe", "conexion", "nhoras"}},
  };
  return queries;
}

const std::vector<std::string>& headerAttributes() {
  static const std::vector<std::string> attributes = {"codigo_interno", "nombre", "curso",
                                                      "version"};
  return attributes;
}

std::string sectionName(Section section) {
  const auto& path = exportQueries()[section].path;
  return path[1] + "/" + path[2];
}

}  // namespace thp::exchange
