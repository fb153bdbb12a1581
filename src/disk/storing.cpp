#include "disk/storing.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string_view>

#include "catalogue/catalogue.h"
#include "messages.h"

namespace brenvik::disk {

namespace {

// Runs `convert` into memory: the bytes it wrote, or nothing when it failed.
std::optional<std::vector<unsigned char>> convert_to_memory(const disk_store::converter& convert,
                                                            int version, uint16_t load_address) {
  char* bytes = nullptr;
  std::size_t size = 0;
  FILE* memory = open_memstream(&bytes, &size);
  if (memory == nullptr) return std::nullopt;
  const int result = convert(version, load_address, memory);
  const bool written = std::fclose(memory) == 0;
  std::optional<std::vector<unsigned char>> program;
  if (result >= 0 && written) program.emplace(bytes, bytes + size);
  std::free(bytes);
  return program;
}

}  // namespace

disk_store::disk_store(std::vector<unsigned char> file, const geometry& shape, std::string label)
    : file_(std::move(file)),
      bytes_(image_in_memory(file_)),
      disk_(*bytes_, shape),
      writer_(file_, disk_),
      label_(std::move(label)) {
  if (auto dos = open_volume(*bytes_, shape, why_)) {
    dos_ = dos->dos();
    if (dynamic_cast<picodos_volume*>(dos.get()) != nullptr) {
      picodos_.reset(static_cast<picodos_volume*>(dos.release()));
      slots_ = std::make_unique<picodos_writer>(file_, *picodos_);
    }
  }
}

bool disk_store::ready(const char* program, FILE* err) const {
  if (dos_ == nullptr) {
    report(err, message::no_directory, program, label_.c_str(), describe(why_).c_str());
    return false;
  }
  if (std::string_view(dos_) == "HEXDOS") {
    report(err, message::hexdos_not_written, program, label_.c_str());
    return false;
  }
  return true;
}

bool disk_store::accepts_name(const std::string& name) const {
  return picodos_ || is_storable_name(name);
}

bool disk_store::store_in_slot(const std::string& name, int version,
                               std::optional<uint16_t> load_address, const converter& convert,
                               FILE* err) {
  const char* disk = label_.c_str();
  int slot = picodos_->slot_named(name);
  const int slots = slot_count(picodos_->shape().tracks);
  if (slot == 0 && !name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
    report(err, message::no_such_slot, disk, name.c_str(), slots);
    return false;
  }
  if (load_address && *load_address != picodos_load_address) {
    report(err, message::slot_address, disk, name.c_str(), *load_address);
    return false;
  }
  if (version == no_version) {
    version = first_row_at(picodos_load_address);
    report(err, message::version_chosen, version_table[static_cast<std::size_t>(version)].name);
  }
  const auto program = convert_to_memory(convert, version, picodos_load_address);
  if (!program) return false;
  if (slot == 0) slot = slots_->empty_slot();
  if (slot == 0) {
    report(err, message::no_empty_slot, disk, name.c_str());
    return false;
  }
  const slot_problem p = slots_->store(slot, *program);
  switch (p.kind) {
    case slot_problem::none:
      stored_.emplace_back(std::to_string(slot), *program);
      return true;
    case slot_problem::unreadable:
      report(err, message::entry_problem, disk, std::to_string(slot).c_str(),
             describe(p.tracks).c_str());
      break;
    case slot_problem::too_big:
      report(err, message::slot_too_big, disk, slot, p.size, p.room);
      break;
    case slot_problem::no_empty_slot:
      report(err, message::no_empty_slot, disk, name.c_str());
      break;
  }
  return false;
}

bool disk_store::store(const std::string& name, int version, std::optional<uint16_t> load_address,
                       const converter& convert, FILE* err) {
  if (picodos_) return store_in_slot(name, version, load_address, convert, err);
  const bool given = load_address.has_value();
  if (!load_address) {
    if (const auto entry = disk_.find_entry(name)) load_address = writer_.program_address(*entry);
  }
  // A new entry, or one that holds no program, goes where the disk's programs lie; on a
  // disk with none, at the version's address when a file can hold it, else at $327E.
  const std::optional<uint16_t> common = load_address ? std::nullopt : common_program_address();
  if (!load_address && common) load_address = common;
  if (!load_address) {
    const uint16_t own = own_load_address(version != no_version ? version : disk_.basic_version());
    load_address = own >= first_file_address ? own : first_file_address;
  }
  if (version == no_version) {
    version = first_row_at(*load_address);
    if (version == no_version) version = disk_.basic_version();
    report(err, message::version_chosen, version_table[static_cast<std::size_t>(version)].name);
  }
  const uint16_t own = own_load_address(version);
  if (!given && *load_address != own) {
    if (common) {
      report(err, message::stored_where_programs_lie, label_.c_str(), name.c_str(), *common);
    } else if (own < first_file_address) {
      report(err, message::stored_above_version_address, label_.c_str(), name.c_str(),
             *load_address, version, own);
    }
  }

  const auto program = convert_to_memory(convert, version, *load_address);
  if (!program) return false;
  const store_problem problem = writer_.store(name, *load_address, *program);
  if (problem.kind != store_problem::none) {
    report_problem(name, *load_address, problem, err);
    return false;
  }
  stored_.emplace_back(name, *program);
  return true;
}

std::optional<uint16_t> disk_store::common_program_address() {
  std::vector<directory_entry> entries;
  disk_.read_directory(entries);
  std::map<uint16_t, int> count;
  std::optional<uint16_t> most;
  for (const directory_entry& entry : entries) {
    const auto address = writer_.program_address(entry);
    if (!address) continue;
    // The first address to reach the highest count wins: ties go to the earlier entry.
    if (++count[*address] > (most ? count[*most] : 0)) most = address;
  }
  return most;
}

void disk_store::report_problem(const std::string& name, uint16_t load_address,
                                const store_problem& p, FILE* err) const {
  const char* disk = label_.c_str();
  switch (p.kind) {
    case store_problem::entry_unreadable:
      report(err, message::entry_problem, disk, name.c_str(), describe(p.tracks).c_str());
      break;
    case store_problem::system_track:
      report(err, message::entry_on_system_track, disk, name.c_str(), p.tracks.track,
             p.tracks.track == 0 ? message::boot_tracks : message::directory_track);
      break;
    case store_problem::below_file:
      report(err, message::program_below_file, disk, name.c_str(), load_address);
      break;
    case store_problem::too_big:
      report(err, message::program_too_big, disk, name.c_str(), p.needed, p.available);
      break;
    case store_problem::no_free_entry:
      report(err, message::no_free_entry, disk, name.c_str());
      break;
    case store_problem::no_free_tracks:
      report(err, message::no_free_tracks, disk, p.tracks_needed, name.c_str());
      break;
    case store_problem::none:
      break;
  }
}

std::optional<std::string> disk_store::misread(image_bytes& written) const {
  std::unique_ptr<volume> disk;
  if (picodos_) {
    disk = std::make_unique<picodos_volume>(written, disk_.shape());
  } else {
    disk = std::make_unique<os65d_volume>(written, disk_.shape());
  }
  for (const auto& [name, program] : stored_) {
    const auto entry = disk->find_entry(name);
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
