#include "cli/open_words.h"

#include <cerrno>
#include <cstring>

#include "messages.h"

namespace brenvik {

std::string reason_for(int error) {
  if (error == EISDIR) return message::is_a_folder;
  return std::strerror(error);
}

void say_cant_open_input(FILE* err, const char* program, const std::string& name, int error) {
  report(err, message::cant_open_input, program, name.c_str());
  if (error != ENOENT && error != 0) {
    report(err, message::why_not_opened, name.c_str(), reason_for(error).c_str());
  }
  hint_late_option(err, name);
}

void say_cant_open_output(FILE* err, const char* program, const std::string& name, int error) {
  report(err, message::cant_open_output, program, name.c_str());
  if (error != ENOENT && error != 0) {
    report(err, message::why_not_opened, name.c_str(), reason_for(error).c_str());
  }
}

void hint_late_option(FILE* err, const std::string& name) {
  if (name.size() > 1 && name.starts_with('-')) {
    report(err, message::looks_like_option, name.c_str());
  }
}

}  // namespace brenvik
