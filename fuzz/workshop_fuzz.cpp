// Any sequence of deletes, renames and raw files put into a disk: a change that cannot be made
// leaves every byte as it was, and after the run the written disk reads back as made.
//
// Input: byte 0 picks the disk (flat or bitstream, 5.25" or 8"); then changes of three bytes
// or more: the kind, the entry's name, and for a put a length and that many bytes of data.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "disk/container.h"
#include "disk/disk_store.h"
#include "disk/volume.h"
#include "disk_images.h"
#include "input_limit.h"
#include "sample_disk.h"

namespace {

using namespace brenvik;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1 || size > fuzzing::input_limit) return 0;
  static const char* const names[] = {"HELLO", "MOVED", "DATA", "NEWONE", "OS65D3", "H*", "*"};
  const std::string& original = fuzzing::sample_disk(data[0]);
  const auto original_bytes = image_in_memory(testing::as_bytes(original));
  disk::geometry shape;
  disk::container_problem problem;
  if (!disk::identify(*original_bytes, shape, problem)) __builtin_trap();
  disk::disk_store store(std::vector<unsigned char>(original.begin(), original.end()), shape);
  if (store.writer() == nullptr) __builtin_trap();
  disk::volume& disk = *store.disk();

  for (std::size_t at = 1; at + 2 < size;) {
    const int kind = data[at] % 3;
    const std::string name = names[data[at + 1] % 7];
    const std::string other = names[data[at + 2] % 5];
    at += 3;
    const std::vector<unsigned char> before = store.file();
    disk::write_problem p;
    if (kind == 0) {
      for (const disk::entry& e : disk.find_entries(name))
        if ((p = store.remove(e)).kind != disk::write_problem::none) break;
    } else if (kind == 1) {
      if (const auto e = disk.find_entry(name); e && store.writer()->accepts_name(other)) {
        p = store.rename(*e, other);
      }
    } else {
      const std::size_t length = at < size ? data[at++] * std::size_t{16} : 0;
      std::vector<unsigned char> bytes(length);
      for (std::size_t i = 0; i < length; ++i)
        bytes[i] = at + i < size ? data[at + i] : static_cast<unsigned char>(i);
      at += std::min(length, size - at);
      if (store.writer()->accepts_name(name)) p = store.put(name, bytes);
    }
    if (p.kind != disk::write_problem::none && store.file() != before) __builtin_trap();
  }
  const auto written = image_in_memory(store.file());
  if (store.misread(*written, shape)) __builtin_trap();
  return 0;
}
