#include "cli/disk_check.h"

#include "messages.h"

namespace brenvik {

int check_disk(const run_context&) {
  return exit_failure;
}

}  // namespace brenvik
