#include "cli/conversion_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/disk_run.h"
#include "cli/file_run.h"
#include "cli/memory_run.h"
#include "cli/run.h"
#include "messages.h"

namespace brenvik {

int convert_inputs(const run_options& options, FILE* std_in, FILE* std_out, FILE* err) {
  const run_context run{options, std_in, std_out, err};
  struct stat output {};
  const int descriptor = fileno(std_out);
  if (!options.output_name && descriptor >= 0 && fstat(descriptor, &output) == 0 &&
      run.reads(output)) {
    report(err, message::output_is_input, run.program(), message::standard_output);
    return exit_failure;
  }
  if (options.memory_name) return list_memory(run);
  if (options.disk_name) return options.text_mode ? store_into_disk(run) : list_disk(run);
  return convert_files(run);
}

void open_closed_standard_descriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) < 0) {
      // The lowest free descriptor is the closed one.
      if (open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY) != descriptor) return;
    }
  }
}

}  // namespace brenvik
