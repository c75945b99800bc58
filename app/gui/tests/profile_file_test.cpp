// Horvalen.ini is shared with the calling program: one key changes, every
// other byte stays.
#include "app/gui/profile_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "formats/error.hpp"
#include "test_support.hpp"

namespace thp::gui::profile {
namespace {

using testing::entriesOf;
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

// Writes in a child process whose files cannot grow beyond `limit` bytes, as on
// a full disk; true when the child saw the error the dialog shows.
bool writeWithLimit(const std::filesystem::path& file, rlim_t limit) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit rl{limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    try {
      writeInteger(file, "Transformadores", "Transformado", -1);
    } catch (const Error& error) {
      _exit(error.what() == "Unable to write to " + file.string() ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ProfileFile, AWriteThatFailsPartWayLeavesTheFileAsItWas) {
  ScratchDir dir;
  const auto file = dir / "Horvalen.ini";
  const std::string before =
      "; Configuraci\xF3n de Horval\r\n[General]\r\nRuta=C:\\HTEMP\r\n[Transformadores]\r\n"
      "Transformado=0\r\n";
  // The new value is one byte longer: every limit from nothing to the old
  // size stops the write before its end.
  for (const rlim_t limit :
       {rlim_t{0}, rlim_t{1}, rlim_t{before.size() / 2}, rlim_t{before.size()}}) {
    SCOPED_TRACE(limit);
    writeFile(file, before);
    EXPECT_TRUE(writeWithLimit(file, limit));
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"Horvalen.ini"});
  }
  EXPECT_FALSE(writeWithLimit(file, before.size() + 1));  // room enough: written
  EXPECT_EQ(readFile(file).find("Transformado=-1\r\n"), before.size() - 16);
}

TEST(ProfileFile, AnImmutableFileIsReportedAndKept) {
  ScratchDir dir;
  const auto file = dir / "Horvalen.ini";
  const std::string before = "[Transformadores]\r\nTransformado=0\r\n";
  writeFile(file, before);
  const int fd = open(file.c_str(), O_RDONLY);
  int flags = 0;
  const bool immutable = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                         (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  if (!immutable) {
    if (fd >= 0) close(fd);
    GTEST_SKIP() << "this file system or process cannot make a file immutable";
  }
  try {
    writeInteger(file, "Transformadores", "Transformado", 1);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.what(), "Unable to write to " + file.string());
  }
  flags &= ~FS_IMMUTABLE_FL;
  ioctl(fd, FS_IOC_SETFLAGS, &flags);
  close(fd);
  EXPECT_EQ(readFile(file), before);
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"Horvalen.ini"});
}

TEST(ProfileFile, ALinkedFileIsWrittenThroughTheLink) {
  ScratchDir dir;
  std::filesystem::create_directory(dir / "wine");
  writeFile(dir / "wine" / "Horvalen.ini", "[Transformadores]\r\nTransformado=0\r\n");
  std::filesystem::create_symlink(dir / "wine" / "Horvalen.ini", dir / "Horvalen.ini");
  writeInteger(dir / "Horvalen.ini", "Transformadores", "Transformado", 1);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "Horvalen.ini"));
  EXPECT_EQ(readFile(dir / "wine" / "Horvalen.ini"), "[Transformadores]\r\nTransformado=1\r\n");
}

}  // namespace
}  // namespace thp::gui::profile
