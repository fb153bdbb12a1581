// The tokenized program image: a byte-for-byte copy of a BASIC program area as the machine
// holds it in memory, starting at the version's load address.
//
//   lead byte 00 (at the load address)
//   line records, the first at load address + 1:
//     link        2 bytes, little-endian: memory address of the next record
//     line number 2 bytes, little-endian
//     text        n bytes: 01-7F characters, 80-FF token codes
//     terminator  00
//   end marker 00 00 (a link of zero)
//
// A record of n text bytes at address A links to A + n + 5. Addresses wrap modulo 65536.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace brenvik::image {

inline constexpr unsigned char lead_byte = 0x00;
inline constexpr unsigned char terminator = 0x00;
inline constexpr unsigned end_link = 0;  // the link value of the end marker

// Link, line number and terminator around the text of a record.
inline constexpr unsigned record_overhead = 5;

// A record's link lies at most this many bytes above the record's own address, which limits
// a record's text to max_text_bytes.
inline constexpr unsigned link_window = 255;
inline constexpr unsigned max_text_bytes = link_window - record_overhead;

// Two rules for the link of a record at address `record`, both compared without wrapping,
// so that a record near $FFFF never reaches a link by wrapping round.
//
// The listing's window: from the record's own address up to 255 bytes on. The decoder reads
// what the bytes say within it, a link that leaves no room for the record's link, number
// and terminator (0 to 4 bytes on) included: the line then ends where the link says.
constexpr bool link_within_window(unsigned link, unsigned record) {
  return link >= record && link <= record + link_window;
}
// A record's reach: 5 to 255 bytes on, room for the record's own link, number and terminator
// and at most 250 bytes of text. Where brenvik itself decides whether bytes are a program
// (disks, directory slots, memory images), and for the records the tokenizers write.
constexpr bool link_within_reach(unsigned link, unsigned record) {
  return link >= record + record_overhead && link <= record + link_window;
}

// The little-endian 16-bit number at `bytes`.
constexpr unsigned word_at(const unsigned char* bytes) {
  return static_cast<unsigned>(bytes[0]) | static_cast<unsigned>(bytes[1]) << 8;
}

// Where a chain of line links leads, followed through the bytes at hand.
struct chain_walk {
  enum result_t {
    complete,  // it ends in the end marker: `end` is the index just past it
    broken,    // the record at address `record` (index `end`) links to `link`, out of reach
    cut        // the bytes end first: `end` is the index of the link that is missing
  } result = cut;
  std::size_t end = 0;
  unsigned record = 0;
  unsigned link = 0;
  int lines = 0;  // records passed before the end marker or the break
};

// Follows the chain whose first record is `bytes[at]`, at memory address `address`: each link
// must be within reach of its record (link_within_reach), and a link of zero ends the chain.
constexpr chain_walk follow_chain(std::span<const unsigned char> bytes, std::size_t at,
                                  unsigned address) {
  chain_walk walk;
  for (;;) {
    walk.end = at;
    if (bytes.size() < 2 || at > bytes.size() - 2) {
      walk.result = chain_walk::cut;
      return walk;
    }
    const unsigned link = word_at(bytes.data() + at);
    if (link == end_link) {
      walk.result = chain_walk::complete;
      walk.end = at + 2;
      return walk;
    }
    if (!link_within_reach(link, address)) {
      walk.result = chain_walk::broken;
      walk.record = address;
      walk.link = link;
      return walk;
    }
    ++walk.lines;
    at += link - address;
    address = link;
  }
}

constexpr unsigned char low_byte(unsigned value) {
  return static_cast<unsigned char>(value);
}
constexpr unsigned char high_byte(unsigned value) {
  return static_cast<unsigned char>(value >> 8);
}

}  // namespace brenvik::image
