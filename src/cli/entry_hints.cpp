#include "cli/entry_hints.h"

#include "disk/volume.h"
#include "messages.h"

namespace brenvik {

namespace {

// `name` in capitals, without blanks and without a trailing '*'.
std::string comparable(std::string_view name) {
  std::string kept;
  for (const char c : name) {
    if (c == ' ') continue;
    kept += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  if (kept.ends_with('*')) kept.pop_back();
  return kept;
}

std::string shown_without_padding(const std::string& name) {
  return shown_name(disk::without_padding(name));
}

}  // namespace

std::vector<std::string> entries_meant(const std::vector<disk::entry>& entries,
                                       std::string_view given) {
  const std::string wanted = comparable(given);
  std::vector<std::string> same;
  std::vector<std::string> longer;
  if (wanted.empty()) return same;
  for (const disk::entry& e : entries) {
    const std::string name = comparable(e.name);
    if (name == wanted) {
      same.push_back(shown_without_padding(e.name));
    } else if (name.starts_with(wanted)) {
      longer.push_back(shown_without_padding(e.name));
    }
  }
  if (same.empty() && longer.size() == 1) return longer;
  return same;
}

}  // namespace brenvik
