#include "exchange_document.hpp"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "formats/error.hpp"
#include "formats/platform.hpp"

namespace thp::xml {
namespace {

const xmlChar* xmlText(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
const char* plainText(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

// The document is untrusted, so nothing outside it is ever loaded while one
// is parsed on this thread: the loader backs up the SAX handlers below, which
// already refuse external entities and never ask for the external DTD. Other
// uses of libxml2 in the program keep the loader they had.
thread_local bool parsingExchangeDocument = false;
xmlExternalEntityLoader previousLoader = nullptr;

xmlParserInputPtr refuseExternalEntity(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
  if (parsingExchangeDocument || previousLoader == nullptr) return nullptr;
  return previousLoader(url, id, ctxt);
}

void initialiseLibxml() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    previousLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(refuseExternalEntity);
  });
}

// libxml2 reports bytes that the document's encoding cannot convert outside
// the parser context, on its global channel, which prints English text on
// standard error; while a document is parsed that channel only notes, in
// *badBytes, that such bytes were met.
class ParsingScope {
 public:
  explicit ParsingScope(bool* badBytes)
      : savedHandler_(xmlStructuredError), savedContext_(xmlStructuredErrorContext) {
    parsingExchangeDocument = true;
    xmlSetStructuredErrorFunc(badBytes, [](void* context, xmlErrorPtr error) {
      if (error != nullptr && error->domain == XML_FROM_I18N) *static_cast<bool*>(context) = true;
    });
  }
  ~ParsingScope() {
    xmlSetStructuredErrorFunc(savedContext_, savedHandler_);
    parsingExchangeDocument = false;
  }
  ParsingScope(const ParsingScope&) = delete;
  ParsingScope& operator=(const ParsingScope&) = delete;

 private:
  xmlStructuredErrorFunc savedHandler_;
  void* savedContext_;
};

// Entity expansion is capped at this many bytes plus kExpansionRatio times the
// file's size. libxml2 2.9 catches nested expansion (billion laughs) itself but
// not one large entity referenced many times, which also multiplies what the
// sections would keep; ordinary documents stay far below either figure.
constexpr std::uint64_t kExpansionAllowance = 16u << 20;
constexpr std::uint64_t kExpansionRatio = 10;

// libxml2 2.9 checks each attribute of a start tag against those before it,
// and each default the doctype declares for an element against its
// attributes: time in the square of their number, which a few megabytes of
// hostile document turn into hours. No exchange document comes near these.
constexpr std::size_t kMaxAttributes = 2000;
constexpr std::size_t kMaxDefaultedAttributes = 32;

// Counts the '=' since the last '<' of a text fed to it in pieces: at least
// the number of attributes of a start tag, which can hold no '<'.
class AttributeCount {
 public:
  // False once a tag may have more than kMaxAttributes attributes.
  bool feed(const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      if (text[i] == '<')
        equals_ = 0;
      else if (text[i] == '=' && ++equals_ > kMaxAttributes)
        return false;
    }
    return true;
  }

 private:
  std::size_t equals_ = 0;
};

// What the XML declaration says, read from the first bytes: libxml2 does not
// report whether a declaration was present, nor the encoding name as written.
struct Declaration {
  bool present = false;
  std::string version = "1.0";
  std::string encoding;
  int standalone = -1;
};

// The declaration's characters as ASCII, from UTF-8 (with or without BOM) or
// UTF-16 of either byte order. Stops at the first character beyond ASCII:
// the declaration has none.
std::string declarationText(std::string_view head) {
  std::size_t start = 0;
  int width = 1;
  bool bigEndian = false;
  auto startsWith = [&](std::initializer_list<unsigned char> prefix) {
    if (head.size() < prefix.size()) return false;
    std::size_t i = 0;
    for (const unsigned char c : prefix)
      if (static_cast<unsigned char>(head[i++]) != c) return false;
    return true;
  };
  if (startsWith({0xEF, 0xBB, 0xBF})) {
    start = 3;
  } else if (startsWith({0xFF, 0xFE})) {
    start = 2, width = 2;
  } else if (startsWith({0xFE, 0xFF})) {
    start = 2, width = 2, bigEndian = true;
  } else if (startsWith({'<', 0, '?', 0})) {
    width = 2;
  } else if (startsWith({0, '<', 0, '?'})) {
    width = 2, bigEndian = true;
  }
  std::string text;
  for (std::size_t i = start;
       i + static_cast<std::size_t>(width) <= head.size() && text.size() < 512;
       i += static_cast<std::size_t>(width)) {
    const auto c = static_cast<unsigned char>(head[bigEndian ? i + 1 : i]);
    if (width == 2 && head[bigEndian ? i : i + 1] != 0) break;
    if (c == 0 || c >= 0x80) break;
    text.push_back(static_cast<char>(c));
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "?>") == 0) break;
  }
  return text;
}

Declaration readDeclaration(std::string_view head) {
  Declaration declaration;
  const std::string text = declarationText(head);
  auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  if (text.size() < 6 || text.compare(0, 5, "<?xml") != 0 || !isBlank(text[5])) return declaration;
  declaration.present = true;
  std::size_t i = 5;
  while (i < text.size()) {
    while (i < text.size() && isBlank(text[i])) ++i;
    const std::size_t nameStart = i;
    while (i < text.size() && !isBlank(text[i]) && text[i] != '=' && text[i] != '?') ++i;
    const std::string name = text.substr(nameStart, i - nameStart);
    while (i < text.size() && isBlank(text[i])) ++i;
    if (name.empty() || i >= text.size() || text[i] != '=') break;
    ++i;
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) break;
    const char quote = text[i++];
    const std::size_t end = text.find(quote, i);
    if (end == std::string::npos) break;
    const std::string value = text.substr(i, end - i);
    i = end + 1;
    if (name == "version") {
      declaration.version = value;
    } else if (name == "encoding") {
      declaration.encoding = value;
    } else if (name == "standalone") {
      declaration.standalone = value == "yes" ? 1 : value == "no" ? 0 : -1;
    }
  }
  return declaration;
}

// The file, handed to libxml2 in blocks; the first block is read ahead to look
// at the declaration.
class InputFile {
 public:
  explicit InputFile(const std::filesystem::path& file) : file_(file) {
#ifdef _WIN32
    stream_ = _wfopen(file.c_str(), L"rb");
#else
    stream_ = std::fopen(file.c_str(), "rb");
#endif
    if (stream_ == nullptr) fail();
    std::error_code ignored;
    const auto size = std::filesystem::file_size(file, ignored);
    size_ = ignored ? 0 : static_cast<std::uint64_t>(size);
    head_.resize(4096);
    head_.resize(readBlock(head_.data(), head_.size()));
    if (error_) throw Error(*error_);  // a directory, for one
  }
  ~InputFile() {
    if (stream_ != nullptr) std::fclose(stream_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::string_view head() const { return head_; }
  std::uint64_t size() const { return size_; }
  const std::optional<std::string>& error() const { return error_; }

  static int read(void* context, char* buffer, int length) {
    auto& self = *static_cast<InputFile*>(context);
    if (self.error_) return -1;
    const auto wanted = static_cast<std::size_t>(length);
    std::size_t given = 0;
    if (self.headUsed_ < self.head_.size()) {
      given = std::min(wanted, self.head_.size() - self.headUsed_);
      std::memcpy(buffer, self.head_.data() + self.headUsed_, given);
      self.headUsed_ += given;
    } else {
      given = self.readBlock(buffer, wanted);
    }
    if (!self.error_ && !self.attributes_.feed(buffer, given))
      self.error_ = "El documento XML " + platform::displayPath(self.file_) +
                    " no es válido: un elemento tiene más de " + std::to_string(kMaxAttributes) +
                    " atributos";
    return self.error_ ? -1 : static_cast<int>(given);
  }

 private:
  std::size_t readBlock(char* buffer, std::size_t length) {
    const std::size_t got = std::fread(buffer, 1, length, stream_);
    if (got < length && std::ferror(stream_)) fail();
    return got;
  }
  void fail() {
    const std::string reason = std::strerror(errno);
    error_ = "No se puede leer " + platform::displayPath(file_) + ": " + reason;
    if (stream_ == nullptr) throw Error(*error_);
  }

  const std::filesystem::path& file_;
  std::FILE* stream_ = nullptr;
  std::uint64_t size_ = 0;
  std::string head_;
  std::size_t headUsed_ = 0;
  AttributeCount attributes_;
  std::optional<std::string> error_;
};

// The query paths as a tree of element names, so one look-up per element
// finds whether it lies on some path and which queries end there.
struct PathNode {
  const xmlChar* name = nullptr;  // interned in the parser's dictionary
  std::vector<std::size_t> children;
  std::vector<std::size_t> queries;
};

constexpr std::size_t kNoNode = std::numeric_limits<std::size_t>::max();

// What the parser's errors against hostile documents mean, in the user's
// words; libxml2's own text follows for whoever looks into the file. Empty
// for the other errors, which libxml2's text alone explains.
std::string_view spanishReason(int code, std::string_view message) {
  switch (code) {
    case XML_ERR_ENTITY_LOOP:
      return "las entidades se expanden sin fin";
    case XML_ERR_INTERNAL_ERROR:
      if (message.find("depth") != std::string_view::npos)
        return "los elementos se anidan a demasiada profundidad";
      if (message.find("Huge input") != std::string_view::npos)
        return "un nombre o un valor es demasiado largo";
      return {};
    case XML_ERR_ATTRIBUTE_NOT_FINISHED:
      if (message.find("too long") != std::string_view::npos)
        return "el valor de un atributo es demasiado largo";
      return {};
    case XML_ERR_NAME_TOO_LONG:
      return "un nombre es demasiado largo";
    case XML_ERR_UNSUPPORTED_ENCODING:
    case XML_ERR_ENCODING_NAME:
      return "no se conoce la codificación que declara";
    case XML_ERR_INVALID_ENCODING:
    case XML_ERR_INVALID_CHAR:
      return "contiene caracteres que XML no admite o bytes que no corresponden a su codificación";
    default:
      return {};
  }
}

}  // namespace

// Fills an ExchangeDocument from libxml2's SAX2 events. The parser context's
// userData stays the context itself, as libxml2's own DTD handlers expect;
// the builder is reached through ctxt->_private, which libxml2 also hands on
// to the contexts that parse entity replacement text.
class ExchangeDocumentBuilder {
 public:
  ExchangeDocumentBuilder(const std::filesystem::path& file,
                          const std::vector<SectionQuery>& queries,
                          const std::vector<std::string>& rootAttributes)
      : file_(file), queries_(queries), rootAttributeNames_(rootAttributes) {}

  ExchangeDocument read() {
    initialiseLibxml();
    InputFile input(file_);
    const Declaration declaration = readDeclaration(input.head());
    document_.hadDeclaration_ = declaration.present;
    document_.declaredEncoding_ = declaration.encoding;
    document_.version_ = declaration.version;
    document_.standalone_ = declaration.standalone;
    budget_ = kExpansionAllowance + kExpansionRatio * std::max<std::uint64_t>(input.size(), 1);

    xmlSAXHandler handler = saxHandler();
    ctxt_ = xmlCreateIOParserCtxt(&handler, nullptr, &InputFile::read, nullptr, &input,
                                  XML_CHAR_ENCODING_NONE);
    if (ctxt_ == nullptr) throw Error("No se puede leer " + displayFile() + ": sin memoria");
    struct ContextDeleter {
      void operator()(xmlParserCtxtPtr ctxt) const {
        if (ctxt->myDoc != nullptr) xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
        xmlFreeParserCtxt(ctxt);
      }
    };
    const std::unique_ptr<xmlParserCtxt, ContextDeleter> owner(ctxt_);
    ctxt_->_private = this;
    // No XML_PARSE_HUGE: its size and depth limits are part of the defence.
    xmlCtxtUseOptions(ctxt_, XML_PARSE_NONET | XML_PARSE_NOENT);
    preparePaths();

    bool badBytes = false;
    {
      const ParsingScope scope(&badBytes);
      xmlParseDocument(ctxt_);
    }

    if (input.error()) throw Error(*input.error());
    if (badBytes) {  // the parser's own error then only tells where the text stopped
      firstError_.reset();
      setError(0, "contiene bytes que no son válidos en la codificación " +
                      (declaration.encoding.empty() ? std::string("del documento")
                                                    : declaration.encoding));
    }
    if (!firstError_ && !ctxt_->wellFormed) setError(0, "documento mal formado");
    if (firstError_) throw Error(*firstError_);
    if (doctype_ != kNoNode) document_.outside_[doctype_].internalSubset = internalSubsetText();
    return std::move(document_);
  }

 private:
  static ExchangeDocumentBuilder& of(void* ctx) {
    return *static_cast<ExchangeDocumentBuilder*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
  }

  static xmlSAXHandler saxHandler() {
    xmlSAXHandler handler{};
    xmlSAXVersion(&handler, 2);
    // Text and SAX1 events are never needed, and errors arrive through serror.
    handler.characters = nullptr;
    handler.ignorableWhitespace = nullptr;
    handler.cdataBlock = nullptr;
    handler.reference = nullptr;
    handler.setDocumentLocator = nullptr;
    handler.startElement = nullptr;
    handler.endElement = nullptr;
    handler.warning = nullptr;
    handler.error = nullptr;
    handler.fatalError = nullptr;
    handler.externalSubset = nullptr;  // the external DTD is never loaded
    handler.resolveEntity = [](void*, const xmlChar*, const xmlChar*) -> xmlParserInputPtr {
      return nullptr;
    };
    handler.getEntity = [](void* ctx, const xmlChar* name) {
      return of(ctx).entity(static_cast<xmlParserCtxtPtr>(ctx), name, false);
    };
    handler.getParameterEntity = [](void* ctx, const xmlChar* name) {
      return of(ctx).entity(static_cast<xmlParserCtxtPtr>(ctx), name, true);
    };
    handler.attributeDecl = [](void* ctx, const xmlChar* element, const xmlChar* name, int type,
                               int def, const xmlChar* defaultValue, xmlEnumerationPtr tree) {
      if (defaultValue != nullptr &&
          !of(ctx).defaultFor(static_cast<xmlParserCtxtPtr>(ctx), element)) {
        xmlFreeEnumeration(tree);
        return;
      }
      xmlSAX2AttributeDecl(ctx, element, name, type, def, defaultValue, tree);
    };
    handler.internalSubset = [](void* ctx, const xmlChar* name, const xmlChar* publicId,
                                const xmlChar* systemId) {
      xmlSAX2InternalSubset(ctx, name, publicId, systemId);
      of(ctx).doctype(name, publicId, systemId);
    };
    handler.comment = [](void* ctx, const xmlChar* value) {
      auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
      if (ctxt->inSubset != 0) {
        xmlSAX2Comment(ctx, value);  // kept with the doctype's declarations
      } else {
        of(ctx).outside(OutsideNode::Kind::Comment, nullptr, value);
      }
    };
    handler.processingInstruction = [](void* ctx, const xmlChar* target, const xmlChar* data) {
      auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
      if (ctxt->inSubset != 0) {
        xmlSAX2ProcessingInstruction(ctx, target, data);
      } else {
        of(ctx).outside(OutsideNode::Kind::ProcessingInstruction, target, data);
      }
    };
    handler.startElementNs = [](void* ctx, const xmlChar* localName, const xmlChar* prefix,
                                const xmlChar* uri, int, const xmlChar**, int attributeCount, int,
                                const xmlChar** attributes) {
      of(ctx).startElement(static_cast<xmlParserCtxtPtr>(ctx), localName, prefix, uri,
                           static_cast<std::size_t>(attributeCount), attributes);
    };
    handler.endElementNs = [](void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
      of(ctx).endElement();
    };
    handler.serror = [](void* ctx, xmlErrorPtr error) {
      // Warnings (an unsupported version number, a relative namespace URI) do
      // not stop the document from being read.
      if (error == nullptr || error->level < XML_ERR_ERROR) return;
      if (ctx == nullptr || static_cast<xmlParserCtxtPtr>(ctx)->_private == nullptr) return;
      std::string message = error->message != nullptr ? error->message : "error desconocido";
      while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
      std::replace(message.begin(), message.end(), '\n', ' ');
      const std::string_view reason = spanishReason(error->code, message);
      of(ctx).setError(error->line,
                       reason.empty() ? message : std::string(reason) + " (" + message + ")");
    };
    return handler;
  }

  std::string displayFile() const { return platform::displayPath(file_); }

  void setError(int line, const std::string& reason) {
    if (firstError_) return;
    std::string message = "El documento XML " + displayFile() + " no es válido";
    if (line > 0) message += " (línea " + std::to_string(line) + ")";
    firstError_ = message + ": " + reason;
  }

  // Records an error of this reader's own and stops the parser that met it;
  // the outer parser stops at its next event.
  void refuse(xmlParserCtxtPtr ctxt, const std::string& reason) {
    setError(xmlSAX2GetLineNumber(ctxt), reason);
    ctxt->wellFormed = 0;
    xmlStopParser(ctxt);
  }

  bool stopped(xmlParserCtxtPtr ctxt) {
    if (!firstError_) return false;
    if (ctxt->instate != XML_PARSER_EOF) xmlStopParser(ctxt);
    return true;
  }

  xmlEntityPtr entity(xmlParserCtxtPtr ctxt, const xmlChar* name, bool parameter) {
    if (stopped(ctxt)) return nullptr;
    xmlEntityPtr found =
        parameter ? xmlGetParameterEntity(ctxt->myDoc, name) : xmlGetDocEntity(ctxt->myDoc, name);
    if (found == nullptr) return nullptr;
    if (found->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
        found->etype == XML_EXTERNAL_PARAMETER_ENTITY) {
      refuse(ctxt, std::string("la entidad externa '") + plainText(name) +
                       "' no se admite: no se cargan archivos ni direcciones externas");
      return nullptr;
    }
    if (found->etype == XML_INTERNAL_GENERAL_ENTITY && found->content != nullptr &&
        !AttributeCount().feed(plainText(found->content),
                               static_cast<std::size_t>(std::max(found->length, 0)))) {
      refuse(ctxt, std::string("la entidad '") + plainText(name) +
                       "' tiene un elemento de más de " + std::to_string(kMaxAttributes) +
                       " atributos");
      return nullptr;
    }
    expanded_ += static_cast<std::uint64_t>(std::max(found->length, 0));
    if (expanded_ > budget_) {
      refuse(ctxt, std::string("la expansión de la entidad '") + plainText(name) +
                       "' es desproporcionada para el tamaño del documento");
      return nullptr;
    }
    return found;
  }

  // Notes a default value the doctype declares for an attribute of element;
  // false, having stopped the parser, when the element gets too many.
  bool defaultFor(xmlParserCtxtPtr ctxt, const xmlChar* element) {
    if (stopped(ctxt)) return false;
    if (++defaulted_[element == nullptr ? "" : plainText(element)] <= kMaxDefaultedAttributes)
      return true;
    refuse(ctxt, std::string("el doctype da valor por omisión a más de ") +
                     std::to_string(kMaxDefaultedAttributes) + " atributos del elemento '" +
                     (element == nullptr ? "" : plainText(element)) + "'");
    return false;
  }

  void preparePaths() {
    paths_.assign(1, PathNode{});
    document_.sections_.assign(queries_.size(), Section{});
    queryAttributes_.resize(queries_.size());
    for (std::size_t q = 0; q < queries_.size(); ++q) {
      std::size_t node = 0;
      for (const std::string& name : queries_[q].path) {
        const xmlChar* interned = intern(name);
        std::size_t next = kNoNode;
        for (const std::size_t child : paths_[node].children)
          if (paths_[child].name == interned) next = child;
        if (next == kNoNode) {
          next = paths_.size();
          paths_.push_back(PathNode{interned, {}, {}});
          paths_[node].children.push_back(next);
        }
        node = next;
      }
      if (node != 0) paths_[node].queries.push_back(q);
      for (const std::string& attribute : queries_[q].attributes)
        queryAttributes_[q].push_back(intern(attribute));
      Section& section = document_.sections_[q];
      section.attributes_ = queries_[q].attributes.size();
    }
    for (const std::string& attribute : rootAttributeNames_)
      rootAttributes_.push_back(intern(attribute));
    document_.rootAttributes_.assign(rootAttributeNames_.size(), std::string());
    centro_ = intern("centro");
  }

  // Names are compared by pointer: libxml2 interns every element and
  // attribute name in the context's dictionary, which entity sub-parsers share.
  const xmlChar* intern(const std::string& name) {
    if (name.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return nullptr;
    return xmlDictLookup(ctxt_->dict, xmlText(name.c_str()), static_cast<int>(name.size()));
  }

  static std::string_view attributeValue(const xmlChar** attributes, std::size_t count,
                                         const xmlChar* name) {
    for (std::size_t i = 0; i < count; ++i) {
      const xmlChar** attribute = attributes + 5 * i;  // name, prefix, URI, value, end
      if (attribute[0] == name && attribute[1] == nullptr) {
        return {plainText(attribute[3]), static_cast<std::size_t>(attribute[4] - attribute[3])};
      }
    }
    return {};
  }

  void startElement(xmlParserCtxtPtr ctxt, const xmlChar* name, const xmlChar* prefix,
                    const xmlChar* uri, std::size_t attributeCount, const xmlChar** attributes) {
    if (stopped(ctxt)) return;
    const bool plain = prefix == nullptr && uri == nullptr;
    if (open_.empty()) root(name, prefix, plain, attributeCount, attributes);
    std::size_t node = kNoNode;
    const std::size_t parent = open_.empty() ? 0 : open_.back();
    if (plain && parent != kNoNode) {
      for (const std::size_t child : paths_[parent].children)
        if (paths_[child].name == name) node = child;
    }
    open_.push_back(node);
    if (node == kNoNode) return;
    for (const std::size_t q : paths_[node].queries) {
      Section& section = document_.sections_[q];
      for (const xmlChar* attribute : queryAttributes_[q]) {
        const std::string_view value = attributeValue(attributes, attributeCount, attribute);
        collected_ += value.size();
        section.data_.append(value);
        if (section.data_.size() > std::numeric_limits<std::uint32_t>::max()) {
          refuse(ctxt, "los valores que se leen superan el tamaño admitido");
          return;
        }
        section.offsets_.push_back(static_cast<std::uint32_t>(section.data_.size()));
      }
      ++section.items_;
    }
    // Attribute defaults from the doctype are copied to every element, so what
    // is kept can outgrow the file without any entity being referenced.
    if (collected_ > budget_)
      refuse(ctxt,
             "los valores de los atributos son desproporcionados para el tamaño del "
             "documento");
  }

  void root(const xmlChar* name, const xmlChar* prefix, bool plain, std::size_t attributeCount,
            const xmlChar** attributes) {
    document_.rootName_ = prefix != nullptr ? std::string(plainText(prefix)) + ":" + plainText(name)
                                            : std::string(plainText(name));
    document_.rootIsCentro_ = plain && name == centro_;
    if (!document_.rootIsCentro_) return;
    for (std::size_t i = 0; i < rootAttributes_.size(); ++i)
      document_.rootAttributes_[i] = attributeValue(attributes, attributeCount, rootAttributes_[i]);
  }

  void endElement() {
    if (open_.empty()) return;
    open_.pop_back();
    if (open_.empty()) rootDone_ = true;
  }

  void outside(OutsideNode::Kind kind, const xmlChar* name, const xmlChar* value) {
    if (!open_.empty() || firstError_) return;
    OutsideNode node;
    node.kind = kind;
    node.afterRoot = rootDone_;
    if (name != nullptr) node.name = plainText(name);
    if (value != nullptr) node.value = plainText(value);
    document_.outside_.push_back(std::move(node));
  }

  void doctype(const xmlChar* name, const xmlChar* publicId, const xmlChar* systemId) {
    OutsideNode node;
    node.kind = OutsideNode::Kind::DocumentType;
    if (name != nullptr) node.name = plainText(name);
    if (publicId != nullptr) node.publicId = plainText(publicId);
    if (systemId != nullptr) node.systemId = plainText(systemId);
    doctype_ = document_.outside_.size();
    document_.outside_.push_back(std::move(node));
  }

  // The internal subset as libxml2 kept it: its declarations, comments and
  // processing instructions, one per line, parameter entities expanded.
  std::string internalSubsetText() const {
    if (ctxt_->myDoc == nullptr || ctxt_->myDoc->intSubset == nullptr) return {};
    const xmlDtdPtr dtd = ctxt_->myDoc->intSubset;
    const std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(),
                                                                      &xmlBufferFree);
    if (!buffer) return {};
    std::string text;
    auto take = [&] {
      std::string piece(plainText(xmlBufferContent(buffer.get())),
                        static_cast<std::size_t>(xmlBufferLength(buffer.get())));
      xmlBufferEmpty(buffer.get());
      while (!piece.empty() && piece.back() == '\n') piece.pop_back();
      if (piece.empty()) return;
      if (!text.empty()) text += '\n';
      text += piece;
    };
    if (dtd->notations != nullptr) {
      xmlDumpNotationTable(buffer.get(), static_cast<xmlNotationTablePtr>(dtd->notations));
      take();
    }
    for (xmlNodePtr child = dtd->children; child != nullptr; child = child->next) {
      xmlNodeDump(buffer.get(), ctxt_->myDoc, child, 0, 0);
      take();
    }
    return text;
  }

  const std::filesystem::path& file_;
  const std::vector<SectionQuery>& queries_;
  const std::vector<std::string>& rootAttributeNames_;
  ExchangeDocument document_;
  xmlParserCtxtPtr ctxt_ = nullptr;

  std::vector<PathNode> paths_;
  std::vector<std::vector<const xmlChar*>> queryAttributes_;
  std::vector<const xmlChar*> rootAttributes_;
  const xmlChar* centro_ = nullptr;
  std::vector<std::size_t> open_;  // the path node of each open element, kNoNode off every path
  bool rootDone_ = false;
  std::size_t doctype_ = kNoNode;

  std::uint64_t budget_ = 0;
  std::uint64_t expanded_ = 0;
  std::uint64_t collected_ = 0;
  std::map<std::string, std::size_t> defaulted_;  // doctype defaults by element
  std::optional<std::string> firstError_;
};

ExchangeDocument ExchangeDocument::read(const std::filesystem::path& file,
                                        const std::vector<SectionQuery>& sections,
                                        const std::vector<std::string>& rootAttributes) {
  return ExchangeDocumentBuilder(file, sections, rootAttributes).read();
}

}  // namespace thp::xml
