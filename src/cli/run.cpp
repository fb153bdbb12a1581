#include "cli/run.h"

#include "messages.h"

namespace brenvik {

namespace {

bool same_regular_file(const struct stat& a, const struct stat& b) {
  return S_ISREG(a.st_mode) && S_ISREG(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool is_file(const std::string& path, const struct stat& file) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && same_regular_file(file, status);
}

}  // namespace

FILE* run_context::open_input(const std::string& name) const {
  FILE* input = std::fopen(name.c_str(), "rb");
  struct stat status {};
  if (input != nullptr && fstat(fileno(input), &status) == 0 && S_ISDIR(status.st_mode)) {
    std::fclose(input);
    input = nullptr;
  }
  if (input == nullptr) report(err, message::cant_open_input, program(), name.c_str());
  return input;
}

bool run_context::reads(const struct stat& file) const {
  if (options.memory_name) return is_file(*options.memory_name, file);
  if (options.disk_name) {
    // A changed copy of the disk may take the disk's own place with -f: it is written beside
    // it, read back and checked, and only then renamed over it.
    if (is_file(*options.disk_name, file)) {
      return !(options.writes_disk() && options.force_overwrite);
    }
    for (const disk_operation& op : options.operations)
      if (op.kind == disk_operation::put && is_file(op.value, file)) return true;
    if (!options.text_mode) return false;  // the inputs name entries
    for (const std::string& input : options.inputs)
      if (is_file(listing_path(input), file)) return true;
    return false;
  }
  if (options.inputs.empty()) {
    struct stat input {};
    const int descriptor = fileno(std_in);
    return descriptor >= 0 && fstat(descriptor, &input) == 0 && same_regular_file(file, input);
  }
  for (const std::string& input : options.inputs)
    if (is_file(input, file)) return true;
  return false;
}

std::optional<std::string> run_context::output_path(std::string_view file_name) const {
  if (folder != nullptr) return folder->path_of(file_name);
  return options.output_name;
}

std::optional<std::optional<std::string>> run_context::claim_output(
    std::string_view file_name, const std::string& input) const {
  std::optional<std::string> path = output_path(file_name);
  if (folder != nullptr) {
    if (const std::string* first = folder->claim(*path, input)) {
      report(err, message::output_taken, input.c_str(), path->c_str(), first->c_str());
      return std::nullopt;
    }
  }
  return path;
}

std::string listing_path(const std::string& input) {
  const std::size_t equals = input.find('=');
  return equals != std::string::npos && equals > 0 ? input.substr(equals + 1) : input;
}

}  // namespace brenvik
