#include "cli/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "messages.h"

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

bool starts_with(const char* text, std::string_view prefix) {
  return std::string_view(text).starts_with(prefix);
}

parse_result stop(int status) {
  return parse_result{false, status, {}};
}

// Ends the run after a listing; a listing that could not be written is a failure.
// Ends the run after a listing; a listing that could not be written is a failure, on
// standard error (the versions list) as on standard output.
parse_result stop_after_listing(const std::string& program_name, FILE* out, FILE* err) {
  if (std::fflush(out) != 0 || std::ferror(out) != 0) {
    report(err, message::write_error, program_name.c_str(), message::standard_output);
    return stop(exit_failure);
  }
  return stop(std::fflush(err) != 0 || std::ferror(err) != 0 ? exit_failure : exit_success);
}

}  // namespace

parse_result parse_command_line(int argc, const char* const* argv, FILE* out, FILE* err) {
  parse_result result;
  run_options& options = result.options;
  options.program_name = name_after_backslash(argc > 0 ? argv[0] : nullptr);
  std::optional<uint32_t> given_load_address;
  bool skip_given = false;

  int i = 1;
  for (; i < argc; ++i) {
    const char* arg = argv[i];
    const std::string_view option = arg;
    const bool has_value = i + 1 < argc;
    if (!option.starts_with('-')) break;
    if (option == "--") {
      ++i;
      break;
    }
    if (option == "--help") {
      print_usage(out, options.program_name);
      return stop_after_listing(options.program_name, out, err);
    }
    if (option == "--version") {
      report(out, message::version, BRENVIK_VERSION);
      return stop_after_listing(options.program_name, out, err);
    }
    if (option == "-l" && has_value) {
      if (auto value = read_hex(argv[i + 1])) {
        given_load_address = value;
        ++i;
        continue;
      }
    }
    if (option == "-f") {
      options.force_overwrite = true;
      continue;
    }
    if (option == "-o") {
      if (has_value) {
        options.output_name = argv[++i];
        continue;
      }
      // Without a name, "-o" goes on to the tests below and ends as an unknown command.
      report(err, message::output_name_missing);
    }
    if (option == "-skip" || option == "-offset") {
      const auto value = has_value ? read_hex(argv[i + 1]) : std::nullopt;
      if (!value) {
        print_usage(err, options.program_name);
        return stop(exit_failure);
      }
      options.skip_count = static_cast<int16_t>(static_cast<uint16_t>(*value));
      skip_given = true;
      ++i;
      continue;
    }
    if (option == "-disk") {
      if (!has_value) {
        report(err, message::disk_name_missing);
        print_usage(err, options.program_name);
        return stop(exit_failure);
      }
      options.disk_name = argv[++i];
      continue;
    }
    if (option == "-text" || option == "-t") {
      options.text_mode = true;
      continue;
    }
    if (option.size() >= 2 && (option[1] == 'h' || option[1] == 'H')) {
      report(err, message::banner);
      print_usage(err, options.program_name);
      return stop(exit_failure);
    }
    if (starts_with(arg, "-w")) {
      const std::optional<int> version = read_version(option.substr(2));
      if (!version) {
        report(err, message::invalid_version);
        print_usage(err, options.program_name);
        return stop(exit_failure);
      }
      options.version = *version;
      continue;
    }
    if (starts_with(arg, "-k")) {
      if (arg[2] != '\0') {
        list_keywords(read_decimal(arg + 2), out, err);
      } else {
        list_versions(err);
      }
      return stop_after_listing(options.program_name, out, err);
    }
    report(err, message::unknown_command, arg);
    print_usage(err, options.program_name);
    return stop(exit_failure);
  }
  options.inputs.assign(argv + i, argv + argc);
  if (options.disk_name && (skip_given || (options.text_mode && !options.output_name))) {
    report(err, skip_given ? message::skip_with_disk : message::disk_output_missing);
    print_usage(err, options.program_name);
    return stop(exit_failure);
  }

  // A load address of 0 (or none given) means the chosen version's own.
  const uint16_t default_address =
      version_table[static_cast<std::size_t>(is_version(options.version) ? options.version : 0)]
          .load_address;
  options.load_address_given = given_load_address.has_value();
  if (!given_load_address) {
    options.load_address = default_address;
  } else {
    options.load_address = static_cast<uint16_t>(*given_load_address);
    if (options.load_address == 0 && is_version(options.version)) {
      options.load_address = default_address;
    }
  }
  result.run = true;
  return result;
}

}  // namespace brenvik
