// The parts of a path: its folder, its file name, and the name without its extension.
#pragma once

#include <string>
#include <string_view>

namespace brenvik {

// The last part of `path`, after its last '/'.
inline std::string_view file_part(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The folder of `path`: what comes before its last '/' ("." for a name alone, "/" at the root).
inline std::string folder_part(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

// The file name of `path` without its extension (from its last '.', unless that begins it).
inline std::string_view file_stem(std::string_view path) {
  const std::string_view name = file_part(path);
  const std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot > 0 ? name.substr(0, dot) : name;
}

}  // namespace brenvik
