#include "cli/conversion_run.h"

#include <sys/stat.h>

#include <string>

#include "image/decoder.h"
#include "messages.h"
#include "tokenize/tokenizer.h"

namespace brenvik {

namespace {

enum class outcome { converted, rejected, failed };

bool same_regular_file(const struct stat& a, const struct stat& b) {
  return S_ISREG(a.st_mode) && S_ISREG(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

class conversion_run {
 public:
  conversion_run(const run_options& options, FILE* std_in, FILE* std_out, FILE* err)
      : options_(options),
        std_in_(std_in),
        std_out_(std_out),
        err_(err),
        skip_count_(options.skip_count) {}

  int run() {
    bool rejected = false;
    if (options_.inputs.empty()) {
      // Standard input needs no switch to binary mode: POSIX streams are untranslated.
      const outcome result = convert(nullptr);
      if (result == outcome::failed) return exit_failure;
      rejected = result == outcome::rejected;
    }
    for (const std::string& input : options_.inputs) {
      const outcome result = convert(&input);
      if (result == outcome::failed) return exit_failure;
      rejected = rejected || result == outcome::rejected;
    }
    return rejected ? exit_failure : exit_success;
  }

 private:
  const char* program() const { return options_.program_name.c_str(); }

  // Opens a named input for reading; a directory opens on some systems but is no input.
  FILE* open_input(const std::string& name) const {
    FILE* input = std::fopen(name.c_str(), "rb");
    struct stat status {};
    if (input != nullptr && fstat(fileno(input), &status) == 0 && S_ISDIR(status.st_mode)) {
      std::fclose(input);
      input = nullptr;
    }
    if (input == nullptr) report(err_, message::cant_open_input, program(), name.c_str());
    return input;
  }

  // True when `output` is the same file as an input of the run (or standard input when
  // none is named), which opening the output for writing would empty before it is read.
  bool is_an_input(const struct stat& output) const {
    struct stat input {};
    if (options_.inputs.empty()) {
      const int descriptor = fileno(std_in_);
      return descriptor >= 0 && fstat(descriptor, &input) == 0 && same_regular_file(output, input);
    }
    for (const std::string& name : options_.inputs) {
      if (stat(name.c_str(), &input) == 0 && same_regular_file(output, input)) return true;
    }
    return false;
  }

  // Creates the named output under the overwrite guard.
  FILE* open_output(const std::string& name) const {
    struct stat status {};
    if (stat(name.c_str(), &status) == 0) {
      if (!options_.force_overwrite) {
        report(err_, message::output_exists, name.c_str());
        return nullptr;
      }
      if (is_an_input(status)) {
        report(err_, message::output_is_input, program(), name.c_str());
        return nullptr;
      }
    }
    FILE* output = std::fopen(name.c_str(), "wb");
    if (output == nullptr) report(err_, message::cant_open_output, program(), name.c_str());
    return output;
  }

  // One conversion: `input_name` null means standard input.
  outcome convert(const std::string* input_name) {
    FILE* input = input_name != nullptr ? open_input(*input_name) : std_in_;
    if (input == nullptr) return outcome::failed;
    const char* input_label = input_name != nullptr ? input_name->c_str() : message::standard_input;
    const auto close_input = [&] {
      if (input_name != nullptr) std::fclose(input);
    };

    for (; skip_count_ > 0; --skip_count_) {
      if (std::getc(input) == EOF) break;
    }
    skip_count_ = 0;  // the count belongs to the first input only
    if (std::ferror(input) != 0) {
      report(err_, message::read_error, program(), input_label);
      close_input();
      return outcome::failed;
    }

    FILE* output = std_out_;
    if (options_.output_name) output = open_output(*options_.output_name);
    if (output == nullptr) {
      close_input();
      return outcome::failed;
    }

    const int result =
        options_.text_mode
            ? tokenize_text(input, output, err_, options_.version, options_.load_address)
            : decode_image(input, output, err_, {.version = options_.version});

    const bool read_failed = std::ferror(input) != 0;
    close_input();
    bool write_failed = std::ferror(output) != 0;
    if (options_.output_name) {
      write_failed = (std::fclose(output) != 0) || write_failed;
    } else {
      write_failed = (std::fflush(output) != 0) || write_failed;
    }
    if (read_failed) report(err_, message::read_error, program(), input_label);
    if (write_failed) {
      report(err_, message::write_error, program(),
             options_.output_name ? options_.output_name->c_str() : message::standard_output);
    }
    if (read_failed || write_failed) return outcome::failed;
    return result < 0 ? outcome::rejected : outcome::converted;
  }

  const run_options& options_;
  FILE* std_in_;
  FILE* std_out_;
  FILE* err_;
  int skip_count_;
};

}  // namespace

int convert_inputs(const run_options& options, FILE* std_in, FILE* std_out, FILE* err) {
  return conversion_run(options, std_in, std_out, err).run();
}

}  // namespace brenvik
