// The shared corpus of real OSI programs beside the project (BRENVIK_CORPUS_DIR), and its
// tab-separated manifests. Tests on real data skip, saying why, when it is not there.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef CORPUS_DIR
#error "CORPUS_DIR must name the shared corpus"
#endif

namespace brenvik::testing {

inline const std::filesystem::path corpus = CORPUS_DIR;

// Why a test on the corpus file `needed` cannot run, or nothing when it can.
inline std::optional<std::string> corpus_missing(const std::string& needed) {
  if (std::filesystem::exists(corpus / needed)) return std::nullopt;
  return "no " + (corpus / needed).string() +
         ": configure with -DBRENVIK_CORPUS_DIR=<the shared corpus> to test on real data";
}

// The rows of a tab-separated manifest, by column name.
inline std::vector<std::map<std::string, std::string>> manifest(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::map<std::string, std::string>> rows;
  std::vector<std::string> columns;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::stringstream split(line);
    for (std::string cell; std::getline(split, cell, '\t');)
      cells.push_back(cell);
    if (columns.empty()) {
      columns = cells;
      continue;
    }
    std::map<std::string, std::string>& row = rows.emplace_back();
    for (std::size_t i = 0; i < columns.size(); ++i)
      row[columns[i]] = i < cells.size() ? cells[i] : "";
  }
  return rows;
}

}  // namespace brenvik::testing
