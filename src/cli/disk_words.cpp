#include "cli/disk_words.h"

#include "catalogue/catalogue.h"
#include "messages.h"

namespace brenvik {

using disk::problem;

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
    case problem::no_directory_program:
      return format_message(message::no_directory_program, p.track);
    case problem::unformatted:
      return message::unformatted_disk;
    case problem::no_dos:
      return format_message(
          message::no_dos_found,
          describe({.kind = p.cause, .track = p.track, .count = p.count}).c_str());
    case problem::broken_hexdos:
      return format_message(
          message::broken_hexdos,
          describe({.kind = p.cause, .track = p.track, .count = p.count}).c_str());
    case problem::not_read_raw:
      return message::not_read_raw;
    case problem::none:
      break;
  }
  return {};
}

std::string describe_contents(disk::volume& disk, const disk::entry& e) {
  const disk::contents held = disk::entry_contents(disk, e);
  switch (held.kind) {
    case disk::contents::unreadable:
      return format_message(message::unreadable_entry, describe(held.why).c_str());
    case disk::contents::other:
      break;
    case disk::contents::basic:
      return format_message(message::holds_basic, held.program.load_address, held.program.length);
  }
  return message::holds_other;
}

void report_write_problem(FILE* err, const char* disk_name, const std::string& name,
                          uint16_t load_address, const disk::write_problem& p) {
  // A Pico-DOS slot is named by its number, whatever name the program was given.
  const std::string shown = p.slot > 0 ? std::to_string(p.slot) : shown_name(name);
  const char* entry = shown.c_str();
  using disk::write_problem;
  switch (p.kind) {
    case write_problem::entry_unreadable:
      report(err, message::entry_problem, disk_name, entry, describe(p.tracks).c_str());
      break;
    case write_problem::system_track:
      report(err, message::entry_on_system_track, disk_name, entry, p.tracks.track,
             p.tracks.track == 0 ? message::boot_tracks : message::directory_track);
      break;
    case write_problem::overlapping:
      report(err, message::entry_overlaps, disk_name, entry, p.first, p.last,
             shown_name(disk::without_padding(p.other)).c_str());
      break;
    case write_problem::below_file:
      report(err, message::program_below_file, disk_name, entry, load_address);
      break;
    case write_problem::too_big:
      if (p.slot > 0) {
        report(err, message::slot_too_big, disk_name, p.slot, p.needed, p.available);
      } else {
        report(err, message::program_too_big, disk_name, entry, p.needed, p.available);
      }
      break;
    case write_problem::file_too_big:
      report(err, message::file_too_big, disk_name, entry, p.needed, p.available);
      break;
    case write_problem::no_free_entry:
      report(err, message::no_free_entry, disk_name, entry);
      break;
    case write_problem::no_free_tracks:
      report(err, message::no_free_tracks, disk_name, p.tracks_needed, entry);
      break;
    case write_problem::no_such_slot:
      report(err, message::no_such_slot, disk_name, entry, p.slots);
      break;
    case write_problem::slot_address:
      report(err, message::slot_address, disk_name, entry, load_address);
      break;
    case write_problem::no_empty_slot:
      report(err, message::no_empty_slot, disk_name, entry);
      break;
    case write_problem::name_taken:
      report(err, message::name_taken, disk_name, entry,
             shown_name(disk::without_padding(p.other)).c_str());
      break;
    case write_problem::not_written:
      report(err, message::dos_keeps_no_names, disk_name, entry);
      break;
    case write_problem::none:
      break;
  }
}

void report_container_problem(FILE* err, const char* program, const char* disk_name,
                              const disk::container_problem& p) {
  switch (p.kind) {
    case disk::container_problem::unknown_bitstream:
      report(err, message::unknown_bitstream, program, disk_name, p.version, p.type);
      break;
    case disk::container_problem::short_bitstream:
      report(err, message::short_bitstream, program, disk_name);
      break;
    case disk::container_problem::long_bitstream:
      report(err, message::long_bitstream, program, disk_name,
             static_cast<unsigned long long>(p.size), static_cast<unsigned long long>(p.most));
      break;
    default:
      report(err, message::not_a_disk, program, disk_name, static_cast<unsigned long long>(p.size));
  }
}

void report_plan(FILE* err, const char* disk_name, const std::string& name,
                 const disk::store_plan& plan, bool quiet) {
  if (plan.version_chosen && !quiet) {
    report(err, message::version_chosen,
           version_table[static_cast<std::size_t>(plan.version)].name);
  }
  switch (plan.note) {
    case disk::store_plan::where_programs_lie:
      report(err, message::stored_where_programs_lie, disk_name, shown_name(name).c_str(),
             plan.load_address);
      break;
    case disk::store_plan::above_version_address:
      report(err, message::stored_above_version_address, disk_name, shown_name(name).c_str(),
             plan.load_address, plan.version, own_load_address(plan.version));
      break;
    case disk::store_plan::as_given:
      break;
  }
}

}  // namespace brenvik
