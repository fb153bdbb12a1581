#include "disk/volume.h"

#include <algorithm>

#include "disk/os65d.h"
#include "messages.h"

namespace brenvik::disk {

std::string describe(const problem& p) {
  switch (p.kind) {
    case problem::no_track_header:
      return format_message(message::track_without_header, p.track);
    case problem::frame_errors:
      return format_message(message::track_frame_errors, p.track, p.count);
    case problem::no_sector:
      return format_message(message::track_without_sector, p.track, p.count);
    case problem::unreadable:
      return format_message(message::track_unreadable, p.track);
    case problem::not_bcd:
      return format_message(message::track_not_bcd, static_cast<unsigned>(p.count));
    case problem::beyond_disk:
      return format_message(message::track_beyond_disk, p.track, p.count);
    case problem::first_after_last:
      return format_message(message::first_after_last, p.track, p.count);
    case problem::none:
      break;
  }
  return {};
}

bool entry::is_named(std::string_view given) const {
  const auto key = [](std::string_view text) {
    std::string upper(text.substr(0, text.find_last_not_of(' ') + 1));
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
  };
  return key(name) == key(given);
}

std::optional<entry> volume::find_entry(std::string_view name) {
  std::vector<entry> entries;
  read_directory(entries);
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const entry& e) { return e.is_named(name); });
  if (found == entries.end()) return std::nullopt;
  return *found;
}

std::unique_ptr<volume> open_volume(image_bytes& image, const geometry& shape, problem& why) {
  auto os65d = std::make_unique<os65d_volume>(image, shape);
  std::vector<entry> entries;
  why = os65d->read_directory(entries);
  if (why.kind != problem::none) return nullptr;
  return os65d;
}

std::string describe_contents(volume& disk, const entry& e) {
  std::optional<basic_program> program;
  std::vector<unsigned char> bytes;
  if (const problem p = disk.entry_program(e, program, bytes); p.kind != problem::none) {
    return format_message(message::unreadable_entry, describe(p).c_str());
  }
  if (!program) return message::holds_other;
  return format_message(message::holds_basic, program->load_address, program->length);
}

}  // namespace brenvik::disk
