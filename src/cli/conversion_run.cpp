#include "cli/conversion_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "cli/disk_change.h"
#include "cli/disk_check.h"
#include "cli/disk_run.h"
#include "cli/file_run.h"
#include "cli/memory_run.h"
#include "cli/output_folder.h"
#include "cli/run.h"
#include "messages.h"

namespace brenvik {

namespace {

// How many outputs the run writes: one per input, or one disk or directory.
int outputs_of(const run_options& options) {
  if (options.disk_name && (options.writes_disk() || options.json || options.check)) return 1;
  return std::max<int>(1, static_cast<int>(options.inputs.size()));
}

// Settles what -o names before anything is opened: one file for one output, or a folder
// (one that exists, or a name ending in '/', made here when its parent exists) for one
// file per input. False after a message.
bool settle_output(const run_context& run, std::optional<output_folder>& folder) {
  const run_options& options = run.options;
  if (!options.output_name) return true;
  const std::string& name = *options.output_name;
  struct stat status {};
  const bool exists = stat(name.c_str(), &status) == 0;
  if ((exists && S_ISDIR(status.st_mode)) || name.ends_with('/')) {
    if (!options.disk_name && !options.memory_name && options.inputs.empty()) {
      report(run.err, message::folder_needs_inputs, run.program(), name.c_str());
      return false;
    }
    if (options.json) {
      report(run.err, message::folder_for_one_document, run.program(), name.c_str());
      return false;
    }
    if (!exists && mkdir(name.c_str(), 0777) != 0) {
      report(run.err, message::cant_open_output, run.program(), name.c_str());
      return false;
    }
    folder.emplace(name);
    return true;
  }
  if (const int outputs = outputs_of(options); outputs > 1) {
    report(run.err, message::one_file_many_inputs, run.program(), name.c_str(), outputs,
           name.c_str());
    return false;
  }
  return true;
}

}  // namespace

int convert_inputs(const run_options& options, FILE* std_in, FILE* std_out, FILE* err) {
  run_context run{options, std_in, std_out, err};
  std::optional<output_folder> folder;
  if (!settle_output(run, folder)) return exit_failure;
  if (folder) run.folder = &*folder;
  struct stat output {};
  const int descriptor = fileno(std_out);
  if (!options.output_name && descriptor >= 0 && fstat(descriptor, &output) == 0 &&
      run.reads(output)) {
    report(err, message::output_is_input, run.program(), message::standard_output);
    return exit_failure;
  }
  const int status = options.blank_name      ? make_blank_disk(run)
                     : options.memory_name   ? list_memory(run)
                     : !options.disk_name    ? convert_files(run)
                     : options.writes_disk() ? change_disk(run)
                     : options.check         ? check_disk(run)
                                             : list_disk(run);
  if (folder) report(err, message::files_written, folder->written(), folder->given().c_str());
  return status;
}

void open_closed_standard_descriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) < 0) {
      // The lowest free descriptor is the closed one.
      // Standard output is opened for reading only: writing what was meant for it fails,
      // as it would have failed on the closed descriptor, instead of vanishing.
      if (open("/dev/null", descriptor == 2 ? O_WRONLY : O_RDONLY) != descriptor) return;
    }
  }
}

}  // namespace brenvik
