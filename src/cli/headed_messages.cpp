#include "cli/headed_messages.h"

namespace brenvik {

headed_messages::headed_messages(FILE* err, std::string heading)
    : err_(err), heading_(std::move(heading)) {
  if (heading_.empty()) return;
  stream_ =
      fopencookie(this, "w", {.read = nullptr, .write = write, .seek = nullptr, .close = nullptr});
  if (stream_ != nullptr) std::setvbuf(stream_, nullptr, _IONBF, 0);
}

headed_messages::~headed_messages() {
  if (stream_ != nullptr) std::fclose(stream_);
}

ssize_t headed_messages::write(void* cookie, const char* bytes, size_t size) {
  auto& self = *static_cast<headed_messages*>(cookie);
  if (!self.heading_.empty()) {
    std::fwrite(self.heading_.data(), 1, self.heading_.size(), self.err_);
    self.heading_.clear();
  }
  return static_cast<ssize_t>(std::fwrite(bytes, 1, size, self.err_));
}

}  // namespace brenvik
