#include "cli/disk_run.h"

#include <optional>
#include <string>
#include <vector>

#include "cli/destination.h"
#include "cli/directory.h"
#include "cli/disk_open.h"
#include "cli/disk_words.h"
#include "cli/entry_hints.h"
#include "cli/headed_messages.h"
#include "cli/open_words.h"
#include "cli/paths.h"
#include "disk/container.h"
#include "disk/os65d.h"
#include "disk/volume.h"
#include "image/decoder.h"
#include "messages.h"

namespace brenvik {

namespace {

// Writes the directory of `disk`, as text or as JSON (-json).
int list_directory(const run_context& run, disk::volume& disk,
                   const std::vector<disk::entry>& entries) {
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, run.options.output_name, refusal);
  if (!to) return exit_failure;
  // With -lf, the text is made in memory and its line ends cut to LF: names and JSON strings
  // are escaped, so every CR in it ends a line.
  char* text = nullptr;
  std::size_t size = 0;
  FILE* out = run.options.lf_only ? open_memstream(&text, &size) : to->stream();
  if (out == nullptr) out = to->stream();
  if (run.options.json) {
    write_directory_json(out, disk, entries, *run.options.disk_name, run.options.version);
  } else {
    write_directory(out, disk, entries);
  }
  if (out != to->stream()) {
    std::fclose(out);
    for (std::size_t i = 0; i < size; ++i)
      if (text[i] != '\r' || i + 1 == size || text[i + 1] != '\n')
        std::fputc(text[i], to->stream());
    std::free(text);
  }
  return to->close(run, false) == outcome::converted ? exit_success : exit_failure;
}

// Lists the program of one entry, to -o's file or its own file in -o's folder. With
// `only_basic`, an entry that holds something else is passed over without a word.
outcome list_entry(const run_context& run, disk::volume& disk, const disk::entry& entry,
                   bool only_basic) {
  // The name without the blanks that pad it to the directory's width.
  const std::string name = shown_name(disk::without_padding(entry.name));
  const char* disk_name = run.options.disk_name->c_str();
  std::optional<disk::basic_program> found;
  std::vector<unsigned char> file;
  if (const disk::problem p = disk.entry_program(entry, found, file);
      p.kind != disk::problem::none) {
    report(run.err, message::entry_problem, disk_name, name.c_str(), describe(p).c_str());
    return outcome::rejected;
  }
  if (!found) {
    if (only_basic) return outcome::converted;
    report(run.err, message::entry_not_basic, disk_name, name.c_str());
    return outcome::rejected;
  }
  const std::string label = std::string(disk_name) + " " + name;
  const output_claim output = run.claim_output(entry_output_name(entry.name), label);
  if (output.refused) return outcome::rejected;
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, output.path, refusal);
  if (!to) return refusal;
  const image_origin origin{
      .version = run.options.version,
      .load_address = run.options.load_address.value_or(found->load_address),
      .fallback_version = disk.basic_version(),
      .note = run.options.quiet ? version_note::never : version_note::where_address_leaves_choice,
      .lf_only = run.options.lf_only};
  const headed_messages notes(run.err,
                              format_message(message::about_entry, disk_name, name.c_str()));
  const int result = decode_image(std::span(file).subspan(found->area, found->length), to->stream(),
                                  notes.stream(), origin);
  const outcome closed = to->close(run, false, result < 0);
  if (closed != outcome::converted) return closed;
  return result < 0 ? outcome::rejected : outcome::converted;
}

// Writes an entry's bytes as the DOS loads them (-raw), to -o's file or its own file in -o's
// folder.
outcome write_raw_entry(const run_context& run, disk::volume& disk, const disk::entry& entry) {
  const std::string name = shown_name(disk::without_padding(entry.name));
  const char* disk_name = run.options.disk_name->c_str();
  std::vector<unsigned char> file;
  if (const disk::problem p = disk.entry_file(entry, file); p.kind != disk::problem::none) {
    report(run.err, message::entry_problem, disk_name, name.c_str(), describe(p).c_str());
    return outcome::rejected;
  }
  const std::string label = std::string(disk_name) + " " + name;
  const output_claim output = run.claim_output(entry_output_name(entry.name, ".bin"), label);
  if (output.refused) return outcome::rejected;
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, output.path, refusal);
  if (!to) return refusal;
  std::fwrite(file.data(), 1, file.size(), to->stream());
  return to->close(run, false);
}

// After an entry not found: the entries `input` may have meant, or that it looks like an
// option given after the first entry.
void suggest_entries(const run_context& run, const std::vector<disk::entry>& entries,
                     const std::string& input) {
  const std::vector<std::string> meant = entries_meant(entries, input);
  if (!meant.empty()) {
    std::string names;
    for (const std::string& name : meant)
      names += (names.empty() ? "" : message::or_between) + name;
    report(run.err, message::did_you_mean, names.c_str());
  }
  hint_late_option(run.err, input);
}

}  // namespace

int list_disk(const run_context& run) {
  const char* disk_name = run.options.disk_name->c_str();
  std::optional<disk::geometry> shape;
  const auto bytes = open_disk(run, shape);
  if (!bytes) return exit_failure;
  disk::problem why;
  const auto disk = disk::open_volume(*bytes, *shape, why);
  if (!disk) {
    report_no_directory(run, why);
    return exit_failure;
  }
  const std::vector<disk::entry> entries = disk->entries();
  if (run.options.inputs.empty() && run.folder == nullptr) {
    return list_directory(run, *disk, entries);
  }

  // The entries named, or with -o naming a folder and none named, every BASIC program.
  bool rejected = false;
  const auto list = [&](const disk::entry& entry, bool only_basic) {
    const outcome result = run.options.raw ? write_raw_entry(run, *disk, entry)
                                           : list_entry(run, *disk, entry, only_basic);
    rejected = rejected || result == outcome::rejected;
    return result != outcome::failed;
  };
  if (run.options.inputs.empty()) {
    for (const disk::entry& entry : entries)
      if (!list(entry, true)) return exit_failure;
  }
  for (const std::string& input : run.options.inputs) {
    const std::vector<disk::entry> named = disk->find_entries(input);
    if (named.empty()) {
      report(run.err, message::no_such_entry, run.program(), shown_name(input).c_str(), disk_name);
      suggest_entries(run, entries, input);
      return exit_failure;
    }
    for (const disk::entry& entry : named)
      if (!list(entry, false)) return exit_failure;
  }
  return rejected ? exit_failure : exit_success;
}

}  // namespace brenvik
