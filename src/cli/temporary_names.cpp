#include "cli/temporary_names.h"

#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "cli/paths.h"

namespace brenvik {

namespace {

// What a hidden name adds to its stem: ".", and ".<pid>-<n>~" for a pid of up to 10 digits
// and an attempt of up to 2.
constexpr std::size_t added_bytes = 1 + 1 + 10 + 1 + 2 + 1;
// A hash of a long name, as "~" and 16 hex digits.
constexpr std::size_t hash_bytes = 1 + 16;

// FNV-1a: the same long name gives the same stem in every run, for stale temporaries.
std::uint64_t name_hash(std::string_view name) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : name) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3u;
  }
  return hash;
}

}  // namespace

std::string temporary_stem(const std::string& directory, std::string_view name) {
  name = file_part(name);
  long limit = pathconf(directory.c_str(), _PC_NAME_MAX);
  if (limit <= 0) limit = NAME_MAX;
  const auto room = static_cast<std::size_t>(limit);
  if (name.size() + added_bytes <= room) return std::string(name);
  const std::size_t kept = room > added_bytes + hash_bytes ? room - added_bytes - hash_bytes : 0;
  char hash[hash_bytes + 1];
  std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(name_hash(name)));
  return std::string(name.substr(0, kept)).append(hash);
}

std::string hidden_name(const std::string& directory, std::string_view name, unsigned attempt) {
  std::string hidden = directory;
  hidden.append("/.").append(temporary_stem(directory, name)).append(".");
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
