#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string_view>

#include "exchange_document.hpp"

namespace thp::xml {

struct Attribute {
  std::string_view name;
  std::string_view value;  // UTF-8
};

// Writes a result document with a streaming writer: the source document's
// nodes outside its root, then a new root element and its content. The file
// is written under a temporary name beside the target and moved into place by
// commit(); destroying the writer before that leaves the target untouched and
// no temporary file behind.
//
// The output uses the source's declared encoding (UTF-8, with a declaration,
// when the source had none); a character that encoding lacks is written as a
// character reference, so every value reads back exactly.
class ResultDocumentWriter {
 public:
  // Throws thp::Error naming the target when it cannot be created.
  ResultDocumentWriter(const ExchangeDocument& source, const std::filesystem::path& target);
  ~ResultDocumentWriter();
  ResultDocumentWriter(const ResultDocumentWriter&) = delete;
  ResultDocumentWriter& operator=(const ResultDocumentWriter&) = delete;

  // Opens an element with its attributes in the given order; the first one
  // opened is the root.
  void startElement(std::string_view name, std::span<const Attribute> attributes = {});
  // An element without content.
  void emptyElement(std::string_view name, std::span<const Attribute> attributes);
  void endElement();

  // Closes every open element, writes the nodes that followed the source's
  // root, flushes and moves the file into place. Throws thp::Error naming the
  // target on failure, leaving the target as it was.
  void commit();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace thp::xml
