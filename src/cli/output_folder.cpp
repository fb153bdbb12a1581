#include "cli/output_folder.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

#include "cli/paths.h"
#include "disk/volume.h"

namespace brenvik {

namespace {

bool kept_in_file_names(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$&'()+,-.;=@[]^_{}~").find(static_cast<char>(c)) !=
             std::string_view::npos;
}

}  // namespace

output_folder::output_folder(std::string given) : given_(std::move(given)) {
  name_limit_ = pathconf(given_.c_str(), _PC_NAME_MAX);
  if (name_limit_ <= 0) name_limit_ = NAME_MAX;
}

std::string output_folder::path_of(std::string_view file_name) const {
  std::string path = given_;
  if (!path.ends_with('/')) path += '/';
  return path.append(file_name);
}

const std::string* output_folder::claim(const std::string& path, const std::string& input) {
  const auto [place, fresh] = claimed_.try_emplace(path, input);
  return fresh ? nullptr : &place->second;
}

std::string file_output_name(std::string_view input, std::string_view extension) {
  return std::string(file_stem(input)).append(extension);
}

std::string entry_output_name(std::string_view entry_name, std::string_view extension) {
  std::string_view name = disk::without_padding(entry_name);
  if (name.empty()) name = " ";
  std::string file;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (kept_in_file_names(c) && !(i == 0 && c == '.')) {
      file += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      file += escaped;
    }
  }
  return file.append(extension);
}

}  // namespace brenvik
