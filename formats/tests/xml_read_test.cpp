#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "formats/error.hpp"
#include "formats/tests/xml/test_support.hpp"
#include "formats/xml/exchange_document.hpp"

namespace thp::xml {
namespace {

using testing::ScratchDir;
using testing::utf16;
using testing::writeFile;
using Kind = OutsideNode::Kind;

const SectionQuery kMaterias{{"centro", "materias", "dmateria"}, {"codigo", "nombre"}};

// Every item of a section, each as its values in query order.
std::vector<std::vector<std::string>> items(const Section& section, std::size_t attributes) {
  std::vector<std::vector<std::string>> out(section.size());
  for (std::size_t i = 0; i < section.size(); ++i)
    for (std::size_t a = 0; a < attributes; ++a) out[i].emplace_back(section.value(i, a));
  return out;
}

class xmlRead : public ::testing::Test {
 protected:
  ExchangeDocument read(std::string_view bytes,
                        const std::vector<SectionQuery>& queries = {kMaterias},
                        const std::vector<std::string>& rootAttributes = {}) {
    writeFile(file(), bytes);
    return ExchangeDocument::read(file(), queries, rootAttributes);
  }
  // The message of the error reading the bytes raises; empty when none.
  std::string errorOf(std::string_view bytes) {
    ::testing::internal::CaptureStderr();
    std::string message;
    try {
      read(bytes);
    } catch (const Error& error) {
      message = error.what();
    }
    // libxml2 must never print on its own.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    return message;
  }
  std::filesystem::path file() const { return dir / "intercambio.xml"; }
  std::string prefix(int line) const {
    return "El documento XML " + file().string() + " no es válido (línea " + std::to_string(line) +
           "): ";
  }

  ScratchDir dir;
};

TEST_F(xmlRead, CollectsElementsAtExactlyTheQueryPath) {
  const ExchangeDocument document = read(
      R"xml(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo="28001" nombre="IES Uno" x:otro="no" xmlns:x="urn:x">
  <materias>
    <dmateria codigo="M1" nombre="Lengua" abrev="LEN">texto<dmateria codigo="ANIDADA"/></dmateria>
    <dmateria nombre="Sin código"/>
    <x:dmateria codigo="PREFIJO"/>
    <dmateria xmlns="urn:y" codigo="POR-DEFECTO"/>
    <dmateria x:codigo="ATRIBUTO-CON-PREFIJO" abrev="P"/>
  </materias>
  <dmateria codigo="CORTA"/>
  <otros><materias><dmateria codigo="PROFUNDA"/></materias></otros>
  <x:materias><dmateria codigo="CONTENEDOR-CON-PREFIJO"/></x:materias>
  <profesores><dprofesor codigo="P1"/></profesores>
  <materias>
    <dmateria codigo="M2" nombre="Historia"/>
  </materias>
</centro>)xml",
      {kMaterias,
       {{"centro", "profesores", "dprofesor"}, {"codigo"}},
       {{"otro", "materias", "dmateria"}, {"codigo"}},
       {{"centro", "materias", "dmateria"}, {"abrev"}},
       {{"centro", "materias"}, {}}},
      {"codigo", "nombre", "otro", "ausente"});

  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(items(document.section(0), 2),
            (Rows{{"M1", "Lengua"}, {"", "Sin código"}, {"", ""}, {"M2", "Historia"}}));
  EXPECT_EQ(items(document.section(1), 1), (Rows{{"P1"}}));
  EXPECT_EQ(document.section(2).size(), 0u);
  EXPECT_EQ(items(document.section(3), 1), (Rows{{"LEN"}, {""}, {"P"}, {""}}));
  EXPECT_EQ(document.section(4).size(), 2u);

  EXPECT_EQ(document.rootName(), "centro");
  EXPECT_TRUE(document.rootIsCentro());
  EXPECT_EQ(document.rootAttribute(0), "28001");
  EXPECT_EQ(document.rootAttribute(1), "IES Uno");
  EXPECT_EQ(document.rootAttribute(2), "");  // x:otro is another attribute
  EXPECT_EQ(document.rootAttribute(3), "");
}

TEST_F(xmlRead, RootOtherThanCentroHasNoRootAttributes) {
  struct Case {
    const char* xml;
    const char* name;
  };
  for (const Case& c : {Case{R"xml(<otro codigo="1"/>)xml", "otro"},
                        Case{R"xml(<centro xmlns="urn:z" codigo="1"/>)xml", "centro"},
                        Case{R"xml(<c:centro xmlns:c="urn:c" codigo="1"/>)xml", "c:centro"}}) {
    SCOPED_TRACE(c.xml);
    const ExchangeDocument document = read(c.xml, {kMaterias}, {"codigo"});
    EXPECT_EQ(document.rootName(), c.name);
    EXPECT_FALSE(document.rootIsCentro());
    EXPECT_EQ(document.rootAttribute(0), "");
    EXPECT_EQ(document.section(0).size(), 0u);
  }
}

TEST_F(xmlRead, ValuesHaveReferencesResolvedAndSpacesKept) {
  const ExchangeDocument document = read(R"xml(<!DOCTYPE centro [
  <!ENTITY nombre "Instituto &amp; Cía">
  <!ENTITY doble "&nombre; (&nombre;)">
  <!ATTLIST dmateria nombre CDATA "por omisión">
  <!ENTITY % definiciones "<!ENTITY desdeParametro 'definida en una entidad parámetro'>">
  %definiciones;
]>
<centro><materias>
<dmateria codigo="&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos;" nombre="dado"/>
<dmateria codigo="&#233;&#xE9;&#x20AC;&#x4E2D;&#x1F600;"/>
<dmateria codigo="&doble;"/>
<dmateria codigo="  dos  espacios  "/>
<dmateria codigo="a&#9;b&#10;c&#13;d"/>
<dmateria codigo="literal	tab
salto"/>
<dmateria codigo=""/>
<dmateria codigo="&desdeParametro;"/>
</materias></centro>)xml");

  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(items(document.section(0), 2),
            (Rows{{"<a> & \"b\" 'c'", "dado"},
                  {"éé€中😀", "por omisión"},
                  {"Instituto & Cía (Instituto & Cía)", "por omisión"},
                  {"  dos  espacios  ", "por omisión"},
                  {"a\tb\nc\rd", "por omisión"},
                  // A literal tab or line break in a value is a space in XML.
                  {"literal tab salto", "por omisión"},
                  {"", "por omisión"},
                  {"definida en una entidad parámetro", "por omisión"}}));
}

TEST_F(xmlRead, ElementsFromEntityTextCountOnce) {
  const ExchangeDocument document = read(R"xml(<!DOCTYPE centro [
  <!ENTITY dos "<dmateria codigo='E1'/><dmateria codigo='E2'/>">
]>
<centro><materias>&dos;<dmateria codigo="M"/>&dos;</materias></centro>)xml");
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(items(document.section(0), 1), (Rows{{"E1"}, {"E2"}, {"M"}, {"E1"}, {"E2"}}));
}

TEST_F(xmlRead, ReadsEachEncodingByDeclarationOrByteOrderMark) {
  const std::string body = "<centro><materias><dmateria codigo=\"";
  const std::string end = "\"/></materias></centro>";
  struct Case {
    const char* label;
    std::string bytes;
    std::string value;
    std::string declared;
    bool hadDeclaration;
  };
  const Case cases[] = {
      {"UTF-8 sin declaración", body + "España € 中" + end, "España € 中", "", false},
      {"UTF-8 con BOM", "\xEF\xBB\xBF" + body + "ñ" + end, "ñ", "", false},
      {"UTF-8 con BOM y declaración",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body + "ñ" + end, "ñ", "UTF-8",
       true},
      {"ISO-8859-1",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + body +
           "Espa\xF1"
           "a \xBD" +
           end,
       "España ½", "ISO-8859-1", true},
      {"ISO-8859-15", "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>" + body + "\xA4\xBD" + end,
       "€œ", "ISO-8859-15", true},
      {"windows-1252",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + body + "\x80\x9C\xF1" + end, "€œñ",
       "windows-1252", true},
      {"UTF-16LE con BOM",
       utf16(u"<centro><materias><dmateria codigo=\"España € 中\"/></materias></centro>", false),
       "España € 中", "", false},
      {"UTF-16BE con BOM y declaración",
       utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><centro><materias>"
             u"<dmateria codigo=\"España € 中\"/></materias></centro>",
             true),
       "España € 中", "UTF-16", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const ExchangeDocument document = read(c.bytes);
    ASSERT_EQ(document.section(0).size(), 1u);
    EXPECT_EQ(document.section(0).value(0, 0), c.value);
    EXPECT_EQ(document.declaredEncoding(), c.declared);
    EXPECT_EQ(document.hadDeclaration(), c.hadDeclaration);
  }
}

TEST_F(xmlRead, KeepsTheDeclarationAsWritten) {
  const ExchangeDocument withAll =
      read("<?xml version='1.0'  encoding = 'iso-8859-1' standalone='yes' ?><centro/>");
  EXPECT_TRUE(withAll.hadDeclaration());
  EXPECT_EQ(withAll.version(), "1.0");
  EXPECT_EQ(withAll.declaredEncoding(), "iso-8859-1");
  EXPECT_EQ(withAll.standalone(), 1);

  const ExchangeDocument bare = read("<?xml version=\"1.0\"?><centro/>");
  EXPECT_TRUE(bare.hadDeclaration());
  EXPECT_EQ(bare.declaredEncoding(), "");
  EXPECT_EQ(bare.standalone(), -1);

  EXPECT_EQ(read("<?xml version=\"1.0\" standalone=\"no\"?><centro/>").standalone(), 0);
}

TEST_F(xmlRead, KeepsNodesOutsideTheRootInOrder) {
  const ExchangeDocument document = read(R"xml(<?xml version="1.0"?>
<!-- antes -->
<?exportador version="2"?>
<!DOCTYPE centro PUBLIC "-//Junta//Intercambio//ES" "intercambio.dtd" [
  <!ENTITY junta "Junta">
  <!-- dentro del doctype -->
]>
<centro><!-- dentro --><?dentro no?></centro>
<!-- después -->
<?fin?>
)xml");
  const auto& nodes = document.outsideNodes();
  ASSERT_EQ(nodes.size(), 5u);
  EXPECT_EQ(nodes[0].kind, Kind::Comment);
  EXPECT_EQ(nodes[0].value, " antes ");
  EXPECT_FALSE(nodes[0].afterRoot);
  EXPECT_EQ(nodes[1].kind, Kind::ProcessingInstruction);
  EXPECT_EQ(nodes[1].name, "exportador");
  EXPECT_EQ(nodes[1].value, "version=\"2\"");
  EXPECT_EQ(nodes[2].kind, Kind::DocumentType);
  EXPECT_EQ(nodes[2].name, "centro");
  EXPECT_EQ(nodes[2].publicId, "-//Junta//Intercambio//ES");
  EXPECT_EQ(nodes[2].systemId, "intercambio.dtd");
  EXPECT_EQ(nodes[2].internalSubset, "<!ENTITY junta \"Junta\">\n<!-- dentro del doctype -->");
  EXPECT_FALSE(nodes[2].afterRoot);
  EXPECT_EQ(nodes[3].kind, Kind::Comment);
  EXPECT_EQ(nodes[3].value, " después ");
  EXPECT_TRUE(nodes[3].afterRoot);
  EXPECT_EQ(nodes[4].kind, Kind::ProcessingInstruction);
  EXPECT_EQ(nodes[4].name, "fin");
  EXPECT_EQ(nodes[4].value, "");
  EXPECT_TRUE(nodes[4].afterRoot);
}

TEST_F(xmlRead, StreamsALargeDocument) {
  std::string xml = "<centro><materias>";
  constexpr int kItems = 60000;
  for (int i = 0; i < kItems; ++i)
    xml += "<dmateria codigo=\"" + std::to_string(i) + "\" nombre=\"Materia número " +
           std::to_string(i) + " con un nombre largo\" otro=\"no se guarda\"/>\n";
  xml += "</materias></centro>";
  ASSERT_GT(xml.size(), 5u << 20);
  const ExchangeDocument document = read(xml);
  const Section& section = document.section(0);
  ASSERT_EQ(section.size(), static_cast<std::size_t>(kItems));
  EXPECT_EQ(section.value(0, 0), "0");
  EXPECT_EQ(section.value(kItems - 1, 0), std::to_string(kItems - 1));
  EXPECT_EQ(section.value(kItems - 1, 1),
            "Materia número " + std::to_string(kItems - 1) + " con un nombre largo");
}

TEST_F(xmlRead, MalformedDocumentsNameFileLineAndReason) {
  struct Case {
    const char* label;
    std::string bytes;
    int line;
    const char* reason;  // part of libxml2's message
  };
  const Case cases[] = {
      {"etiquetas cruzadas", "<centro>\n<materias>\n</centro>", 3, "mismatch"},
      {"truncado", "<centro>\n<materias>\n<dmateria codigo=\"1\"", 3, "attributes construct error"},
      {"bytes no UTF-8", "<centro>\n<dmateria codigo=\"\xE9\"/></centro>", 2, "not proper UTF-8"},
      {"codificación desconocida", "<?xml version=\"1.0\" encoding=\"no-existe\"?><centro/>", 1,
       "Unsupported encoding no-existe"},
      {"vacío", "", 1, "Document is empty"},
      {"entidad no declarada", "<centro>\n<dmateria codigo=\"&nada;\"/></centro>", 2, "nada"},
      {"dos raíces", "<centro/>\n<centro/>", 2, "Extra content"},
      {"prefijo sin declarar", "<centro>\n<x:materias/></centro>", 2, "prefix x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string message = errorOf(c.bytes);
    EXPECT_EQ(message.rfind(prefix(c.line), 0), 0u) << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    EXPECT_FALSE(message.ends_with('\n'));
  }
}

TEST_F(xmlRead, UnreadableFileIsNamed) {
  for (const std::filesystem::path& file : {dir / "no-existe.xml", dir.path()}) {
    try {
      ExchangeDocument::read(file, {kMaterias}, {});
      ADD_FAILURE() << "sin error para " << file;
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()).rfind("No se puede leer " + file.string(), 0), 0u)
          << error.what();
    }
  }
}

// The document comes from outside: nothing it names may be fetched, and
// entity expansion must stay in proportion to its size.
class xmlReadSecurity : public xmlRead {
 protected:
  void SetUp() override {
    secret_ = dir / "secreto.txt";
    writeFile(secret_, "SECRETO");
    writeFile(dir / "externo.dtd",
              "<!ENTITY filtrado \"SECRETO\">\n<!ATTLIST dmateria codigo CDATA \"SECRETO\">\n");
  }
  std::string url(const char* name) const { return "file://" + (dir / name).string(); }

  // Either refused, or read with the secret nowhere in the values.
  void expectNoLeak(const std::string& xml, bool refused) {
    const std::string message = errorOf(xml);
    EXPECT_EQ(message.find("SECRETO"), std::string::npos) << message;
    if (refused) {
      EXPECT_EQ(message.rfind("El documento XML " + file().string() + " no es válido", 0), 0u)
          << message;
      return;
    }
    EXPECT_EQ(message, "");
    const ExchangeDocument document = read(xml);
    for (std::size_t i = 0; i < document.section(0).size(); ++i)
      for (std::size_t a = 0; a < 2; ++a)
        EXPECT_EQ(document.section(0).value(i, a).find("SECRETO"), std::string::npos);
  }

  std::filesystem::path secret_;
};

TEST_F(xmlReadSecurity, ExternalEntitiesAreRefused) {
  const std::string declare = "<!DOCTYPE centro [<!ENTITY x SYSTEM \"" + url("secreto.txt") +
                              "\"><!ENTITY r SYSTEM \"secreto.txt\">]>\n";
  const std::string inText =
      declare + "<centro><materias><dmateria>&x;</dmateria></materias></centro>";
  const std::string message = errorOf(inText);
  EXPECT_EQ(message, prefix(2) +
                         "la entidad externa 'x' no se admite: no se cargan archivos ni "
                         "direcciones externas");
  expectNoLeak(declare + "<centro><materias><dmateria>&r;</dmateria></materias></centro>", true);
  expectNoLeak(declare + "<centro><materias><dmateria codigo=\"&x;\"/></materias></centro>", true);
  // A parameter entity would bring in declarations from the file.
  expectNoLeak("<!DOCTYPE centro [<!ENTITY % p SYSTEM \"" + url("externo.dtd") +
                   "\"> %p;]>\n<centro><materias><dmateria codigo=\"&filtrado;\"/></materias>"
                   "</centro>",
               true);
  // Declared but never referenced: nothing is loaded and nothing is wrong.
  expectNoLeak(declare + "<centro><materias><dmateria codigo=\"1\"/></materias></centro>", false);
}

TEST_F(xmlReadSecurity, ExternalDtdIsNotLoaded) {
  const std::string body = "<centro><materias><dmateria nombre=\"1\"/></materias></centro>";
  expectNoLeak("<!DOCTYPE centro SYSTEM \"" + url("externo.dtd") + "\">" + body, false);
  expectNoLeak("<!DOCTYPE centro SYSTEM \"externo.dtd\">" + body, false);
  // A closed port: an attempt to connect would fail the read or hang.
  expectNoLeak("<!DOCTYPE centro SYSTEM \"http://127.0.0.1:9/externo.dtd\">" + body, false);
  // Entities the unread DTD would declare stay undeclared.
  expectNoLeak("<!DOCTYPE centro SYSTEM \"" + url("externo.dtd") +
                   "\"><centro><materias><dmateria codigo=\"&filtrado;\"/></materias></centro>",
               true);
}

TEST_F(xmlReadSecurity, EntityBombsAreRefused) {
  std::string laughs = "<!DOCTYPE centro [<!ENTITY l0 \"jajajajaja\">";
  for (int i = 1; i <= 12; ++i)
    laughs += "<!ENTITY l" + std::to_string(i) + " \"" + [&] {
      std::string refs;
      for (int k = 0; k < 10; ++k) refs += "&l" + std::to_string(i - 1) + ";";
      return refs;
    }() + "\">";
  laughs += "]>\n";
  const std::string wide = "<!DOCTYPE centro [<!ENTITY a \"" + std::string(50000, 'a') + "\">]>\n";
  std::string manyRefs;
  for (int i = 0; i < 150; ++i) manyRefs += "&a;";
  std::string quadraticAttributes = wide + "<centro><materias>";
  for (int i = 0; i < 20; ++i)
    quadraticAttributes += "<dmateria otro=\"" + manyRefs + "\" mas=\"" + manyRefs + "\"/>";
  quadraticAttributes += "</materias></centro>";
  std::string quadraticText = wide + "<centro><materias><dmateria>";
  for (int i = 0; i < 40; ++i) quadraticText += manyRefs;
  quadraticText += "</dmateria></materias></centro>";

  struct Case {
    const char* label;
    std::string xml;
  };
  for (const Case& c :
       {Case{"risas en atributo",
             laughs + "<centro><materias><dmateria codigo=\"&l12;\"/></materias></centro>"},
        Case{"risas en texto",
             laughs + "<centro><materias><dmateria>&l12;</dmateria></materias></centro>"},
        Case{"cuadrática en atributos", quadraticAttributes},
        Case{"cuadrática en texto", quadraticText}}) {
    SCOPED_TRACE(c.label);
    const std::string message = errorOf(c.xml);
    EXPECT_EQ(message.rfind("El documento XML " + file().string() + " no es válido", 0), 0u)
        << message;
  }
}

TEST_F(xmlReadSecurity, DoctypeDefaultsCannotInflateTheValues) {
  std::string xml = "<!DOCTYPE centro [<!ATTLIST dmateria nombre CDATA \"" +
                    std::string(1 << 20, 'n') + "\">]>\n<centro><materias>";
  for (int i = 0; i < 400; ++i) xml += "<dmateria/>";
  xml += "</materias></centro>";
  const std::string message = errorOf(xml);
  EXPECT_NE(message.find("desproporcionados"), std::string::npos) << message;
}

}  // namespace
}  // namespace thp::xml
