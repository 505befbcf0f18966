// The bundled problem collections: SFEN, known length, note per line.
#pragma once

#include <fstream>
#include <string>
#include <vector>

struct Problem {
  std::string sfen;
  std::string known;  // a length, "nomate" or "?"
  std::string note;
};

inline std::vector<Problem> load_problems(const std::string& name) {
  std::vector<Problem> problems;
  std::ifstream in(std::string(KESTRANE_SOURCE_DIR) + "/problems/" + name);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab1 = line.find('\t');
    const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab1 == std::string::npos) continue;
    problems.push_back({line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1),
                        tab2 == std::string::npos ? "" : line.substr(tab2 + 1)});
  }
  return problems;
}
