#include "cli/memory_run.h"

#include <optional>
#include <span>
#include <string>

#include "cli/destination.h"
#include "cli/input_hints.h"
#include "cli/memory_words.h"
#include "cli/open_words.h"
#include "cli/output_folder.h"
#include "disk/container.h"
#include "image/decoder.h"
#include "image_bytes.h"
#include "memory/memory_image.h"
#include "messages.h"

namespace brenvik {

int list_memory(const run_context& run) {
  const std::string& name = *run.options.memory_name;
  int error = 0;
  const auto file = open_image(name, disk::most_image_size(), error);
  if (!file) {
    report(run.err, message::cant_open_memory, run.program(), name.c_str(),
           reason_for(error).c_str());
    return exit_failure;
  }
  memory::memory_image memory;
  if (!memory::read_memory(*file, run.options.memory_offset, memory)) {
    report(run.err, message::read_error, run.program(), name.c_str());
    return exit_failure;
  }
  switch (memory.unread) {
    case memory::unread_image::none:
      break;
    case memory::unread_image::not_built_in:
      report(run.err, message::memory_compressed, run.program(), name.c_str());
      return exit_failure;
    case memory::unread_image::damaged:
      report(run.err, message::memory_stream_damaged, run.program(), name.c_str());
      return exit_failure;
    case memory::unread_image::no_memory:
      report(run.err, message::memory_without_dump, run.program(), name.c_str());
      return exit_failure;
  }
  const std::span<const unsigned char> ram = memory.ram;
  memory::memory_program program;
  if (!find_memory_program(run.err, name, ram, run.options.load_address, program)) {
    if (what_it_looks_like(*file) == looks_like::disk_image) {
      report(run.err, message::memory_looks_like_disk, name.c_str(), name.c_str());
    }
    return exit_failure;
  }

  // In -o's folder, the listing is named after the memory image.
  outcome refusal = outcome::failed;
  std::optional<destination> to =
      destination::open(run, run.output_path(file_output_name(name, ".bas")), refusal);
  if (!to) return exit_failure;
  const image_origin origin{.version = run.options.version,
                            .load_address = program.load_address,
                            .fallback_version = 0,
                            .note = run.options.quiet ? version_note::never : version_note::always,
                            .lf_only = run.options.lf_only};
  const int result = decode_image(ram.subspan(program.load_address, program.length), to->stream(),
                                  run.err, origin);
  if (to->close(run, false, result < 0) != outcome::converted) return exit_failure;
  return result < 0 ? exit_failure : exit_success;
}

}  // namespace brenvik
