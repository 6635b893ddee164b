#pragma once
// What a shared library exports: the global names of its linker version
// script, and the symbols `nm -D` finds defined in the built library
// (version suffixes dropped), so a test can hold the two against each other.

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace tvtest {

inline std::set<std::string> versionScriptNames(const std::string& mapPath) {
  std::set<std::string> names;
  std::ifstream in(mapPath);
  std::string word;
  bool global = false;
  while (in >> word) {
    if (word == "global:") global = true;
    else if (word == "local:") global = false;
    else if (global && word.back() == ';') names.insert(word.substr(0, word.size() - 1));
  }
  return names;
}

inline std::set<std::string> definedDynamicSymbols(const std::string& libraryPath) {
  std::set<std::string> names;
  const std::string cmd = "nm -D --defined-only " + libraryPath;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return names;
  char line[512];
  while (std::fgets(line, sizeof line, p)) {
    std::istringstream row(line);
    std::string addr, type, name;
    row >> addr >> type >> name;
    if (name.empty()) continue;
    if (auto at = name.find('@'); at != std::string::npos) name.resize(at);
    names.insert(name);
  }
  pclose(p);
  return names;
}

}  // namespace tvtest
