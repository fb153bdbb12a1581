#include "cli/disk_run.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/directory.h"
#include "cli/disk_words.h"
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
  disk::geometry shape;
  disk::container_problem problem;
  if (disk::identify(bytes, shape, problem)) return shape;
  report_container_problem(run.err, run.program(), run.options.disk_name->c_str(), problem);
  return std::nullopt;
}

// Opens the disk image of the run and identifies it (`shape`); null after a message.
std::unique_ptr<image_bytes> open_disk(const run_context& run,
                                       std::optional<disk::geometry>& shape) {
  auto bytes = open_image_file(*run.options.disk_name);
  if (!bytes) {
    report(run.err, message::cant_open_input, run.program(), run.options.disk_name->c_str());
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
  if (run.options.json) {
    write_directory_json(to->stream(), disk, entries, *run.options.disk_name, run.options.version);
  } else {
    write_directory(to->stream(), disk, entries);
  }
  return to->close(run, false) == outcome::converted ? exit_success : exit_failure;
}

// Lists the program of one entry, to -o's file or its own file in -o's folder. With
// `only_basic`, an entry that holds something else is passed over without a word.
outcome list_entry(const run_context& run, disk::volume& disk, const disk::entry& entry,
                   bool only_basic) {
  const std::string name = shown_name(entry.name);
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
  const std::string label =
      std::string(disk_name) + " " + name.substr(0, name.find_last_not_of(' ') + 1);
  const auto output = run.claim_output(entry_output_name(entry.name), label);
  if (!output) return outcome::rejected;
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, *output, refusal);
  if (!to) return refusal;
  const image_origin origin{.version = run.options.version,
                            .load_address = run.options.load_address.value_or(found->load_address),
                            .fallback_version = disk.basic_version()};
  const int result = decode_image(std::span(file).subspan(found->area, found->length), to->stream(),
                                  run.err, origin);
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
  char* bytes = nullptr;
  std::size_t size = 0;
  FILE* out = open_memstream(&bytes, &size);
  int result = -1;
  if (out != nullptr) {
    result = run.options.typed
                 ? type_listing(listing, out, run.err, version, load_address)
                 : tokenize_text(listing, out, run.err, version, load_address, path.c_str());
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
  report_plan(run.err, disk_name, name, plan);
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
