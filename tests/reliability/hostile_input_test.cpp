// Hostile inputs through the real command-line tool: exchange documents that
// try to expand without end, to read local files or the network, to nest or
// grow without bound, or that break their own encoding; dBase tables whose
// headers lie. Each is refused with a Spanish error naming the file, or read
// for what it safely holds, and no file the tool writes changes on a refusal.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/reliability/reliability_support.hpp"

namespace thp::reliability {
namespace {

namespace fs = std::filesystem;

const SchoolSize kSchool{};

// A loopback port that accepts connections without ever answering: after a
// run, a connection waiting in its queue shows that the tool reached out.
class LoopbackListener {
 public:
  LoopbackListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("no loopback listener");
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackListener() { ::close(fd_); }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
  }
  // How many connections arrived since the last call.
  int connections() {
    int n = 0;
    for (int fd; (fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ++n) ::close(fd);
    return n;
  }

 private:
  int fd_ = -1;
  unsigned short port_ = 0;
};

// A school whose export and import work, with its tables, its SOLUC and an
// earlier result document in place; hostile files are put beside them.
class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(htemp_);
    writeFile(document_, schoolDocument(kSchool));
    writeFile(folder_ / "secreto.txt", "SECRETO-LOCAL");
    writeFile(folder_ / "externo.dtd",
              "<!ENTITY filtrado \"SECRETO-DTD\">\n"
              "<!ATTLIST dmateria nombre CDATA \"SECRETO-DTD\">\n");
    ASSERT_EQ(runTool({"export", document_.string(), "--dir", htemp_.string()}).exitCode, 0);
    writeSoluc(htemp_ / "SOLUC.DBF", kSchool, 40);
    const Outcome imported = runTool({"import", document_.string(), "--dir", htemp_.string()});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
  }

  // Runs the tool and checks that it refused with a Spanish error naming
  // `named` (and containing `reason`), changing nothing and leaving nothing.
  void expectRefused(const std::vector<std::string>& arguments, const fs::path& named,
                     const std::string& reason = "") {
    const Tree before = snapshot(folder_);
    const Outcome outcome = runTool(arguments);
    EXPECT_EQ(outcome.exitCode, 1) << outcome.out << outcome.err;
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_NE(outcome.err.find(named.string()), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find(reason), std::string::npos) << outcome.err;
    EXPECT_TRUE(spanishOpening(outcome.err)) << outcome.err;
    EXPECT_EQ(outcome.out.find("Proceso finalizado"), std::string::npos);
    EXPECT_EQ(differences(before, snapshot(folder_)), std::vector<std::string>{});
    expectNothingLeaked();
  }

  // The first words of the tool's error messages.
  static bool spanishOpening(const std::string& message) {
    for (const char* opening : {"El documento XML ", "La tabla ", "El campo ", "No se puede ",
                                "No existe ", "El diario ", "'"})
      if (message.rfind(opening, 0) == 0) return true;
    return false;
  }

  // No output holds what the local files say.
  void expectNothingLeaked() {
    for (const auto& [name, bytes] : snapshot(folder_)) {
      if (name == "secreto.txt" || name == "externo.dtd") continue;
      EXPECT_EQ(bytes.find("SECRETO-"), std::string::npos) << name;
    }
  }

  Outcome exportDocument(const fs::path& document) {
    return runTool({"export", document.string(), "--dir", htemp_.string()});
  }
  Outcome importDocument(const fs::path& document) {
    return runTool({"import", document.string(), "--dir", htemp_.string()});
  }

  ScratchDir scratch_{"thp-hostile"};
  const fs::path folder_ = scratch_.path();
  const fs::path htemp_ = folder_ / "HTEMP";
  const fs::path document_ = folder_ / "centro.xml";
};

// The start of a school document, to which a case adds a doctype or content.
const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string kRoot =
    "<centro codigo_interno=\"1\" nombre=\"IES\" curso=\"2026\" version=\"1\">";

std::string repeated(const std::string& piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

std::string laughs(const char* kind) {
  std::string dtd = "<!DOCTYPE centro [<!ENTITY l0 \"jajajajaja\">";
  for (int i = 1; i <= 12; ++i)
    dtd += "<!ENTITY l" + std::to_string(i) + " \"" +
           repeated("&l" + std::to_string(i - 1) + ";", 10) + "\">";
  dtd += "]>\n";
  const std::string use = std::string(kind) == "atributo"
                              ? "<materias><dmateria nombre=\"&l12;\"/></materias>"
                              : "<materias><dmateria>&l12;</dmateria></materias>";
  return kDeclaration + dtd + kRoot + use + "</centro>";
}

// Where a case's document may point: the local files beside it, and a port
// on the loopback.
struct Targets {
  fs::path folder;
  const LoopbackListener& listener;
  std::string file(const char* name) const { return "file://" + (folder / name).string(); }
  std::string network(const char* name) const { return listener.url(name); }
};

struct DocumentCase {
  const char* label;
  std::function<std::string(const Targets&)> bytes;
  const char* reason;  // part of the message; nullptr for a document that is read
};

std::vector<DocumentCase> documentCases() {
  using T = const Targets&;
  const std::string materia = "<materias><dmateria codigo=\"X\" nombre=\"x\"/>";
  return {
      {"risas en un atributo", [](T) { return laughs("atributo"); }, "se expanden sin fin"},
      {"risas en el texto", [](T) { return laughs("texto"); }, "se expanden sin fin"},
      {"entidad grande repetida",
       [](T) {
         return kDeclaration + "<!DOCTYPE centro [<!ENTITY a \"" + std::string(100000, 'a') +
                "\">]>\n" + kRoot + "<materias><dmateria nombre=\"" + repeated("&a;", 2000) +
                "\"/></materias></centro>";
       },
       "demasiado largo"},
      {"entidades de parámetro anidadas",
       [](T) {
         std::string dtd = "<!DOCTYPE centro [<!ENTITY % p0 \"<!-- jajajajaja -->\">";
         for (int i = 1; i <= 12; ++i)
           dtd += "<!ENTITY % p" + std::to_string(i) + " \"" +
                  repeated("%p" + std::to_string(i - 1) + ";", 10) + "\">";
         return kDeclaration + dtd + "%p12;]>\n" + kRoot + "</centro>";
       },
       ""},
      {"entidad externa local en un atributo",
       [](T t) {
         return kDeclaration + "<!DOCTYPE centro [<!ENTITY x SYSTEM \"" + t.file("secreto.txt") +
                "\">]>\n" + kRoot + "<materias><dmateria nombre=\"&x;\"/></materias></centro>";
       },
       "la entidad externa 'x' no se admite"},
      {"entidad externa local en el texto, por ruta relativa",
       [](T) {
         return kDeclaration + "<!DOCTYPE centro [<!ENTITY x SYSTEM \"secreto.txt\">]>\n" + kRoot +
                "<materias><dmateria>&x;</dmateria></materias></centro>";
       },
       "la entidad externa 'x' no se admite"},
      {"entidad de parámetro externa local",
       [](T t) {
         return kDeclaration + "<!DOCTYPE centro [<!ENTITY % p SYSTEM \"" + t.file("externo.dtd") +
                "\"> %p;]>\n" + kRoot +
                "<materias><dmateria nombre=\"&filtrado;\"/></materias></centro>";
       },
       "no se admite"},
      {"DTD externa local cuya entidad se usa",
       [](T t) {
         return kDeclaration + "<!DOCTYPE centro SYSTEM \"" + t.file("externo.dtd") + "\">\n" +
                kRoot + "<materias><dmateria nombre=\"&filtrado;\"/></materias></centro>";
       },
       "filtrado"},
      {"DTD externa local sin usar",
       [](T t) {
         return kDeclaration + "<!DOCTYPE centro SYSTEM \"" + t.file("externo.dtd") + "\">\n" +
                schoolDocument(kSchool).substr(kDeclaration.size());
       },
       nullptr},
      {"DTD externa en la red",
       [](T t) {
         return kDeclaration + "<!DOCTYPE centro SYSTEM \"" + t.network("externo.dtd") + "\">\n" +
                schoolDocument(kSchool).substr(kDeclaration.size());
       },
       nullptr},
      {"entidad externa en la red",
       [](T t) {
         return kDeclaration + "<!DOCTYPE centro [<!ENTITY x SYSTEM \"" + t.network("x") +
                "\">]>\n" + kRoot + "<materias><dmateria nombre=\"&x;\"/></materias></centro>";
       },
       "la entidad externa 'x' no se admite"},
      {"entidad de parámetro en la red",
       [](T t) {
         return kDeclaration + "<!DOCTYPE centro [<!ENTITY % p PUBLIC \"-//x//y\" \"" +
                t.network("p.dtd") + "\"> %p;]>\n" + kRoot + "</centro>";
       },
       "no se admite"},
      {"XInclude de un archivo local",
       [](T t) {
         return kDeclaration + kRoot + "<materias xmlns:xi=\"http://www.w3.org/2001/XInclude\">" +
                "<xi:include href=\"" + t.file("secreto.txt") + "\" parse=\"text\"/>" +
                "<dmateria codigo=\"A\" nombre=\"a\"/><dmateria codigo=\"B\" nombre=\"b\"/>" +
                "</materias></centro>";
       },
       nullptr},
      {"anidamiento profundo",
       [](T) {
         return kDeclaration + kRoot + repeated("<a>", 100000) + repeated("</a>", 100000) +
                "</centro>";
       },
       "demasiada profundidad"},
      {"anidamiento profundo en una entidad",
       [](T) {
         return kDeclaration + "<!DOCTYPE centro [<!ENTITY n \"" + repeated("<a>", 300) +
                repeated("</a>", 300) + "\">]>\n" + kRoot + "&n;</centro>";
       },
       "demasiada profundidad"},
      {"atributo enorme",
       [materia](T) {
         return kDeclaration + kRoot + materia + "<dmateria codigo=\"" +
                std::string(11 << 20, 'x') + "\"/></materias></centro>";
       },
       "el valor de un atributo es demasiado largo"},
      {"nombre de atributo enorme",
       [materia](T) {
         return kDeclaration + kRoot + materia + "<dmateria " + std::string(11 << 20, 'x') +
                "=\"1\"/></materias></centro>";
       },
       "demasiado largo"},
      {"miles de atributos en un elemento",
       [materia](T) {
         std::string tag = "<dmateria";
         for (int i = 0; i < 3000; ++i) tag += " a" + std::to_string(i) + "=\"1\"";
         return kDeclaration + kRoot + materia + tag + "/></materias></centro>";
       },
       "un elemento tiene más de 2000 atributos"},
      {"miles de atributos que trae una entidad",
       [](T) {
         std::string tag = "<dmateria";
         for (int i = 0; i < 3000; ++i) tag += " a" + std::to_string(i) + "&#61;'1'";
         return kDeclaration + "<!DOCTYPE centro [<!ENTITY e \"" + tag + "/>\">]>\n" + kRoot +
                "<materias>&e;&e;</materias></centro>";
       },
       "la entidad 'e' tiene un elemento de más de 2000 atributos"},
      {"valores por omisión para cientos de atributos",
       [](T) {
         std::string dtd = "<!DOCTYPE centro [";
         for (int i = 0; i < 300; ++i)
           dtd += "<!ATTLIST dmateria a" + std::to_string(i) + " CDATA \"1\">";
         return kDeclaration + dtd + "]>\n" + kRoot + "<materias>" + repeated("<dmateria/>", 1000) +
                "</materias></centro>";
       },
       "el doctype da valor por omisión a más de 32 atributos del elemento 'dmateria'"},
      {"atributo grande que se admite",
       [](T) {
         std::string xml = schoolDocument(kSchool);
         const std::string name = "nombre=\"Materia 0";
         xml.insert(xml.find(name) + name.size(), std::string(5 << 20, 'x'));
         return xml;
       },
       nullptr},
      {"bytes que no son UTF-8",
       [materia](T) {
         return kDeclaration + kRoot + materia + "<dmateria nombre=\"a\xC3\x28z\"/></materias>" +
                "</centro>";
       },
       "no corresponden a su codificación"},
      {"UTF-8 demasiado largo",
       [materia](T) {
         return kDeclaration + kRoot + materia + "<dmateria nombre=\"\xC0\xAF\"/></materias>" +
                "</centro>";
       },
       "no corresponden a su codificación"},
      {"suplente en UTF-8",
       [materia](T) {
         return kDeclaration + kRoot + materia + "<dmateria nombre=\"\xED\xA0\x80\"/></materias>" +
                "</centro>";
       },
       "no corresponden a su codificación"},
      {"UTF-16 con un suplente suelto",
       [](T) {
         std::string bytes = "\xFF\xFE";
         for (const char c : std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?><centro a=\""))
           bytes += std::string{c, '\0'};
         bytes += std::string("\x00\xD8", 2);  // a high surrogate with no low one after it
         for (const char c : std::string("\"/>")) bytes += std::string{c, '\0'};
         return bytes;
       },
       "no son válidos en la codificación UTF-16"},
      {"UTF-16 de longitud impar",
       [](T) {
         std::string bytes = "\xFF\xFE";
         for (const char c : std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?><centro/>"))
           bytes += std::string{c, '\0'};
         return bytes.substr(0, bytes.size() - 1);
       },
       ""},
      {"byte sin carácter en windows-1252",
       [](T) {
         return "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n" + kRoot +
                "<materias><dmateria nombre=\"a\x81z\"/></materias></centro>";
       },
       "no son válidos en la codificación windows-1252"},
      {"UTF-8 declarado como UTF-16",
       [](T) { return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n" + kRoot + "</centro>"; },
       "no corresponden a su codificación"},
      {"codificación inexistente",
       [](T) { return "<?xml version=\"1.0\" encoding=\"UTF-9\"?>\n" + kRoot + "</centro>"; },
       "no se conoce la codificación que declara (Unsupported encoding UTF-9"},
      {"codificación con una ruta por nombre",
       [](T) {
         return "<?xml version=\"1.0\" encoding=\"../../etc/passwd\"?>\n" + kRoot + "</centro>";
       },
       "no se conoce la codificación"},
      {"carácter NUL", [](T) { return kDeclaration + kRoot + std::string("\0", 1) + "</centro>"; },
       ""},
      {"referencia a un carácter prohibido",
       [materia](T) {
         return kDeclaration + kRoot + materia + "<dmateria nombre=\"&#0;\"/></materias></centro>";
       },
       "XML no admite"},
      {"carácter de control",
       [materia](T) {
         return kDeclaration + kRoot + materia + "<dmateria nombre=\"\x01\"/></materias></centro>";
       },
       "XML no admite"},
      {"documento cortado",
       [](T) { return schoolDocument(kSchool).substr(0, schoolDocument(kSchool).size() / 2); }, ""},
      {"archivo vacío", [](T) { return std::string(); }, "Document is empty"},
      {"solo la marca de orden de bytes", [](T) { return std::string("\xEF\xBB\xBF"); }, ""},
      {"bytes al azar",
       [](T) {
         std::string bytes;
         std::uint32_t state = 12345;
         for (int i = 0; i < 4096; ++i) {
           state = state * 1103515245u + 12345u;
           bytes.push_back(static_cast<char>(state >> 24));
         }
         return bytes;
       },
       ""},
  };
}

TEST_F(HostileInput, ExchangeDocumentsAreRefusedOrReadWithoutReachingOut) {
  LoopbackListener listener;
  const fs::path hostile = folder_ / "hostil.xml";
  for (const DocumentCase& c : documentCases()) {
    SCOPED_TRACE(c.label);
    writeFile(hostile, c.bytes(Targets{folder_, listener}));
    if (c.reason != nullptr) {
      expectRefused({"export", hostile.string(), "--dir", htemp_.string()}, hostile, c.reason);
      expectRefused({"import", hostile.string(), "--dir", htemp_.string()}, hostile, c.reason);
    } else {
      // Read for what it holds, with nothing fetched.
      const Outcome exported = exportDocument(hostile);
      EXPECT_EQ(exported.exitCode, 0) << exported.err;
      const Outcome imported = importDocument(hostile);
      EXPECT_EQ(imported.exitCode, 0) << imported.err;
      expectNothingLeaked();
      fs::remove(folder_ / "ResultadoHorvalhostil.xml");
      ASSERT_EQ(exportDocument(document_).exitCode, 0);
    }
    EXPECT_EQ(listener.connections(), 0) << "the tool reached out to the network";
    count("hostile documents tried", 2);
  }
}

// A dBase III+ table composed byte by byte; values are stored as given,
// left-aligned (right-aligned for N).
struct Column {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

void put(std::string& bytes, std::size_t at, std::uint32_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i, value >>= 8) bytes[at + i] = static_cast<char>(value);
}

std::string dbase3(const std::vector<Column>& columns,
                   const std::vector<std::vector<std::string>>& rows) {
  std::size_t recordLength = 1;
  for (const Column& c : columns) recordLength += static_cast<std::size_t>(c.length);
  std::string bytes(32, '\0');
  bytes[0] = '\x03';
  bytes[1] = 126, bytes[2] = 9, bytes[3] = 1;
  put(bytes, 4, static_cast<std::uint32_t>(rows.size()), 4);
  put(bytes, 8, static_cast<std::uint32_t>(32 + 32 * columns.size() + 1), 2);
  put(bytes, 10, static_cast<std::uint32_t>(recordLength), 2);
  bytes[29] = '\x57';
  for (const Column& c : columns) {
    std::string descriptor(32, '\0');
    c.name.copy(descriptor.data(), 10);
    descriptor[11] = c.type;
    descriptor[16] = static_cast<char>(c.length);
    descriptor[17] = static_cast<char>(c.decimals);
    bytes += descriptor;
  }
  bytes += '\x0D';
  for (const auto& row : rows) {
    bytes += ' ';
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const auto width = static_cast<std::size_t>(columns[i].length);
      std::string value = i < row.size() ? row[i].substr(0, width) : std::string();
      const std::string pad(width - value.size(), ' ');
      bytes += columns[i].type == 'N' ? pad + value : value + pad;
    }
  }
  return bytes + '\x1A';
}

// The fields of SOLUC as the import reads them, with `changed` in place of
// its namesake (or left out when its length is 0).
std::vector<Column> solucColumns(const Column& changed = {"", 'C', 0}) {
  std::vector<Column> columns = {{"DIA", 'N', 1},       {"HORA", 'N', 2},  {"SESIONES", 'N', 2},
                                 {"CODGRUPO", 'C', 10}, {"ASIG", 'C', 10}, {"TAREA", 'C', 10},
                                 {"PROF", 'C', 10},     {"AULA", 'C', 10}};
  for (auto it = columns.begin(); it != columns.end(); ++it)
    if (it->name == changed.name) {
      if (changed.length == 0)
        columns.erase(it);
      else
        *it = changed;
      break;
    }
  return columns;
}

// Three entries of the generated school, every code found.
const std::vector<std::vector<std::string>> kRows = {
    {"1", "1", "1", "G0", "S0", "LECT", "T0", "R0"},
    {"2", "2", "1", "G1", "S1", "S1", "T1", "R1"},
    {"3", "3", "1", "G2", "S2", "S2", "T2", "R2"}};

std::vector<std::vector<std::string>> withFirst(std::size_t column, const std::string& value) {
  auto rows = kRows;
  rows[0][column] = value;
  return rows;
}

std::string goodSoluc() { return dbase3(solucColumns(), kRows); }

std::string patched(std::string bytes, std::size_t at, std::uint32_t value, std::size_t width) {
  put(bytes, at, value, width);
  return bytes;
}

// The offset of a field's descriptor in a dBase III+ header.
constexpr std::size_t descriptor(std::size_t field) { return 32 + 32 * field; }

struct TableCase {
  const char* label;
  const char* file;                                               // in the working directory
  std::function<std::string(const std::string& exported)> bytes;  // from the file as exported
  const char* reason;       // part of the message; nullptr for a table that is read
  std::size_t entries = 0;  // for a table that is read
};

std::vector<TableCase> tableCases() {
  using S = const std::string&;
  const char* soluc = "SOLUC.DBF";
  return {
      {"vacía", soluc, [](S) { return std::string(); }, "el archivo está vacío"},
      {"cabecera cortada", soluc, [](S) { return goodSoluc().substr(0, 20); },
       "más corto que su cabecera"},
      {"cabecera más larga que el archivo", soluc,
       [](S) { return patched(goodSoluc(), 8, 0xFFFF, 2); }, "más larga que el archivo"},
      {"cabecera demasiado corta", soluc, [](S) { return patched(goodSoluc(), 8, 33, 2); },
       "demasiado pequeña"},
      {"versión desconocida", soluc, [](S) { return patched(goodSoluc(), 0, 0, 1); },
       "no tiene un formato dBase conocido (versión 0x00)"},
      {"longitud de registro 0", soluc, [](S) { return patched(goodSoluc(), 10, 0, 2); },
       "la longitud de registro es 0"},
      {"registro más corto que sus campos", soluc,
       [](S) { return patched(goodSoluc(), 10, 20, 2); }, "no caben en la longitud de registro"},
      {"campo de longitud 0", soluc,
       [](S) { return patched(goodSoluc(), descriptor(7) + 16, 0, 1); },
       "el campo AULA tiene longitud 0"},
      {"campo de longitud 255 que no cabe", soluc,
       [](S) { return patched(goodSoluc(), descriptor(7) + 16, 255, 1); },
       "no caben en la longitud de registro"},
      {"campo FoxPro de 65535 bytes", soluc,
       [](S) {
         std::string bytes = patched(goodSoluc(), 0, 0x30, 1);
         return patched(bytes, descriptor(3) + 16, 0xFFFF, 2);
       },
       "no caben en la longitud de registro"},
      {"un campo con nombre y ningún dato", soluc,
       [](S) { return patched(goodSoluc().substr(0, 64), 8, 65, 2); },
       "la cabecera es más larga que el archivo"},
      {"definición de campo cortada", soluc,
       [](S) { return patched(goodSoluc(), 8, 32 + 32 + 20, 2); },
       "una definición de campo sale de la cabecera"},
      {"campo sin nombre", soluc, [](S) { return patched(goodSoluc(), descriptor(2), 0, 1); },
       "un campo no tiene nombre"},
      {"falta un campo", soluc,
       [](S) {
         return dbase3(solucColumns({"AULA", 'C', 0}), kRows);
       },
       "El campo AULA no existe en la tabla"},
      {"día que no es un número", soluc,
       [](S) {
         return dbase3(solucColumns({"DIA", 'C', 2}), withFirst(0, "ab"));
       },
       "'ab' no es un valor entero válido en la tabla"},
      {"día numérico con bytes de control", soluc,
       [](S) {
         return dbase3(solucColumns({"DIA", 'N', 3}), withFirst(0, std::string("1\0"
                                                                               "2",
                                                                               3)));
       },
       "'1?2' no es un valor numérico válido en la tabla"},
      {"día de texto con bytes de control", soluc,
       [](S) {
         return dbase3(solucColumns({"DIA", 'C', 3}), withFirst(0, "a\x01z"));
       },
       "'a?z' no es un valor entero válido en la tabla"},
      {"día hecho solo de bytes de control", soluc,
       [](S) {
         return dbase3(solucColumns({"DIA", 'N', 2}), withFirst(0, std::string("\0\x01", 2)));
       },
       nullptr, 2},
      {"hora fuera de rango", soluc,
       [](S) {
         return dbase3(solucColumns({"HORA", 'N', 6}), withFirst(1, "1e999"));
       },
       "'1e999' no es un valor numérico válido en la tabla"},
      {"día que no cabe en un entero", soluc,
       [](S) {
         return dbase3(solucColumns({"DIA", 'N', 11}), withFirst(0, "99999999999"));
       },
       "'99999999999' no es un valor entero válido en la tabla"},
      {"entero de 2 bytes", soluc,
       [](S) {
         return dbase3(solucColumns({"DIA", 'I', 2}), withFirst(0, ""));
       },
       "el campo DIA de tipo I no tiene 4 bytes"},
      {"GRUPOST cortado", "GRUPOST.DBF", [](S exported) { return exported.substr(0, 100); },
       "la cabecera es más larga que el archivo"},
      {"GRUPOST cortado antes del final de su cabecera fija", "GRUPOST.DBF",
       [](S exported) { return exported.substr(0, 60); }, "más corto que su cabecera"},
      {"PROFT sin IDPROF", "PROFT.DBF",
       [](S) {
         return dbase3({{"ABREV", 'C', 10}}, {{"T0"}});
       },
       "El campo IDPROF no existe en la tabla"},
      {"ASIGNOMT vacío", "ASIGNOMT.DBF", [](S) { return std::string(); }, "el archivo está vacío"},
      {"AULAT con la cabecera más larga que el archivo", "AULAT.DBF",
       [](S exported) { return patched(exported, 8, 0xFFFF, 2); }, "más larga que el archivo"},
      {"ASIGT con una versión desconocida", "ASIGT.DBF",
       [](S exported) { return patched(exported, 0, 0xFF, 1); }, "no tiene un formato dBase"},
      // Read for what they hold.
      {"más registros en la cabecera que en el archivo", soluc,
       [](S) { return patched(goodSoluc(), 4, 1000000000, 4); }, nullptr, 3},
      {"la cuenta más alta y ningún registro", soluc,
       [](S) { return patched(dbase3(solucColumns(), {}), 4, 0xFFFFFFFF, 4); }, nullptr, 0},
      {"último registro cortado", soluc,
       [](S) {
         const std::string bytes = goodSoluc();
         return bytes.substr(0, bytes.size() - 10);
       },
       nullptr, 2},
      {"campos y ningún dato", soluc, [](S) { return dbase3(solucColumns(), {}); }, nullptr, 0},
      {"solo registros borrados", soluc,
       [](S) {
         std::string bytes = goodSoluc();
         const std::size_t first = descriptor(8) + 1;
         for (std::size_t r = 0; r < kRows.size(); ++r) bytes[first + r * 56] = '*';
         return bytes;
       },
       nullptr, 0},
      {"campo de 255 bytes", soluc,
       [](S) {
         return dbase3(solucColumns({"AULA", 'C', 255}), kRows);
       },
       nullptr, 3},
      {"AULAT sin registros", "AULAT.DBF",
       [](S) {
         return dbase3({{"ABREV", 'C', 10}, {"IDAULA", 'C', 20}}, {});
       },
       nullptr, 3},
  };
}

TEST_F(HostileInput, DamagedTablesAreRefusedOrReadForWhatTheyHold) {
  writeFile(htemp_ / "SOLUC.DBF", goodSoluc());
  ASSERT_EQ(importDocument(document_).exitCode, 0);
  for (const TableCase& c : tableCases()) {
    SCOPED_TRACE(c.label);
    const fs::path table = htemp_ / c.file;
    const std::string original = readFile(table);
    writeFile(table, c.bytes(original));
    if (c.reason != nullptr) {
      expectRefused({"import", document_.string(), "--dir", htemp_.string()}, table, c.reason);
    } else {
      const Outcome imported = importDocument(document_);
      EXPECT_EQ(imported.exitCode, 0) << imported.err;
      EXPECT_NE(imported.out.find("Entradas escritas: " + std::to_string(c.entries) + "\n"),
                std::string::npos)
          << imported.out;
    }
    writeFile(table, original);
    count("hostile tables tried");
  }
}

}  // namespace
}  // namespace thp::reliability
