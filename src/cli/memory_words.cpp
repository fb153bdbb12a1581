#include "cli/memory_words.h"

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

}  // namespace

bool find_memory_program(FILE* err, const std::string& name, std::span<const unsigned char> ram,
                         std::optional<uint16_t> load_address, memory::memory_program& program) {
  if (load_address) {
    program = memory::program_at(ram, *load_address);
    if (program.kind == memory::memory_program::found) return true;
    report(err, message::no_program_at, name.c_str(), *load_address,
           describe(program, ram.size()).c_str());
    return false;
  }
  if (ram.size() < memory::pointers_end) {
    report(err, message::memory_without_pointers, name.c_str(), ram.size());
    return false;
  }
  const unsigned txttab = memory::basic_pointer(ram, memory::txttab_at);
  program = memory::program_at(ram, (txttab - 1) & 0xFFFF);
  if (program.kind != memory::memory_program::found || program.lines == 0) {
    report(err, message::pointers_lead_nowhere, name.c_str(), txttab,
           describe(program, ram.size()).c_str());
    if (const auto stale = memory::stale_program(ram)) {
      report(err, message::stale_program, stale->lines, stale->load_address, name.c_str(),
             stale->load_address);
    }
    return false;
  }
  // VARTAB is the address after the end marker, or one more; the chain is the truth.
  const unsigned end = program.load_address + static_cast<unsigned>(program.length);
  const unsigned vartab = memory::basic_pointer(ram, memory::vartab_at);
  if (vartab + 1 < end || vartab > end + 1) {
    report(err, message::vartab_elsewhere, name.c_str(), vartab, end);
  }
  return true;
}

}  // namespace brenvik
