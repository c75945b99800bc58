#include "tests/reliability/reliability_support.hpp"

#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <system_error>

#include "formats/dbf/record_buffer.hpp"
#include "formats/dbf/table_layout.hpp"
#include "formats/dbf/table_writer.hpp"

extern char** environ;

namespace thp::reliability {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void systemError(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// The environment the tool gets: ours, without what would point it at
// another working directory or language, and the locale asked for.
std::vector<std::string> toolEnvironment(const std::string& locale) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (text.rfind("TRANSHORVAL_HTEMP=", 0) == 0 || text.rfind("LC_", 0) == 0 ||
        text.rfind("LANG=", 0) == 0 || text.rfind("LANGUAGE=", 0) == 0)
      continue;
    result.emplace_back(text);
  }
  result.push_back("LC_ALL=" + locale);
  return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Reads both pipes to their ends.
void drain(int& out, int& err, std::string& outText, std::string& errText) {
  pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
  std::string* texts[2] = {&outText, &errText};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      systemError("poll");
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  out = err = -1;
}

struct Counts {
  std::mutex mutex;
  std::map<std::string, std::size_t> counts;
  ~Counts() {
    for (const auto& [what, n] : counts) std::cout << "reliability: " << what << " " << n << '\n';
  }
};

Counts& counts() {
  static Counts instance;
  return instance;
}

}  // namespace

std::string toolPath() { return THP_TOOL; }

void count(const std::string& what, std::size_t n) {
  std::lock_guard<std::mutex> lock(counts().mutex);
  counts().counts[what] += n;
}

ToolProcess::ToolProcess(const std::vector<std::string>& arguments, const RunOptions& options) {
  std::vector<std::string> argv = {toolPath()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env = toolEnvironment(options.locale);
  std::vector<char*> argvPointers = pointersTo(argv);
  std::vector<char*> envPointers = pointersTo(env);

  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) systemError("pipe");
  if (::pipe2(errPipe, O_CLOEXEC) != 0) systemError("pipe");
  pid_ = ::fork();
  if (pid_ < 0) systemError("fork");
  if (pid_ == 0) {
    if (options.writeLimit) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{*options.writeLimit, *options.writeLimit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    }
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(errPipe[1], STDERR_FILENO);
    ::execve(argvPointers[0], argvPointers.data(), envPointers.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
}

ToolProcess::~ToolProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (outFd_ >= 0) ::close(outFd_);
  if (errFd_ >= 0) ::close(errFd_);
}

Outcome ToolProcess::wait() {
  Outcome outcome;
  drain(outFd_, errFd_, outcome.out, outcome.err);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0)
    if (errno != EINTR) systemError("waitpid");
  pid_ = -1;
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

Outcome ToolProcess::kill() {
  ::kill(pid_, SIGKILL);
  return wait();
}

Outcome runTool(const std::vector<std::string>& arguments, const RunOptions& options) {
  return ToolProcess(arguments, options).wait();
}

Tree snapshot(const std::filesystem::path& directory) {
  Tree tree;
  for (const auto& entry : fs::recursive_directory_iterator(directory)) {
    const std::string name = fs::relative(entry.path(), directory).generic_string();
    tree[name] = entry.is_directory() ? std::string("<dir>") : readFile(entry.path());
  }
  return tree;
}

std::vector<std::string> differences(const Tree& before, const Tree& after) {
  std::vector<std::string> changed;
  for (const auto& [name, bytes] : before) {
    const auto found = after.find(name);
    if (found == after.end())
      changed.push_back("-" + name);
    else if (found->second != bytes)
      changed.push_back("~" + name);
  }
  for (const auto& [name, bytes] : after)
    if (before.count(name) == 0) changed.push_back("+" + name);
  return changed;
}

std::vector<std::string> leftovers(const Tree& tree) {
  std::vector<std::string> found;
  for (const auto& [name, bytes] : tree) {
    const std::string file = fs::path(name).filename().string();
    if (file.find(".thp-") != std::string::npos || file == "TRANSHORVAL.JNL" ||
        file.rfind("transhorval-check-", 0) == 0)
      found.push_back(name);
  }
  return found;
}

LockHolder::LockHolder(const std::filesystem::path& file) {
  int ready[2];
  int release[2];
  if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0) systemError("pipe");
  pid_ = ::fork();
  if (pid_ < 0) systemError("fork");
  if (pid_ == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const char answer = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
    if (::write(ready[1], &answer, 1) != 1) ::_exit(1);
    char ignored;
    while (::read(release[0], &ignored, 1) < 0 && errno == EINTR) {
    }
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  release_ = release[1];
  char answer = 'n';
  const ssize_t got = ::read(ready[0], &answer, 1);
  ::close(ready[0]);
  if (got != 1 || answer != 'y') throw std::runtime_error("cannot lock " + file.string());
}

LockHolder::~LockHolder() {
  ::close(release_);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

namespace {

bool setImmutable(const std::filesystem::path& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

}  // namespace

Immutable::Immutable(std::filesystem::path path) : path_(std::move(path)) {
  set_ = setImmutable(path_, true);
}

Immutable::~Immutable() {
  if (set_) setImmutable(path_, false);
}

std::string schoolDocument(const SchoolSize& size, int variant) {
  const std::string v = std::to_string(variant);
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  xml += "<centro codigo_interno=\"28000001\" nombre=\"IES Prueba " + v +
         "\" curso=\"2026-2027\" version=\"3.2\">\n<materias>\n";
  for (std::size_t i = 0; i < size.subjects; ++i) {
    const std::string n = std::to_string(i);
    xml += "<dmateria codigo=\"S" + n + "\" nombre=\"Materia " + n + " versión " + v +
           "\" codigo_actividad=\"S" + n + "\" idmateria=\"M" + n + "\"/>\n";
  }
  xml += "</materias>\n<profesores>\n";
  for (std::size_t i = 0; i < size.teachers; ++i) {
    const std::string n = std::to_string(i);
    xml += "<profesor codigo=\"T" + n + "\" nombre=\"Profesor " + n + "\" apellido1=\"Apellido " +
           v + "\" apellido2=\"Núñez\" documento=\"" + n + "Z\" idprofesor=\"P" + n + "\"/>\n";
  }
  xml += "</profesores>\n<aulas>\n";
  for (std::size_t i = 0; i < size.rooms; ++i) {
    const std::string n = std::to_string(i);
    xml += "<daula codigo=\"R" + n + "\" nombre=\"Aula " + n + "\" capacidad_alumnos=\"" +
           std::to_string(20 + (i + static_cast<std::size_t>(variant)) % 15) + "\" idaula=\"A" + n +
           "\"/>\n";
  }
  xml += "</aulas>\n<grupos>\n";
  for (std::size_t i = 0; i < size.groups; ++i) {
    const std::string n = std::to_string(i);
    xml += "<dgrupo codigo=\"G" + n + "\" nombre=\"Grupo " + n + " " + v +
           "\" codigo_nivel=\"ESO\" curso=\"" + std::to_string(1 + i % 4) +
           "\" cgrupo=\"A\" idgrupo=\"GR" + n + "\" idcurso=\"C" + std::to_string(i % 4) + "\"/>\n";
  }
  xml += "</grupos>\n<franjashorarias>\n";
  const std::string minutes = ":" + std::to_string(10 + variant % 50);
  for (std::size_t i = 0; i < size.slots; ++i) {
    const std::size_t hour = 8 + i % 6;
    const std::string start = (hour < 10 ? "0" : "") + std::to_string(hour);
    const std::string end = (hour + 1 < 10 ? "0" : "") + std::to_string(hour + 1);
    xml += "<franjahoraria dia_semana=\"" + std::to_string(1 + i / 6 % 5) + "\" posicion=\"" +
           std::to_string(1 + i % 6) + "\" hora_inicio=\"" + start + minutes +
           "\" hora_final=\"" + end + minutes + "\"/>\n";
  }
  xml += "</franjashorarias>\n<asignaturas>\n";
  for (std::size_t i = 0; i < size.assignments; ++i)
    xml += "<dasignatura cgrupo=\"GR" + std::to_string(i % size.groups) + "\" casig=\"M" +
           std::to_string(i % size.subjects) + "\" cprofe=\"P" + std::to_string(i % size.teachers) +
           "\" conexion=\"\" nhoras=\"" +
           std::to_string(1 + (i + static_cast<std::size_t>(variant)) % 5) + "\"/>\n";
  xml += "</asignaturas>\n</centro>\n";
  return xml;
}

void writeSoluc(const std::filesystem::path& file, const SchoolSize& size, std::size_t records) {
  using dbf::FieldDef;
  using dbf::FieldType;
  const dbf::TableLayout layout(
      "SOLUC",
      {FieldDef{"DIA", FieldType::Integer, 4}, FieldDef{"HORA", FieldType::Integer, 4},
       FieldDef{"SESIONES", FieldType::Character, 2},
       FieldDef{"CODGRUPO", FieldType::Character, 10}, FieldDef{"ASIG", FieldType::Character, 10},
       FieldDef{"TAREA", FieldType::Character, 10}, FieldDef{"PROF", FieldType::Character, 10},
       FieldDef{"AULA", FieldType::Character, 10}});
  dbf::TableWriter writer(file, layout,
                          std::chrono::year_month_day{std::chrono::year{2026} / 9 / 1});
  dbf::RecordBuffer record(layout);
  for (std::size_t i = 0; i < records; ++i) {
    record.clear();
    record.setInteger(0, static_cast<std::int32_t>(1 + i % 5));
    record.setInteger(1, static_cast<std::int32_t>(1 + i / 5 % 6));
    record.setText(2, "1");
    record.setText(3, "G" + std::to_string(i % size.groups));
    record.setText(4, "S" + std::to_string(i % size.subjects));
    record.setText(5, i % 3 == 0 ? "LECT" : "S" + std::to_string(i % size.subjects));
    record.setText(6, "T" + std::to_string(i % size.teachers));
    record.setText(7, "R" + std::to_string(i % size.rooms));
    writer.append(record);
  }
  writer.finish();
}

}  // namespace thp::reliability
