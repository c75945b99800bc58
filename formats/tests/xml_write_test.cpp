#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formats/error.hpp"
#include "formats/tests/xml/test_support.hpp"
#include "formats/xml/exchange_document.hpp"
#include "formats/xml/result_document_writer.hpp"

namespace thp::xml {
namespace {

using testing::ParsedElement;
using testing::readFile;
using testing::ScratchDir;
using testing::utf16;
using testing::writeFile;

// Values that test escaping, encodings without the character, and
// characters beyond the Basic Multilingual Plane.
const std::vector<std::string> kTrickyValues = {
    "áéíóú ñÑ ü",   "½", "€", "œ", "中文", "😀", "&<>\"'", "&amp; ]]>", "a\tb\nc\r\nd", "",
    "  espacios  ",
};

// Every element of the file in document order, read with libxml2's tree
// parser: a code path apart from the streaming reader under test.
std::vector<ParsedElement> parseWithLibxml(const std::filesystem::path& file) {
  std::vector<ParsedElement> elements;
  xmlDocPtr doc = xmlReadFile(file.string().c_str(), nullptr, XML_PARSE_NONET);
  if (doc == nullptr) {
    ADD_FAILURE() << "libxml2 no lee " << file;
    return elements;
  }
  auto walk = [&](auto& self, xmlNodePtr node) -> void {
    for (; node != nullptr; node = node->next) {
      if (node->type != XML_ELEMENT_NODE) continue;
      ParsedElement element{reinterpret_cast<const char*>(node->name), {}};
      for (xmlAttrPtr attribute = node->properties; attribute != nullptr;
           attribute = attribute->next) {
        xmlChar* value = xmlNodeListGetString(doc, attribute->children, 1);
        element.attributes.emplace_back(reinterpret_cast<const char*>(attribute->name),
                                        value != nullptr ? reinterpret_cast<char*>(value) : "");
        xmlFree(value);
      }
      elements.push_back(std::move(element));
      self(self, node->children);
    }
  };
  walk(walk, doc->children);
  xmlFreeDoc(doc);
  return elements;
}

class xmlWrite : public ::testing::Test {
 protected:
  ExchangeDocument source(std::string_view bytes) {
    writeFile(dir / "origen.xml", bytes);
    return ExchangeDocument::read(dir / "origen.xml", {}, {});
  }
  std::filesystem::path target() const { return dir / "resultado.xml"; }
  std::string targetError() const { return "No se puede escribir " + target().string() + ": "; }

  ScratchDir dir;
};

TEST_F(xmlWrite, TrickyValuesReadBackExactlyInEachEncoding) {
  struct Case {
    const char* label;
    std::string bytes;
    std::string encoding;                // the result's declared encoding
    std::vector<std::string> rawPieces;  // bytes the result must hold as such
  };
  const std::string latin = "<?xml version=\"1.0\" encoding=\"";
  const Case cases[] = {
      {"UTF-8 sin declaración", "<centro/>", "UTF-8", {"\xC2\xBD", "\xF0\x9F\x98\x80"}},
      {"utf-8 declarado", "<?xml version=\"1.0\" encoding=\"utf-8\"?><centro/>", "utf-8", {}},
      {"UTF-16LE sin declaración", utf16(u"<centro/>", false), "UTF-8", {"\xE4\xB8\xAD"}},
      {"UTF-16 declarado",
       utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><centro/>", true),
       "UTF-16",
       {std::string("\xFF\xFE<\0?\0x\0m\0l\0", 12), std::string("\xBD\0", 2)}},
      {"ISO-8859-1",
       latin + "ISO-8859-1\"?><centro/>",
       "ISO-8859-1",
       {"\xBD", "&#8364;", "&#339;", "&#20013;", "&#128512;"}},
      {"ISO-8859-15",
       latin + "ISO-8859-15\"?><centro/>",
       "ISO-8859-15",
       {"\xA4", "\xBD", "&#189;"}},
      {"windows-1252",
       latin + "windows-1252\"?><centro/>",
       "windows-1252",
       {"\x80", "\x9C", "\xBD", "&#20013;"}},
  };
  std::vector<ParsedElement> expected = {{"resultado", {{"version", "1"}}}, {"materias", {}}};
  for (std::size_t i = 0; i < kTrickyValues.size(); ++i)
    expected.push_back({"dmateria", {{"codigo", std::to_string(i)}, {"valor", kTrickyValues[i]}}});
  expected.push_back({"vacio", {}});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    {
      ResultDocumentWriter writer(source(c.bytes), target());
      const Attribute version[] = {{"version", "1"}};
      writer.startElement("resultado", version);
      writer.startElement("materias");
      for (std::size_t i = 0; i < kTrickyValues.size(); ++i) {
        const std::string code = std::to_string(i);
        const Attribute attributes[] = {{"codigo", code}, {"valor", kTrickyValues[i]}};
        writer.emptyElement("dmateria", attributes);
      }
      writer.endElement();
      writer.emptyElement("vacio", {});
      writer.commit();  // closes resultado
    }
    const std::string raw = readFile(target());
    if (c.encoding != "UTF-16") {
      EXPECT_EQ(raw.rfind("<?xml version=\"1.0\" encoding=\"" + c.encoding + "\"?>\n", 0), 0u)
          << raw;
    }
    for (const std::string& piece : c.rawPieces)
      EXPECT_NE(raw.find(piece), std::string::npos) << piece;

    const ExchangeDocument again = ExchangeDocument::read(
        target(), {{{"resultado", "materias", "dmateria"}, {"codigo", "valor"}}}, {});
    EXPECT_EQ(again.declaredEncoding(), c.encoding);
    ASSERT_EQ(again.section(0).size(), kTrickyValues.size());
    for (std::size_t i = 0; i < kTrickyValues.size(); ++i)
      EXPECT_EQ(again.section(0).value(i, 1), kTrickyValues[i]) << i;

    EXPECT_EQ(parseWithLibxml(target()), expected);
    if (testing::pythonAvailable()) {
      EXPECT_EQ(testing::parseWithPython(target()), expected);
    }
    EXPECT_EQ(dir.entries().size(), 4u);  // origen.xml, resultado.xml and Python's two files
  }
}

TEST_F(xmlWrite, LaysOutOneElementPerLine) {
  {
    ResultDocumentWriter writer(source("<centro/>"), target());
    const Attribute one[] = {{"a", "1"}};
    const Attribute two[] = {{"codigo", "2"}, {"nombre", ""}};
    writer.startElement("resultado", one);
    writer.startElement("materias");
    writer.emptyElement("dmateria", one);
    writer.emptyElement("dmateria", two);
    writer.endElement();
    writer.startElement("vacio");
    writer.endElement();
    writer.endElement();
    writer.commit();
  }
  EXPECT_EQ(readFile(target()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<resultado a=\"1\">\n"
            "  <materias>\n"
            "    <dmateria a=\"1\"/>\n"
            "    <dmateria codigo=\"2\" nombre=\"\"/>\n"
            "  </materias>\n"
            "  <vacio/>\n"
            "</resultado>\n");
}

TEST_F(xmlWrite, KeepsTheSourceDeclarationAndOutsideNodes) {
  // The entity's í is written in ISO-8859-1, as the declaration says.
  const ExchangeDocument origin =
      source(R"xml(<?xml version="1.0" encoding="ISO-8859-1" standalone="yes"?>
<!-- exportado por el programa de gestión -->
<?exportador version="2"?>
<!DOCTYPE centro PUBLIC "-//Junta//Intercambio//ES" "intercambio.dtd" [
  <!ELEMENT centro ANY>
  <!ATTLIST otro tipo CDATA "fijo">
  <!ENTITY junta "Junta de Andaluc)xml"
             "\xED"
             R"xml(a">
  <!NOTATION png SYSTEM "image/png">
  <!-- dentro del doctype -->
  <?dentro datos?>
]>
<centro/>
<!-- final -->
<?fin?>
)xml");
  ASSERT_EQ(origin.outsideNodes().size(), 5u);
  {
    ResultDocumentWriter writer(origin, target());
    writer.emptyElement("resultado", {});
    writer.commit();
  }
  const ExchangeDocument result = ExchangeDocument::read(target(), {}, {});
  EXPECT_EQ(result.declaredEncoding(), "ISO-8859-1");
  EXPECT_EQ(result.standalone(), 1);
  EXPECT_EQ(result.rootName(), "resultado");
  const auto& before = origin.outsideNodes();
  const auto& after = result.outsideNodes();
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(after[i].kind, before[i].kind);
    EXPECT_EQ(after[i].afterRoot, before[i].afterRoot);
    EXPECT_EQ(after[i].name, before[i].name);
    EXPECT_EQ(after[i].value, before[i].value);
    EXPECT_EQ(after[i].publicId, before[i].publicId);
    EXPECT_EQ(after[i].systemId, before[i].systemId);
    EXPECT_EQ(after[i].internalSubset, before[i].internalSubset);
  }
  EXPECT_NE(after[2].internalSubset.find("<!ENTITY junta \"Junta de Andalucía\">"),
            std::string::npos)
      << after[2].internalSubset;
  EXPECT_NE(after[2].internalSubset.find("<!NOTATION png"), std::string::npos);
  if (testing::pythonAvailable()) {
    EXPECT_EQ(testing::parseWithPython(target()), (std::vector<ParsedElement>{{"resultado", {}}}));
  }
}

TEST_F(xmlWrite, AbandonedWriterLeavesTargetAsItWas) {
  writeFile(target(), "anterior");
  {
    ResultDocumentWriter writer(source("<centro/>"), target());
    writer.startElement("resultado");
    const Attribute attributes[] = {{"codigo", "1"}};
    for (int i = 0; i < 20000; ++i) writer.emptyElement("dmateria", attributes);
  }
  EXPECT_EQ(readFile(target()), "anterior");
  EXPECT_EQ(dir.entries().size(), 2u);
}

TEST_F(xmlWrite, UncreatableTargetIsNamed) {
  const ExchangeDocument origin = source("<centro/>");
  writeFile(dir / "archivo", "");
  for (const std::filesystem::path& bad :
       {dir / "no-existe" / "r.xml", dir / "archivo" / "r.xml"}) {
    try {
      ResultDocumentWriter writer(origin, bad);
      ADD_FAILURE() << "sin error para " << bad;
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()).rfind("No se puede escribir " + bad.string() + ": ", 0),
                0u)
          << error.what();
    }
  }
}

#ifndef _WIN32
// Lowers the largest file this process may write, as a full disk would stop
// it; root is not stopped by permissions.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previous_)(int) = SIG_DFL;
};

TEST_F(xmlWrite, FailedWriteIsNamedAndLeavesTargetAsItWas) {
  writeFile(target(), "anterior");
  const ExchangeDocument origin = source("<centro/>");
  std::string message;
  ::testing::internal::CaptureStderr();
  {
    const FileSizeLimit limit(32 * 1024);
    try {
      ResultDocumentWriter writer(origin, target());
      writer.startElement("resultado");
      const Attribute attributes[] = {{"codigo", "1"}, {"nombre", "una materia cualquiera"}};
      for (int i = 0; i < 20000; ++i) writer.emptyElement("dmateria", attributes);
      writer.commit();
    } catch (const Error& error) {
      message = error.what();
    }
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(message, targetError() + std::strerror(EFBIG));
  EXPECT_EQ(readFile(target()), "anterior");
  EXPECT_EQ(dir.entries().size(), 2u);
}
#endif

TEST_F(xmlWrite, ValuesXmlCannotCarryAreRefused) {
  const ExchangeDocument origin = source("<centro/>");
  for (const std::string_view value :
       {std::string_view("a\0b", 3), std::string_view("a\x01b"), std::string_view("\xE9t\xE9"),
        std::string_view("\xC3"), std::string_view("\xED\xA0\x80"),
        std::string_view("\xEF\xBF\xBF"), std::string_view("\xC0\xA0")}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(value)));
    ResultDocumentWriter writer(origin, target());
    writer.startElement("resultado");
    const Attribute attributes[] = {{"nombre", value}};
    try {
      writer.emptyElement("dmateria", attributes);
      ADD_FAILURE() << "sin error";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()).rfind(targetError() + "el atributo nombre", 0), 0u)
          << error.what();
    }
    EXPECT_THROW(writer.commit(), Error);
  }
  EXPECT_FALSE(std::filesystem::exists(target()));
}

}  // namespace
}  // namespace thp::xml
