// In-memory streams, so that tests drive the converters without files.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

namespace brenvik::testing {

// A stream to write to, whose bytes the test reads back.
class memory_output {
 public:
  memory_output() : file_(open_memstream(&data_, &size_)) {}
  memory_output(const memory_output&) = delete;
  memory_output& operator=(const memory_output&) = delete;
  ~memory_output() {
    std::fclose(file_);
    std::free(data_);
  }
  FILE* file() const { return file_; }
  std::string bytes() const {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  FILE* file_;
};

// A stream that reads the given bytes.
class memory_input {
 public:
  explicit memory_input(std::string bytes)
      : bytes_(std::move(bytes)), file_(fmemopen(bytes_.data(), bytes_.size(), "rb")) {}
  memory_input(const memory_input&) = delete;
  memory_input& operator=(const memory_input&) = delete;
  ~memory_input() { std::fclose(file_); }
  FILE* file() const { return file_; }

 private:
  std::string bytes_;
  FILE* file_;
};

// A stream that discards what is written, opened once for the whole process.
inline FILE* discard() {
  static FILE* const sink = std::fopen("/dev/null", "wb");
  return sink;
}

// Bytes from a list of values, for images written out by hand: bytes({0x00, 0x07, 0x03}).
inline std::string bytes(std::initializer_list<int> values) {
  std::string result;
  for (const int value : values)
    result += static_cast<char>(value);
  return result;
}

}  // namespace brenvik::testing
