// Block-buffered byte input and output for the converters: one fread or fwrite per block
// instead of a library call per byte.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>
#include <string_view>

namespace brenvik {

// The eight bytes from `bytes` on as one little-endian number, byte 0 lowest: lets a
// scanner test eight bytes at once.
inline uint64_t eight_bytes_at(const void* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) {
    uint64_t swapped = 0;
    for (int i = 0; i < 8; ++i, word >>= 8)
      swapped = swapped << 8 | (word & 0xFF);
    word = swapped;
  }
  return word;
}

// Reads a stream in blocks into a buffer of fixed size. The bytes read but not yet consumed
// stay available, so a caller can look ahead as far as the buffer reaches. The eight bytes
// after the pending ones may be read too (zero bytes, or bytes read before; never memory
// left unset), so that a scanner can test eight bytes at a time up to the end.
class block_reader {
 public:
  static constexpr std::size_t capacity = std::size_t{64} << 10;
  static constexpr std::size_t readable_beyond = 8;

  explicit block_reader(FILE* in)
      : in_(in),
        buffer_(std::make_unique_for_overwrite<unsigned char[]>(capacity + readable_beyond)) {
    std::memset(buffer_.get(), 0, readable_beyond);
  }

  std::span<const unsigned char> pending() const { return {buffer_.get() + start_, end_ - start_}; }
  void consume(std::size_t count) { start_ += count; }
  bool full() const { return end_ - start_ == capacity; }

  // Appends the next block of input to the pending bytes. Returns false when nothing more
  // could be read: end of input, a read error (the stream's error flag tells which), or a
  // full buffer.
  bool read_more() {
    if (start_ > 0) {
      std::memmove(buffer_.get(), buffer_.get() + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    const std::size_t count = std::fread(buffer_.get() + end_, 1, capacity - end_, in_);
    end_ += count;
    std::memset(buffer_.get() + end_, 0, readable_beyond);
    return count > 0;
  }

 private:
  FILE* in_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};

// Collects output and writes it to a stream a block at a time. Write errors are left on
// the stream's error flag for the caller to check after the conversion.
class block_writer {
 public:
  explicit block_writer(FILE* out) : out_(out) {}
  block_writer(const block_writer&) = delete;
  block_writer& operator=(const block_writer&) = delete;
  ~block_writer() { flush(); }

  void put(unsigned char byte) {
    if (next_ == std::end(buffer_)) flush();
    *next_++ = byte;
  }

  void write(std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(std::end(buffer_) - next_)) {
      flush();
      if (bytes.size() > sizeof buffer_) {
        std::fwrite(bytes.data(), 1, bytes.size(), out_);
        return;
      }
    }
    std::memcpy(next_, bytes.data(), bytes.size());
    next_ += bytes.size();
  }

  void flush() {
    if (next_ != buffer_) std::fwrite(buffer_, 1, static_cast<std::size_t>(next_ - buffer_), out_);
    next_ = buffer_;
  }

 private:
  FILE* out_;
  unsigned char buffer_[16 * 1024];
  unsigned char* next_ = buffer_;
};

}  // namespace brenvik
