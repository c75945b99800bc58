#include "bench/generator.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "formats/dbf/table.hpp"
#include "formats/text.hpp"

namespace thp::bench {
namespace {

// splitmix64: small, fast, and the same everywhere (the standard library's
// distributions are not).
class Random {
 public:
  explicit Random(std::uint64_t seed)
      : state_(seed * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  // True with a probability of perMille / 1000.
  bool chance(unsigned perMille) { return below(1000) < perMille; }
  template <typename T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(N)];
  }

 private:
  std::uint64_t state_;
};

std::FILE* openForWriting(const std::filesystem::path& file) {
#ifdef _WIN32
  return _wfopen(file.c_str(), L"wb");
#else
  return std::fopen(file.c_str(), "wb");
#endif
}

// The document as ISO-8859-1 bytes, written out in large blocks.
class Output {
 public:
  explicit Output(const std::filesystem::path& file) : file_(file) {
    stream_ = openForWriting(file);
    if (stream_ == nullptr)
      throw std::runtime_error("cannot write " + file.string() + ": " + std::strerror(errno));
    buffer_.reserve(kBlock + 4096);
  }
  ~Output() {
    if (stream_ != nullptr) std::fclose(stream_);
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void raw(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kBlock) flush();
  }

  // UTF-8 text as ISO-8859-1 character data for an attribute value: markup
  // characters escaped, characters beyond Latin-1 as character references.
  void value(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
      const auto lead = static_cast<unsigned char>(utf8[i]);
      char32_t cp = lead;
      std::size_t length = 1;
      if (lead >= 0xF0) {
        cp = lead & 0x07u, length = 4;
      } else if (lead >= 0xE0) {
        cp = lead & 0x0Fu, length = 3;
      } else if (lead >= 0xC0) {
        cp = lead & 0x1Fu, length = 2;
      }
      for (std::size_t k = 1; k < length; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
      i += length;
      switch (cp) {
        case '&':
          buffer_ += "&amp;";
          break;
        case '<':
          buffer_ += "&lt;";
          break;
        case '>':
          buffer_ += "&gt;";
          break;
        case '"':
          buffer_ += "&quot;";
          break;
        default:
          if (cp <= 0xFF) {
            buffer_ += static_cast<char>(static_cast<unsigned char>(cp));
          } else {
            buffer_ += "&#" + std::to_string(static_cast<std::uint32_t>(cp)) + ';';
          }
      }
    }
  }

  void attribute(std::string_view name, std::string_view utf8) {
    buffer_ += ' ';
    buffer_ += name;
    buffer_ += "=\"";
    value(utf8);
    buffer_ += '"';
  }

  std::uintmax_t close() {
    flush();
    const bool failed = std::fclose(stream_) != 0;
    stream_ = nullptr;
    if (failed) throw std::runtime_error("cannot write " + file_.string());
    return written_;
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 20;
  void flush() {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size())
      throw std::runtime_error("cannot write " + file_.string() + ": " + std::strerror(errno));
    written_ += buffer_.size();
    buffer_.clear();
  }

  std::filesystem::path file_;
  std::FILE* stream_ = nullptr;
  std::string buffer_;
  std::uintmax_t written_ = 0;
};

// Upper-case ASCII letters and digits of a UTF-8 text, accents dropped: what
// an office types as a code.
std::string asciiCode(std::string_view utf8) {
  static const std::map<std::string_view, char> folded = {
      {"á", 'A'}, {"é", 'E'}, {"í", 'I'}, {"ó", 'O'}, {"ú", 'U'}, {"ü", 'U'},
      {"ñ", 'N'}, {"Á", 'A'}, {"É", 'E'}, {"Í", 'I'}, {"Ó", 'O'}, {"Ú", 'U'},
      {"Ñ", 'N'}, {"Ł", 'L'}, {"ł", 'L'}, {"ę", 'E'}, {"ë", 'E'}};
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      if (c >= 'a' && c <= 'z') out += static_cast<char>(c - 32);
      if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) out += static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    const auto found = folded.find(utf8.substr(i, length));
    if (found != folded.end()) out += found->second;
    i += length;
  }
  return out;
}

std::string lowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

// The first character of a UTF-8 word, as an upper-case ASCII letter.
char initial(std::string_view word) {
  const std::string code = asciiCode(word.substr(0, word.find(' ')));
  return code.empty() ? 'X' : code[0];
}

struct Named {
  const char* code;
  const char* name;
};

// Subjects of Spanish secondary schools; some short codes repeat, as they do
// between schools' and regions' habits.
constexpr Named kSubjects[] = {
    {"MAT", "Matemáticas"},
    {"LCL", "Lengua Castellana y Literatura"},
    {"ING", "Inglés"},
    {"FYQ", "Física y Química"},
    {"BYG", "Biología y Geología"},
    {"GEH", "Geografía e Historia"},
    {"EF", "Educación Física"},
    {"MUS", "Música"},
    {"TEC", "Tecnología y Digitalización"},
    {"EPV", "Educación Plástica, Visual y Audiovisual"},
    {"REL", "Religión"},
    {"VAL", "Valores Éticos"},
    {"FRA", "Francés"},
    {"LAT", "Latín"},
    {"GRI", "Griego"},
    {"FIL", "Filosofía"},
    {"HES", "Historia de España"},
    {"ECO", "Economía"},
    {"DT", "Dibujo Técnico"},
    {"QUI", "Química"},
    {"FIS", "Física"},
    {"BIO", "Biología"},
    {"TIC", "Tecnologías de la Información y la Comunicación"},
    {"CUC", "Cultura Clásica"},
    {"IAE", "Iniciativa Emprendedora"},
    {"PSI", "Psicología"},
    {"MAT", "Matemáticas Aplicadas a las Ciencias Sociales"},
    {"ART", "Artes Escénicas & Danza"},
    {"ALE", "Alemán"},
    {"VAL", "Valenciano: Lengua y Literatura"},
    {"EUS", "Euskera"},
    {"GAL", "Lingua Galega e Literatura"},
    {"CAT", "Llengua Catalana i Literatura"},
    {"ATE", "Atención Educativa"},
    {"PRO", "Proyecto de Investigación"},
    {"GEO", "Geología y Ciencias Ambientales"},
};

// Codes with letters beyond ASCII, as some offices write them.
constexpr const char* kAccentedCodes[] = {"FÍS",     "QUÍM",   "MÚS",       "EDUFÍS",   "ÉTICA",
                                          "ESPAÑOL", "DISEÑO", "GEOGRAFÍA", "LENGUA·C", "INGLÉS"};

constexpr Named kActivities[] = {
    {"GUARD", "Guardia de recreo"},
    {"TUT", "Tutoría con alumnos"},
    {"REU", "Reunión de departamento"},
    {"JDEP", "Jefatura de departamento"},
    {"BIBLIO", "Biblioteca"},
    {"ATPAD", "Atención a padres"},
    {"COORD", "Coordinación TIC"},
    {"GUARDIA-RECREO-PATIO", "Vigilancia de patio"},
    {"CCP", "Comisión de Coordinación Pedagógica"},
};

struct Level {
  const char* code;  // codigo_nivel
  const char* name;
  int courses;
};
constexpr Level kLevels[] = {
    {"ESO", "ESO", 4},
    {"BACH", "Bachillerato", 2},
    {"FPB", "FP Básica", 2},
    {"SMR", "CFGM Sistemas Microinformáticos y Redes", 2},
    {"DAM", "CFGS Desarrollo de Aplicaciones Multiplataforma", 2},
};

constexpr const char* kGivenNames[] = {"José Luis", "María del Carmen",
                                       "Ana",       "Antonio",
                                       "Manuel",    "Francisco",
                                       "David",     "Laura",
                                       "Lucía",     "Íñigo",
                                       "Begoña",    "Jesús",
                                       "Ángel",     "Mónica",
                                       "Raúl",      "Sofía",
                                       "Álvaro",    "Nuria",
                                       "Xabier",    "Montserrat",
                                       "Łukasz",    "Zoë",
                                       "Ana María", "Juan Carlos",
                                       "Pilar",     "Rocío",
                                       "Iñaki",     "Agustín"};

constexpr const char* kSurnames[] = {
    "García", "Fernández", "González",   "Rodríguez", "López",    "Martínez",  "Sánchez",
    "Pérez",  "Gómez",     "Martín",     "Jiménez",   "Ruiz",     "Hernández", "Díaz",
    "Moreno", "Muñoz",     "Álvarez",    "Romero",    "Alonso",   "Gutiérrez", "Navarro",
    "Torres", "Domínguez", "Vázquez",    "Ramos",     "Gil",      "Ramírez",   "Serrano",
    "Blanco", "Molina",    "Castro",     "Ortiz",     "Rubio",    "Marín",     "Sanz",
    "Núñez",  "Iglesias",  "Medina",     "Garrido",   "Cortés",   "Castillo",  "Santos",
    "Lozano", "Guerrero",  "Cano",       "Prieto",    "Méndez",   "Cruz",      "Calvo",
    "Ibáñez", "Peña",      "Etxeberria", "Wałęsa",    "O'Connor", "Zubiri",    "Echevarría"};

constexpr const char* kRoomKinds[] = {"Laboratorio de Física",
                                      "Laboratorio de Química",
                                      "Aula de Informática",
                                      "Taller de Tecnología",
                                      "Aula de Música",
                                      "Gimnasio",
                                      "Biblioteca",
                                      "Sala de Usos Múltiples"};
constexpr const char* kRoomCodes[] = {"GIM", "BIB", "SUM", "MUS", "PLA", "TEC", "INF", "LAB"};

constexpr const char* kDniLetters = "TRWAGMYFPDXBNJZSQVHLCKE";

struct Materia {
  std::string code;  // as written, may carry blanks
  std::string name;
  std::string activity;  // codigo_actividad
  bool longCode = false;
  bool duplicate = false;
};

std::vector<Materia> planMaterias(std::size_t count, Random& random, DocumentFacts& facts) {
  std::vector<Materia> materias;
  materias.reserve(count);
  std::map<std::pair<std::size_t, std::size_t>, std::size_t> variants;  // subject, level → used
  std::map<std::size_t, std::size_t> activityVariants;
  std::vector<std::size_t> originals;  // short-coded subjects a duplicate may copy

  auto subject = [&] {
    const std::size_t s = random.below(std::size(kSubjects));
    const std::size_t l = random.below(std::size(kLevels));
    const Level& level = kLevels[l];
    const int course = 1 + static_cast<int>(random.below(static_cast<std::size_t>(level.courses)));
    const std::size_t variant = variants[{s, l * 10 + static_cast<std::size_t>(course)}]++;
    Materia m;
    m.name = std::string(kSubjects[s].name) + " " + std::to_string(course) + "º " + level.name;
    if (variant > 0) m.name += " (" + std::to_string(variant + 1) + ")";
    const std::string tag = std::to_string(course) + level.code[0];
    const std::size_t kind = random.below(100);
    const std::string base = kSubjects[s].code;
    if (kind < 30) {
      m.code = base + tag;
    } else if (kind < 55) {
      m.code = base;
    } else if (kind < 63) {
      m.code = random.chance(500) ? lowerAscii(base + tag)
                                  : base.substr(0, 1) + lowerAscii(base.substr(1));
    } else if (kind < 73) {
      std::string longCode = asciiCode(kSubjects[s].name);
      if (longCode.size() > 16) longCode.resize(16);
      m.code = longCode + tag;
      while (m.code.size() <= 10) m.code += 'X';
      m.longCode = true;
    } else if (kind < 78) {
      m.code = random.pick(kAccentedCodes);
    } else if (kind < 80) {
      m.code = " " + base + " ";
    } else {
      m.code = base + tag + "-" + static_cast<char>('A' + random.below(6));
    }
    const std::size_t task = random.below(100);
    m.activity = task < 90 ? "LECT" : task < 93 ? "" : task < 97 ? "TUT" : "REU";
    return m;
  };

  auto activity = [&] {
    const std::size_t a = random.below(std::size(kActivities));
    const std::size_t variant = activityVariants[a]++;
    Materia m;
    m.name = kActivities[a].name;
    if (variant > 0) m.name += " " + std::to_string(variant + 1);
    m.code = kActivities[a].code;
    m.longCode = m.code.size() > 10;
    m.activity = m.code;
    return m;
  };

  const Materia fixed[] = {{"LECTIVA", "Actividad lectiva", "LECTIVA"},
                           {"GUARDIA", "Guardia", "GUARDIA"},
                           {"TUT", "Tutoría", " TUT "},
                           {"REU", "Reunión", "REU"}};
  for (std::size_t i = 0; i < count; ++i) {
    Materia m;
    if (i < std::size(fixed)) {
      m = fixed[i];
    } else if (random.chance(100)) {
      m = activity();
    } else if (originals.size() > 20 && random.chance(20)) {
      // The same subject twice, as a document merged from two sources has it.
      m = materias[originals[random.below(originals.size())]];
      m.duplicate = true;
    } else {
      m = subject();
    }
    const bool isActivity = m.activity == m.code || (m.code == "TUT" && m.activity == " TUT ");
    if (isActivity) {
      ++facts.activities;
    } else {
      ++facts.subjects;
      if (m.duplicate) {
        ++facts.duplicateSubjects;
      } else if (!m.longCode) {
        originals.push_back(i);
      }
    }
    materias.push_back(std::move(m));
  }
  return materias;
}

std::string dni(Random& random) {
  const std::size_t number = 10000000 + random.below(89999999);
  return std::to_string(number) + kDniLetters[number % 23];
}

void writeProfesores(Output& out, std::size_t count, Random& random) {
  out.raw("  <profesores>\n");
  for (std::size_t i = 0; i < count; ++i) {
    const std::string given = random.pick(kGivenNames);
    const std::string first = random.pick(kSurnames);
    const std::string second = random.chance(50) ? "" : random.pick(kSurnames);
    std::string initials{initial(given), initial(first)};
    if (!second.empty()) initials += initial(second);
    const std::size_t kind = random.below(100);
    std::string code;
    if (kind < 65) {
      code = initials;
    } else if (kind < 73) {
      code = lowerAscii(initials);
    } else if (kind < 78) {
      code = initials.substr(0, 1) + lowerAscii(initials.substr(1));
    } else if (kind < 88) {
      code = initials + std::to_string(1 + random.below(9));
    } else if (kind < 93) {
      code = asciiCode(first + second + given);
    } else if (kind < 95) {
      code = "";
    } else {
      code = asciiCode(given.substr(0, given.find(' ')));
    }
    out.raw("    <profesor");
    out.attribute("codigo", code);
    out.attribute("nombre", given);
    out.attribute("apellido1", first);
    out.attribute("apellido2", second);
    out.attribute("documento", dni(random));
    out.attribute("idprofesor", "P" + std::to_string(i + 1));
    out.raw("/>\n");
  }
  out.raw("  </profesores>\n");
}

void writeAulas(Output& out, std::size_t count, Random& random) {
  out.raw("  <aulas>\n");
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t kind = random.below(100);
    const std::string number = std::to_string(1 + random.below(count));
    std::string code;
    std::string name = "Aula " + number;
    if (kind < 50) {
      code = "A" + number;
    } else if (kind < 55) {
      code = "a" + number;
    } else if (kind < 65) {
      name = std::string(random.pick(kRoomKinds)) + " " + number;
    } else if (kind < 70) {
      code = "LABORATORIO-QUIMICA-" + number;
      name = "Laboratorio de Química " + number;
    } else {
      code = std::string(random.pick(kRoomCodes)) + number;
      name = std::string(random.pick(kRoomKinds)) + " " + number;
    }
    std::string capacity;
    if (!random.chance(200)) {
      if (random.chance(50)) capacity = " ";
      capacity += std::to_string(16 + random.below(20));
    }
    out.raw("    <daula");
    out.attribute("codigo", code);
    out.attribute("nombre", name);
    out.attribute("capacidad_alumnos", capacity);
    out.attribute("idaula", "R" + std::to_string(i + 1));
    out.raw("/>\n");
  }
  out.raw("  </aulas>\n");
}

void writeGrupos(Output& out, std::size_t count, Random& random) {
  out.raw("  <grupos>\n");
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t l = random.below(std::size(kLevels));
    const Level& level = kLevels[l];
    const int course = 1 + static_cast<int>(random.below(static_cast<std::size_t>(level.courses)));
    const std::string letter(1, static_cast<char>('A' + random.below(8)));
    const std::string prefix = std::to_string(course) + level.code;
    const std::size_t kind = random.below(100);
    std::string code;
    if (kind < 75) {
      code = prefix + "-" + letter;
    } else if (kind < 80) {
      code = lowerAscii(prefix + "-" + letter);
    } else if (kind < 88) {
      code = prefix + (random.chance(500) ? "-DIVERSIFICACION" : "-CIENCIAS-TECNOLOGIA");
    } else {
      code = prefix + letter;
    }
    out.raw("    <dgrupo");
    out.attribute("codigo", code);
    out.attribute("nombre", std::to_string(course) + "º " + level.name + " " + letter);
    out.attribute("codigo_nivel", level.code);
    out.attribute("curso", std::to_string(course));
    out.attribute("cgrupo", letter);
    out.attribute("idgrupo", "G" + std::to_string(i + 1));
    out.attribute("idcurso", "C" + std::to_string(l * 10 + static_cast<std::size_t>(course)));
    out.raw("/>\n");
  }
  out.raw("  </grupos>\n");
}

std::string clock(int minutes) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", (minutes / 60) % 24, minutes % 60);
  return text;
}

std::size_t writeFranjas(Output& out, Random& random) {
  const int periods = 6 + static_cast<int>(random.below(7));  // 30 to 60 slots
  out.raw("  <franjashorarias>\n");
  for (int day = 1; day <= 5; ++day) {
    for (int period = 1; period <= periods; ++period) {
      const int start = 8 * 60 + 30 + (period - 1) * 55 + (period > 3 ? 30 : 0);
      out.raw("    <franjahoraria");
      out.attribute("dia_semana", std::to_string(day));
      out.attribute("posicion", std::to_string(period));
      out.attribute("hora_inicio", clock(start));
      out.attribute("hora_final", clock(start + 55));
      out.raw("/>\n");
    }
  }
  out.raw("  </franjashorarias>\n");
  return static_cast<std::size_t>(5 * periods);
}

const char* hoursText(Random& random) {
  const std::size_t r = random.below(1000);
  if (r < 20) return "0";
  if (r < 270) return "1";
  if (r < 550) return "2";
  if (r < 750) return "3";
  if (r < 880) return "4";
  if (r < 930) return "5";
  if (r < 948) return "6";
  if (r < 968) return "1.5";
  if (r < 988) return "2.5";
  if (r < 998) return "0.5";
  return "15";
}

}  // namespace

DocumentFacts writeDocument(const DocumentPlan& plan, const std::filesystem::path& file) {
  const std::size_t n = std::max<std::size_t>(plan.assignments, 1);
  Random random(plan.seed);
  DocumentFacts facts;
  const std::size_t materiaCount = std::max<std::size_t>(n / 20, 24);
  const std::size_t teacherCount = std::max<std::size_t>(n / 40, 8);
  const std::size_t roomCount = std::max<std::size_t>(n / 80, 6);
  const std::size_t groupCount = std::max<std::size_t>(n / 60, 6);

  const std::vector<Materia> materias = planMaterias(materiaCount, random, facts);

  Output out(file);
  out.raw("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n");
  out.raw("<!-- ");
  out.value("Exportación de PLADUNA: centro generado, " + std::to_string(n) + " asignaturas");
  out.raw(" -->\n<centro");
  out.attribute("codigo_interno", " 28" + std::to_string(100000 + plan.seed % 900000) + " ");
  out.attribute("nombre", "IES Generado n.º " + std::to_string(plan.seed));
  out.attribute("curso", "2026-2027");
  out.attribute("version", "3.2");
  out.attribute("fecha_exportacion", "10/12/2026 9:15:02");
  out.raw(">\n  <materias>\n");
  for (std::size_t i = 0; i < materias.size(); ++i) {
    out.raw("    <dmateria");
    out.attribute("codigo", materias[i].code);
    out.attribute("nombre", materias[i].name);
    out.attribute("codigo_actividad", materias[i].activity);
    out.attribute("idmateria", "M" + std::to_string(i + 1));
    out.raw("/>\n");
  }
  out.raw("  </materias>\n");
  writeProfesores(out, teacherCount, random);
  writeAulas(out, roomCount, random);
  writeGrupos(out, groupCount, random);
  const std::size_t slotCount = writeFranjas(out, random);

  out.raw("  <asignaturas>\n");
  for (std::size_t i = 0; i < n; ++i) {
    std::string group = "G" + std::to_string(1 + random.below(groupCount));
    if (random.chance(5)) {
      group = "G0" + std::to_string(i);  // a group the document does not have
      ++facts.assignmentsNoGroup;
    }
    std::size_t materia = random.below(materias.size());
    std::string subject = "M" + std::to_string(materia + 1);
    if (random.chance(5)) {
      subject = "M0" + std::to_string(i);  // a subject the document does not have
      ++facts.assignmentsOmitted;
    } else if (materias[materia].duplicate) {
      ++facts.assignmentsOmitted;
    }
    std::string teacher = "P" + std::to_string(1 + random.below(teacherCount));
    if (random.chance(10)) teacher.clear();
    const bool omitted = subject[1] == '0' || materias[materia].duplicate;
    if (teacher.empty() && !omitted) ++facts.assignmentsNoTeacher;
    if (omitted && group[1] == '0') --facts.assignmentsNoGroup;  // omitted: no notice for it
    out.raw("    <dasignatura");
    out.attribute("cgrupo", group);
    out.attribute("casig", subject);
    out.attribute("cprofe", teacher);
    out.attribute("conexion", random.chance(850) ? "" : std::to_string(1 + random.below(40)));
    out.attribute("nhoras", hoursText(random));
    out.raw("/>\n");
  }
  out.raw("  </asignaturas>\n</centro>\n");
  facts.bytes = out.close();

  facts.records = {materiaCount - facts.duplicateSubjects,
                   teacherCount,
                   roomCount,
                   groupCount,
                   slotCount,
                   n - facts.assignmentsOmitted};
  return facts;
}

namespace {

struct SolucField {
  const char* name;
  char type;
  std::size_t length;
};
constexpr SolucField kSolucFields[] = {
    {"DIA", 'N', 1},   {"HORA", 'N', 2},   {"SESIONES", 'N', 2}, {"CODGRUPO", 'C', 10},
    {"ASIG", 'C', 10}, {"TAREA", 'C', 10}, {"PROF", 'C', 10},    {"AULA", 'C', 10}};

void putField(std::string& out, const SolucField& field, std::string_view value) {
  value = value.substr(0, field.length);
  if (field.type == 'N') out.append(field.length - value.size(), ' ');
  out += value;
  if (field.type != 'N') out.append(field.length - value.size(), ' ');
}

void putLittleEndian(std::string& out, std::size_t at, std::uint32_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) {
    out[at + i] = static_cast<char>(value & 0xFFu);
    value >>= 8;
  }
}

// The level 7 header as the timetabling program's engine writes it.
std::string solucHeader(std::size_t records) {
  const std::size_t fieldCount = std::size(kSolucFields);
  std::string header(68 + 48 * fieldCount + 1, '\0');
  header[0] = '\x04';
  header[1] = static_cast<char>(126);  // last update 2026-06-15
  header[2] = static_cast<char>(6);
  header[3] = static_cast<char>(15);
  std::size_t recordLength = 1;
  for (const SolucField& field : kSolucFields) recordLength += field.length;
  putLittleEndian(header, 4, static_cast<std::uint32_t>(records), 4);
  putLittleEndian(header, 8, static_cast<std::uint32_t>(header.size()), 2);
  putLittleEndian(header, 10, static_cast<std::uint32_t>(recordLength), 2);
  header[29] = '\x57';
  std::memcpy(&header[32], "DBWINES0", 8);
  for (std::size_t i = 0; i < fieldCount; ++i) {
    char* descriptor = &header[68 + 48 * i];
    std::memcpy(descriptor, kSolucFields[i].name, std::strlen(kSolucFields[i].name));
    descriptor[32] = kSolucFields[i].type;
    descriptor[33] = static_cast<char>(kSolucFields[i].length);
  }
  header.back() = '\x0D';
  return header;
}

// One planned SOLUC record.
struct Planned {
  std::uint32_t assignment;  // ASIGT record
  std::uint32_t serial;      // order of planning, the last sort key
  std::uint32_t room;        // AULAT record, kNoRoom for none
  std::uint16_t slot;        // DIASHORAST record
  std::uint8_t kind;         // see below
  std::uint8_t sessions;
};
enum : std::uint8_t { kNormal, kZeroDay, kUnknownSubject, kDeleted, kGuardTask };
constexpr std::uint32_t kNoRoom = 0xFFFFFFFFu;

}  // namespace

SolucFacts writeSoluc(const std::filesystem::path& directory, std::uint64_t seed,
                      std::vector<SolucEntry>* entries) {
  const dbf::Table asigt = dbf::Table::open(directory / "ASIGT.DBF", dbf::Access::Shared);
  const dbf::Table aulat = dbf::Table::open(directory / "AULAT.DBF", dbf::Access::Shared);
  const dbf::Table franjas = dbf::Table::open(directory / "DIASHORAST.DBF", dbf::Access::Shared);

  struct Slot {
    int day, hour;
  };
  std::vector<Slot> slots;
  const std::size_t dia = franjas.field("DIA");
  const std::size_t hora = franjas.field("HORA");
  for (std::size_t r = 0; r < franjas.recordCount(); ++r)
    slots.push_back({franjas.integer(r, dia), franjas.integer(r, hora)});
  if (slots.empty()) slots.push_back({1, 1});

  const std::size_t casig = asigt.field("CASIG"), cprof = asigt.field("CPROF"),
                    cgrup = asigt.field("CGRUP"), ctarea = asigt.field("CTAREA"),
                    horas = asigt.field("HORAS"), idasig = asigt.field("IDASIG"),
                    idgrup = asigt.field("IDGRUP"), idprof = asigt.field("IDPROF");
  const std::size_t abrev = aulat.field("ABREV"), idaula = aulat.field("IDAULA");

  Random random(seed ^ 0x50C0DBFULL);
  std::vector<Planned> planned;
  planned.reserve(asigt.recordCount() * 4);
  for (std::size_t a = 0; a < asigt.recordCount(); ++a) {
    const double hours = asigt.number(a, horas, '.');
    const long wanted = std::max(1L, std::lround(hours * 1.5));
    for (long k = 0; k < wanted; ++k) {
      Planned p{};
      p.assignment = static_cast<std::uint32_t>(a);
      p.serial = static_cast<std::uint32_t>(planned.size());
      p.slot = static_cast<std::uint16_t>(random.below(slots.size()));
      p.room = aulat.recordCount() == 0 || random.chance(30)
                   ? kNoRoom
                   : static_cast<std::uint32_t>(random.below(aulat.recordCount()));
      const std::size_t special = random.below(1000);
      p.kind = special < 2    ? kZeroDay
               : special < 4  ? kUnknownSubject
               : special < 7  ? kDeleted
               : special < 12 ? kGuardTask
                              : kNormal;
      p.sessions = random.chance(100) ? 2 : 1;
      planned.push_back(p);
    }
  }
  // Stored by day and hour, as the program leaves its solution.
  std::sort(planned.begin(), planned.end(), [](const Planned& x, const Planned& y) {
    return x.slot != y.slot ? x.slot < y.slot : x.serial < y.serial;
  });

  const std::filesystem::path file = directory / "SOLUC.DBF";
  std::FILE* stream = openForWriting(file);
  if (stream == nullptr)
    throw std::runtime_error("cannot write " + file.string() + ": " + std::strerror(errno));
  SolucFacts facts;
  facts.records = planned.size();
  std::string block = solucHeader(planned.size());
  if (entries != nullptr) entries->reserve(entries->size() + planned.size());
  auto flush = [&] {
    if (std::fwrite(block.data(), 1, block.size(), stream) != block.size()) {
      std::fclose(stream);
      throw std::runtime_error("cannot write " + file.string());
    }
    facts.bytes += block.size();
    block.clear();
  };
  for (const Planned& p : planned) {
    const Slot slot = slots[p.slot];
    const int day = p.kind == kZeroDay ? 0 : slot.day;
    const std::string subjectCode = p.kind == kUnknownSubject
                                        ? "#" + std::to_string(p.serial % 1000000)
                                        : std::string(asigt.rawText(p.assignment, casig));
    const std::string_view room =
        p.room == kNoRoom ? std::string_view{} : aulat.rawText(p.room, abrev);
    const std::string_view group = asigt.rawText(p.assignment, cgrup);
    const std::string_view teacher = asigt.rawText(p.assignment, cprof);
    block += p.kind == kDeleted ? '*' : ' ';
    putField(block, kSolucFields[0], std::to_string(day));
    putField(block, kSolucFields[1], std::to_string(slot.hour));
    putField(block, kSolucFields[2], std::to_string(p.sessions));
    putField(block, kSolucFields[3], group);
    putField(block, kSolucFields[4], subjectCode);
    putField(block, kSolucFields[5],
             p.kind == kGuardTask ? std::string_view("GUAR") : asigt.rawText(p.assignment, ctarea));
    putField(block, kSolucFields[6], teacher);
    putField(block, kSolucFields[7], room);
    if (block.size() >= (std::size_t{1} << 20)) flush();

    SolucEntry entry;
    entry.deleted = p.kind == kDeleted;
    entry.givesEntry = !entry.deleted && day != 0 && slot.hour != 0 && p.kind != kUnknownSubject;
    facts.deleted += entry.deleted ? 1 : 0;
    if (!entry.deleted) {
      facts.zeroDay += day == 0 ? 1 : 0;
      facts.unknownSubject += p.kind == kUnknownSubject ? 1 : 0;
    }
    facts.entries += entry.givesEntry ? 1 : 0;
    if (entries == nullptr) continue;
    entry.day = day;
    entry.hour = slot.hour;
    entry.subjectId = text::fromCp1252(asigt.rawText(p.assignment, idasig));
    if (!group.empty()) entry.groupId = text::fromCp1252(asigt.rawText(p.assignment, idgrup));
    if (!teacher.empty()) entry.teacherId = text::fromCp1252(asigt.rawText(p.assignment, idprof));
    if (!room.empty()) entry.roomId = text::fromCp1252(aulat.rawText(p.room, idaula));
    entries->push_back(std::move(entry));
  }
  block += '\x1A';
  flush();
  if (std::fclose(stream) != 0) throw std::runtime_error("cannot write " + file.string());
  return facts;
}

}  // namespace thp::bench
