#include "cli/conversion_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/output_file.h"
#include "disk/container.h"
#include "disk/os65d.h"
#include "disk/store.h"
#include "image/decoder.h"
#include "messages.h"
#include "tokenize/tokenizer.h"

namespace brenvik {

namespace {

enum class outcome { converted, rejected, failed };

bool same_regular_file(const struct stat& a, const struct stat& b) {
  return S_ISREG(a.st_mode) && S_ISREG(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Where one conversion writes: standard output, a device or pipe named with -o, or a new
// file that replaces the output when the conversion has ended.
struct destination {
  FILE* stream = nullptr;
  std::unique_ptr<output_file> file;
  bool direct = false;    // `stream` was opened on the output itself
  bool replaces = false;  // `file` would replace an existing output
};

class conversion_run {
 public:
  conversion_run(const run_options& options, FILE* std_in, FILE* std_out, FILE* err)
      : options_(options),
        std_in_(std_in),
        std_out_(std_out),
        err_(err),
        skip_count_(options.skip_count) {}

  int run() {
    if (!options_.output_name && output_is_an_input(fileno(std_out_))) {
      report(err_, message::output_is_input, program(), message::standard_output);
      return exit_failure;
    }
    if (options_.disk_name) return options_.text_mode ? store_into_disk() : list_disk();
    if (options_.text_mode && options_.version == no_version) {
      report(err_, message::no_version_given);
    }
    bool rejected = false;
    if (options_.inputs.empty()) {
      // Standard input needs no switch to binary mode: POSIX streams are untranslated.
      const outcome result = convert_file(nullptr);
      if (result == outcome::failed) return exit_failure;
      rejected = result == outcome::rejected;
    }
    for (const std::string& input : options_.inputs) {
      const outcome result = convert_file(&input);
      if (result == outcome::failed) return exit_failure;
      rejected = rejected || result == outcome::rejected;
    }
    return rejected ? exit_failure : exit_success;
  }

 private:
  const char* program() const { return options_.program_name.c_str(); }

  // Opens a named input for reading; a directory opens on some systems but is no input.
  FILE* open_input(const std::string& name) const {
    FILE* input = std::fopen(name.c_str(), "rb");
    struct stat status {};
    if (input != nullptr && fstat(fileno(input), &status) == 0 && S_ISDIR(status.st_mode)) {
      std::fclose(input);
      input = nullptr;
    }
    if (input == nullptr) report(err_, message::cant_open_input, program(), name.c_str());
    return input;
  }

  // True when `output` is the same file as an input of the run: a named input, or standard
  // input when none is named, or the disk image read.
  bool is_an_input(const struct stat& output) const {
    struct stat input {};
    if (options_.disk_name) {
      if (stat(options_.disk_name->c_str(), &input) == 0 && same_regular_file(output, input)) {
        return true;
      }
    } else if (options_.inputs.empty()) {
      const int descriptor = fileno(std_in_);
      return descriptor >= 0 && fstat(descriptor, &input) == 0 && same_regular_file(output, input);
    }
    if (options_.disk_name && !options_.text_mode) return false;  // the inputs name entries
    for (const std::string& name : options_.inputs) {
      const std::string path = options_.disk_name ? listing_path(name) : name;
      if (stat(path.c_str(), &input) == 0 && same_regular_file(output, input)) return true;
    }
    return false;
  }

  bool output_is_an_input(int descriptor) const {
    struct stat output {};
    return descriptor >= 0 && fstat(descriptor, &output) == 0 && is_an_input(output);
  }

  // Opens where the next conversion writes: the named output under the overwrite guard, or
  // standard output.
  std::optional<destination> open_output() const {
    if (!options_.output_name) return destination{std_out_};
    const std::string& name = *options_.output_name;
    struct stat status {};
    const bool exists = stat(name.c_str(), &status) == 0;
    if (exists && !options_.force_overwrite) {
      report(err_, message::output_exists, name.c_str());
      return std::nullopt;
    }
    if (exists && is_an_input(status)) {
      report(err_, message::output_is_input, program(), name.c_str());
      return std::nullopt;
    }
    destination to;
    if (exists && !S_ISREG(status.st_mode)) {
      to.stream = std::fopen(name.c_str(), "wb");
      to.direct = true;
    } else if ((to.file = output_file::create(name, exists ? name.c_str() : nullptr))) {
      to.stream = to.file->stream();
      to.replaces = exists;
    }
    if (to.stream == nullptr) {
      report(err_, message::cant_open_output, program(), name.c_str());
      return std::nullopt;
    }
    return to;
  }

  // Ends a conversion's output: checks that every byte was written, and gives a new file
  // the output's name unless the conversion failed (`read_failed`) or was rejected and an
  // output exists: a listing or image of a rejected input never replaces one.
  bool close_output(destination& to, bool read_failed, bool rejected = false) const {
    bool write_failed = std::ferror(to.stream) != 0;
    if (to.file) {
      write_failed = !to.file->close() || write_failed;
    } else if (to.direct) {
      write_failed = std::fclose(to.stream) != 0 || write_failed;
    } else {
      write_failed = std::fflush(to.stream) != 0 || write_failed;
    }
    const char* name =
        options_.output_name ? options_.output_name->c_str() : message::standard_output;
    if (write_failed) report(err_, message::write_error, program(), name);
    if (read_failed || write_failed || !to.file) return !read_failed && !write_failed;
    if (rejected && to.replaces) return true;
    switch (to.file->commit(options_.force_overwrite)) {
      case output_file::commit_result::done:
        return true;
      case output_file::commit_result::exists:
        report(err_, message::output_exists, name);
        return false;
      case output_file::commit_result::failed:
        report(err_, message::cant_open_output, program(), name);
        return false;
    }
    return false;
  }

  // One conversion of a file: `input_name` null means standard input.
  outcome convert_file(const std::string* input_name) {
    FILE* input = input_name != nullptr ? open_input(*input_name) : std_in_;
    if (input == nullptr) return outcome::failed;
    const char* input_label = input_name != nullptr ? input_name->c_str() : message::standard_input;
    const auto close_input = [&] {
      if (input_name != nullptr) std::fclose(input);
    };

    for (; skip_count_ > 0; --skip_count_) {
      if (std::getc(input) == EOF) break;
    }
    skip_count_ = 0;  // the count belongs to the first input only
    bool read_failed = std::ferror(input) != 0;
    std::optional<destination> to;
    if (!read_failed) to = open_output();
    if (!to) {
      if (read_failed) report(err_, message::read_error, program(), input_label);
      close_input();
      return outcome::failed;
    }

    int result = 0;
    if (options_.text_mode) {
      result = tokenize_text(input, to->stream, err_, options_.version, options_.load_address,
                             input_label);
    } else {
      image_origin origin{options_.version};
      if (options_.load_address_given) origin.load_address = options_.load_address;
      result = decode_image(input, to->stream, err_, origin);
    }
    read_failed = std::ferror(input) != 0;
    close_input();
    if (read_failed) report(err_, message::read_error, program(), input_label);
    if (!close_output(*to, read_failed, result < 0)) return outcome::failed;
    return result < 0 ? outcome::rejected : outcome::converted;
  }

  // The disk image of -disk, identified, with its directory; null after a message when it
  // cannot be read as one.
  std::unique_ptr<disk::os65d_disk> open_disk(std::vector<disk::directory_entry>& entries) {
    const char* name = options_.disk_name->c_str();
    disk_bytes_ = disk::open_image_file(*options_.disk_name);
    if (!disk_bytes_) {
      report(err_, message::cant_open_input, program(), name);
      return nullptr;
    }
    disk::geometry shape;
    disk::container_problem problem;
    if (!disk::identify(*disk_bytes_, shape, problem)) {
      if (problem.kind == disk::container_problem::unknown_bitstream) {
        report(err_, message::unknown_bitstream, program(), name, problem.version, problem.type);
      } else if (problem.kind == disk::container_problem::short_bitstream) {
        report(err_, message::short_bitstream, program(), name);
      } else {
        report(err_, message::not_a_disk, program(), name,
               static_cast<unsigned long long>(problem.size));
      }
      return nullptr;
    }
    auto opened = std::make_unique<disk::os65d_disk>(*disk_bytes_, shape);
    if (const disk::problem p = opened->read_directory(entries); p.kind != disk::problem::none) {
      report(err_, message::no_directory, program(), name, disk::describe(p).c_str());
      return nullptr;
    }
    return opened;
  }

  // Lists the directory of the disk, or the programs its entries named as inputs hold.
  int list_disk() {
    std::vector<disk::directory_entry> entries;
    const auto opened = open_disk(entries);
    if (!opened) return exit_failure;
    disk::os65d_disk& disk = *opened;

    if (options_.inputs.empty()) {
      std::optional<destination> to = open_output();
      if (!to) return exit_failure;
      for (const disk::directory_entry& entry : entries) {
        const std::string tracks = format_message("%X-%X", entry.first_bcd, entry.last_bcd);
        report(to->stream, message::directory_line, entry.name_text().c_str(), tracks.c_str(),
               disk::describe_contents(disk, entry).c_str());
      }
      return close_output(*to, false) ? exit_success : exit_failure;
    }

    bool rejected = false;
    for (const std::string& input : options_.inputs) {
      const auto entry = disk.find_entry(input);
      if (!entry) {
        report(err_, message::no_such_entry, program(), input.c_str(), options_.disk_name->c_str());
        return exit_failure;
      }
      const outcome result = list_entry(disk, *entry);
      if (result == outcome::failed) return exit_failure;
      rejected = rejected || result == outcome::rejected;
    }
    return rejected ? exit_failure : exit_success;
  }

  // Lists the program of one entry, with the version its address names (or the disk's
  // OS65D BASIC), unless -w names one.
  outcome list_entry(disk::os65d_disk& disk, const disk::directory_entry& entry) {
    const std::string name = entry.name_text();
    const char* disk_name = options_.disk_name->c_str();
    std::optional<disk::basic_program> found;
    std::vector<unsigned char> file;
    if (const disk::problem p = disk.entry_program(entry, found, file);
        p.kind != disk::problem::none) {
      report(err_, message::entry_problem, disk_name, name.c_str(), disk::describe(p).c_str());
      return outcome::rejected;
    }
    if (!found) {
      report(err_, message::entry_not_basic, disk_name, name.c_str());
      return outcome::rejected;
    }

    std::optional<destination> to = open_output();
    if (!to) return outcome::failed;
    image_origin origin{options_.version, found->load_address, disk_basic_version(disk)};
    if (options_.load_address_given) origin.load_address = options_.load_address;
    const int result =
        decode_image(std::span(file).subspan(found->area, found->length), to->stream, err_, origin);
    if (!close_output(*to, false, result < 0)) return outcome::failed;
    return result < 0 ? outcome::rejected : outcome::converted;
  }

  // The row of a disk's own OS65D BASIC, taken where a program's address names none.
  static int disk_basic_version(const disk::os65d_disk& disk) {
    return disk.shape().eight_inch ? 4 : 3;
  }

  // The listing file of an input of -t -disk: "NAME=listing" or the listing alone.
  static std::string listing_path(const std::string& input) {
    const std::size_t equals = input.find('=');
    return equals != std::string::npos && equals > 0 ? input.substr(equals + 1) : input;
  }

  // The entry name an input of -t -disk stores under: the name before "=", or the listing's
  // file name without folders and its last extension, in capitals.
  static std::string entry_name(const std::string& input) {
    const std::size_t equals = input.find('=');
    std::string name = equals != std::string::npos && equals > 0
                           ? input.substr(0, equals)
                           : std::filesystem::path(input).stem().string();
    for (char& c : name)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
  }

  // Tokenizes each listing and stores it into a copy of the disk, written to the output
  // only when every input is stored and reads back as it was stored.
  int store_into_disk() {
    for (const std::string& input : options_.inputs) {
      if (!disk::is_storable_name(entry_name(input))) {
        report(err_, message::bad_entry_name, input.c_str(), entry_name(input).c_str(),
               listing_path(input).c_str());
      }
    }
    std::vector<disk::directory_entry> entries;
    const auto opened = open_disk(entries);
    if (!opened) return exit_failure;
    const disk::geometry shape = opened->shape();
    std::vector<unsigned char> image(disk_bytes_->size());
    if (!disk_bytes_->read(0, image)) {
      report(err_, message::read_error, program(), options_.disk_name->c_str());
      return exit_failure;
    }
    disk::disk_writer writer(image, shape);
    std::optional<destination> to = open_output();
    if (!to) return exit_failure;

    std::vector<std::pair<std::string, std::vector<unsigned char>>> stored;
    for (const std::string& input : options_.inputs) {
      const std::string name = entry_name(input);
      if (!disk::is_storable_name(name)) continue;
      std::vector<unsigned char> program;
      if (tokenize_for(writer, input, name, program) == outcome::converted)
        stored.emplace_back(name, std::move(program));
    }
    const char* output = options_.output_name->c_str();
    if (stored.size() < options_.inputs.size()) {
      const int count = static_cast<int>(options_.inputs.size() - stored.size());
      report(err_, message::image_not_written, program(), output, count, count == 1 ? "" : "s");
      return exit_failure;
    }

    std::fwrite(image.data(), 1, image.size(), to->stream);
    const bool written = to->file ? to->file->close() : std::fflush(to->stream) == 0;
    if (written && !reads_back(to->file ? disk::image_on_descriptor(to->file->descriptor())
                                        : disk::image_in_memory(image),
                               shape, stored)) {
      return exit_failure;
    }
    return close_output(*to, false) ? exit_success : exit_failure;
  }

  // Tokenizes the listing of `input` for the entry `name`, and stores it with `writer`
  // (rejected: the input was refused, with a message):
  // at -l, or the address of the program the entry holds, or the version's; with -w, or the
  // version that address names, or the disk's OS65D BASIC.
  outcome tokenize_for(disk::disk_writer& writer, const std::string& input, const std::string& name,
                       std::vector<unsigned char>& tokenized) {
    // A listing that cannot be read is refused like one that cannot be stored: the other
    // inputs are still reported, and no disk is written.
    const std::string path = listing_path(input);
    FILE* listing = open_input(path);
    if (listing == nullptr) return outcome::rejected;
    std::optional<uint16_t> load_address;
    if (options_.load_address_given) {
      load_address = options_.load_address;
    } else if (const auto entry = writer.disk().find_entry(name)) {
      load_address = writer.program_address(*entry);
    }
    int version = options_.version;
    if (version == no_version) {
      version = load_address ? first_row_at(*load_address) : no_version;
      if (version == no_version) version = disk_basic_version(writer.disk());
      report(err_, message::version_chosen, version_table[static_cast<std::size_t>(version)].name);
    }
    if (!load_address) load_address = version_table[static_cast<std::size_t>(version)].load_address;

    char* bytes = nullptr;
    std::size_t size = 0;
    FILE* memory = open_memstream(&bytes, &size);
    const int result = memory != nullptr ? tokenize_text(listing, memory, err_, version,
                                                         *load_address, path.c_str())
                                         : -1;
    const bool read_failed = std::ferror(listing) != 0;
    std::fclose(listing);
    if (memory != nullptr) std::fclose(memory);
    tokenized.assign(bytes, bytes + size);
    std::free(bytes);
    if (read_failed) {
      report(err_, message::read_error, program(), path.c_str());
      return outcome::rejected;
    }
    if (result < 0) return outcome::rejected;

    const disk::store_problem problem = writer.store(name, *load_address, tokenized);
    const char* disk_name = options_.disk_name->c_str();
    switch (problem.kind) {
      case disk::store_problem::none:
        return outcome::converted;
      case disk::store_problem::entry_unreadable:
        report(err_, message::entry_problem, disk_name, name.c_str(),
               disk::describe(problem.tracks).c_str());
        break;
      case disk::store_problem::below_file:
        report(err_, message::program_below_file, disk_name, name.c_str(), *load_address);
        break;
      case disk::store_problem::too_big:
        report(err_, message::program_too_big, disk_name, name.c_str(), problem.needed,
               problem.available);
        break;
      case disk::store_problem::no_free_entry:
        report(err_, message::no_free_entry, disk_name, name.c_str());
        break;
      case disk::store_problem::no_free_tracks:
        report(err_, message::no_free_tracks, disk_name, problem.tracks_needed, name.c_str());
        break;
    }
    return outcome::rejected;
  }

  // Reads the written image with the disk reader: every program stored must be there as it
  // was tokenized.
  bool reads_back(std::unique_ptr<disk::image_bytes> written, const disk::geometry& shape,
                  const std::vector<std::pair<std::string, std::vector<unsigned char>>>& stored) {
    const char* output = options_.output_name->c_str();
    for (const auto& program_stored : stored) {
      const std::string& name = program_stored.first;
      const std::vector<unsigned char>& tokenized = program_stored.second;
      bool same = false;
      if (written) {
        disk::os65d_disk disk(*written, shape);
        const auto entry = disk.find_entry(name);
        std::optional<disk::basic_program> found;
        std::vector<unsigned char> file;
        same = entry && disk.entry_program(*entry, found, file).kind == disk::problem::none &&
               found &&
               std::equal(tokenized.begin(), tokenized.end(),
                          file.begin() + static_cast<std::ptrdiff_t>(found->area),
                          file.begin() + static_cast<std::ptrdiff_t>(found->area + found->length));
      }
      if (!same) {
        report(err_, message::stored_differently, program(), name.c_str(), output);
        return false;
      }
    }
    return true;
  }

  const run_options& options_;
  FILE* std_in_;
  FILE* std_out_;
  FILE* err_;
  int skip_count_;
  std::unique_ptr<disk::image_bytes> disk_bytes_;
};

}  // namespace

int convert_inputs(const run_options& options, FILE* std_in, FILE* std_out, FILE* err) {
  return conversion_run(options, std_in, std_out, err).run();
}

void open_closed_standard_descriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) < 0) {
      // The lowest free descriptor is the closed one.
      if (open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY) != descriptor) return;
    }
  }
}

}  // namespace brenvik
