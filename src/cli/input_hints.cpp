#include "cli/input_hints.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "disk/container.h"
#include "image/decoder.h"

namespace brenvik {

namespace {

// True when `bytes` list as a program image with no message, at any row's address.
bool lists_as_image(std::span<const unsigned char> bytes) {
  char* text = nullptr;
  std::size_t size = 0;
  FILE* sink = open_memstream(&text, &size);
  if (sink == nullptr) return false;
  const bool listed = decode_image(bytes, sink, sink, {.note = version_note::never}) == 0;
  std::fclose(sink);
  std::free(text);
  return listed;
}

}  // namespace

looks_like what_it_looks_like(image_bytes& file) {
  if (file.size() == static_cast<std::uint64_t>(disk::flat_size_5) ||
      file.size() == static_cast<std::uint64_t>(disk::flat_size_8)) {
    return looks_like::disk_image;
  }
  // A program image is at most 64 KiB; a listing is told by its start.
  std::vector<unsigned char> start(
      static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), 0x10000)));
  if (!file.read(0, start)) return looks_like::nothing_known;
  const std::string_view text(reinterpret_cast<const char*>(start.data()), start.size());
  if (text.starts_with(disk::bitstream_signature)) return looks_like::disk_image;
  const std::size_t first = text.find_first_not_of(std::string_view("\0\r\n", 3));
  if (first != std::string_view::npos &&
      ((text[first] >= '0' && text[first] <= '9') || text[first] == ' ' || text[first] == '\t')) {
    return looks_like::listing;
  }
  if (file.size() <= start.size() && lists_as_image(start)) return looks_like::program_image;
  return looks_like::nothing_known;
}

}  // namespace brenvik
