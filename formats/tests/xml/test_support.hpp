#pragma once

// Helpers shared by the XML document tests: a scratch directory per test,
// whole-file reads and writes, UTF-16 fixtures, and an independent parser
// (Python's expat-based ElementTree) to check what libxml2 does not see.

#include <gtest/gtest.h>
#include "tests/support/scratch_dir.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace thp::xml::testing {

using testsupport::entriesOf;
using testsupport::readFile;
using testsupport::ScratchDir;
using testsupport::writeFile;

// UTF-16 bytes of the given text, with a byte order mark first.
inline std::string utf16(std::u16string_view text, bool bigEndian) {
  std::string out;
  auto put = [&](char16_t unit) {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  };
  put(u'\uFEFF');
  for (const char16_t unit : text) put(unit);
  return out;
}

// An element as a parser reported it: its name and attributes in order.
struct ParsedElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  bool operator==(const ParsedElement&) const = default;
};

inline void PrintTo(const ParsedElement& element, std::ostream* out) {
  *out << "<" << element.name;
  for (const auto& [name, value] : element.attributes)
    *out << " " << name << "=" << ::testing::PrintToString(value);
  *out << ">";
}

inline std::string fromHex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

constexpr const char* kPython = "/usr/bin/python3";

// Every element of the file in document order, as Python's ElementTree reads
// it; fails the test when the file does not parse.
inline std::vector<ParsedElement> parseWithPython(const std::filesystem::path& file) {
  const std::filesystem::path script = file.parent_path() / "dump.py";
  writeFile(script,
            "import sys, xml.etree.ElementTree as ET\n"
            "for e in ET.parse(sys.argv[1]).iter():\n"
            "    print(' '.join([e.tag.encode().hex()] + [k.encode().hex() + '=' + "
            "v.encode().hex() for k, v in e.attrib.items()]))\n");
  const std::filesystem::path output = file.parent_path() / "dump.txt";
  const std::string command = std::string(kPython) + " '" + script.string() + "' '" +
                              file.string() + "' > '" + output.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << readFile(output);
  std::vector<ParsedElement> elements;
  if (status != 0) return elements;
  std::ifstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    ParsedElement element;
    std::size_t at = 0;
    bool first = true;
    while (at <= line.size()) {
      std::size_t end = line.find(' ', at);
      if (end == std::string::npos) end = line.size();
      const std::string_view token = std::string_view(line).substr(at, end - at);
      if (first) {
        element.name = fromHex(token);
        first = false;
      } else {
        const std::size_t equals = token.find('=');
        element.attributes.emplace_back(fromHex(token.substr(0, equals)),
                                        fromHex(token.substr(equals + 1)));
      }
      at = end + 1;
    }
    elements.push_back(std::move(element));
  }
  return elements;
}

inline bool pythonAvailable() { return std::filesystem::exists(kPython); }

}  // namespace thp::xml::testing
