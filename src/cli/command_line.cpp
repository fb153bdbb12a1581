#include "cli/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "messages.h"
#include "tokenize/typed.h"

namespace brenvik {

namespace {

void print_usage(FILE* err, const std::string& program_name) {
  report(err, message::usage_synopsis, program_name.c_str());
  report(err, message::usage_options);
  report(err, message::usage_versions);
  report(err, message::usage_examples);
}

// Reads a hexadecimal value: optional white space, sign and 0x, then at least one digit;
// the rest of the text is ignored. The value is taken as a 32-bit number, of which the
// caller keeps the low 16 bits.
std::optional<uint32_t> read_hex(const char* text) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 16);
  if (end == text) return std::nullopt;
  return static_cast<uint32_t>(value);
}

// Reads a decimal number as the standard conversion to int does: no digits give 0.
int read_decimal(const char* text) {
  return static_cast<int>(std::strtol(text, nullptr, 10));
}

// Reads a version number: an optional sign and decimal digits, nothing else, 0 to 6.
std::optional<int> read_version(std::string_view text) {
  const bool negative = text.starts_with('-');
  if (negative || text.starts_with('+')) text.remove_prefix(1);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));
  if (text.size() > 1) return std::nullopt;  // 10 or more
  const int value = text[0] - '0';
  if (negative && value != 0) return std::nullopt;
  return is_version(value) ? std::optional(value) : std::nullopt;
}

std::string name_after_backslash(const char* invocation) {
  const std::string_view name = invocation != nullptr ? invocation : "";
  const std::size_t slash = name.rfind('\\');
  return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

// Walks the arguments, one option at a time, into a parse_result.
class parser {
 public:
  parser(int argc, const char* const* argv, FILE* out, FILE* err)
      : argc_(argc), argv_(argv), out_(out), err_(err) {
    options().program_name = name_after_backslash(argc > 0 ? argv[0] : nullptr);
  }

  parse_result parse() {
    int i = 1;
    for (; i < argc_; ++i) {
      const std::string_view option = argv_[i];
      if (!option.starts_with('-')) break;
      if (option == "--") {
        ++i;
        break;
      }
      if (!take_option(i)) return result_;
    }
    options().inputs = raw_names_;
    options().inputs.insert(options().inputs.end(), argv_ + i, argv_ + argc_);
    if (!check_combination()) return result_;
    settle_load_address();
    result_.run = true;
    return result_;
  }

 private:
  run_options& options() { return result_.options; }
  const char* program() { return options().program_name.c_str(); }

  // The value after argument `i`, if there is one.
  const char* value_after(int i) const { return i + 1 < argc_ ? argv_[i + 1] : nullptr; }

  // Takes the option at argument `i` (and its value, moving `i` past it). Options are tested
  // in a fixed order; the first that fits decides. False when parsing ends here.
  bool take_option(int& i) {
    const char* arg = argv_[i];
    const std::string_view option = arg;
    const char* value = value_after(i);
    if (option == "--help") {
      print_usage(out_, options().program_name);
      return stop_after_listing();
    }
    if (option == "--version") {
      report(out_, message::version, BRENVIK_VERSION);
      return stop_after_listing();
    }
    if (option == "-l" && value != nullptr) {
      if (const auto address = read_hex(value)) {
        given_load_address_ = address;
        ++i;
        return true;
      }
    }
    if (option == "-f") return set(options().force_overwrite);
    if (option == "-o") {
      if (value != nullptr) {
        options().output_name = value;
        ++i;
        return true;
      }
      // Without a name, "-o" goes on to the tests below and ends as an unknown command.
      report(err_, message::output_name_missing);
    }
    if (option == "-skip" || option == "-offset") return take_skip(value, i);
    if (option == "-disk") {
      if (value == nullptr) return usage_error(message::disk_name_missing);
      options().disk_name = value;
      ++i;
      return true;
    }
    if (option == "-json") return set(options().json);
    if (option == "-delete") return take_operation(disk_operation::remove, i);
    if (option == "-rename") return take_operation(disk_operation::rename, i);
    if (option == "-put") return take_operation(disk_operation::put, i);
    if (option == "-raw") {
      options().raw = true;
      while (value_after(i) != nullptr && value_after(i)[0] != '-')
        raw_names_.emplace_back(argv_[++i]);
      return true;
    }
    if (option == "-check") return set(options().check);
    if (option == "-blank") {
      if (value == nullptr) return usage_error(message::blank_name_missing);
      options().blank_name = value;
      ++i;
      return true;
    }
    if (option == "-size") {
      const std::string_view size = value != nullptr ? value : "";
      if (size != "8" && size != "5" && size != "5.25") return usage_error(message::bad_size);
      options().eight_inch = size == "8";
      size_given_ = true;
      ++i;
      return true;
    }
    if (option == "-form") {
      const std::string_view form = value != nullptr ? value : "";
      if (form != "flat" && form != "bitstream") return usage_error(message::bad_form);
      options().form = form == "flat" ? disk_form::flat : disk_form::bitstream;
      ++i;
      return true;
    }
    if (option == "-memory") {
      if (value == nullptr) return usage_error(message::memory_name_missing);
      options().memory_name = value;
      ++i;
      return true;
    }
    if (option == "-text" || option == "-t") return set(options().text_mode);
    if (option == "-typed") {
      options().typed = true;
      return set(options().text_mode);
    }
    if (option.size() >= 2 && (option[1] == 'h' || option[1] == 'H')) {
      return usage_error(message::banner);
    }
    if (option.starts_with("-w")) {
      const std::optional<int> version = read_version(option.substr(2));
      if (!version) return usage_error(message::invalid_version);
      options().version = *version;
      return true;
    }
    if (option.starts_with("-k")) {
      if (option.size() > 2) {
        list_keywords(read_decimal(arg + 2), out_, err_);
      } else {
        list_versions(err_);
      }
      return stop_after_listing();
    }
    report(err_, message::unknown_command, arg);
    return usage_error(nullptr);
  }

  bool set(bool& flag) {
    flag = true;
    return true;
  }

  // -delete NAME..., -rename OLD=NEW..., -put NAME=FILE...: at least one value, and every
  // argument after it up to the next option.
  bool take_operation(disk_operation::kind_t kind, int& i) {
    int taken = 0;
    while (value_after(i) != nullptr && (taken == 0 || value_after(i)[0] != '-')) {
      const std::string value = argv_[++i];
      ++taken;
      if (kind == disk_operation::remove) {
        options().operations.push_back({kind, value, {}});
        continue;
      }
      const std::size_t equals = value.find('=');
      if (equals == std::string::npos || equals == 0 || equals + 1 == value.size()) {
        report(err_, message::operation_needs_pair, argv_[i - taken],
               kind == disk_operation::rename ? "OLD=NEW" : "NAME=FILE", value.c_str());
        return usage_error(nullptr);
      }
      options().operations.push_back({kind, value.substr(0, equals), value.substr(equals + 1)});
    }
    if (taken == 0) return usage_error(message::operation_needs_names);
    return true;
  }

  // -skip and -offset: a bad or missing value prints the usage text alone.
  bool take_skip(const char* value, int& i) {
    const auto count = value != nullptr ? read_hex(value) : std::nullopt;
    if (!count) return usage_error(nullptr);
    options().skip_count = static_cast<int16_t>(static_cast<uint16_t>(*count));
    skip_given_ = true;
    ++i;
    return true;
  }

  // The disk workshop's options, once all are read.
  bool check_workshop() {
    const run_options& o = options();
    if (o.blank_name) {
      if (o.disk_name || o.memory_name || o.text_mode || o.raw || o.check || o.json ||
          !o.operations.empty() || !o.inputs.empty() || o.output_name) {
        return usage_error(message::blank_alone);
      }
      return true;
    }
    if (size_given_) return usage_error(message::size_with_blank);
    const bool changes = !o.operations.empty() || o.form != disk_form::as_read;
    if ((changes || o.raw || o.check) && !o.disk_name) {
      return usage_error(message::workshop_needs_disk);
    }
    if (changes && !o.output_name) return usage_error(message::disk_output_missing);
    if (o.raw && (o.text_mode || o.json || o.check || changes)) {
      return usage_error(message::raw_alone);
    }
    if (o.check && (o.text_mode || changes || !o.inputs.empty() || o.output_name)) {
      return usage_error(message::check_alone);
    }
    return true;
  }

  // Options that cannot go together, once all are read.
  bool check_combination() {
    if (!check_workshop()) return false;
    if (options().typed && options().version > last_typed_version) {
      report(err_, message::typed_version_unknown, options().version);
      return usage_error(nullptr);
    }
    if (options().json && !options().check &&
        (!options().disk_name || options().text_mode || !options().inputs.empty())) {
      return usage_error(message::json_needs_disk);
    }
    if (options().memory_name) {
      if (options().disk_name) return usage_error(message::memory_with_disk);
      if (options().text_mode) return usage_error(message::memory_text_mode);
      if (!options().inputs.empty()) return usage_error(message::memory_with_inputs);
      if (skip_given_) options().memory_offset = static_cast<uint16_t>(options().skip_count);
      return true;
    }
    if (!options().disk_name) return true;
    if (skip_given_) return usage_error(message::skip_with_disk);
    if (options().text_mode && !options().output_name) {
      return usage_error(message::disk_output_missing);
    }
    return true;
  }

  // "-l 0" with a version chosen means that version's own address.
  void settle_load_address() {
    if (!given_load_address_) return;
    const auto address = static_cast<uint16_t>(*given_load_address_);
    options().load_address = address == 0 && is_version(options().version)
                                 ? own_load_address(options().version)
                                 : address;
  }

  // Writes `message` (when not null) and the usage text; parsing ends with status 1.
  bool usage_error(const char* message) {
    if (message != nullptr) report(err_, "%s", message);
    print_usage(err_, options().program_name);
    result_.exit_status = exit_failure;
    return false;
  }

  // Ends parsing after a listing; a listing that could not be written is a failure, on
  // standard error (the versions list) as on standard output.
  bool stop_after_listing() {
    if (std::fflush(out_) != 0 || std::ferror(out_) != 0) {
      report(err_, message::write_error, program(), message::standard_output);
      result_.exit_status = exit_failure;
    } else {
      result_.exit_status =
          std::fflush(err_) != 0 || std::ferror(err_) != 0 ? exit_failure : exit_success;
    }
    return false;
  }

  const int argc_;
  const char* const* argv_;
  FILE* out_;
  FILE* err_;
  parse_result result_;
  std::optional<uint32_t> given_load_address_;
  bool skip_given_ = false;
  bool size_given_ = false;
  std::vector<std::string> raw_names_;
};

}  // namespace

parse_result parse_command_line(int argc, const char* const* argv, FILE* out, FILE* err) {
  return parser(argc, argv, out, err).parse();
}

}  // namespace brenvik
