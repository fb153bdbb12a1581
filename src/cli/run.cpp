#include "cli/run.h"

#include "messages.h"

namespace brenvik {

namespace {

// Adds the file `path` names to `files`, as a regular file or as one still missing.
void identify(const std::string& path, files_read& files) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    files.missing.push_back(path);
  } else if (S_ISREG(status.st_mode)) {
    files.identities.emplace(status.st_dev, status.st_ino);
  }
}

// The files the run of `options` reads: a named input, standard input (`std_in`) when none
// is named, the disk image, the files put and the listings stored into it, or the memory
// image.
files_read identify_files_read(const run_options& options, FILE* std_in) {
  files_read files;
  if (options.memory_name) {
    identify(*options.memory_name, files);
  } else if (options.disk_name) {
    // A changed copy of the disk may take the disk's own place with -f: it is written beside
    // it, read back and checked, and only then renamed over it.
    identify(*options.disk_name, files);
    if (options.writes_disk() && options.force_overwrite && !files.identities.empty()) {
      files.replaceable = *files.identities.begin();
    }
    for (const disk_operation& op : options.operations)
      if (op.kind == disk_operation::put) identify(op.value, files);
    if (options.text_mode) {  // else the inputs name entries
      for (const std::string& input : options.inputs)
        identify(listing_path(input), files);
    }
  } else if (options.inputs.empty()) {
    struct stat input {};
    const int descriptor = fileno(std_in);
    if (descriptor >= 0 && fstat(descriptor, &input) == 0 && S_ISREG(input.st_mode)) {
      files.identities.emplace(input.st_dev, input.st_ino);
    }
  } else {
    for (const std::string& input : options.inputs)
      identify(input, files);
  }
  return files;
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
  if (!S_ISREG(file.st_mode)) return false;
  if (!read_) read_ = identify_files_read(options, std_in);
  const std::pair identity{file.st_dev, file.st_ino};
  if (read_->replaceable == identity) return false;
  if (read_->identities.contains(identity)) return true;
  for (const std::string& path : read_->missing) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_dev == file.st_dev && status.st_ino == file.st_ino) {
      return true;
    }
  }
  return false;
}

std::optional<std::string> run_context::output_path(std::string_view file_name) const {
  if (folder != nullptr) return folder->path_of(file_name);
  return options.output_name;
}

output_claim run_context::claim_output(std::string_view file_name, const std::string& input) const {
  output_claim claim{.path = output_path(file_name)};
  if (folder != nullptr) {
    if (std::cmp_greater(file_name.size(), folder->name_limit())) {
      report(err, message::output_name_too_long, input.c_str(), folder->given().c_str(),
             file_name.size(), folder->name_limit());
      claim.refused = true;
    } else if (const std::string* first = folder->claim(*claim.path, input)) {
      report(err, message::output_taken, input.c_str(), claim.path->c_str(), first->c_str());
      claim.refused = true;
    }
  }
  return claim;
}

std::string listing_path(const std::string& input) {
  const std::size_t equals = input.find('=');
  return equals != std::string::npos && equals > 0 ? input.substr(equals + 1) : input;
}

}  // namespace brenvik
