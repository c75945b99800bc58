// Horvalen.ini is shared with the calling program: one key changes, every
// other byte stays.
#include "app/gui/profile_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "formats/error.hpp"
#include "test_support.hpp"

namespace thp::gui::profile {
namespace {

using testing::readFile;
using testing::ScratchDir;
using testing::writeFile;

struct Case {
  const char* what;
  std::string before;
  std::string after;
};

TEST(ProfileFile, ChangesOnlyTheKeysLine) {
  const Case cases[] = {
      {"empty file", "", "[Transformadores]\r\nTransformado=1\r\n"},
      {"value replaced, the rest kept byte for byte",
       "; Configuraci\xF3n de Horval\r\n[General]\r\nRuta=C:\\HTEMP\r\n\r\n[Transformadores]\r\n"
       "Transformado=0\r\nOtro=5\r\n",
       "; Configuraci\xF3n de Horval\r\n[General]\r\nRuta=C:\\HTEMP\r\n\r\n[Transformadores]\r\n"
       "Transformado=1\r\nOtro=5\r\n"},
      {"section and key matched without regard to case, their spelling kept",
       "[TRANSFORMADORES]\r\ntransformado = -1\r\n", "[TRANSFORMADORES]\r\ntransformado =1\r\n"},
      {"blanks around names", "[ Transformadores ]\r\n  Transformado\t=0\r\n",
       "[ Transformadores ]\r\n  Transformado\t=1\r\n"},
      {"the same key in another section is not ours",
       "[Otros]\r\nTransformado=7\r\n[Transformadores]\r\nTransformado=0\r\n",
       "[Otros]\r\nTransformado=7\r\n[Transformadores]\r\nTransformado=1\r\n"},
      {"first of two sections of the name",
       "[Transformadores]\r\nA=1\r\n[Transformadores]\r\nTransformado=0\r\n",
       "[Transformadores]\r\nA=1\r\nTransformado=1\r\n[Transformadores]\r\nTransformado=0\r\n"},
      {"a commented-out key does not count; the key goes after the section's last line",
       "[Transformadores]\r\n;Transformado=0\r\nOtro=5\r\n\r\n[Siguiente]\r\n",
       "[Transformadores]\r\n;Transformado=0\r\nOtro=5\r\nTransformado=1\r\n\r\n[Siguiente]\r\n"},
      {"a key that only starts the same is another key", "[Transformadores]\r\nTransformados=0\r\n",
       "[Transformadores]\r\nTransformados=0\r\nTransformado=1\r\n"},
      {"missing section appended, LF file keeps LF", "[General]\nRuta=x\n",
       "[General]\nRuta=x\n[Transformadores]\nTransformado=1\n"},
      {"last line without line end", "[General]\r\nRuta=x",
       "[General]\r\nRuta=x\r\n[Transformadores]\r\nTransformado=1\r\n"},
      {"key added to a section that ends the file without line end", "[Transformadores]",
       "[Transformadores]\r\nTransformado=1"},
      {"empty value", "[Transformadores]\r\nTransformado=\r\n",
       "[Transformadores]\r\nTransformado=1\r\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(withValue(c.before, "Transformadores", "Transformado", "1"), c.after) << c.what;
}

TEST(ProfileFile, CreatesTheFileAndWritesNegativeValues) {
  ScratchDir dir;
  writeInteger(dir / "Horvalen.ini", "Transformadores", "Transformado", -1);
  EXPECT_EQ(readFile(dir / "Horvalen.ini"), "[Transformadores]\r\nTransformado=-1\r\n");
  writeInteger(dir / "Horvalen.ini", "Transformadores", "Transformado", 0);
  EXPECT_EQ(readFile(dir / "Horvalen.ini"), "[Transformadores]\r\nTransformado=0\r\n");
}

TEST(ProfileFile, UnwritableFileIsReportedByName) {
  ScratchDir dir;
  std::filesystem::create_directory(dir / "carpeta");  // a directory where the file should be
  std::vector<std::filesystem::path> unwritable = {dir / "carpeta", dir / "falta" / "Horvalen.ini"};
  if (geteuid() != 0) {  // root writes into read-only files
    writeFile(dir / "solo-lectura.ini", "[General]\r\n");
    std::filesystem::permissions(dir / "solo-lectura.ini", std::filesystem::perms::owner_read);
    unwritable.push_back(dir / "solo-lectura.ini");
  }
  for (const auto& file : unwritable) {
    try {
      writeInteger(file, "Transformadores", "Transformado", 1);
      ADD_FAILURE() << "no error for " << file;
    } catch (const Error& error) {
      EXPECT_EQ(error.what(), "Unable to write to " + file.string());
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "falta"));
}

}  // namespace
}  // namespace thp::gui::profile
