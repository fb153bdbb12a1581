#include "cli/disk_run.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/directory.h"
#include "cli/disk_words.h"
#include "cli/entry_hints.h"
#include "cli/headed_messages.h"
#include "cli/input_hints.h"
#include "cli/open_words.h"
#include "cli/output_guard.h"
#include "cli/paths.h"
#include "disk/container.h"
#include "disk/disk_store.h"
#include "disk/os65d.h"
#include "disk/volume.h"
#include "image/decoder.h"
#include "messages.h"
#include "tokenize/tokenizer.h"
#include "tokenize/typed.h"

namespace brenvik {

namespace {

// Identifies the disk image `bytes` of the run; its geometry, or nothing after a message.
std::optional<disk::geometry> identify_disk(const run_context& run, image_bytes& bytes) {
  const char* name = run.options.disk_name->c_str();
  disk::geometry shape;
  disk::container_problem problem;
  if (disk::identify(bytes, shape, problem)) return shape;
  switch (problem.kind) {
    case disk::container_problem::unknown_bitstream:
      report(run.err, message::unknown_bitstream, run.program(), name, problem.version,
             problem.type);
      break;
    case disk::container_problem::short_bitstream:
      report(run.err, message::short_bitstream, run.program(), name);
      break;
    case disk::container_problem::long_bitstream:
      report(run.err, message::long_bitstream, run.program(), name,
             static_cast<unsigned long long>(problem.size),
             static_cast<unsigned long long>(problem.most));
      break;
    default:
      report(run.err, message::not_a_disk, run.program(), name,
             static_cast<unsigned long long>(problem.size));
      switch (what_it_looks_like(bytes)) {
        case looks_like::listing:
          report(run.err, message::disk_looks_like_text, name, name);
          break;
        case looks_like::program_image:
          report(run.err, message::disk_looks_like_image, name, name);
          break;
        default:
          break;
      }
  }
  return std::nullopt;
}

// Opens the disk image of the run and identifies it (`shape`); null after a message.
std::unique_ptr<image_bytes> open_disk(const run_context& run,
                                       std::optional<disk::geometry>& shape) {
  int error = 0;
  auto bytes = open_image(*run.options.disk_name, disk::most_image_size(), error);
  if (!bytes) {
    report(run.err, message::cant_open_disk, run.program(), run.options.disk_name->c_str(),
           reason_for(error).c_str());
    return nullptr;
  }
  shape = identify_disk(run, *bytes);
  return shape ? std::move(bytes) : nullptr;
}

// Says why the disk holds no directory this reader knows.
void report_no_directory(const run_context& run, const disk::problem& why) {
  report(run.err, message::no_directory, run.program(), run.options.disk_name->c_str(),
         describe(why).c_str());
}

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
  const std::string name = shown_name(entry.name.substr(0, entry.name.find_last_not_of(' ') + 1));
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
  const auto output = run.claim_output(entry_output_name(entry.name), label);
  if (!output) return outcome::rejected;
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, *output, refusal);
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

// The entry name an input of -t -disk stores under: the name before "=", or the listing's
// file name without folders and its last extension, in capitals.
std::string entry_name(const std::string& input) {
  const std::size_t equals = input.find('=');
  std::string name(equals != std::string::npos && equals > 0 ? input.substr(0, equals)
                                                             : file_stem(input));
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return name;
}

// Tokenizes the listing at `path` (as typed, with -typed) into memory: the program area, or
// nothing after a message. A listing that cannot be opened or read is refused like one that
// cannot be stored.
std::optional<std::vector<unsigned char>> tokenize_to_memory(const run_context& run,
                                                             const std::string& path, int version,
                                                             uint16_t load_address) {
  FILE* listing = run.open_input(path);
  if (listing == nullptr) return std::nullopt;
  const headed_messages notes(run.err, format_message(message::about_input, path.c_str()));
  char* bytes = nullptr;
  std::size_t size = 0;
  FILE* out = open_memstream(&bytes, &size);
  int result = -1;
  if (out != nullptr) {
    result =
        run.options.typed
            ? type_listing(listing, out, notes.stream(), version, load_address, run.options.quiet)
            : tokenize_text(listing, out, notes.stream(), version, load_address, path.c_str());
    if (std::fclose(out) != 0) result = -1;
  }
  const bool read_failed = std::ferror(listing) != 0;
  std::fclose(listing);
  if (read_failed) report(run.err, message::read_error, run.program(), path.c_str());
  std::optional<std::vector<unsigned char>> program;
  if (result >= 0 && !read_failed) program.emplace(bytes, bytes + size);
  std::free(bytes);
  return program;
}

// Reads the disk image of the run, once and whole, into `store`; names the inputs whose
// entry names the disk's DOS cannot store. False after a message.
bool read_disk_to_store(const run_context& run, std::optional<disk::disk_store>& store) {
  const char* disk_name = run.options.disk_name->c_str();
  std::optional<disk::geometry> shape;
  const auto bytes = open_disk(run, shape);
  if (!bytes) return false;
  std::vector<unsigned char> file(bytes->size());
  if (!bytes->read(0, file)) {
    report(run.err, message::read_error, run.program(), disk_name);
    return false;
  }
  store.emplace(std::move(file), *shape);
  if (store->disk() == nullptr) {
    report_no_directory(run, store->why());
    return false;
  }
  if (store->writer() == nullptr) {
    report(run.err, message::hexdos_not_written, run.program(), disk_name);
    return false;
  }
  for (const std::string& input : run.options.inputs) {
    if (!store->writer()->accepts_name(entry_name(input))) {
      report(run.err, message::bad_entry_name, input.c_str(), shown_name(entry_name(input)).c_str(),
             listing_path(input).c_str());
    }
  }
  return true;
}

// Says what the plan for a program decided where the user did not: the version, and an
// address that is not the version's.
void report_plan(const run_context& run, const std::string& name, const disk::store_plan& plan) {
  const char* disk_name = run.options.disk_name->c_str();
  if (plan.version_chosen && !run.options.quiet) {
    report(run.err, message::version_chosen,
           version_table[static_cast<std::size_t>(plan.version)].name);
  }
  switch (plan.note) {
    case disk::store_plan::where_programs_lie:
      report(run.err, message::stored_where_programs_lie, disk_name, shown_name(name).c_str(),
             plan.load_address);
      break;
    case disk::store_plan::above_version_address:
      report(run.err, message::stored_above_version_address, disk_name, shown_name(name).c_str(),
             plan.load_address, plan.version, own_load_address(plan.version));
      break;
    case disk::store_plan::as_given:
      break;
  }
}

// Tokenizes the listing of `input` as `plan` says and stores it under `name`; false after a
// message when it cannot be made or stored.
bool store_listing(const run_context& run, disk::disk_store& store, const std::string& name,
                   const std::string& input) {
  const char* disk_name = run.options.disk_name->c_str();
  const disk::store_plan plan = store.plan(name, run.options.version, run.options.load_address);
  if (plan.problem.kind != disk::write_problem::none) {
    report_write_problem(run.err, disk_name, name,
                         run.options.load_address.value_or(plan.load_address), plan.problem);
    return false;
  }
  report_plan(run, name, plan);
  const std::optional<std::vector<unsigned char>> program =
      tokenize_to_memory(run, listing_path(input), plan.version, plan.load_address);
  if (!program) return false;
  const disk::write_problem p = store.store(name, plan, *program);
  if (p.kind == disk::write_problem::none) return true;
  report_write_problem(run.err, disk_name, name, plan.load_address, p);
  return false;
}

// Stores every input listing that has a name the disk takes; returns how many were stored.
std::size_t store_listings(const run_context& run, disk::disk_store& store) {
  std::size_t stored = 0;
  for (const std::string& input : run.options.inputs) {
    const std::string name = entry_name(input);
    if (store.writer()->accepts_name(name) && store_listing(run, store, name, input)) ++stored;
  }
  return stored;
}

// Writes the new disk to `to` and reads it back: a new file from the file itself, standard
// output or a device as sent. False after a message when it cannot be read or does not hold
// every program as stored.
bool write_and_read_back(const run_context& run, const disk::disk_store& store, destination& to,
                         const std::string& output) {
  std::fwrite(store.file().data(), 1, store.file().size(), to.stream());
  if (!to.finish_writing()) return true;  // closing the output says so
  const auto written =
      to.descriptor() >= 0 ? image_on_descriptor(to.descriptor()) : image_in_memory(store.file());
  if (!written) {
    report(run.err, message::read_error, run.program(), output.c_str());
    return false;
  }
  if (const std::optional<std::string> misread = store.misread(*written)) {
    report(run.err, message::stored_differently, run.program(), misread->c_str(), output.c_str());
    return false;
  }
  return true;
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
  std::vector<disk::entry> entries;
  disk->read_directory(entries);
  if (run.options.inputs.empty() && run.folder == nullptr) {
    return list_directory(run, *disk, entries);
  }

  // The entries named, or with -o naming a folder and none named, every BASIC program.
  bool rejected = false;
  const auto list = [&](const disk::entry& entry, bool only_basic) {
    const outcome result = list_entry(run, *disk, entry, only_basic);
    rejected = rejected || result == outcome::rejected;
    return result != outcome::failed;
  };
  if (run.options.inputs.empty()) {
    for (const disk::entry& entry : entries)
      if (!list(entry, true)) return exit_failure;
  }
  for (const std::string& input : run.options.inputs) {
    const auto entry = disk->find_entry(input);
    if (!entry) {
      report(run.err, message::no_such_entry, run.program(), shown_name(input).c_str(), disk_name);
      suggest_entries(run, entries, input);
      return exit_failure;
    }
    if (!list(*entry, false)) return exit_failure;
  }
  return rejected ? exit_failure : exit_success;
}

int store_into_disk(const run_context& run) {
  const run_options& options = run.options;
  std::optional<disk::disk_store> store;
  if (!read_disk_to_store(run, store)) return exit_failure;
  // In -o's folder, the new disk takes the name of the disk read.
  const std::optional<std::string> output_path = run.output_path(file_part(*options.disk_name));
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, output_path, refusal);
  if (!to) return exit_failure;

  const std::size_t stored = store_listings(run, *store);
  if (stored < options.inputs.size()) {
    const int count = static_cast<int>(options.inputs.size() - stored);
    report(run.err, message::image_not_written, run.program(), output_path->c_str(), count,
           count == 1 ? "" : "s");
    return exit_failure;
  }
  if (!write_and_read_back(run, *store, *to, *output_path)) return exit_failure;
  return to->close(run, false) == outcome::converted ? exit_success : exit_failure;
}

}  // namespace brenvik
