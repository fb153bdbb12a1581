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
  write_problem p = writer_->store_program(name, plan.load_address, program);
  if (p.kind == write_problem::none) record(program, true);
  return p;
}

void disk_store::record(std::span<const unsigned char> bytes, bool program) {
  // The file stored last under a name is the one to read back.
  const std::string& name = writer_->stored_as();
  std::erase_if(written_, [&](const written_file& w) { return w.name == name; });
  written_.push_back({name, {bytes.begin(), bytes.end()}, program});
}

write_problem disk_store::put(const std::string& name, std::span<const unsigned char> data) {
  write_problem p = writer_->put_file(name, data);
  if (p.kind == write_problem::none) record(data, false);
  return p;
}

write_problem disk_store::remove(const entry& e) {
  write_problem p = writer_->delete_entry(e);
  // A file written earlier in the run and deleted now is no longer to be read back.
  if (p.kind == write_problem::none) {
    std::erase_if(written_, [&](const written_file& w) { return e.is_named_exactly(w.name); });
  }
  return p;
}

write_problem disk_store::rename(const entry& e, const std::string& name) {
  write_problem p = writer_->rename_entry(e, name);
  if (p.kind == write_problem::none) {
    for (written_file& w : written_)
      if (e.is_named_exactly(w.name)) w.name = name;
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

std::optional<std::string> disk_store::misread(image_bytes& written, const geometry& shape) {
  // Every byte the writer did not change is the read disk's, so the directory and the files
  // written are all there is to check: the written disk's directory must be the one in
  // memory, entry for entry, and each file must read back through it as it was written.
  problem why;
  const std::unique_ptr<volume> disk = open_volume(written, shape, why);
  if (!disk) return std::string();
  const std::vector<entry>& expected = disk_->entries();
  const std::vector<entry>& found = disk->entries();
  for (std::size_t i = 0; i < std::max(expected.size(), found.size()); ++i) {
    if (i >= expected.size() || i >= found.size() || expected[i].name != found[i].name ||
        expected[i].first_byte != found[i].first_byte ||
        expected[i].last_byte != found[i].last_byte) {
      return i < expected.size() ? expected[i].name : found[i].name;
    }
  }
  for (const written_file& w : written_) {
    const auto entry = disk->find_entry(w.name);
    std::optional<basic_program> program;
    std::vector<unsigned char> file;
    bool same = false;
    if (entry && w.program) {
      same =
          disk->entry_program(*entry, program, file).kind == problem::none && program &&
          std::equal(w.bytes.begin(), w.bytes.end(),
                     file.begin() + static_cast<std::ptrdiff_t>(program->area),
                     file.begin() + static_cast<std::ptrdiff_t>(program->area + program->length));
    } else if (entry) {
      same = disk->entry_file(*entry, file).kind == problem::none &&
             file.size() >= w.bytes.size() &&
             std::equal(w.bytes.begin(), w.bytes.end(), file.begin());
    }
    if (!same) return w.name;
  }
  return std::nullopt;
}

}  // namespace brenvik::disk
