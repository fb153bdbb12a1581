// Where the bytes of an image file (a disk, a memory image) come from: read as needed, never
// all at once, from a file or from memory.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

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

// An image from anywhere: a regular file read with pread as needed; a pipe, a device or
// standard input (`path` "-" or a descriptor that is no regular file) read whole into
// memory, at most `most` bytes and one more, so that one too long is seen to be. Returns
// null with `error` set (an errno value; EISDIR for a folder) when it cannot be opened or
// read.
std::unique_ptr<image_bytes> open_image(const std::string& path, std::uint64_t most, int& error);

// Bytes read into memory, which the reader owns.
std::unique_ptr<image_bytes> image_of(std::vector<unsigned char> bytes);

// The file open on `descriptor` (which stays open for its owner), read with pread.
std::unique_ptr<image_bytes> image_on_descriptor(int descriptor);

// An image in memory, which must outlive the reader.
std::unique_ptr<image_bytes> image_in_memory(std::span<const unsigned char> bytes);

}  // namespace brenvik
