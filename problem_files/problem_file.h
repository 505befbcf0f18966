// Problem files of the bench, the batch checker and the long check: one
// problem a line, "SFEN<TAB>known length<TAB>note", '#' lines are comments.
// Only the SFEN is needed; a leading "position" and "sfen" are accepted so
// that USI command lines can be pasted in.
#pragma once

#include <cctype>
#include <fstream>
#include <string>
#include <vector>

struct ProblemEntry {
  std::string name;   // the note's identifier, else "<file stem>-<index>"
  std::string sfen;
  std::string known;  // a length, "nomate", "?" or empty
  std::vector<std::string> stated{};  // the file's own solution in USI move text ("2c2b+", "G*2b"), empty when it has none
};

inline std::string trim_blanks(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// The note's first word when it is an identifier such as "zukou-001" or
// "yumei0216" (ASCII letters, digits, '-', '_', '.', with a digit); source
// names such as "komori-n/mate-engine-test" are not.
inline std::string note_identifier(const std::string& note) {
  const std::string word = note.substr(0, note.find_first_of(" \t;"));
  bool digit = false;
  for (unsigned char c : word) {
    if (std::isdigit(c)) digit = true;
    if (!std::isalnum(c) && c != '-' && c != '_' && c != '.') return "";
  }
  return digit ? word : "";
}

inline std::string file_stem(const std::string& path) {
#ifdef _WIN32
  // Windows paths separate folders with either slash.
  const size_t slash = path.find_last_of("/\\");
#else
  const size_t slash = path.find_last_of('/');
#endif
  std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = stem.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? stem : stem.substr(0, dot);
}

// False when the file cannot be read.
inline bool load_problem_file(const std::string& path, std::vector<ProblemEntry>& problems) {
  std::ifstream in(path);
  if (!in) return false;
  const std::string stem = file_stem(path);
  int index = 0;
  for (std::string line; std::getline(in, line);) {
    const std::string trimmed = trim_blanks(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    ++index;
    // Fields are cut at tabs before blanks are trimmed, so that an empty
    // field keeps its place.
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
      const size_t tab = line.find('\t', start);
      fields.push_back(trim_blanks(line.substr(start, tab == std::string::npos ? tab : tab - start)));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    ProblemEntry p;
    p.sfen = fields[0];
    if (p.sfen.rfind("position ", 0) == 0) p.sfen = trim_blanks(p.sfen.substr(9));
    if (p.sfen.rfind("sfen ", 0) == 0) p.sfen = trim_blanks(p.sfen.substr(5));
    if (p.sfen.empty()) continue;  // a line without a position
    p.known = fields.size() > 1 ? fields[1] : "";
    p.name = note_identifier(fields.size() > 2 ? fields[2] : "");
    if (p.name.empty()) p.name = stem + "-" + std::to_string(index);
    problems.push_back(p);
  }
  return true;
}
