// Entry point: parse the command line, then convert the inputs it names.
#include <cstdio>

#include "cli/command_line.h"
#include "cli/conversion_run.h"

int main(int argc, char** argv) {
  brenvik::open_closed_standard_descriptors();
  const brenvik::parse_result parsed = brenvik::parse_command_line(argc, argv, stdout, stderr);
  if (!parsed.run) return parsed.exit_status;
  return brenvik::convert_inputs(parsed.options, stdin, stdout, stderr);
}
