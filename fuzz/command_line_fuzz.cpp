// The command line over arbitrary argument vectors (zero bytes separate the arguments):
// parsing, usage and the -k listings only; no file is opened.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "input_limit.h"
#include "memory_streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > brenvik::fuzzing::input_limit) return 0;
  std::vector<std::string> words(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.emplace_back();
    } else {
      words.back() += static_cast<char>(data[i]);
    }
  }
  std::vector<const char*> argv(words.size() + 1, nullptr);
  std::transform(words.begin(), words.end(), argv.begin(), [](auto& w) { return w.c_str(); });
  const brenvik::parse_result result =
      brenvik::parse_command_line(static_cast<int>(words.size()), argv.data(),
                                  brenvik::testing::discard(), brenvik::testing::discard());
  if (!result.run && result.exit_status != 0 && result.exit_status != 1) __builtin_trap();
  if (result.run && !brenvik::is_version(result.options.version) &&
      result.options.version != brenvik::no_version) {
    __builtin_trap();
  }
  return 0;
}
