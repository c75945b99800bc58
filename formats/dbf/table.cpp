#include "table.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "formats/error.hpp"
#include "formats/numbers.hpp"
#include "formats/platform.hpp"
#include "formats/text.hpp"

namespace thp::dbf {
namespace {

// How the header of a table is laid out, and how its binary fields read.
enum class Flavor {
  DBase,   // III+ and IV: 32-byte header and descriptors
  Level7,  // 68-byte header, 48-byte descriptors, sortable big-endian binaries
  FoxPro,  // as dBase, with little-endian binaries
};

std::optional<Flavor> flavorOf(unsigned char version) {
  switch (version) {
    case 0x30:
    case 0x31:
    case 0x32:
    case 0xF5:
    case 0xFB:
      return Flavor::FoxPro;
    default:
      break;
  }
  if ((version & 0x07) == 4) return Flavor::Level7;
  if ((version & 0x07) == 3) return Flavor::DBase;
  return std::nullopt;
}

std::uint32_t littleEndian(const char* p, std::size_t bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = bytes; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(p[i]);
  return value;
}

std::uint64_t littleEndian64(const char* p) {
  std::uint64_t value = 0;
  for (std::size_t i = 8; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(p[i]);
  return value;
}

std::uint64_t bigEndian(const char* p, std::size_t bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i) value = (value << 8) | static_cast<unsigned char>(p[i]);
  return value;
}

std::string nameOf(std::string_view area) {
  const std::size_t end = area.find('\0');
  return std::string(text::trimRight(area.substr(0, end)));
}

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// The width a binary field must have; 0 for the other types. B and Y are not
// here: before Visual FoxPro they were memo-like, and are only read at 8 bytes.
std::size_t binaryLength(char type, Flavor flavor) {
  switch (type) {
    case 'I':
      return 4;
    case 'O':
      return flavor == Flavor::Level7 ? 8 : 0;
    default:
      return 0;
  }
}

}  // namespace

struct Table::Data {
  std::filesystem::path file;
  std::string display;  // the file as messages name it
  std::optional<platform::FileLock> lock;
  std::vector<char> bytes;  // exactly the file, so that a stray read past it shows
  Flavor flavor = Flavor::DBase;
  std::size_t recordLength = 0;
  std::vector<FieldInfo> fields;
  std::vector<std::size_t> records;  // where each live record starts in bytes

  [[noreturn]] void damaged(const std::string& detail) const {
    throw Error("La tabla " + display + " está dañada: " + detail);
  }

  void parse();

  const char* at(std::size_t record, std::size_t field) const {
    if (record >= records.size() || field >= fields.size())
      throw std::out_of_range("Registro o campo fuera de la tabla " + display);
    return bytes.data() + records[record] + 1 + fields[field].offset;
  }

  std::string_view raw(std::size_t record, std::size_t field) const {
    return {at(record, field), fields[field].length};
  }

  [[noreturn]] void badValue(std::size_t record, std::size_t field, const std::string& what) const {
    throw Error(what + " en la tabla " + display + ", registro " + std::to_string(record + 1) +
                ", campo " + text::fromCp1252(fields[field].name));
  }

  // The value of a numeric field as a double; nullopt for no value.
  std::optional<double> numeric(std::size_t record, std::size_t field) const;
};

void Table::Data::parse() {
  const std::size_t size = bytes.size();
  if (size < 1) damaged("el archivo está vacío");
  const auto version = static_cast<unsigned char>(bytes[0]);
  const std::optional<Flavor> known = flavorOf(version);
  if (!known) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", version);
    throw Error("La tabla " + display + " no tiene un formato dBase conocido (versión " + hex +
                ")");
  }
  flavor = *known;
  const bool level7 = flavor == Flavor::Level7;
  const std::size_t fixedSize = level7 ? 68 : 32;
  const std::size_t descriptorSize = level7 ? 48 : 32;
  if (size < fixedSize) damaged("el archivo es más corto que su cabecera");

  const std::size_t count = littleEndian(&bytes[4], 4);
  const std::size_t headerLength = littleEndian(&bytes[8], 2);
  recordLength = littleEndian(&bytes[10], 2);
  if (headerLength < fixedSize + descriptorSize + 1)
    damaged("la longitud de la cabecera es demasiado pequeña");
  if (headerLength > size) damaged("la cabecera es más larga que el archivo");
  if (recordLength == 0) damaged("la longitud de registro es 0");

  std::size_t pos = fixedSize;
  std::size_t offset = 0;
  while (true) {
    if (pos >= headerLength) damaged("falta el final de las definiciones de campo");
    if (bytes[pos] == '\x0D') break;
    if (pos + descriptorSize > headerLength) damaged("una definición de campo sale de la cabecera");
    const char* d = bytes.data() + pos;
    FieldInfo info;
    if (level7) {
      info.name = nameOf({d, 32});
      info.type = d[32];
      info.length = static_cast<unsigned char>(d[33]);
      info.decimals = static_cast<unsigned char>(d[34]);
    } else {
      info.name = nameOf({d, 11});
      info.type = d[11];
      info.length = static_cast<unsigned char>(d[16]);
      info.decimals = static_cast<unsigned char>(d[17]);
      // FoxPro keeps the high byte of a long character field's width in the
      // decimals byte.
      if (flavor == Flavor::FoxPro && info.type == 'C') {
        info.length += info.decimals << 8;
        info.decimals = 0;
      }
    }
    const std::string name = text::fromCp1252(info.name);
    if (info.name.empty()) damaged("un campo no tiene nombre");
    if (info.length == 0) damaged("el campo " + name + " tiene longitud 0");
    const std::size_t binary = binaryLength(info.type, flavor);
    if (binary != 0 && info.length != binary)
      damaged("el campo " + name + " de tipo " + info.type + " no tiene " + std::to_string(binary) +
              " bytes");
    info.offset = offset;
    offset += info.length;
    if (offset + 1 > recordLength) damaged("los campos no caben en la longitud de registro");
    fields.push_back(std::move(info));
    pos += descriptorSize;
  }
  if (fields.empty()) damaged("no tiene campos");

  // Believe the file's length over the header's count when they disagree: a
  // program that died mid-write leaves a count ahead of the records, or behind.
  const std::size_t present = (size - headerLength) / recordLength;
  const std::size_t total = std::min(count, present);
  records.reserve(total);
  for (std::size_t i = 0; i < total; ++i) {
    const std::size_t start = headerLength + i * recordLength;
    if (bytes[start] != '*') records.push_back(start);
  }
}

std::optional<double> Table::Data::numeric(std::size_t record, std::size_t field) const {
  const FieldInfo& info = fields[field];
  const char* p = at(record, field);
  switch (info.type) {
    case 'N':
    case 'F': {
      const std::string_view value = text::trim({p, info.length});
      if (value.empty()) return std::nullopt;
      try {
        return numbers::toDouble(value, '.');
      } catch (const Error&) {
        badValue(record, field, "'" + text::fromCp1252(value) + "' no es un valor numérico válido");
      }
    }
    case 'I':
      if (flavor == Flavor::Level7) {
        const auto stored = static_cast<std::uint32_t>(bigEndian(p, 4));
        if (stored == 0) return std::nullopt;
        return static_cast<std::int32_t>(stored ^ 0x80000000u);
      }
      return static_cast<std::int32_t>(littleEndian(p, 4));
    case 'O': {
      if (flavor != Flavor::Level7) return std::nullopt;
      std::uint64_t bits = bigEndian(p, 8);
      if (bits == 0) return std::nullopt;
      constexpr std::uint64_t sign = std::uint64_t{1} << 63;
      bits = (bits & sign) != 0 ? bits & ~sign : ~bits;
      return std::bit_cast<double>(bits);
    }
    case 'B':
      if (flavor != Flavor::FoxPro || info.length != 8) return std::nullopt;
      return std::bit_cast<double>(littleEndian64(p));
    case 'Y':
      if (flavor != Flavor::FoxPro || info.length != 8) return std::nullopt;
      return static_cast<double>(static_cast<std::int64_t>(littleEndian64(p))) / 10000.0;
    default:
      return std::nullopt;
  }
}

Table Table::open(const std::filesystem::path& file, Access access) {
  auto data = std::make_unique<Data>();
  data->file = file;
  data->display = platform::displayPath(file);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec))
    throw Error("No existe la tabla " + data->display);
  if (access == Access::Exclusive) {
    data->lock = platform::FileLock::tryAcquire(file);
    if (!data->lock) throw Error("La tabla " + data->display + " está en uso por otro programa");
  }

  errno = 0;
#ifdef _WIN32
  std::FILE* stream = _wfopen(file.c_str(), L"rb");
#else
  std::FILE* stream = std::fopen(file.c_str(), "rb");
#endif
  if (stream == nullptr)
    throw Error("No se puede leer " + data->display + ": " + std::strerror(errno));
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > std::numeric_limits<std::size_t>::max() / 2) {
    std::fclose(stream);
    throw Error("No se puede leer " + data->display +
                (ec ? ": " + ec.message() : std::string(": archivo demasiado grande")));
  }
  data->bytes.resize(static_cast<std::size_t>(size));
  errno = 0;
  const std::size_t read =
      data->bytes.empty() ? 0 : std::fread(data->bytes.data(), 1, data->bytes.size(), stream);
  const int error = errno;
  std::fclose(stream);
  if (read != data->bytes.size())
    throw Error("No se puede leer " + data->display + ": " +
                (error != 0 ? std::strerror(error) : "lectura incompleta"));
  data->parse();
  return Table(std::move(data));
}

Table::Table(std::unique_ptr<Data> data) : data_(std::move(data)) {}
Table::Table(Table&&) noexcept = default;
Table& Table::operator=(Table&&) noexcept = default;
Table::~Table() = default;

const std::filesystem::path& Table::file() const { return data_->file; }
std::size_t Table::recordCount() const { return data_->records.size(); }
const std::vector<FieldInfo>& Table::fields() const { return data_->fields; }

std::optional<std::size_t> Table::findField(std::string_view name) const {
  for (std::size_t i = 0; i < data_->fields.size(); ++i)
    if (equalsIgnoreAsciiCase(data_->fields[i].name, name)) return i;
  return std::nullopt;
}

std::size_t Table::field(std::string_view name) const {
  if (const auto index = findField(name)) return *index;
  throw Error("El campo " + text::fromCp1252(name) + " no existe en la tabla " + data_->display);
}

std::string_view Table::rawText(std::size_t record, std::size_t field) const {
  return text::trimRight(data_->raw(record, field));
}

std::string Table::text(std::size_t record, std::size_t field, char decimalSeparator) const {
  const FieldInfo& info = data_->fields.at(field);
  switch (info.type) {
    case 'C':
      return std::string(rawText(record, field));
    case 'D':
      return std::string(rawText(record, field).empty() ? std::string_view{}
                                                        : data_->raw(record, field));
    case 'L': {
      const char c = *data_->at(record, field);
      if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return "T";
      if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return "F";
      return "";
    }
    case 'N':
    case 'F': {
      const auto value = data_->numeric(record, field);
      if (!value) return "";
      return numbers::formatFixed(*value, static_cast<int>(info.decimals), decimalSeparator);
    }
    case 'I': {
      const auto value = data_->numeric(record, field);
      return value ? std::to_string(static_cast<std::int32_t>(*value)) : "";
    }
    case 'Y': {
      const auto value = data_->numeric(record, field);
      return value ? numbers::formatFixed(*value, 4, decimalSeparator) : "";
    }
    case 'O':
    case 'B': {
      const auto value = data_->numeric(record, field);
      return value ? numbers::formatShortest(*value, decimalSeparator) : "";
    }
    default:
      data_->at(record, field);  // same range check as the readable types
      return "";
  }
}

std::int32_t Table::integer(std::size_t record, std::size_t field) const {
  const FieldInfo& info = data_->fields.at(field);
  switch (info.type) {
    case 'N':
    case 'F':
    case 'I':
    case 'O':
    case 'B':
    case 'Y': {
      const auto value = data_->numeric(record, field);
      if (!value) return 0;
      const double rounded = std::round(*value);
      // The negated comparison also turns away NaN.
      if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
            rounded <= std::numeric_limits<std::int32_t>::max()))
        data_->badValue(
            record, field,
            "'" + numbers::formatShortest(*value, '.') + "' no es un valor entero válido");
      return static_cast<std::int32_t>(rounded);
    }
    default: {
      const std::string_view value = text::trim(rawText(record, field));
      if (value.empty()) return 0;
      try {
        return numbers::toInt(value);
      } catch (const Error& e) {
        data_->badValue(record, field, e.what());
      }
    }
  }
}

double Table::number(std::size_t record, std::size_t field, char decimalSeparator) const {
  const FieldInfo& info = data_->fields.at(field);
  switch (info.type) {
    case 'N':
    case 'F':
    case 'I':
    case 'O':
    case 'B':
    case 'Y':
      return data_->numeric(record, field).value_or(0.0);
    default: {
      const std::string_view value = text::trim(rawText(record, field));
      if (value.empty()) return 0.0;
      try {
        return numbers::toDouble(value, decimalSeparator);
      } catch (const Error& e) {
        data_->badValue(record, field, e.what());
      }
    }
  }
}

namespace {

// A hash for short keys: eight bytes at a time, then a final mix.
std::uint64_t hashKey(std::string_view key) noexcept {
  constexpr std::uint64_t k1 = 0xBF58476D1CE4E5B9ULL;
  constexpr std::uint64_t k2 = 0x94D049BB133111EBULL;
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ key.size();
  const char* p = key.data();
  std::size_t n = key.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, p, 8);
    h = (h ^ chunk) * k1;
    h ^= h >> 31;
  }
  if (n > 0) {
    std::uint64_t chunk = 0;
    std::memcpy(&chunk, p, n);
    h = (h ^ chunk) * k1;
    h ^= h >> 31;
  }
  h *= k2;
  return h ^ (h >> 29);
}

}  // namespace

// An open-addressing table probed linearly and kept at most four fifths full.
// Each slot holds, in this order: the record number (kEmpty for a free slot),
// the key's length and bytes, then for each carried field its length and
// bytes, every text as rawText gives it. Widths are those of the longest text
// in each column, so a slot is seldom wider than a cache line's half.
struct KeyIndex::Impl {
  // Record numbers are below the header's 32-bit count, so never this one.
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  using Length = std::uint16_t;  // field widths reach 65535 in FoxPro tables

  std::size_t capacity = 0;
  std::size_t stride = 0;
  std::vector<std::size_t> columns;  // offset of each column (key first) within a slot
  std::vector<char> slots;

  std::size_t home(std::uint64_t hash) const {
    // The slot for a hash: its high half scaled to the capacity.
    return static_cast<std::size_t>(((hash >> 32) * capacity) >> 32);
  }
  static std::uint32_t recordAt(const char* slot) {
    std::uint32_t record;
    std::memcpy(&record, slot, sizeof record);
    return record;
  }
  std::string_view column(const char* slot, std::size_t c) const {
    Length length;
    std::memcpy(&length, slot + columns[c], sizeof length);
    return {slot + columns[c] + sizeof(Length), length};
  }
  void put(char* slot, std::size_t c, std::string_view text) const {
    const auto length = static_cast<Length>(text.size());
    std::memcpy(slot + columns[c], &length, sizeof length);
    if (!text.empty()) std::memcpy(slot + columns[c] + sizeof(Length), text.data(), text.size());
  }
};

KeyIndex::KeyIndex(const Table& table, std::size_t field, const std::vector<std::size_t>& carried) {
  auto impl = std::make_shared<Impl>();
  const Table::Data& data = *table.data_;
  const std::size_t count = data.records.size();
  // Record numbers are stored in 32 bits, and the capacity scales a 32-bit hash.
  if (count >= (std::size_t{1} << 31))
    throw std::length_error("Demasiados registros para un índice en " + data.display);
  if (count > 0) {  // the range check of every read
    data.at(0, field);
    for (const std::size_t f : carried) data.at(0, f);
  }

  std::vector<std::size_t> fields = {field};
  fields.insert(fields.end(), carried.begin(), carried.end());
  std::vector<std::size_t> widths(fields.size(), 0);
  for (std::size_t record = 0; record < count; ++record)
    for (std::size_t c = 0; c < fields.size(); ++c)
      widths[c] = std::max(widths[c], text::trimRight(data.raw(record, fields[c])).size());
  impl->stride = sizeof(std::uint32_t);
  for (const std::size_t width : widths) {
    impl->columns.push_back(impl->stride);
    impl->stride += sizeof(Impl::Length) + width;
  }

  impl->capacity = std::max<std::size_t>(count + count / 4 + 1, 8);
  impl->slots.assign(impl->capacity * impl->stride, '\0');
  for (std::size_t i = 0; i < impl->capacity; ++i)
    std::memcpy(impl->slots.data() + i * impl->stride, &Impl::kEmpty, sizeof Impl::kEmpty);
  for (std::size_t record = 0; record < count; ++record) {
    const std::string_view key = text::trimRight(data.raw(record, field));
    for (std::size_t i = impl->home(hashKey(key));; i = i + 1 == impl->capacity ? 0 : i + 1) {
      char* slot = impl->slots.data() + i * impl->stride;
      if (Impl::recordAt(slot) == Impl::kEmpty) {
        const auto number = static_cast<std::uint32_t>(record);
        std::memcpy(slot, &number, sizeof number);
        for (std::size_t c = 0; c < fields.size(); ++c)
          impl->put(slot, c, text::trimRight(data.raw(record, fields[c])));
        break;
      }
      if (impl->column(slot, 0) == key) break;  // the first record stays
    }
  }
  impl_ = std::move(impl);
}

const char* KeyIndex::slotOf(std::string_view key) const {
  const Impl& impl = *impl_;
  for (std::size_t i = impl.home(hashKey(key));; i = i + 1 == impl.capacity ? 0 : i + 1) {
    const char* slot = impl.slots.data() + i * impl.stride;
    if (Impl::recordAt(slot) == Impl::kEmpty) return nullptr;
    if (impl.column(slot, 0) == key) return slot;
  }
}

std::optional<std::size_t> KeyIndex::locate(std::string_view key) const {
  const char* slot = slotOf(key);
  if (slot == nullptr) return std::nullopt;
  return Impl::recordAt(slot);
}

std::optional<KeyIndex::Found> KeyIndex::find(std::string_view key) const {
  const char* slot = slotOf(key);
  if (slot == nullptr) return std::nullopt;
  return Found(impl_.get(), slot);
}

std::size_t KeyIndex::Found::record() const { return Impl::recordAt(slot_); }

std::string_view KeyIndex::Found::value(std::size_t i) const {
  const Impl& impl = *impl_;
  if (i + 1 >= impl.columns.size()) throw std::out_of_range("Valor fuera del índice");
  return impl.column(slot_, i + 1);
}

}  // namespace thp::dbf
