// Every message the tool writes to the standard error stream, and its exit statuses.
//
// Texts end in "\r\n" whatever the host's line convention, because the tool's listings and
// messages have always been written that way and scripts compare them byte for byte.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace brenvik {

enum exit_status : int {
  exit_success = 0,  // a run whose inputs were all converted, or a listing
  exit_failure = 1,  // usage, help, a file error, a rejected input
};

namespace message {

// Command line.
inline constexpr char banner[] = "\r\nOSI BASIC (De)Tokenizer.\r\n";
inline constexpr char output_name_missing[] = "\r\nOutput filename missing\r\n";
inline constexpr char invalid_version[] = "Invalid version specified\r\n";
inline constexpr char unknown_command[] = "Unknown command %s\r\n";  // argument

// Conversion run; the first argument of most is the program name.
inline constexpr char cant_open_input[] = "\r\n%s: Can't open file %s\r\n";
inline constexpr char output_exists[] = "Output file %s exists! Use -f to force overwrite.\r\n";
inline constexpr char cant_open_output[] = "\r\n%s: Can't open output file %s\r\n";
inline constexpr char output_is_input[] = "\r\n%s: Output file %s is also an input\r\n";
inline constexpr char read_error[] = "\r\n%s: Error reading %s\r\n";
inline constexpr char write_error[] = "\r\n%s: Error writing %s\r\n";
inline constexpr char standard_input[] = "standard input";
inline constexpr char standard_output[] = "standard output";

// Image decoder.
inline constexpr char version_chosen[] = "BASIC version not specified, so I chose %s\r\n";
inline constexpr char version_not_detected[] =
    "Can't detect the BASIC version from line link $%04X, use -w<version>\r\n";
inline constexpr char invalid_link[] = "invalid basic offset encountered $%04X\r\n";
inline constexpr char unexpected_null[] =
    "\r\nUnexpected NULL encountered in line %d (offset %d)\r\n";

// Line tokenizer.
inline constexpr char line_too_long[] =
    "Line %d is too long (%zu bytes tokenized, at most 250)\r\n";

}  // namespace message

// Writes one message to `stream`: `format` is one of the texts above.
[[gnu::format(printf, 2, 3)]] inline void report(FILE* stream, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stream, format, arguments);
  va_end(arguments);
}

}  // namespace brenvik
