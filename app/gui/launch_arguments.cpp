#include "app/gui/launch_arguments.hpp"

#include <algorithm>
#include <string>

#include "formats/error.hpp"
#include "formats/numbers.hpp"

namespace thp::gui {
namespace {

bool isHexDigit(QChar c) {
  const char16_t u = c.unicode();
  return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

QString lowerAscii(QString word) {
  for (QChar& c : word)
    if (c.unicode() >= u'A' && c.unicode() <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
  return word;
}

}  // namespace

std::optional<Embedding> readLaunchArguments(const QStringList& arguments) {
  if (arguments.size() != 2) return std::nullopt;

  // The handle is read as "$" and the argument, "$" marking hexadecimal. The
  // integer reader alone would also take a sign or blanks in front of the
  // digits, which a window handle never has.
  const QString handle = QStringLiteral("$") + arguments[1];
  const bool bareHex = std::all_of(arguments[1].begin(), arguments[1].end(), isHexDigit);
  if (!bareHex) throw Error("'" + handle.toStdString() + "' no es un valor entero válido");

  Embedding embedding;
  embedding.window = static_cast<std::uint32_t>(numbers::toInt(handle.toStdString()));
  const QString word = lowerAscii(arguments[0]);
  if (word == QLatin1String("importar"))
    embedding.panels = Panels::Import;
  else if (word == QLatin1String("exportar"))
    embedding.panels = Panels::Export;
  return embedding;
}

}  // namespace thp::gui
