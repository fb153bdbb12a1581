// Round trip: tokenize a text with a version at that version's load address, list the
// image with the same version, tokenize the listing again. Every link of the image must lie
// within its record's reach, the listing must not be rejected, and the two images must be
// identical, byte for byte.
//
// Inputs outside this invariant, and why; only these are skipped:
// - Bytes 80-FF in the text. They are stored unchanged and read back as token codes, so
//   the listing holds keywords (or nothing, beyond the version's list) where the text held
//   single bytes.
// - A line whose tokenized text exceeds 250 bytes, or a program that would run past
//   address $FFFF. The tokenizer rejects the input.
// The first byte of the input picks the version (0-6); the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "catalogue/catalogue.h"
#include "image/decoder.h"
#include "image/image_format.h"
#include "input_limit.h"
#include "memory_streams.h"
#include "tokenize/tokenizer.h"

namespace {

using brenvik::testing::discard;
using brenvik::testing::memory_input;
using brenvik::testing::memory_output;

struct tokenized {
  int result;
  std::string image;
};

tokenized tokenize(const std::string& text, int version, uint16_t load_address) {
  memory_input in(text);
  memory_output out;
  const int result =
      brenvik::tokenize_text(in.file(), out.file(), discard(), version, load_address);
  return {result, out.bytes()};
}

[[noreturn]] void fail(const char* what, const std::string& a, const std::string& b) {
  std::fprintf(stderr, "round trip broken: %s\n", what);
  for (const std::string* bytes : {&a, &b}) {
    for (const char c : *bytes)
      std::fprintf(stderr, "%02X ", static_cast<unsigned char>(c));
    std::fprintf(stderr, "\n");
  }
  __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0 || size > brenvik::fuzzing::input_limit) return 0;
  const int version = data[0] % brenvik::version_count;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return 0;
  }
  const uint16_t load_address =
      brenvik::version_table[static_cast<std::size_t>(version)].load_address;

  const tokenized first = tokenize(text, version, load_address);
  if (first.result != 0) return 0;
  // Every record the tokenizer writes has its link within a record's reach.
  const brenvik::image::chain_walk walk = brenvik::image::follow_chain(
      {reinterpret_cast<const unsigned char*>(first.image.data()), first.image.size()}, 1,
      load_address + 1u);
  if (walk.result != brenvik::image::chain_walk::complete || walk.end != first.image.size())
    fail("a link out of a record's reach", first.image, "");

  memory_input image(first.image);
  memory_output listing, messages;
  if (brenvik::decode_image(image.file(), listing.file(), messages.file(), {.version = version}) !=
      0) {
    fail("the listing was rejected", first.image, messages.bytes());
  }
  if (!messages.bytes().empty()) fail("the listing has messages", first.image, messages.bytes());

  const tokenized second = tokenize(listing.bytes(), version, load_address);
  if (second.result != 0 || second.image != first.image) {
    fail("the images differ", first.image, second.image);
  }
  return 0;
}
