#include "image_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace brenvik {

namespace {

class file_bytes final : public image_bytes {
 public:
  file_bytes(int descriptor, std::uint64_t size) : descriptor_(descriptor), size_(size) {}
  ~file_bytes() override { close(descriptor_); }
  file_bytes(const file_bytes&) = delete;
  file_bytes& operator=(const file_bytes&) = delete;

  std::uint64_t size() const override { return size_; }
  bool read(std::uint64_t offset, std::span<unsigned char> into) override {
    while (!into.empty()) {
      const ssize_t count =
          pread(descriptor_, into.data(), into.size(), static_cast<off_t>(offset));
      if (count <= 0) return false;
      into = into.subspan(static_cast<std::size_t>(count));
      offset += static_cast<std::uint64_t>(count);
    }
    return true;
  }

 private:
  int descriptor_;
  std::uint64_t size_;
};

class memory_bytes final : public image_bytes {
 public:
  explicit memory_bytes(std::span<const unsigned char> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool read(std::uint64_t offset, std::span<unsigned char> into) override {
    if (offset > bytes_.size() || into.size() > bytes_.size() - offset) return false;
    std::memcpy(into.data(), bytes_.data() + offset, into.size());
    return true;
  }

 private:
  std::span<const unsigned char> bytes_;
};

class owned_bytes final : public image_bytes {
 public:
  explicit owned_bytes(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool read(std::uint64_t offset, std::span<unsigned char> into) override {
    return memory_bytes(bytes_).read(offset, into);
  }

 private:
  std::vector<unsigned char> bytes_;
};

// Reads `descriptor` to its end, or to `most` bytes and one more; false on a read error.
bool read_stream(int descriptor, std::uint64_t most, std::vector<unsigned char>& bytes) {
  constexpr std::size_t piece = std::size_t{64} * 1024;
  while (bytes.size() <= most) {
    const std::size_t at = bytes.size();
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(piece, most + 1 - at));
    bytes.resize(at + want);
    const ssize_t count = ::read(descriptor, bytes.data() + at, want);
    if (count < 0 && errno == EINTR) {
      bytes.resize(at);
      continue;
    }
    bytes.resize(at + static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    if (count < 0) return false;
    if (count == 0) break;
  }
  return true;
}

}  // namespace

std::unique_ptr<image_bytes> open_image(const std::string& path, std::uint64_t most, int& error) {
  const bool standard_input = path == "-";
  const int descriptor = standard_input ? dup(0) : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  error = 0;
  if (descriptor < 0) {
    error = errno;
    return nullptr;
  }
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
    error = S_ISDIR(status.st_mode) ? EISDIR : errno;
    close(descriptor);
    return nullptr;
  }
  if (S_ISREG(status.st_mode) && !standard_input) {
    return std::make_unique<file_bytes>(descriptor, static_cast<std::uint64_t>(status.st_size));
  }
  // Standard input is read from where it stands, not from its start.
  std::vector<unsigned char> bytes;
  const bool read = read_stream(descriptor, most, bytes);
  error = read ? 0 : errno;
  close(descriptor);
  if (!read) return nullptr;
  return image_of(std::move(bytes));
}

std::unique_ptr<image_bytes> image_of(std::vector<unsigned char> bytes) {
  return std::make_unique<owned_bytes>(std::move(bytes));
}

std::unique_ptr<image_bytes> open_image_file(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    return nullptr;
  }
  return std::make_unique<file_bytes>(descriptor, static_cast<std::uint64_t>(status.st_size));
}

std::unique_ptr<image_bytes> image_on_descriptor(int descriptor) {
  struct stat status {};
  const int own = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (own < 0) return nullptr;
  if (fstat(own, &status) != 0) {
    close(own);
    return nullptr;
  }
  return std::make_unique<file_bytes>(own, static_cast<std::uint64_t>(status.st_size));
}

std::unique_ptr<image_bytes> image_in_memory(std::span<const unsigned char> bytes) {
  return std::make_unique<memory_bytes>(bytes);
}

}  // namespace brenvik
