// Where the bytes of an image file (a disk, a memory image) come from: read as needed, never
// all at once, from a file or from memory.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace brenvik {

class image_bytes {
 public:
  virtual ~image_bytes() = default;
  virtual std::uint64_t size() const = 0;
  // Fills `into` from `offset`; false when the bytes cannot be read.
  virtual bool read(std::uint64_t offset, std::span<unsigned char> into) = 0;
};

// An image file, read with pread. Returns null when it cannot be opened or is no file.
std::unique_ptr<image_bytes> open_image_file(const std::string& path);

// The file open on `descriptor` (which stays open for its owner), read with pread.
std::unique_ptr<image_bytes> image_on_descriptor(int descriptor);

// An image in memory, which must outlive the reader.
std::unique_ptr<image_bytes> image_in_memory(std::span<const unsigned char> bytes);

}  // namespace brenvik
