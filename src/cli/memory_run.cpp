#include "cli/memory_run.h"

#include <optional>
#include <span>
#include <string>

#include "cli/destination.h"
#include "cli/memory_words.h"
#include "cli/output_folder.h"
#include "image/decoder.h"
#include "image_bytes.h"
#include "memory/memory_image.h"
#include "messages.h"

namespace brenvik {

int list_memory(const run_context& run) {
  const std::string& name = *run.options.memory_name;
  const auto file = open_image_file(name);
  if (!file) {
    report(run.err, message::cant_open_input, run.program(), name.c_str());
    return exit_failure;
  }
  memory::memory_image memory;
  if (!memory::read_memory(*file, run.options.memory_offset, memory)) {
    report(run.err, message::read_error, run.program(), name.c_str());
    return exit_failure;
  }
  if (memory.layout == memory::memory_layout::compressed) {
    report(run.err, message::memory_compressed, run.program(), name.c_str());
    return exit_failure;
  }
  const std::span<const unsigned char> ram = memory.ram;
  memory::memory_program program;
  if (!find_memory_program(run.err, name, ram, run.options.load_address, program)) {
    return exit_failure;
  }

  // In -o's folder, the listing is named after the memory image.
  outcome refusal = outcome::failed;
  std::optional<destination> to =
      destination::open(run, run.output_path(file_output_name(name, ".bas")), refusal);
  if (!to) return exit_failure;
  const image_origin origin{
      .version = run.options.version, .load_address = program.load_address, .fallback_version = 0};
  const int result = decode_image(ram.subspan(program.load_address, program.length), to->stream(),
                                  run.err, origin);
  if (to->close(run, false, result < 0) != outcome::converted) return exit_failure;
  return result < 0 ? exit_failure : exit_success;
}

}  // namespace brenvik
