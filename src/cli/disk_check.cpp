#include "cli/disk_check.h"

#include "cli/check_report.h"
#include "cli/disk_open.h"
#include "cli/output_guard.h"
#include "disk/volume.h"
#include "messages.h"

namespace brenvik {

int check_disk(const run_context& run) {
  const char* disk_name = run.options.disk_name->c_str();
  std::optional<disk::geometry> shape;
  const auto bytes = open_disk(run, shape);
  if (!bytes) return exit_failure;
  disk::problem why;
  const auto disk = disk::open_volume(*bytes, *shape, why);
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, run.options.output_name, refusal);
  if (!to) return exit_failure;
  const std::size_t wrong =
      write_check_report(to->stream(), disk_name, disk.get(), why, shape->tracks, run.options.json);
  if (to->close(run, false) != outcome::converted) return exit_failure;
  return wrong == 0 ? exit_success : exit_failure;
}

}  // namespace brenvik
