#include "cli/memory_run.h"

#include <optional>
#include <span>
#include <string>

#include "cli/destination.h"
#include "cli/input_hints.h"
#include "cli/open_words.h"
#include "cli/output_folder.h"
#include "disk/container.h"
#include "image/decoder.h"
#include "image_bytes.h"
#include "memory/memory_image.h"
#include "messages.h"

namespace brenvik {

namespace {

// Why no program lies where one was looked for, as the messages say it.
std::string describe(const memory::memory_program& p, std::size_t memory_size) {
  const auto last = static_cast<unsigned>(memory_size == 0 ? 0 : memory_size - 1);
  switch (p.kind) {
    case memory::memory_program::outside:
      return format_message(message::address_outside_memory, p.load_address, last);
    case memory::memory_program::no_lead_byte:
      return format_message(message::no_lead_byte_at, p.load_address);
    case memory::memory_program::broken_link:
      return format_message(message::line_links_to, p.record, p.link);
    case memory::memory_program::past_memory:
      return format_message(message::chain_past_memory, last);
    case memory::memory_program::found:
      break;
  }
  return format_message(message::program_without_lines, p.load_address);
}

// The program of memory `ram`: at -l, or where BASIC's pointers say. False after a message
// when none is there, naming a complete chain of links still in memory, if one is.
bool find_program(const run_context& run, std::span<const unsigned char> ram,
                  memory::memory_program& program) {
  const std::string& name = *run.options.memory_name;
  if (run.options.load_address) {
    program = memory::program_at(ram, *run.options.load_address);
    if (program.kind == memory::memory_program::found) return true;
    report(run.err, message::no_program_at, name.c_str(), *run.options.load_address,
           describe(program, ram.size()).c_str());
    return false;
  }
  if (ram.size() < memory::pointers_end) {
    report(run.err, message::memory_without_pointers, name.c_str(), ram.size());
    return false;
  }
  const unsigned txttab = memory::basic_pointer(ram, memory::txttab_at);
  program = memory::program_at(ram, (txttab - 1) & 0xFFFF);
  if (program.kind != memory::memory_program::found || program.lines == 0) {
    report(run.err, message::pointers_lead_nowhere, name.c_str(), txttab,
           describe(program, ram.size()).c_str());
    if (const auto stale = memory::stale_program(ram)) {
      report(run.err, message::stale_program, stale->lines, stale->load_address, name.c_str(),
             stale->load_address);
    }
    return false;
  }
  // VARTAB is the address after the end marker, or one more; the chain is the truth.
  const unsigned end = program.load_address + static_cast<unsigned>(program.length);
  const unsigned vartab = memory::basic_pointer(ram, memory::vartab_at);
  if (vartab + 1 < end || vartab > end + 1) {
    report(run.err, message::vartab_elsewhere, name.c_str(), vartab, end);
  }
  return true;
}

}  // namespace

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
  if (!find_program(run, ram, program)) {
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
