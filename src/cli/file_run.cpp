#include "cli/file_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <string_view>

#include "cli/destination.h"
#include "disk/container.h"
#include "image/decoder.h"
#include "messages.h"
#include "tokenize/tokenizer.h"
#include "tokenize/typed.h"

namespace brenvik {

namespace {

// True when the file open on `descriptor` has the size of a flat disk image or begins with
// the bitstream signature.
bool looks_like_disk(int descriptor) {
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return false;
  if (status.st_size == disk::flat_size_5 || status.st_size == disk::flat_size_8) return true;
  char start[disk::bitstream_signature.size()];
  return pread(descriptor, start, sizeof start, 0) == static_cast<ssize_t>(sizeof start) &&
         disk::bitstream_signature == std::string_view(start, sizeof start);
}

// The output of the input `input_name` (null: standard input), refused after a message when
// another input of this run was written there.
output_claim output_of(const run_context& run, const std::string* input_name) {
  // Standard input never goes to a folder: the run refuses that before it starts.
  if (input_name == nullptr) return {.path = run.options.output_name};
  return run.claim_output(file_output_name(*input_name, run.options.text_mode ? ".tok" : ".bas"),
                          *input_name);
}

// Lists the image `input` (`input_name` null: standard input) to `out`. A rejected input
// that looks like a listing or a disk image gets a hint that says what to do with it.
int list_image(const run_context& run, FILE* input, const std::string* input_name, FILE* out) {
  const int first = std::getc(input);
  if (first != EOF) std::ungetc(first, input);
  bool refused_first_link = false;
  const int result =
      decode_image(input, out, run.err,
                   {.version = run.options.version, .load_address = run.options.load_address},
                   &refused_first_link);
  if (result >= 0) return result;
  const char* label = input_name != nullptr ? input_name->c_str() : message::standard_input;
  if (refused_first_link && (std::isdigit(first) != 0 || first == ' ' || first == '\t')) {
    report(run.err, message::image_looks_like_text, label);
  }
  if (input_name != nullptr && looks_like_disk(fileno(input))) {
    report(run.err, message::image_looks_like_disk, label, label);
  }
  return result;
}

// One conversion of a file: `input_name` null means standard input. `skip_count` bytes are
// discarded first and the count is used up.
outcome convert_file(const run_context& run, const std::string* input_name, int& skip_count) {
  const run_options& options = run.options;
  const output_claim output = output_of(run, input_name);
  if (output.refused) return outcome::rejected;
  FILE* input = input_name != nullptr ? run.open_input(*input_name) : run.std_in;
  if (input == nullptr) return outcome::failed;
  const char* label = input_name != nullptr ? input_name->c_str() : message::standard_input;
  const auto close_input = [&] {
    if (input_name != nullptr) std::fclose(input);
  };

  for (; skip_count > 0; --skip_count) {
    if (std::getc(input) == EOF) break;
  }
  skip_count = 0;
  bool read_failed = std::ferror(input) != 0;
  outcome refusal = outcome::failed;
  std::optional<destination> to;
  if (!read_failed) to = destination::open(run, output.path, refusal);
  if (!to) {
    if (read_failed) report(run.err, message::read_error, run.program(), label);
    close_input();
    return refusal;
  }

  int result = 0;
  const uint16_t load_address = options.load_address.value_or(own_load_address(options.version));
  if (options.typed) {
    const int version = options.version == no_version ? 0 : options.version;
    result = type_listing(input, to->stream(), run.err, version, load_address);
  } else if (options.text_mode) {
    result = tokenize_text(input, to->stream(), run.err, options.version, load_address, label);
  } else {
    result = list_image(run, input, input_name, to->stream());
  }
  read_failed = std::ferror(input) != 0;
  close_input();
  if (read_failed) report(run.err, message::read_error, run.program(), label);
  const outcome closed = to->close(run, read_failed, result < 0);
  if (closed != outcome::converted) return closed;
  return result < 0 ? outcome::rejected : outcome::converted;
}

}  // namespace

int convert_files(const run_context& run) {
  if (run.options.typed && run.options.version == no_version) {
    report(run.err, message::version_chosen, version_table[0].name);
  } else if (run.options.text_mode && run.options.version == no_version) {
    report(run.err, message::no_version_given);
  }
  int skip_count = run.options.skip_count;
  bool rejected = false;
  if (run.options.inputs.empty()) {
    // Standard input needs no switch to binary mode: POSIX streams are untranslated.
    const outcome result = convert_file(run, nullptr, skip_count);
    if (result == outcome::failed) return exit_failure;
    rejected = result == outcome::rejected;
  }
  for (const std::string& input : run.options.inputs) {
    const outcome result = convert_file(run, &input, skip_count);
    if (result == outcome::failed) return exit_failure;
    rejected = rejected || result == outcome::rejected;
  }
  return rejected ? exit_failure : exit_success;
}

}  // namespace brenvik
