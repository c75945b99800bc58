#include "table_writer.hpp"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <utility>

#include "formats/error.hpp"
#include "formats/platform.hpp"

namespace thp::dbf {
namespace {

constexpr std::size_t kFixedHeaderSize = 68;
constexpr std::size_t kDescriptorSize = 48;
constexpr char kHeaderTerminator = '\x0D';
constexpr char kEndOfFile = '\x1A';
// Records go to the file in chunks of about this size.
constexpr std::size_t kFlushSize = std::size_t{1} << 20;

void putLittleEndian(char* out, std::uint32_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) {
    out[i] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

std::string headerBytes(const TableLayout& layout, std::chrono::year_month_day date) {
  const std::size_t fieldCount = layout.fields().size();
  // No field properties block follows the terminator: the header ends there,
  // as other level 7 writers do for tables without properties.
  const std::size_t headerLength = kFixedHeaderSize + kDescriptorSize * fieldCount + 1;
  if (headerLength > 0xFFFF) throw std::invalid_argument("Demasiados campos en " + layout.name());
  std::string header(headerLength, '\0');
  header[0] = '\x04';  // level 7, no memo file
  header[1] = static_cast<char>(static_cast<int>(date.year()) - 1900);
  header[2] = static_cast<char>(static_cast<unsigned>(date.month()));
  header[3] = static_cast<char>(static_cast<unsigned>(date.day()));
  // Bytes 4-7 (record count) are completed by finish().
  putLittleEndian(&header[8], static_cast<std::uint32_t>(headerLength), 2);
  putLittleEndian(&header[10], static_cast<std::uint32_t>(layout.recordLength()), 2);
  header[28] = '\0';    // no production index
  header[29] = '\x57';  // Windows ANSI (code page 1252)
  const std::string_view driver = "DBWINUS0";
  driver.copy(&header[32], driver.size());
  for (std::size_t i = 0; i < fieldCount; ++i) {
    const FieldDef& field = layout.fields()[i];
    char* descriptor = &header[kFixedHeaderSize + kDescriptorSize * i];
    field.name.copy(descriptor, 31);
    descriptor[32] = static_cast<char>(field.type);
    descriptor[33] = static_cast<char>(field.length);
    descriptor[34] = static_cast<char>(field.decimals);
  }
  header[headerLength - 1] = kHeaderTerminator;
  return header;
}

std::string reason(int error) {
  return error != 0 ? std::strerror(error) : std::string("error de escritura");
}

}  // namespace

TableWriter::TableWriter(std::filesystem::path file, const TableLayout& layout,
                         std::chrono::year_month_day lastUpdate, std::string displayName)
    : file_(std::move(file)),
      display_(displayName.empty() ? platform::displayPath(file_) : std::move(displayName)),
      layout_(&layout),
      lastUpdate_(lastUpdate) {
  const std::string header = headerBytes(layout, lastUpdate_);
  errno = 0;
#ifdef _WIN32
  stream_ = _wfopen(file_.c_str(), L"wb");
#else
  stream_ = std::fopen(file_.c_str(), "wb");
#endif
  if (stream_ == nullptr) throw Error("No se puede escribir en " + display_ + ": " + reason(errno));
  // Our own buffer holds the records; stdio's would only copy them once more.
  std::setvbuf(stream_, nullptr, _IONBF, 0);
  buffer_.reserve(kFlushSize + layout.recordLength() + header.size());
  buffer_.assign(header.begin(), header.end());
}

TableWriter::~TableWriter() {
  if (stream_ != nullptr) std::fclose(stream_);
}

void TableWriter::append(const RecordBuffer& record) {
  const std::string_view bytes = record.bytes();
  if (bytes.size() != layout_->recordLength() ||
      record.layout().fields().size() != layout_->fields().size())
    throw std::invalid_argument("El registro no corresponde a la tabla " + layout_->name());
  if (stream_ == nullptr) throw std::logic_error("La tabla " + display_ + " ya está cerrada");
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  ++count_;
  if (buffer_.size() >= kFlushSize) flushBuffer();
}

void TableWriter::finish() {
  if (stream_ == nullptr) throw std::logic_error("La tabla " + display_ + " ya está cerrada");
  try {
    if (count_ > 0xFFFFFFFFu)
      throw Error("No se puede escribir en " + display_ + ": demasiados registros");
    buffer_.push_back(kEndOfFile);
    flushBuffer();
    char count[4];
    putLittleEndian(count, static_cast<std::uint32_t>(count_), 4);
    writeAt(4, count, sizeof count);
    errno = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0)
      throw Error("No se puede escribir en " + display_ + ": " + reason(errno));
  } catch (...) {
    std::fclose(stream_);
    stream_ = nullptr;
    throw;
  }
  std::FILE* stream = std::exchange(stream_, nullptr);
  errno = 0;
  if (std::fclose(stream) != 0)
    throw Error("No se puede escribir en " + display_ + ": " + reason(errno));
}

void TableWriter::flushBuffer() {
  if (buffer_.empty()) return;
  errno = 0;
  const std::size_t written = std::fwrite(buffer_.data(), 1, buffer_.size(), stream_);
  if (written != buffer_.size())
    throw Error("No se puede escribir en " + display_ + ": " + reason(errno));
  buffer_.clear();
}

void TableWriter::writeAt(long offset, const void* data, std::size_t size) {
  errno = 0;
  if (std::fseek(stream_, offset, SEEK_SET) != 0 || std::fwrite(data, 1, size, stream_) != size)
    throw Error("No se puede escribir en " + display_ + ": " + reason(errno));
}

std::chrono::year_month_day today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                     std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                     std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}

}  // namespace thp::dbf
