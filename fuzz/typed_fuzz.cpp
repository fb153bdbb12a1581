// Typed listings over arbitrary input: the first byte picks the row (0-4), the rest is typed
// at the row's load address. Whatever is typed, the image holds only what the machine can
// hold: records in ascending line order up to 63999, links that fit, texts of 1 to 71 bytes
// without the keys that are never stored and without token codes beyond the row's list.
//
// Typing the listing of the image again gives the image again, except where the machine
// itself would not, which this target skips:
// - A listed line longer than 71 characters: typing it back cuts it. Keywords are listed in
//   full, so ? (listed as PRINT) and lines near the limit grow.
// - PRINT, which a ? becomes, listed right after letters that end a keyword with the P of
//   PRINT (spaces aside): typed back, STE and the P are STEP, and on row 2 TRA and the P are
//   TRAP.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "image/decoder.h"
#include "input_limit.h"
#include "memory_streams.h"
#include "tokenize/typed.h"

namespace {

using brenvik::testing::discard;
using brenvik::testing::memory_input;
using brenvik::testing::memory_output;

struct typed {
  int result;
  std::string image;
};

typed type(const std::string& text, int version, uint16_t load_address) {
  memory_input in(text);
  memory_output out;
  const int result = brenvik::type_listing(in.file(), out.file(), discard(), version, load_address);
  return {result, out.bytes()};
}

[[noreturn]] void fail(const char* what, const std::string& a, const std::string& b = "") {
  std::fprintf(stderr, "typed listing: %s\n", what);
  for (const std::string* bytes : {&a, &b}) {
    for (const char c : *bytes)
      std::fprintf(stderr, "%02X ", static_cast<unsigned char>(c));
    std::fprintf(stderr, "\n");
  }
  __builtin_trap();
}

// Checks what the machine can hold, record by record.
void check_records(const std::string& image, int version, unsigned load_address) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned>(image[at] & 0xFF); };
  const auto& row = brenvik::version_table[static_cast<std::size_t>(version)];
  const unsigned last_token = brenvik::first_token + static_cast<unsigned>(row.keyword_count) - 1;
  if (image.size() < 3 || byte(0) != 0) fail("no lead byte", image);
  std::size_t at = 1;
  long previous = -1;
  for (;;) {
    if (at + 2 > image.size()) fail("no end marker", image);
    const unsigned link = byte(at) | byte(at + 1) << 8u;
    if (link == 0) break;
    const std::size_t end = image.find('\0', at + 4);
    if (end == std::string::npos) fail("a record without its end", image);
    const unsigned number = byte(at + 2) | byte(at + 3) << 8u;
    const std::size_t length = end - (at + 4);
    if (link != load_address + end + 1) fail("a wrong link", image);
    if (static_cast<long>(number) <= previous || number > 63999) fail("a wrong number", image);
    if (length == 0 || length > 71) fail("a text of a wrong length", image);
    for (std::size_t i = at + 4; i < end; ++i) {
      const unsigned c = byte(i);
      const bool never_stored = (c < ' ' && c != 0x07) || c == '@' || c == '_' || c == '}' ||
                                c == '~' || c == 0x7F || (version != 0 && c == '[');
      if (never_stored || c > last_token) fail("a byte the machine never stores", image);
    }
    previous = number;
    at = end + 1;
  }
  if (at + 2 != image.size()) fail("bytes after the end marker", image);
}

// True when typing `listing` back would not give its image again on the machine either.
bool machine_would_differ(const std::string& listing, int version) {
  std::size_t start = 0;
  while (start < listing.size()) {
    std::size_t end = listing.find("\r\n", start);
    if (end == std::string::npos) end = listing.size();
    if (end - start > 71) return true;
    start = end + 2;
  }
  std::string letters = listing;
  std::erase(letters, ' ');
  for (const std::string_view keyword :
       brenvik::version_table[static_cast<std::size_t>(version)].keywords) {
    if (keyword.size() < 2 || keyword.back() != 'P') continue;
    const std::string joined = std::string(keyword.substr(0, keyword.size() - 1)) + "PRINT";
    if (letters.find(joined) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0 || size > brenvik::fuzzing::input_limit) return 0;
  const int version = data[0] % (brenvik::last_typed_version + 1);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const uint16_t load_address =
      brenvik::version_table[static_cast<std::size_t>(version)].load_address;

  // A program typed from 4 KiB of input never reaches $FFFF from a row's load address.
  const typed first = type(text, version, load_address);
  if (first.result != 0) fail("the program was refused", first.image);
  check_records(first.image, version, load_address);

  memory_output listing, messages;
  if (brenvik::decode_image(
          std::span(reinterpret_cast<const unsigned char*>(first.image.data()), first.image.size()),
          listing.file(), messages.file(), {.version = version}) != 0 ||
      !messages.bytes().empty()) {
    fail("the image does not list", first.image, messages.bytes());
  }
  if (machine_would_differ(listing.bytes(), version)) return 0;
  const typed second = type(listing.bytes(), version, load_address);
  if (second.result != 0 || second.image != first.image) {
    fail("typing the listing back gives another program", first.image, second.image);
  }
  return 0;
}
