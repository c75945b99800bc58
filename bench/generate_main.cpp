// thp-bench-generate: the benchmark's inputs from the command line.
//
//   thp-bench-generate document ASSIGNMENTS FILE.xml [SEED]
//   thp-bench-generate soluc DIRECTORY [SEED]
//
// `document` writes an exchange document of that many teaching assignments;
// `soluc` writes DIRECTORY/SOLUC.DBF from the tables an export left there.
// Each prints what it wrote on one line.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "bench/generator.hpp"

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "document" && (argc == 4 || argc == 5)) {
      thp::bench::DocumentPlan plan;
      plan.assignments = std::stoul(argv[2]);
      if (argc == 5) plan.seed = std::stoull(argv[4]);
      const auto facts = thp::bench::writeDocument(plan, argv[3]);
      std::cout << argv[3] << ": " << facts.bytes << " bytes; records ASIGNOMT " << facts.records[0]
                << ", PROFT " << facts.records[1] << ", AULAT " << facts.records[2] << ", GRUPOST "
                << facts.records[3] << ", DIASHORAST " << facts.records[4] << ", ASIGT "
                << facts.records[5] << '\n';
      return 0;
    }
    if (command == "soluc" && (argc == 3 || argc == 4)) {
      const auto facts =
          thp::bench::writeSoluc(argv[2], argc == 4 ? std::stoull(argv[3]) : 1, nullptr);
      std::cout << argv[2] << "/SOLUC.DBF: " << facts.records << " records, " << facts.entries
                << " give an entry; " << facts.bytes << " bytes\n";
      return 0;
    }
    std::cerr << "usage: thp-bench-generate document ASSIGNMENTS FILE.xml [SEED]\n"
                 "       thp-bench-generate soluc DIRECTORY [SEED]\n";
    return 64;
  } catch (const std::exception& error) {
    std::cerr << "thp-bench-generate: " << error.what() << '\n';
    return 1;
  }
}
