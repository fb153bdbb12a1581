#include "image_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace

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
