#pragma once

// Small helpers shared by the dBase table tests: a scratch directory per test
// and whole-file reads and writes.

#include <gtest/gtest.h>
#include "tests/support/scratch_dir.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace thp::dbf::testing {

using testsupport::entriesOf;
using testsupport::readFile;
using testsupport::ScratchDir;
using testsupport::writeFile;

// Bytes from a list of values 0-255, for fixtures spelled out byte by byte.
inline std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) out.push_back(static_cast<char>(static_cast<unsigned char>(v)));
  return out;
}

inline void putLE(std::string& out, std::size_t at, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i, value >>= 8)
    out[at + i] = static_cast<char>(static_cast<unsigned char>(value & 0xFF));
}

inline std::uint64_t getLE(std::string_view in, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(in[at + i]);
  return value;
}

}  // namespace thp::dbf::testing
