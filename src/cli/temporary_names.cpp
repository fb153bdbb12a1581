#include "cli/temporary_names.h"

#include <unistd.h>

#include <cstdlib>

#include "cli/paths.h"

namespace brenvik {

std::string hidden_name(const std::string& directory, std::string_view name, unsigned attempt) {
  std::string hidden = directory;
  hidden.append("/.").append(file_part(name)).append(".");
  hidden.append(std::to_string(getpid())).append("-").append(std::to_string(attempt)).append("~");
  return hidden;
}

bool temporary_of(std::string_view entry, std::string_view& output, long& pid) {
  if (!entry.starts_with('.') || !entry.ends_with('~')) return false;
  const std::size_t dot = entry.rfind('.');
  if (dot == 0) return false;
  output = entry.substr(1, dot - 1);
  const std::string_view number = entry.substr(dot + 1, entry.size() - dot - 2);
  const std::size_t dash = number.find('-');
  if (dash == 0 || dash == std::string_view::npos ||
      number.find_first_not_of("0123456789-") != std::string_view::npos ||
      number.find('-', dash + 1) != std::string_view::npos) {
    return false;
  }
  pid = std::strtol(std::string(number.substr(0, dash)).c_str(), nullptr, 10);
  return pid > 0;
}

}  // namespace brenvik
