// Messages about one input or entry in a run over many: the first is preceded by a line that
// names what they are about, so that every warning of a long run can be traced.
#pragma once

#include <cstdio>
#include <string>

namespace brenvik {

class headed_messages {
 public:
  // Messages written to stream() go to `err` unbuffered, in order with everything else
  // written there; `heading` (a whole line) goes first, once, when the first byte does.
  // An empty heading passes the messages on as they are.
  headed_messages(FILE* err, std::string heading);
  ~headed_messages();
  headed_messages(const headed_messages&) = delete;
  headed_messages& operator=(const headed_messages&) = delete;

  FILE* stream() const { return stream_ != nullptr ? stream_ : err_; }

 private:
  static ssize_t write(void* cookie, const char* bytes, size_t size);

  FILE* err_;
  std::string heading_;
  FILE* stream_ = nullptr;
};

}  // namespace brenvik
