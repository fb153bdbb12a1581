#include "disk/disk_store.h"

#include <algorithm>
#include <map>

#include "catalogue/catalogue.h"
#include "disk/os65d_writer.h"

namespace brenvik::disk {

disk_store::disk_store(std::vector<unsigned char> file, const geometry& shape)
    : file_(std::move(file)), bytes_(image_in_memory(file_)) {
  disk_ = open_volume(*bytes_, shape, why_);
  if (disk_) writer_ = disk_->writer(file_);
}

store_plan disk_store::plan(const std::string& name, int version,
                            std::optional<uint16_t> load_address) {
  store_plan plan{.problem = writer_->check_program(name, load_address)};
  if (plan.problem.kind != write_problem::none) return plan;
  const bool given = load_address.has_value();
  std::optional<uint16_t> common;
  if (const auto fixed = writer_->fixed_load_address()) {
    load_address = fixed;
  } else {
    if (!load_address) {
      if (const auto entry = disk_->find_entry(name)) {
        const contents held = entry_contents(*disk_, *entry);
        if (held.kind == contents::basic) load_address = held.program.load_address;
      }
    }
    // A new entry, or one that holds no program, goes where the disk's programs lie; on a
    // disk with none, at the version's address when a file can hold it, else at $327E.
    if (!load_address) load_address = common = common_program_address();
    if (!load_address) {
      const uint16_t own =
          own_load_address(version != no_version ? version : disk_->basic_version());
      load_address = own >= first_file_address ? own : first_file_address;
    }
  }
  plan.load_address = *load_address;
  if (version == no_version) {
    version = first_row_at(*load_address);
    if (version == no_version) version = disk_->basic_version();
    plan.version_chosen = true;
  }
  plan.version = version;
  const uint16_t own = own_load_address(version);
  if (!given && *load_address != own && !writer_->fixed_load_address()) {
    if (common) {
      plan.note = store_plan::where_programs_lie;
    } else if (own < first_file_address) {
      plan.note = store_plan::above_version_address;
    }
  }
  return plan;
}

write_problem disk_store::store(const std::string& name, const store_plan& plan,
                                std::span<const unsigned char> program) {
  const write_problem p = writer_->store_program(name, plan.load_address, program);
  if (p.kind == write_problem::none) {
    stored_.emplace_back(writer_->stored_as(), std::vector(program.begin(), program.end()));
  }
  return p;
}

std::optional<uint16_t> disk_store::common_program_address() {
  std::map<uint16_t, int> count;
  std::optional<uint16_t> most;
  for (const entry& e : disk_->entries()) {
    const contents held = entry_contents(*disk_, e);
    if (held.kind != contents::basic) continue;
    const uint16_t address = held.program.load_address;
    // The first address to reach the highest count wins: ties go to the earlier entry.
    if (++count[address] > (most ? count[*most] : 0)) most = address;
  }
  return most;
}

std::optional<std::string> disk_store::misread(image_bytes& written) const {
  // Every byte the writer did not change is the read disk's, copied, so the directory and
  // the tracks of the programs stored are all there is to read: each program must be found
  // through the written directory, as it was stored.
  problem why;
  const std::unique_ptr<volume> disk = open_volume(written, disk_->shape(), why);
  for (const auto& [name, program] : stored_) {
    const auto entry = disk ? disk->find_entry(name) : std::nullopt;
    std::optional<basic_program> found;
    std::vector<unsigned char> file;
    const bool same =
        entry && disk->entry_program(*entry, found, file).kind == problem::none && found &&
        std::equal(program.begin(), program.end(),
                   file.begin() + static_cast<std::ptrdiff_t>(found->area),
                   file.begin() + static_cast<std::ptrdiff_t>(found->area + found->length));
    if (!same) return name;
  }
  return std::nullopt;
}

}  // namespace brenvik::disk
