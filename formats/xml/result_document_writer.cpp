#include "result_document_writer.hpp"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xmlIO.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/error.hpp"
#include "formats/platform.hpp"
#include "formats/staged_file.hpp"

namespace thp::xml {
namespace {

// Output is assembled here and handed to libxml2's output buffer, which
// converts it to the document's encoding, in blocks of about this size.
constexpr std::size_t kBlock = 64 * 1024;

bool isUtf8(std::string_view encoding) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  std::string name;
  for (const char c : encoding) name.push_back(lower(c));
  return name == "utf-8" || name == "utf8";
}

// A literal for the doctype's identifiers, in whichever quote it lacks.
void appendLiteral(std::string& out, const std::string& value) {
  const char quote = value.find('"') == std::string::npos ? '"' : '\'';
  out += quote;
  out += value;
  out += quote;
}

void appendOutsideNode(std::string& out, const OutsideNode& node) {
  switch (node.kind) {
    case OutsideNode::Kind::Comment:
      out += "<!--";
      out += node.value;
      out += "-->";
      break;
    case OutsideNode::Kind::ProcessingInstruction:
      out += "<?";
      out += node.name;
      if (!node.value.empty()) {
        out += ' ';
        out += node.value;
      }
      out += "?>";
      break;
    case OutsideNode::Kind::DocumentType:
      out += "<!DOCTYPE ";
      out += node.name;
      if (!node.publicId.empty()) {
        out += " PUBLIC ";
        appendLiteral(out, node.publicId);
        out += ' ';
        appendLiteral(out, node.systemId);
      } else if (!node.systemId.empty()) {
        out += " SYSTEM ";
        appendLiteral(out, node.systemId);
      }
      if (!node.internalSubset.empty()) {
        out += " [\n";
        out += node.internalSubset;
        out += "\n]";
      }
      out += '>';
      break;
  }
  out += '\n';
}

}  // namespace

struct ResultDocumentWriter::Impl {
  Impl(const ExchangeDocument& source, const std::filesystem::path& target)
      : staged(target), targetName(platform::displayPath(target)) {
    const std::string& declared = source.declaredEncoding();
    const std::string encoding = declared.empty() ? std::string("UTF-8") : declared;
    xmlCharEncodingHandlerPtr encoder = nullptr;
    if (!isUtf8(encoding)) {
      encoder = xmlFindCharEncodingHandler(encoding.c_str());
      if (encoder == nullptr) fail("la codificación " + encoding + " no está disponible");
    }
#ifdef _WIN32
    file = _wfopen(staged.temporary().c_str(), L"wb");
#else
    file = std::fopen(staged.temporary().c_str(), "wb");
#endif
    if (file == nullptr) {
      const std::string reason = std::strerror(errno);
      if (encoder != nullptr) xmlCharEncCloseFunc(encoder);
      fail(reason);
    }
    out = xmlOutputBufferCreateIO(&Impl::writeFile, nullptr, this, encoder);
    if (out == nullptr) {
      if (encoder != nullptr) xmlCharEncCloseFunc(encoder);
      fail("sin memoria");
    }

    pending.reserve(kBlock + 4096);
    pending += "<?xml version=\"";
    pending += source.version().empty() ? std::string("1.0") : source.version();
    pending += "\" encoding=\"";
    pending += encoding;
    pending += '"';
    if (source.standalone() >= 0)
      pending += source.standalone() == 1 ? " standalone=\"yes\"" : " standalone=\"no\"";
    pending += "?>\n";
    for (const OutsideNode& node : source.outsideNodes()) {
      if (node.afterRoot) {
        epilog.push_back(node);
      } else {
        appendOutsideNode(pending, node);
      }
    }
  }

  ~Impl() { close(); }

  [[noreturn]] void fail(const std::string& reason) {
    close();
    failed = true;
    throw Error("No se puede escribir " + targetName + ": " + reason);
  }

  void close() noexcept {
    if (out != nullptr) xmlOutputBufferClose(out);
    out = nullptr;
    if (file != nullptr) std::fclose(file);
    file = nullptr;
  }

  // A failed write is reported to libxml2 as done: told of it, libxml2 would
  // print its own message. The failure is raised after the call instead.
  static int writeFile(void* context, const char* buffer, int length) {
    auto& self = *static_cast<Impl*>(context);
    const auto size = static_cast<std::size_t>(length);
    if (self.writeError != 0) return length;
    errno = 0;
    if (std::fwrite(buffer, 1, size, self.file) != size) self.writeError = errno != 0 ? errno : EIO;
    return length;
  }

  void check() const {
    if (failed) throw Error("No se puede escribir " + targetName + ": la escritura ya falló");
    if (committed) throw std::logic_error("ResultDocumentWriter: el documento ya se guardó");
  }

  void flush() {
    std::size_t done = 0;
    while (done < pending.size()) {
      const std::size_t chunk = std::min(pending.size() - done, std::size_t{1} << 20);
      const int written = xmlOutputBufferWrite(out, static_cast<int>(chunk), pending.data() + done);
      if (written < 0 || writeError != 0) writeFailed();
      done += chunk;
    }
    pending.clear();
  }

  [[noreturn]] void writeFailed() {
    if (writeError != 0) fail(std::strerror(writeError));
    fail("no se pueden convertir los caracteres a la codificación del documento");
  }

  void newline() {
    pending += '\n';
    pending.append(2 * depth(), ' ');
  }

  std::size_t depth() const { return ends.size(); }

  void openTag(std::string_view name, std::span<const Attribute> attributes) {
    check();
    if (rootDone) throw std::logic_error("ResultDocumentWriter: el elemento raíz ya se cerró");
    if (startPending) pending += '>';
    startPending = false;
    if (rootStarted) newline();
    rootStarted = true;
    pending += '<';
    pending += name;
    for (const Attribute& attribute : attributes) {
      pending += ' ';
      pending += attribute.name;
      pending += "=\"";
      appendValue(attribute);
      pending += '"';
    }
  }

  // Escapes what an attribute value cannot hold as such; tab, newline and
  // carriage return become references, as a parser would turn them into
  // spaces otherwise. A value XML cannot carry at all is refused rather than
  // written into a document no parser would read.
  void appendValue(const Attribute& attribute) {
    const std::string_view value = attribute.value;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
      const auto c = static_cast<unsigned char>(value[i]);
      if (c >= 0x80) {
        i += validCharacterLength(attribute, i) - 1;
        continue;
      }
      if (c > '>') continue;
      const char* escaped = nullptr;
      switch (c) {
        case '&':
          escaped = "&amp;";
          break;
        case '<':
          escaped = "&lt;";
          break;
        case '>':
          escaped = "&gt;";
          break;
        case '"':
          escaped = "&quot;";
          break;
        case '\t':
          escaped = "&#9;";
          break;
        case '\n':
          escaped = "&#10;";
          break;
        case '\r':
          escaped = "&#13;";
          break;
        default:
          if (c >= 0x20) continue;
          fail("el atributo " + std::string(attribute.name) +
               " contiene un carácter de control (código " + std::to_string(c) +
               ") que XML no admite");
      }
      pending.append(value, start, i - start);
      pending += escaped;
      start = i + 1;
    }
    pending.append(value, start);
  }

  // The length of the UTF-8 sequence at `at`, failing on malformed UTF-8 and
  // on the code points XML excludes (surrogates, U+FFFE and U+FFFF).
  std::size_t validCharacterLength(const Attribute& attribute, std::size_t at) {
    const std::string_view value = attribute.value;
    const auto lead = static_cast<unsigned char>(value[at]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, code = lead & 0x07u;
    }
    bool valid = length != 0 && at + length <= value.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(value[at + k]);
      valid = (next & 0xC0u) == 0x80u;
      code = (code << 6) | (next & 0x3Fu);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= smallest[length] && code <= 0x10FFFF &&
            !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE && code != 0xFFFF;
    if (!valid)
      fail("el atributo " + std::string(attribute.name) +
           " contiene un texto que no es UTF-8 válido o un carácter que XML no admite");
    return length;
  }

  void afterElement() {
    if (pending.size() >= kBlock) flush();
  }

  StagedFile staged;
  std::string targetName;
  std::FILE* file = nullptr;
  xmlOutputBufferPtr out = nullptr;
  int writeError = 0;
  bool failed = false;
  bool committed = false;

  std::string pending;
  std::vector<OutsideNode> epilog;
  std::string names;              // the open elements' names, back to back
  std::vector<std::size_t> ends;  // where each open element's name ends in names
  bool startPending = false;      // the last start tag still lacks its '>'
  bool rootStarted = false;
  bool rootDone = false;
};

ResultDocumentWriter::ResultDocumentWriter(const ExchangeDocument& source,
                                           const std::filesystem::path& target)
    : impl_(std::make_unique<Impl>(source, target)) {}

ResultDocumentWriter::~ResultDocumentWriter() = default;

void ResultDocumentWriter::startElement(std::string_view name,
                                        std::span<const Attribute> attributes) {
  Impl& impl = *impl_;
  impl.openTag(name, attributes);
  impl.startPending = true;
  impl.names += name;
  impl.ends.push_back(impl.names.size());
  impl.afterElement();
}

void ResultDocumentWriter::emptyElement(std::string_view name,
                                        std::span<const Attribute> attributes) {
  Impl& impl = *impl_;
  impl.openTag(name, attributes);
  impl.pending += "/>";
  if (impl.ends.empty()) impl.rootDone = true;
  impl.afterElement();
}

void ResultDocumentWriter::endElement() {
  Impl& impl = *impl_;
  impl.check();
  if (impl.ends.empty()) throw std::logic_error("ResultDocumentWriter: no hay elemento abierto");
  const std::size_t end = impl.ends.back();
  impl.ends.pop_back();
  const std::size_t begin = impl.ends.empty() ? 0 : impl.ends.back();
  if (impl.startPending) {
    impl.pending += "/>";
    impl.startPending = false;
  } else {
    impl.newline();
    impl.pending += "</";
    impl.pending.append(impl.names, begin, end - begin);
    impl.pending += '>';
  }
  impl.names.resize(begin);
  if (impl.ends.empty()) impl.rootDone = true;
  impl.afterElement();
}

void ResultDocumentWriter::commit() {
  Impl& impl = *impl_;
  impl.check();
  if (!impl.rootStarted) throw std::logic_error("ResultDocumentWriter: falta el elemento raíz");
  while (!impl.ends.empty()) endElement();
  impl.pending += '\n';
  for (const OutsideNode& node : impl.epilog) appendOutsideNode(impl.pending, node);
  impl.flush();
  // The close's byte count is an int that large documents overflow, so the
  // buffer's error flag is what tells a failed write.
  if (xmlOutputBufferFlush(impl.out) < 0 || impl.out->error != 0 || impl.writeError != 0)
    impl.writeFailed();
  xmlOutputBufferClose(impl.out);
  impl.out = nullptr;
  const bool streamFailed = std::fflush(impl.file) != 0 || std::ferror(impl.file) != 0;
  const int streamError = errno;
  const bool closeFailed = std::fclose(impl.file) != 0;
  impl.file = nullptr;
  if (streamFailed || closeFailed) {
    impl.writeError = streamError != 0 ? streamError : errno;
    impl.writeFailed();
  }
  impl.staged.commit();
  impl.committed = true;
}

}  // namespace thp::xml
