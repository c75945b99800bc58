#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace thp::xml {

// The items to collect from a document: the elements at one absolute path
// (element names from the root down, no namespace), and the attributes to keep
// of each, in the order the caller wants them.
struct SectionQuery {
  std::vector<std::string> path;        // {"centro", "materias", "dmateria"}
  std::vector<std::string> attributes;  // {"codigo", "nombre", ...}
};

// The items found for one query, in document order. Values are the attributes'
// text as UTF-8 with entity and character references resolved, exactly as in
// the document (not trimmed); an absent attribute reads as the empty text.
class Section {
 public:
  std::size_t size() const { return items_; }
  std::string_view value(std::size_t item, std::size_t attribute) const {
    const std::size_t slot = item * attributes_ + attribute;
    return std::string_view(data_).substr(offsets_[slot], offsets_[slot + 1] - offsets_[slot]);
  }

 private:
  friend class ExchangeDocumentBuilder;
  std::size_t attributes_ = 0;
  std::size_t items_ = 0;
  std::string data_;                           // all values back to back
  std::vector<std::uint32_t> offsets_ = {0};  // items_ * attributes_ + 1 entries
};

// A node outside the root element, kept for the result document.
struct OutsideNode {
  enum class Kind { Comment, ProcessingInstruction, DocumentType };
  Kind kind;
  bool afterRoot = false;
  std::string name;            // PI target or doctype name
  std::string value;           // comment text or PI data
  std::string publicId;        // doctype only
  std::string systemId;        // doctype only
  std::string internalSubset;  // doctype only: the declarations between [ and ]
};

// The exchange document, read once with a streaming parser: the sections asked
// for, the root's attributes and what lies outside the root. The document is
// untrusted: nothing is fetched from the network or the file system (external
// entities and DTDs are refused), and entity expansion is bounded.
class ExchangeDocument {
 public:
  // Throws thp::Error naming the file, the line and the parser's reason when
  // the file cannot be read or is not well-formed XML.
  static ExchangeDocument read(const std::filesystem::path& file,
                               const std::vector<SectionQuery>& sections,
                               const std::vector<std::string>& rootAttributes);

  const Section& section(std::size_t query) const { return sections_[query]; }

  // The root element's name, and whether it is `centro` without a namespace.
  const std::string& rootName() const { return rootName_; }
  bool rootIsCentro() const { return rootIsCentro_; }
  // The value of rootAttributes[i] on the root when it is `centro`, else empty.
  std::string_view rootAttribute(std::size_t i) const { return rootAttributes_[i]; }

  // The encoding named by the XML declaration, empty when there was none.
  const std::string& declaredEncoding() const { return declaredEncoding_; }
  // Whether the file began with an XML declaration.
  bool hadDeclaration() const { return hadDeclaration_; }
  const std::string& version() const { return version_; }
  int standalone() const { return standalone_; }  // -1 absent, 0 no, 1 yes

  const std::vector<OutsideNode>& outsideNodes() const { return outside_; }

 private:
  friend class ExchangeDocumentBuilder;
  std::vector<Section> sections_;
  std::string rootName_;
  bool rootIsCentro_ = false;
  std::vector<std::string> rootAttributes_;
  std::string declaredEncoding_;
  bool hadDeclaration_ = false;
  std::string version_ = "1.0";
  int standalone_ = -1;
  std::vector<OutsideNode> outside_;
};

}  // namespace thp::xml
