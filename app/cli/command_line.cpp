#include "app/cli/command_line.hpp"

namespace thp::cli {
namespace {

std::optional<Command> commandNamed(const std::string& word) {
  if (word == "export") return Command::Export;
  if (word == "check") return Command::Check;
  if (word == "import") return Command::Import;
  if (word == "--help" || word == "-h" || word == "help") return Command::Help;
  if (word == "--version") return Command::Version;
  return std::nullopt;
}

}  // namespace

std::string usageText() {
  return "Uso:\n"
         "  transhorval export DOCUMENTO.xml [--dir DIRECTORIO]\n"
         "      Crea de nuevo las seis tablas de Horvalen a partir del documento de PLADUNA.\n"
         "  transhorval check DOCUMENTO.xml\n"
         "      Hace el mismo trabajo e informa de lo mismo, sin escribir nada.\n"
         "  transhorval import DOCUMENTO.xml [--dir DIRECTORIO]\n"
         "      Escribe la solución de SOLUC en ResultadoHorval<DOCUMENTO>.xml.\n"
         "  transhorval --help | --version\n"
         "\n"
         "El directorio de trabajo es C:\\HTEMP (fuera de Windows, el de Wine:\n"
         "$WINEPREFIX/drive_c/HTEMP); TRANSHORVAL_HTEMP o --dir lo cambian.\n"
         "Códigos de salida: 0 hecho, 1 error, 2 falta un archivo de entrada, 64 uso incorrecto.\n";
}

Invocation parseArguments(const std::vector<std::string>& arguments) {
  if (arguments.empty()) throw UsageError{"Falta la orden."};
  const auto command = commandNamed(arguments[0]);
  if (!command) throw UsageError{"Orden desconocida: " + arguments[0]};

  Invocation invocation;
  invocation.command = *command;
  if (*command == Command::Help || *command == Command::Version) {
    if (arguments.size() > 1) throw UsageError{"Sobran argumentos tras " + arguments[0]};
    return invocation;
  }

  bool haveDocument = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--dir" && *command != Command::Check) {
      if (i + 1 >= arguments.size()) throw UsageError{"Falta el directorio tras --dir."};
      if (invocation.directory) throw UsageError{"--dir aparece dos veces."};
      invocation.directory = std::filesystem::path(arguments[++i]);
    } else if (!argument.empty() && argument[0] == '-' && argument != "-") {
      throw UsageError{"Opción desconocida: " + argument};
    } else if (haveDocument) {
      throw UsageError{"Sobra el argumento " + argument};
    } else {
      invocation.document = std::filesystem::path(argument);
      haveDocument = true;
    }
  }
  if (!haveDocument) throw UsageError{"Falta el documento XML."};
  return invocation;
}

}  // namespace thp::cli
