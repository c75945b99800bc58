#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>

namespace thp::gui {

// The panels an embedded dialog keeps.
enum class Panels { Both, Export, Import };

// What a calling program asks for with its two arguments.
struct Embedding {
  std::uint32_t window = 0;  // the caller's native window
  Panels panels = Panels::Both;
};

// Reads the command line's arguments (the program name left out): exactly two
// select the embedded mode, a direction word ("exportar", "importar", compared
// in full after lower-casing its ASCII letters; any other keeps both panels)
// and the caller's window as bare hexadecimal digits. Nothing for any other
// count: the interactive mode. Throws thp::Error
// "'$<second argument>' no es un valor entero válido" when the second argument
// is not one to eight hexadecimal digits.
std::optional<Embedding> readLaunchArguments(const QStringList& arguments);

}  // namespace thp::gui
