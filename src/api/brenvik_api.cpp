// The library's one door for other programs: each call does what one command line does,
// with the same converters, readers and words, on bytes in memory instead of files.
#include "api/brenvik_api.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/directory.h"
#include "cli/disk_words.h"
#include "cli/memory_words.h"
#include "disk/container.h"
#include "disk/disk_store.h"
#include "disk/volume.h"
#include "image/decoder.h"
#include "image_bytes.h"
#include "memory/memory_image.h"
#include "messages.h"
#include "tokenize/tokenizer.h"
#include "tokenize/typed.h"

struct brenvik_result {
  std::vector<unsigned char> data;
  std::string messages;
  int status = brenvik::exit_failure;
  int version = brenvik::no_version;
  long load_address = -1;
};

namespace brenvik {

namespace {

// Messages name the tool as a user who calls it from the PATH sees it.
constexpr const char* program = "brenvik";

// A stream that collects what is written to it in memory.
class memory_stream {
 public:
  memory_stream() : file_(open_memstream(&bytes_, &size_)) {}
  ~memory_stream() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(bytes_);
  }
  memory_stream(const memory_stream&) = delete;
  memory_stream& operator=(const memory_stream&) = delete;

  FILE* get() const { return file_; }
  // What was written; the stream is closed.
  std::vector<unsigned char> take() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    std::vector<unsigned char> written(bytes_, bytes_ + size_);
    std::free(bytes_);
    bytes_ = nullptr;
    return written;
  }

 private:
  char* bytes_ = nullptr;
  std::size_t size_ = 0;
  FILE* file_;
};

// A stream that reads `bytes`, which must outlive it. Some C libraries refuse a memory
// stream of no bytes, so an empty input is a stream of one byte already read.
class input_stream {
 public:
  input_stream(const void* bytes, std::size_t size) {
    if (size == 0) {
      file_ = fmemopen(empty_, 1, "r");
      if (file_ != nullptr) std::fgetc(file_);
    } else {
      file_ = fmemopen(const_cast<void*>(bytes), size, "r");
    }
  }
  ~input_stream() {
    if (file_ != nullptr) std::fclose(file_);
  }
  input_stream(const input_stream&) = delete;
  input_stream& operator=(const input_stream&) = delete;
  FILE* get() const { return file_; }

 private:
  char empty_[1] = {0};
  FILE* file_ = nullptr;
};

// One call's output and messages, turned into its result at the end.
struct call {
  memory_stream out;
  memory_stream err;
  brenvik_result* finish(int status, int version = no_version, long load_address = -1) {
    auto* result = new (std::nothrow) brenvik_result;
    if (result == nullptr) return nullptr;
    result->data = out.take();
    const std::vector<unsigned char> said = err.take();
    result->messages.assign(said.begin(), said.end());
    result->status = status;
    result->version = version;
    result->load_address = load_address;
    return result;
  }
};

std::optional<uint16_t> address_given(long load_address) {
  if (load_address < 0) return std::nullopt;
  return static_cast<uint16_t>(load_address);
}

// The version a listing took: the one given, or the one its messages say was chosen.
int version_listed(int given, const std::string& messages) {
  if (given != no_version) return given;
  for (int row = 0; row < version_count; ++row) {
    const std::string said =
        format_message(message::version_chosen, version_table[static_cast<std::size_t>(row)].name);
    if (messages.find(said) != std::string::npos) return row;
  }
  return no_version;
}

brenvik_result* finish_listing(call& c, int result, int version, std::optional<uint16_t> given) {
  brenvik_result* r = c.finish(result < 0 ? exit_failure : exit_success);
  if (r == nullptr) return r;
  r->version = version_listed(version, r->messages);
  if (given) {
    r->load_address = *given;
  } else if (r->version != no_version) {
    r->load_address = own_load_address(r->version);
  }
  return r;
}

// True when `file` has the size of a flat disk image or begins with the bitstream signature.
bool looks_like_disk(std::span<const unsigned char> file) {
  const auto size = static_cast<long>(file.size());
  if (size == disk::flat_size_5 || size == disk::flat_size_8) return true;
  const std::size_t signature = disk::bitstream_signature.size();
  return file.size() >= signature &&
         std::memcmp(file.data(), disk::bitstream_signature.data(), signature) == 0;
}

// Identifies the disk image `bytes`; its geometry, or nothing after a message.
std::optional<disk::geometry> identify_disk(image_bytes& bytes, const char* disk_name, FILE* err) {
  disk::geometry shape;
  disk::container_problem problem;
  if (disk::identify(bytes, shape, problem)) return shape;
  report_container_problem(err, program, disk_name, problem);
  return std::nullopt;
}

// Opens the disk image `bytes` through its DOS, reading its directory into `entries`; null
// after a message.
std::unique_ptr<disk::volume> open_disk(image_bytes& bytes, const char* disk_name, FILE* err,
                                        std::vector<disk::entry>& entries) {
  const auto shape = identify_disk(bytes, disk_name, err);
  if (!shape) return nullptr;
  disk::problem why;
  auto volume = disk::open_volume(bytes, *shape, why);
  if (!volume) {
    report(err, message::no_directory, program, disk_name, describe(why).c_str());
    return nullptr;
  }
  volume->read_directory(entries);
  return volume;
}

// Tokenizes `listing` into memory as -t or -typed does: the program area, or nothing after
// a message.
std::optional<std::vector<unsigned char>> tokenize_to_memory(std::span<const char> listing,
                                                             const char* listing_name, bool typed,
                                                             int version, uint16_t load_address,
                                                             FILE* err) {
  input_stream in(listing.data(), listing.size());
  memory_stream out;
  if (in.get() == nullptr || out.get() == nullptr) return std::nullopt;
  const int result =
      typed ? type_listing(in.get(), out.get(), err, version, load_address)
            : tokenize_text(in.get(), out.get(), err, version, load_address, listing_name);
  if (result < 0) return std::nullopt;
  return out.take();
}

bool stores_into(disk::disk_store& store, const char* disk_name, const std::string& name,
                 const std::string& input, std::span<const char> listing, const char* listing_name,
                 bool typed, int version, std::optional<uint16_t> load_address, FILE* err) {
  if (!store.writer()->accepts_name(name)) {
    report(err, message::bad_entry_name, input.c_str(), shown_name(name).c_str(), listing_name);
    return false;
  }
  const disk::store_plan plan = store.plan(name, version, load_address);
  if (plan.problem.kind != disk::write_problem::none) {
    report_write_problem(err, disk_name, name, load_address.value_or(plan.load_address),
                         plan.problem);
    return false;
  }
  report_plan(err, disk_name, name, plan);
  const auto made =
      tokenize_to_memory(listing, listing_name, typed, plan.version, plan.load_address, err);
  if (!made) return false;
  disk::write_problem p = store.store(name, plan, *made);
  if (p.kind == disk::write_problem::none) return true;
  report_write_problem(err, disk_name, name, plan.load_address, p);
  return false;
}

}  // namespace

}  // namespace brenvik

using namespace brenvik;

extern "C" {

const unsigned char* brenvik_result_data(const brenvik_result* r) {
  return r->data.data();
}
size_t brenvik_result_size(const brenvik_result* r) {
  return r->data.size();
}
const char* brenvik_result_messages(const brenvik_result* r) {
  return r->messages.c_str();
}
size_t brenvik_result_messages_size(const brenvik_result* r) {
  return r->messages.size();
}
int brenvik_result_status(const brenvik_result* r) {
  return r->status;
}
int brenvik_result_version(const brenvik_result* r) {
  return r->version;
}
long brenvik_result_load_address(const brenvik_result* r) {
  return r->load_address;
}
void brenvik_free(brenvik_result* r) {
  delete r;
}

const char* brenvik_version(void) {
  return BRENVIK_VERSION;
}

brenvik_result* brenvik_list_image(const unsigned char* image, size_t size, const char* image_name,
                                   int version, long load_address, size_t skip) {
  call c;
  const std::size_t skipped = skip < size ? skip : size;
  input_stream in(image + skipped, size - skipped);
  if (in.get() == nullptr) return c.finish(exit_failure);
  const int first = size > skipped ? image[skipped] : EOF;
  const std::optional<uint16_t> given = address_given(load_address);
  bool refused_first_link = false;
  const int result = decode_image(in.get(), c.out.get(), c.err.get(),
                                  {.version = version, .load_address = given}, &refused_first_link);
  // A rejected input that looks like a listing or a disk image gets a hint, as on the
  // command line.
  if (result < 0 && refused_first_link &&
      (std::isdigit(first) != 0 || first == ' ' || first == '\t')) {
    report(c.err.get(), message::image_looks_like_text, image_name);
  }
  if (result < 0 && looks_like_disk(std::span(image, size))) {
    report(c.err.get(), message::image_looks_like_disk, image_name, image_name);
  }
  return finish_listing(c, result, version, given);
}

brenvik_result* brenvik_tokenize(const char* listing, size_t size, const char* listing_name,
                                 int typed, int version, long load_address) {
  call c;
  if (typed != 0 && version > last_typed_version) {
    report(c.err.get(), message::typed_version_unknown, version);
    return c.finish(exit_failure);
  }
  if (typed != 0 && version == no_version) {
    report(c.err.get(), message::version_chosen, version_table[0].name);
    version = 0;
  } else if (version == no_version) {
    report(c.err.get(), message::no_version_given);
  }
  const uint16_t address = address_given(load_address).value_or(own_load_address(version));
  input_stream in(listing, size);
  if (in.get() == nullptr) return c.finish(exit_failure);
  const int result = typed != 0 ? type_listing(in.get(), c.out.get(), c.err.get(), version, address)
                                : tokenize_text(in.get(), c.out.get(), c.err.get(), version,
                                                address, listing_name);
  return c.finish(result < 0 ? exit_failure : exit_success, version, address);
}

brenvik_result* brenvik_disk_directory(const unsigned char* disk, size_t size,
                                       const char* disk_name, int json, int version) {
  call c;
  const auto bytes = image_in_memory(std::span(disk, size));
  std::vector<disk::entry> entries;
  const auto volume = open_disk(*bytes, disk_name, c.err.get(), entries);
  if (!volume) return c.finish(exit_failure);
  if (json != 0) {
    write_directory_json(c.out.get(), *volume, entries, disk_name, version);
  } else {
    write_directory(c.out.get(), *volume, entries);
  }
  return c.finish(exit_success);
}

brenvik_result* brenvik_list_entry(const unsigned char* disk, size_t size, const char* disk_name,
                                   const char* entry, int version) {
  call c;
  const auto bytes = image_in_memory(std::span(disk, size));
  std::vector<disk::entry> entries;
  const auto volume = open_disk(*bytes, disk_name, c.err.get(), entries);
  if (!volume) return c.finish(exit_failure);
  const auto found_entry = volume->find_entry(entry);
  if (!found_entry) {
    report(c.err.get(), message::no_such_entry, program, shown_name(entry).c_str(), disk_name);
    return c.finish(exit_failure);
  }
  const std::string name = shown_name(found_entry->name);
  std::optional<disk::basic_program> found;
  std::vector<unsigned char> file;
  if (const disk::problem p = volume->entry_program(*found_entry, found, file);
      p.kind != disk::problem::none) {
    report(c.err.get(), message::entry_problem, disk_name, name.c_str(), describe(p).c_str());
    return c.finish(exit_failure);
  }
  if (!found) {
    report(c.err.get(), message::entry_not_basic, disk_name, name.c_str());
    return c.finish(exit_failure);
  }
  // As the command line does, the version is said only where the address leaves a choice;
  // where one row lies at it, that row is the one listed.
  const image_origin origin{.version = version,
                            .load_address = found->load_address,
                            .fallback_version = volume->basic_version(),
                            .note = version_note::where_address_leaves_choice};
  const int result = decode_image(std::span(file).subspan(found->area, found->length), c.out.get(),
                                  c.err.get(), origin);
  const auto rows_at = std::count_if(
      std::begin(version_table), std::end(version_table),
      [&](const version_entry& row) { return row.load_address == found->load_address; });
  const int listed =
      version == no_version && rows_at == 1 ? first_row_at(found->load_address) : version;
  return finish_listing(c, result, listed, found->load_address);
}

brenvik_result* brenvik_store(const unsigned char* disk, size_t size, const char* disk_name,
                              const char* output_name, const char* entry, const char* listing,
                              size_t listing_size, const char* listing_name, int typed, int version,
                              long load_address) {
  call c;
  FILE* err = c.err.get();
  if (typed != 0 && version > last_typed_version) {
    report(err, message::typed_version_unknown, version);
    return c.finish(exit_failure);
  }
  const auto bytes = image_in_memory(std::span(disk, size));
  const auto shape = identify_disk(*bytes, disk_name, err);
  if (!shape) return c.finish(exit_failure);
  disk::disk_store store(std::vector<unsigned char>(disk, disk + size), *shape);
  if (store.disk() == nullptr) {
    report(err, message::no_directory, program, disk_name, describe(store.why()).c_str());
    return c.finish(exit_failure);
  }
  if (store.writer() == nullptr) {
    report(err, message::hexdos_not_written, program, disk_name);
    return c.finish(exit_failure);
  }
  std::string name(entry);
  for (char& letter : name)
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (!stores_into(store, disk_name, name, std::string(entry) + "=" + listing_name,
                   std::span(listing, listing_size), listing_name, typed != 0, version,
                   address_given(load_address), err)) {
    report(err, message::image_not_written, program, output_name, 1, "");
    return c.finish(exit_failure);
  }
  const auto written = image_in_memory(store.file());
  if (const std::optional<std::string> misread = store.misread(*written, *shape)) {
    report(err, message::stored_differently, program, shown_name(*misread).c_str(), output_name);
    return c.finish(exit_failure);
  }
  std::fwrite(store.file().data(), 1, store.file().size(), c.out.get());
  return c.finish(exit_success);
}

brenvik_result* brenvik_list_memory(const unsigned char* memory, size_t size,
                                    const char* memory_name, int version, long load_address,
                                    long skip) {
  call c;
  FILE* err = c.err.get();
  const auto bytes = image_in_memory(std::span(memory, size));
  memory::memory_image image;
  const std::optional<std::uint64_t> offset =
      skip >= 0 ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(skip)) : std::nullopt;
  if (!memory::read_memory(*bytes, offset, image)) {
    report(err, message::read_error, program, memory_name);
    return c.finish(exit_failure);
  }
  if (image.layout == memory::memory_layout::compressed) {
    report(err, message::memory_compressed, program, memory_name);
    return c.finish(exit_failure);
  }
  const std::span<const unsigned char> ram = image.ram;
  memory::memory_program found;
  if (!find_memory_program(err, memory_name, ram, address_given(load_address), found)) {
    return c.finish(exit_failure);
  }
  const image_origin origin{
      .version = version, .load_address = found.load_address, .fallback_version = 0};
  const int result =
      decode_image(ram.subspan(found.load_address, found.length), c.out.get(), err, origin);
  return finish_listing(c, result, version, found.load_address);
}

brenvik_result* brenvik_keywords(int version) {
  call c;
  list_keywords(version, c.out.get(), c.err.get());
  return c.finish(is_version(version) ? exit_success : exit_failure, version);
}

}  // extern "C"
