// Streams for fuzz targets: input from the fuzzer's bytes, output into memory or nowhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace brenvik::fuzzing {

// A stream that discards what is written, opened once for the whole run.
inline FILE* discard() {
  static FILE* const sink = std::fopen("/dev/null", "wb");
  return sink;
}

// Reads `size` bytes at `data` (a stream over an empty buffer when size is 0).
class input_stream {
 public:
  input_stream(const uint8_t* data, std::size_t size)
      : bytes_(reinterpret_cast<const char*>(data), size),
        file_(fmemopen(bytes_.data(), bytes_.size(), "rb")) {}
  input_stream(const input_stream&) = delete;
  input_stream& operator=(const input_stream&) = delete;
  ~input_stream() { std::fclose(file_); }
  FILE* file() const { return file_; }

 private:
  std::string bytes_;
  FILE* file_;
};

// Collects what is written.
class output_stream {
 public:
  output_stream() : file_(open_memstream(&data_, &size_)) {}
  output_stream(const output_stream&) = delete;
  output_stream& operator=(const output_stream&) = delete;
  ~output_stream() {
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

}  // namespace brenvik::fuzzing
