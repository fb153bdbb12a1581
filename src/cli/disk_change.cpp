#include "cli/disk_change.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/destination.h"
#include "cli/disk_open.h"
#include "cli/disk_words.h"
#include "cli/headed_messages.h"
#include "cli/paths.h"
#include "disk/blank_disk.h"
#include "disk/container.h"
#include "disk/disk_store.h"
#include "disk/form_conversion.h"
#include "messages.h"
#include "tokenize/tokenizer.h"
#include "tokenize/typed.h"

namespace brenvik {

namespace {

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
  const bool standard_input = path == "-";
  FILE* listing = standard_input ? run.std_in : run.open_input(path);
  if (listing == nullptr) return std::nullopt;
  const headed_messages notes(
      run.err, format_message(message::about_input,
                              standard_input ? message::standard_input : path.c_str()));
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
  if (!standard_input) std::fclose(listing);
  if (read_failed) report(run.err, message::read_error, run.program(), path.c_str());
  std::optional<std::vector<unsigned char>> program;
  if (result >= 0 && !read_failed) program.emplace(bytes, bytes + size);
  std::free(bytes);
  return program;
}

// Reads the disk image of the run, once and whole, into `store`, with its DOS and the DOS's
// writer when the run changes entries; names the inputs whose entry names the DOS cannot
// store. False after a message.
bool read_disk_to_store(const run_context& run, std::optional<disk::disk_store>& store,
                        disk::geometry& shape) {
  const char* disk_name = run.options.disk_name->c_str();
  std::optional<disk::geometry> found;
  const auto bytes = open_disk(run, found);
  if (!bytes) return false;
  shape = *found;
  std::vector<unsigned char> file(bytes->size());
  if (!bytes->read(0, file)) {
    report(run.err, message::read_error, run.program(), disk_name);
    return false;
  }
  // NAME=- names standard input, which a run reads once.
  if (std::count_if(run.options.inputs.begin(), run.options.inputs.end(),
                    [](const std::string& input) { return listing_path(input) == "-"; }) > 1) {
    report(run.err, message::standard_input_once, run.program());
    return false;
  }
  store.emplace(std::move(file), shape);
  if (!run.options.text_mode && run.options.operations.empty()) return true;  // a new form
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

// Reads the file `path` whole, at most `most` bytes; nothing after a message.
std::optional<std::vector<unsigned char>> read_file(const run_context& run, const std::string& path,
                                                    std::size_t most) {
  FILE* in = run.open_input(path);
  if (in == nullptr) return std::nullopt;
  std::vector<unsigned char> bytes(most + 1);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) {
    report(run.err, message::read_error, run.program(), path.c_str());
    return std::nullopt;
  }
  if (bytes.size() > most) {
    report(run.err, message::file_larger_than_disk, run.program(), path.c_str(), most);
    return std::nullopt;
  }
  return bytes;
}

// The entries `given` names on the disk; none after a message.
std::vector<disk::entry> named_entries(const run_context& run, disk::volume& disk,
                                       const std::string& given) {
  std::vector<disk::entry> found = disk.find_entries(given);
  if (found.empty()) {
    report(run.err, message::no_such_entry, run.program(), shown_name(given).c_str(),
           run.options.disk_name->c_str());
  }
  return found;
}

// Applies one -delete, -rename or -put; false after a message.
bool apply(const run_context& run, disk::disk_store& store, const disk_operation& op) {
  const char* disk_name = run.options.disk_name->c_str();
  disk::volume& disk = *store.disk();
  disk::write_problem p;
  switch (op.kind) {
    case disk_operation::remove: {
      const std::vector<disk::entry> found = named_entries(run, disk, op.name);
      if (found.empty()) return false;
      for (const disk::entry& e : found) {
        // The DOS's own entry goes only when asked for by its very name.
        if (e.first == 0 && !e.is_named_exactly(op.name)) {
          report(run.err, message::dos_entry_by_name, disk_name, shown_name(e.name).c_str(),
                 shown_name(op.name).c_str());
          return false;
        }
      }
      for (const disk::entry& e : found)
        if ((p = store.remove(e)).kind != disk::write_problem::none) break;
      break;
    }
    case disk_operation::rename: {
      const auto e = disk.find_entry(op.name);
      if (!e) {
        report(run.err, message::no_such_entry, run.program(), shown_name(op.name).c_str(),
               disk_name);
        return false;
      }
      if (!store.writer()->accepts_name(op.value)) {
        report(run.err, message::bad_new_name, disk_name, shown_name(op.value).c_str());
        return false;
      }
      p = store.rename(*e, op.value);
      break;
    }
    case disk_operation::put: {
      if (!store.writer()->accepts_name(op.name)) {
        report(run.err, message::bad_new_name, disk_name, shown_name(op.name).c_str());
        return false;
      }
      const auto data = read_file(run, op.value, store.file().size());
      if (!data) return false;
      p = store.put(op.name, *data);
      break;
    }
  }
  if (p.kind == disk::write_problem::none) return true;
  report_write_problem(run.err, disk_name, op.name, 0, p);
  return false;
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
  report_plan(run.err, run.options.disk_name->c_str(), name, plan, run.options.quiet);
  const std::optional<std::vector<unsigned char>> program =
      tokenize_to_memory(run, listing_path(input), plan.version, plan.load_address);
  if (!program) return false;
  disk::write_problem p = store.store(name, plan, *program);
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

// Writes the new disk `file` (of geometry `shape`) to `to` and reads it back: a new file
// from the file itself, standard output or a device as sent. False after a message when it
// cannot be read or does not hold every entry as written.
bool write_and_read_back(const run_context& run, disk::disk_store& store,
                         const std::vector<unsigned char>& file, const disk::geometry& shape,
                         destination& to, const std::string& output) {
  std::fwrite(file.data(), 1, file.size(), to.stream());
  if (!to.finish_writing()) return true;  // closing the output says so
  const auto written =
      to.descriptor() >= 0 ? image_on_descriptor(to.descriptor()) : image_in_memory(file);
  if (!written) {
    report(run.err, message::read_error, run.program(), output.c_str());
    return false;
  }
  if (const std::optional<std::string> misread = store.misread(*written, shape)) {
    report(run.err, message::stored_differently, run.program(), shown_name(*misread).c_str(),
           output.c_str());
    return false;
  }
  return true;
}

// Lays the changed disk out in -form's form, when that is not the form read: `file` and
// `shape` become the new image's. False after a message when a track cannot be read or would
// not fit the new form whole: nothing of a disk is lost in a conversion.
bool convert(const run_context& run, disk::disk_store& store, disk::geometry& shape,
             std::vector<unsigned char>& file) {
  const run_options& options = run.options;
  const disk::form target = options.form == disk_form::flat        ? disk::form::flat
                            : options.form == disk_form::bitstream ? disk::form::bitstream
                                                                   : shape.kind;
  if (target == shape.kind) return true;
  const char* disk_name = options.disk_name->c_str();
  const auto bytes = image_in_memory(store.file());
  std::vector<unsigned char> converted;
  std::vector<disk::cut_track> cut;
  const disk::conversion_problem p = disk::convert_form(*bytes, shape, target, converted, cut);
  if (p.kind == disk::conversion_problem::no_flat_form) {
    report(run.err, message::no_flat_form, run.program(), disk_name);
    return false;
  }
  if (p.kind == disk::conversion_problem::unreadable) {
    report(run.err, message::entry_problem, disk_name, "-form",
           describe({.kind = disk::problem::unreadable, .track = p.track}).c_str());
    return false;
  }
  for (const disk::cut_track& c : cut)
    report(run.err, message::track_does_not_fit, disk_name, c.track, c.bytes);
  if (!cut.empty()) return false;
  const auto made = image_in_memory(converted);
  disk::container_problem container;
  if (!disk::identify(*made, shape, container)) return false;
  file = std::move(converted);
  return true;
}

}  // namespace

int change_disk(const run_context& run) {
  const run_options& options = run.options;
  if (options.text_mode && options.inputs.empty()) {
    report(run.err, message::nothing_to_store, run.program(), options.disk_name->c_str());
    return exit_failure;
  }
  std::optional<disk::disk_store> store;
  disk::geometry shape;
  if (!read_disk_to_store(run, store, shape)) return exit_failure;
  // In -o's folder, the new disk takes the name of the disk read.
  const std::optional<std::string> output_path = run.output_path(file_part(*options.disk_name));
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, output_path, refusal);
  if (!to) return exit_failure;

  int failed = 0;
  for (const disk_operation& op : options.operations)
    failed += apply(run, *store, op) ? 0 : 1;
  if (options.text_mode) {
    failed += static_cast<int>(options.inputs.size() - store_listings(run, *store));
  }
  if (failed > 0) {
    if (options.operations.empty()) {
      report(run.err, message::image_not_written, run.program(), output_path->c_str(), failed,
             failed == 1 ? "" : "s");
    } else {
      report(run.err, message::changes_not_made, run.program(), output_path->c_str(), failed,
             failed == 1 ? "" : "s");
    }
    return exit_failure;
  }
  std::vector<unsigned char> file = store->file();
  if (!convert(run, *store, shape, file)) return exit_failure;
  if (!write_and_read_back(run, *store, file, shape, *to, *output_path)) return exit_failure;
  return to->close(run, false) == outcome::converted ? exit_success : exit_failure;
}

int make_blank_disk(const run_context& run) {
  const run_options& options = run.options;
  const std::vector<unsigned char> file = disk::blank_disk(
      options.eight_inch,
      options.form == disk_form::bitstream ? disk::form::bitstream : disk::form::flat);
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, options.blank_name, refusal);
  if (!to) return exit_failure;
  std::fwrite(file.data(), 1, file.size(), to->stream());
  if (to->finish_writing()) {
    // Read back: the written disk must be an OS65D disk with an empty directory.
    const auto written =
        to->descriptor() >= 0 ? image_on_descriptor(to->descriptor()) : image_in_memory(file);
    disk::geometry shape;
    disk::container_problem container;
    disk::problem why;
    const std::unique_ptr<disk::volume> disk = written && disk::identify(*written, shape, container)
                                                   ? disk::open_volume(*written, shape, why)
                                                   : nullptr;
    if (!disk || !disk->entries().empty()) {
      report(run.err, message::blank_misread, run.program(), options.blank_name->c_str());
      return exit_failure;
    }
  }
  return to->close(run, false) == outcome::converted ? exit_success : exit_failure;
}

}  // namespace brenvik
