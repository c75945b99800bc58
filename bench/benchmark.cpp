// thp-benchmark: wall time and peak memory of `transhorval export` and
// `transhorval import` as whole processes, side by side with a streaming read
// of the same documents by libxml2 (`xmllint --noout --stream`), for exchange
// documents of several sizes. The figures that count are the ratios, measured
// in the same run, so that a noisy machine moves both sides alike.
//
//   thp-benchmark [--sizes 2000,20000,200000,1000000] [--repeat 5]
//                 [--work DIR] [--xmllint PATH] [--output FILE.md] [--keep]
//
// Every child runs under LC_ALL=C.UTF-8, so that '.' is the decimal separator
// the generated hours are written with. Each step runs once to warm the file
// cache, then `repeat` times in turn (fewer for the largest sizes); the median
// is reported. Peak memory is the child's maximum resident set (wait4). The
// files of each size are removed once measured, unless --keep is given.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Measure {
  double seconds = 0;  // wall time
  double cpu = 0;      // user + system
  double peakMb = 0;   // maximum resident set
};

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "thp-benchmark: " << message << '\n';
  std::exit(1);
}

std::string readText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a program with its standard output to `out` and its standard error to
// `err`; fails the benchmark when it does not exit with 0.
Measure run(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) fail("fork: " + std::string(std::strerror(errno)));
  if (pid == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
    close(o);
    close(e);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) fail("wait4: " + std::string(std::strerror(errno)));
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string command;
    for (const std::string& arg : args) command += arg + ' ';
    fail("'" + command + "' failed (status " + std::to_string(status) + "):\n" + readText(err));
  }
  Measure m;
  m.seconds = std::chrono::duration<double>(end - start).count();
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  m.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  m.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  return m;
}

Measure median(std::vector<Measure> runs) {
  auto middle = [&](auto key) {
    std::vector<double> values;
    for (const Measure& m : runs) values.push_back(key(m));
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  };
  return {middle([](const Measure& m) { return m.seconds; }),
          middle([](const Measure& m) { return m.cpu; }),
          middle([](const Measure& m) { return m.peakMb; })};
}

struct SizeResult {
  std::size_t assignments = 0;
  double documentMb = 0;
  double resultMb = 0;
  std::size_t solucRecords = 0;
  std::size_t entries = 0;
  Measure readDocument, exportRun, importRun, readResult;
};

std::size_t solucRecordCount(const fs::path& file) {
  const std::string bytes = readText(file);
  if (bytes.size() < 8) fail("SOLUC.DBF too short");
  std::size_t count = 0;
  for (int i = 7; i >= 4; --i)
    count = (count << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
  return count;
}

std::size_t entriesWritten(const fs::path& importOutput) {
  const std::string text = readText(importOutput);
  const std::string label = "Entradas escritas: ";
  const std::size_t at = text.find(label);
  if (at == std::string::npos) fail("the import did not report its entries");
  return std::stoul(text.substr(at + label.size()));
}

double megabytes(const fs::path& file) { return static_cast<double>(fs::file_size(file)) / 1e6; }

SizeResult measureSize(std::size_t n, int repeat, const fs::path& root, const std::string& xmllint,
                       bool keep) {
  const fs::path dir = root / std::to_string(n);
  const fs::path htemp = dir / "HTEMP";
  fs::remove_all(dir);
  fs::create_directories(htemp);
  const fs::path document = dir / "centro.xml";
  const fs::path result = dir / "ResultadoHorvalcentro.xml";
  const fs::path log = dir / "stdout.log";
  const fs::path err = dir / "stderr.log";
  const std::string tool = THP_TOOL;
  const std::string generator = THP_GENERATOR;

  std::cerr << "== " << n << " assignments: generating\n";
  run({generator, "document", std::to_string(n), document.string(), "1"}, log, err);

  const std::vector<std::string> readDocument = {xmllint, "--noout", "--stream", document.string()};
  const std::vector<std::string> exportRun = {tool, "export", document.string(), "--dir",
                                              htemp.string()};
  const std::vector<std::string> importRun = {tool, "import", document.string(), "--dir",
                                              htemp.string()};
  const std::vector<std::string> readResult = {xmllint, "--noout", "--stream", result.string()};

  // Warm-up, and the inputs each step needs.
  run(readDocument, log, err);
  run(exportRun, dir / "export.log", err);
  run({generator, "soluc", htemp.string(), "1"}, log, err);
  run(importRun, dir / "import.log", err);
  run(readResult, log, err);

  SizeResult r;
  r.assignments = n;
  r.documentMb = megabytes(document);
  r.resultMb = megabytes(result);
  r.solucRecords = solucRecordCount(htemp / "SOLUC.DBF");
  r.entries = entriesWritten(dir / "import.log");

  std::vector<Measure> a, b, c, d;
  for (int i = 0; i < repeat; ++i) {
    std::cerr << "   round " << i + 1 << "/" << repeat << '\n';
    a.push_back(run(readDocument, log, err));
    b.push_back(run(exportRun, dir / "export.log", err));
    c.push_back(run(importRun, dir / "import.log", err));
    d.push_back(run(readResult, log, err));
  }
  r.readDocument = median(a);
  r.exportRun = median(b);
  r.importRun = median(c);
  r.readResult = median(d);
  if (!keep) fs::remove_all(dir);
  return r;
}

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// 1000000 as "1,000,000".
std::string grouped(std::size_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return digits;
}

std::string verdict(bool met) { return met ? "met" : "**not met**"; }

std::string report(const std::vector<SizeResult>& results, int repeat) {
  std::ostringstream out;
  out << "| assignments | document MB | xmllint doc s | export s | export ÷ xmllint | export peak "
         "MB"
         " | SOLUC records | result MB | xmllint result s | import s | import ÷ xmllint"
         " | import peak MB |\n"
         "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const SizeResult& r : results) {
    out << "| " << r.assignments << " | " << fixed(r.documentMb, 1) << " | "
        << fixed(r.readDocument.seconds, 3) << " | " << fixed(r.exportRun.seconds, 3) << " | "
        << fixed(r.exportRun.seconds / r.readDocument.seconds, 2) << " | "
        << fixed(r.exportRun.peakMb, 0) << " | " << r.solucRecords << " | " << fixed(r.resultMb, 1)
        << " | " << fixed(r.readResult.seconds, 3) << " | " << fixed(r.importRun.seconds, 3)
        << " | " << fixed(r.importRun.seconds / r.readResult.seconds, 2) << " | "
        << fixed(r.importRun.peakMb, 0) << " |\n";
  }
  out << "\nCPU time (user + system), same runs:\n\n"
         "| assignments | xmllint doc | export | ratio | xmllint result | import | ratio |"
         " export ms per 1000 | import ms per 1000 |\n"
         "|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const SizeResult& r : results) {
    const double k = static_cast<double>(r.assignments) / 1000.0;
    out << "| " << r.assignments << " | " << fixed(r.readDocument.cpu, 3) << " | "
        << fixed(r.exportRun.cpu, 3) << " | " << fixed(r.exportRun.cpu / r.readDocument.cpu, 2)
        << " | " << fixed(r.readResult.cpu, 3) << " | " << fixed(r.importRun.cpu, 3) << " | "
        << fixed(r.importRun.cpu / r.readResult.cpu, 2) << " | "
        << fixed(1000 * r.exportRun.seconds / k, 2) << " | "
        << fixed(1000 * r.importRun.seconds / k, 2) << " |\n";
  }

  auto find = [&](std::size_t n) -> const SizeResult* {
    for (const SizeResult& r : results)
      if (r.assignments == n) return &r;
    return nullptr;
  };
  out << "\nTargets (wall time, median of " << repeat << " rounds):\n\n";
  if (const SizeResult* r = find(200000)) {
    const double ratio = r->exportRun.seconds / r->readDocument.seconds;
    const double limit = r->documentMb * 1e6 / (1024.0 * 1024.0) + 64;
    out << "- export of 200,000 assignments: " << fixed(ratio, 2)
        << " × xmllint (at most 2): " << verdict(ratio <= 2) << "; peak "
        << fixed(r->exportRun.peakMb, 0) << " MB (at most the document's " << fixed(limit - 64, 0)
        << " MB + 64): " << verdict(r->exportRun.peakMb <= limit) << '\n';
    const double importRatio = r->importRun.seconds / r->readResult.seconds;
    out << "- import of its SOLUC: " << fixed(importRatio, 2)
        << " × xmllint of the result document (at most 2): " << verdict(importRatio <= 2) << '\n';
  }
  const SizeResult* from = find(20000);
  const SizeResult* to = results.empty() ? nullptr : &results.back();
  if (from != nullptr && to != nullptr && to->assignments > from->assignments) {
    const double scale =
        static_cast<double>(to->assignments) / static_cast<double>(from->assignments);
    const double exportGrowth = to->exportRun.seconds / from->exportRun.seconds / scale;
    const double importGrowth = to->importRun.seconds / from->importRun.seconds / scale;
    out << "- growth from 20,000 to " << grouped(to->assignments)
        << " assignments, time per assignment (at most 1.1 × that at 20,000): export "
        << fixed(exportGrowth, 2) << " " << verdict(exportGrowth <= 1.1) << ", import "
        << fixed(importGrowth, 2) << " " << verdict(importGrowth <= 1.1) << '\n';
  }
  if (const SizeResult* r = find(2000)) {
    out << "- small school (2,000 assignments), under 30 ms each: export "
        << fixed(1000 * r->exportRun.seconds, 1) << " ms " << verdict(r->exportRun.seconds < 0.030)
        << ", import " << fixed(1000 * r->importRun.seconds, 1) << " ms "
        << verdict(r->importRun.seconds < 0.030) << '\n';
  }
  return out.str();
}

std::vector<std::size_t> parseSizes(const std::string& text) {
  std::vector<std::size_t> sizes;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ','))
    if (!item.empty()) sizes.push_back(std::stoul(item));
  std::sort(sizes.begin(), sizes.end());
  return sizes;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> sizes = {2000, 20000, 200000, 1000000};
  int repeat = 5;
  fs::path work = fs::temp_directory_path() / "thp-benchmark";
  std::string xmllint = "/usr/bin/xmllint";
  fs::path output;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--sizes" && hasValue) {
      sizes = parseSizes(argv[++i]);
    } else if (arg == "--repeat" && hasValue) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--work" && hasValue) {
      work = argv[++i];
    } else if (arg == "--xmllint" && hasValue) {
      xmllint = argv[++i];
    } else if (arg == "--output" && hasValue) {
      output = argv[++i];
    } else if (arg == "--keep") {
      keep = true;
    } else {
      std::cerr << "usage: thp-benchmark [--sizes N,N,...] [--repeat R] [--work DIR]"
                   " [--xmllint PATH] [--output FILE.md] [--keep]\n";
      return 64;
    }
  }
  if (access(xmllint.c_str(), X_OK) != 0) fail(xmllint + " not found (Debian: libxml2-utils)");
  setenv("LC_ALL", "C.UTF-8", 1);
  fs::create_directories(work);

  std::vector<SizeResult> results;
  for (const std::size_t n : sizes) {
    const int rounds = n >= 500000 ? std::min(repeat, 3) : repeat;
    results.push_back(measureSize(n, rounds, work, xmllint, keep));
  }
  const std::string table = report(results, repeat);
  std::cout << table;
  if (!output.empty()) std::ofstream(output) << table;
  return 0;
}
