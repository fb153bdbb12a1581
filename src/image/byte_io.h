// Block-buffered byte input and output for the converters: one fread or fwrite per block
// instead of a library call per byte.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

namespace brenvik {

// Reads a stream in blocks. The bytes read but not yet consumed stay available, so a
// caller can look ahead as far as it needs; the buffer grows when they fill it.
class block_reader {
 public:
  explicit block_reader(FILE* in) : in_(in) {}

  std::span<const unsigned char> pending() const { return {buffer_.get() + start_, end_ - start_}; }
  void consume(std::size_t count) { start_ += count; }

  // Appends the next block of input to the pending bytes. Returns false when nothing more
  // could be read: end of input or a read error (the stream's error flag tells which).
  bool read_more() {
    if (start_ > 0) {
      std::memmove(buffer_.get(), buffer_.get() + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    if (end_ == capacity_) {
      const std::size_t grown = capacity_ == 0 ? block_size : capacity_ * 2;
      auto bigger = std::make_unique_for_overwrite<unsigned char[]>(grown);
      if (end_ > 0) std::memcpy(bigger.get(), buffer_.get(), end_);
      buffer_ = std::move(bigger);
      capacity_ = grown;
    }
    const std::size_t count = std::fread(buffer_.get() + end_, 1, capacity_ - end_, in_);
    end_ += count;
    return count > 0;
  }

 private:
  static constexpr std::size_t block_size = std::size_t{64} << 10;
  FILE* in_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::size_t capacity_ = 0;
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
    if (used_ == sizeof buffer_) flush();
    buffer_[used_++] = byte;
  }

  void write(std::string_view bytes) {
    if (bytes.size() > sizeof buffer_ - used_) {
      flush();
      if (bytes.size() > sizeof buffer_) {
        std::fwrite(bytes.data(), 1, bytes.size(), out_);
        return;
      }
    }
    std::memcpy(buffer_ + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }

  // Writes `value` in decimal, as "%u" does.
  void write_number(unsigned value) {
    char digits[10];
    std::size_t count = 0;
    do {
      digits[sizeof digits - ++count] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    write({digits + sizeof digits - count, count});
  }

  void flush() {
    if (used_ > 0) std::fwrite(buffer_, 1, used_, out_);
    used_ = 0;
  }

 private:
  FILE* out_;
  std::size_t used_ = 0;
  unsigned char buffer_[16 * 1024];
};

}  // namespace brenvik
