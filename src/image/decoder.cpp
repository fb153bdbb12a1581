#include "image/decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "byte_io.h"
#include "image/image_format.h"
#include "messages.h"

namespace brenvik {

namespace {

// Keyword texts padded to eight bytes, so that one fixed-size copy writes any of them;
// codes beyond a version's list have length 0 and write nothing.
struct padded_keyword {
  std::array<char, 8> text;
  std::size_t length;
};
using padded_list = std::array<padded_keyword, 128>;

constexpr std::array<padded_list, version_count> padded_keywords = [] {
  std::array<padded_list, version_count> table{};
  for (std::size_t row = 0; row < version_count; ++row) {
    const keyword_list keywords = version_table[row].keywords;
    for (std::size_t position = 0; position < keywords.size(); ++position) {
      padded_keyword& padded = table[row][position];
      padded.length = keywords[position].size();
      for (std::size_t i = 0; i < padded.length; ++i)
        padded.text[i] = keywords[position][i];
    }
  }
  return table;
}();

// No input byte writes more than this: a keyword, or "\r\n", or a line number and its space
// for the four bytes of a record's link and number.
constexpr std::size_t most_output_per_byte = 7;
static_assert([] {
  for (const padded_list& list : padded_keywords)
    for (const padded_keyword& keyword : list)
      if (keyword.length > most_output_per_byte) return false;
  return true;
}());

// The highest address of the machine's memory: a program must end at or below it.
constexpr unsigned top_of_memory = 0xFFFF;

// Every byte's low bit, and every byte's high bit: for testing eight bytes at once.
constexpr uint64_t low_bits = 0x0101010101010101;
constexpr uint64_t high_bits = 0x8080808080808080;

// The decimal digits of 0-9999, four characters each with leading zeros: a line number is
// written with one or two look-ups.
constexpr std::size_t four_digit_numbers = 10000;
constexpr std::array<char, 4 * four_digit_numbers> four_digits = [] {
  std::array<char, 4 * four_digit_numbers> table{};
  for (std::size_t i = 0; i < four_digit_numbers; ++i) {
    table[4 * i] = static_cast<char>('0' + i / 1000);
    table[4 * i + 1] = static_cast<char>('0' + i / 100 % 10);
    table[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
    table[4 * i + 3] = static_cast<char>('0' + i % 10);
  }
  return table;
}();

// Writes a line number (0-65535) in decimal at `out` and returns the cursor after it. Up to
// three bytes after the number may be written too.
unsigned char* write_decimal(unsigned char* out, unsigned value) {
  if (value >= 10000) {
    const unsigned high = value / 10000;
    *out++ = static_cast<unsigned char>('0' + high);
    std::memcpy(out, &four_digits[std::size_t{4} * (value - high * 10000)], 4);
    return out + 4;
  }
  const std::size_t digits = value >= 1000 ? 4 : value >= 100 ? 3 : value >= 10 ? 2 : 1;
  // The entry's last `digits` characters, and the next entry's first ones (9999, the last
  // entry, has four digits).
  std::memcpy(out, &four_digits[std::size_t{4} * value + 4 - digits], 4);
  return out + digits;
}

// The verdict on a complete line link, and the version and position counter to go on with.
struct link_verdict {
  enum kind_t : uint8_t { next_record, end_of_program, past_top, outside_window, no_row_fits } kind;
  int version;
  uint16_t position;
};

// Checks the link of a record, `position` being the position counter when its high byte was
// read. Without a version, the first row (whose load address is `detect_at`, or any row)
// whose program area holds the link is detected, and the position counter, counted from 0
// until then, moves into that program area. Comparisons with the position are made without
// wrapping, so a position near $FFFF never matches a link by wrapping round.
constexpr link_verdict check_link(unsigned link, uint16_t position, int version,
                                  std::optional<uint16_t> detect_at) {
  if (version == no_version) {
    for (int row = 0; row < version_count && version == no_version; ++row) {
      const unsigned load_address = version_table[static_cast<std::size_t>(row)].load_address;
      if (detect_at && *detect_at != load_address) continue;
      if (load_address < link && link < load_address + image::link_window) {
        version = row;
        position = static_cast<uint16_t>(load_address + position);
      }
    }
    if (version == no_version) return {link_verdict::no_row_fits, version, position};
  }
  if (link == image::end_link) {
    // The end marker lies at the position and the byte after it, below $10000.
    return {position + 1u <= top_of_memory ? link_verdict::end_of_program : link_verdict::past_top,
            version, position};
  }
  if (!image::link_within_window(link, position)) {
    return {link_verdict::outside_window, version, position};
  }
  return {link_verdict::next_record, version, position};
}

// A listing in the making: its bytes, and the messages that belong between them.
class listing_buffer {
 public:
  // A cursor with room for `room` more bytes after those written so far.
  unsigned char* reserve(std::size_t room) {
    if (size_ + room > capacity_) {
      const std::size_t grown = std::max(size_ + room, 2 * capacity_);
      auto bigger = std::make_unique_for_overwrite<unsigned char[]>(grown);
      if (size_ > 0) std::memcpy(bigger.get(), bytes_.get(), size_);
      bytes_ = std::move(bigger);
      capacity_ = grown;
    }
    return bytes_.get() + size_;
  }
  // Takes the bytes up to `cursor`, a cursor from reserve(), as written.
  void commit(const unsigned char* cursor) {
    size_ = static_cast<std::size_t>(cursor - bytes_.get());
  }
  // A message that follows the bytes before `cursor`.
  void note(const unsigned char* cursor, std::string text) {
    notes_.push_back({static_cast<std::size_t>(cursor - bytes_.get()), std::move(text)});
  }

  std::size_t size() const { return size_; }

  // Writes the listing to `out` and its messages to `err` in order, and empties the buffer.
  // The listing is flushed before each message, so both keep their order on one terminal.
  void emit(FILE* out, FILE* err) {
    std::size_t written = 0;
    for (const held_message& held : notes_) {
      std::fwrite(bytes_.get() + written, 1, held.at - written, out);
      written = held.at;
      std::fflush(out);
      report(err, "%s", held.text.c_str());
    }
    std::fwrite(bytes_.get() + written, 1, size_ - written, out);
    notes_.clear();
    size_ = 0;
  }

 private:
  struct held_message {
    std::size_t at;  // the number of listing bytes before it
    std::string text;
  };
  std::unique_ptr<unsigned char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::vector<held_message> notes_;
};

// One reading of an image: the record state machine from a given byte on.
//
// The position counter runs one behind the memory address of the byte being read. After
// every byte, when the next address is the one the current link names (as far as it has
// been read), the next byte starts a new record: a record whose terminator is missing runs
// straight into the next record's link. A zero byte before that address lies inside the line.
class reading {
 public:
  enum class state : uint8_t { live, complete, rejected, truncated };

  // `first` is the index in the input of the first byte this reading takes as a record's.
  // `say_detected`: whether a version detected from the first link is said.
  reading(int version, uint16_t position, std::optional<uint16_t> detect_at, std::size_t first,
          bool say_detected, bool lf_only)
      : version_(version),
        say_detected_(say_detected),
        lf_only_(lf_only),
        detect_at_(detect_at),
        position_(position),
        end_(first) {
    if (is_version(version)) keywords_ = &padded_keywords[static_cast<std::size_t>(version)];
  }

  state status() const { return state_; }
  bool passed_first_link() const { return passed_first_link_; }
  // Index in the input after the last byte read.
  std::size_t end() const { return end_; }
  // How far the reading got without a link error: the failing link's byte is not counted.
  std::size_t reach() const { return state_ == state::rejected ? end_ - 1 : end_; }
  listing_buffer& listing() { return listing_; }

  // True when both readings are at the same point of the same record: they go on alike.
  bool in_step_with(const reading& other) const {
    return state_ == state::live && other.state_ == state::live && passed_first_link_ &&
           other.passed_first_link_ && end_ == other.end_ && phase_ == other.phase_ &&
           position_ == other.position_ && link_ == other.link_ && line_ == other.line_;
  }

  // Says which version was taken without a link to detect it from.
  void say_chosen() {
    listing_.note(listing_.reserve(0), format_message(message::version_chosen, name()));
  }

  // Reads `bytes` until they run out or the reading ends: whole records where they are plain,
  // else text in runs, else a byte at a time.
  void read(std::span<const unsigned char> bytes) {
    if (state_ != state::live) return;
    cursor c{.next = bytes.data(),
             .end = bytes.data() + bytes.size(),
             .word_limit = bytes.size() >= 8 ? bytes.data() + bytes.size() - 7 : bytes.data(),
             .out = listing_.reserve(bytes.size() * most_output_per_byte + 16),
             .keywords = keywords_,
             .position = position_,
             .link = link_,
             .line = line_,
             .current = phase_};
    while (c.next != c.end) {
      if (c.current == phase::link_low && read_plain_records(c)) continue;
      if (c.current == phase::text) {
        read_text(c);
      } else {
        read_byte(c);
      }
    }
    end_ += static_cast<std::size_t>(c.next - bytes.data());
    position_ = c.position;
    link_ = c.link;
    line_ = c.line;
    phase_ = c.current;
    listing_.commit(c.out);
  }

  // The input has ended before the end marker.
  void end_of_input() {
    if (state_ != state::live) return;
    state_ = state::truncated;
    const unsigned char* out = listing_.reserve(0);
    listing_.note(out, last_line_ < 0 ? std::string(message::image_empty)
                                      : format_message(message::image_truncated, last_line_));
  }

 private:
  enum class phase : uint8_t { link_low, link_high, line_low, line_high, text };

  // Where a read() stands: its input and output cursors, and the record state machine.
  struct cursor {
    const unsigned char* next;
    const unsigned char* end;
    const unsigned char* word_limit;  // eight bytes can be read from any byte before it
    unsigned char* out;
    const padded_list* keywords;  // set by detection at a record's link, before its text
    uint16_t position;
    unsigned link;
    unsigned line;
    phase current;
  };

  // Reads whole records at once while they are plain: the version known, the link within a
  // record's reach, the record in the input with eight bytes readable after its text, and
  // its terminator where the link says. Nothing the byte-wise machine would do differs
  // there: after the link's low byte the position (past $FF) cannot equal that byte, the
  // link lies at least five bytes on, and the text ends at the terminator. Returns whether
  // it read a record.
  bool read_plain_records(cursor& c) {
    if (version_ == no_version) return false;
    const unsigned char* const first = c.next;
    // The longest record, and the word read at its last text byte.
    constexpr std::size_t room = image::link_window + sizeof(uint64_t);
    while (static_cast<std::size_t>(c.end - c.next) >= room) {
      const auto record = static_cast<uint16_t>(c.position + 1);
      if (static_cast<uint16_t>(record + 1) <= 0xFFu) break;
      const unsigned link = image::word_at(c.next);
      if (link == image::end_link || !image::link_within_reach(link, record)) break;
      const unsigned char* const after = c.next + (link - record);
      if (after[-1] != image::terminator) break;
      c.line = image::word_at(c.next + 2);
      c.out = start_line(c.out, c.line);
      c.out = copy_text(c.next, after, record, c);
      if (!lf_only_) *c.out++ = '\r';
      *c.out++ = '\n';
      c.next = after;
      c.link = link;
      c.position = static_cast<uint16_t>(link - 1);
    }
    if (c.next == first) return false;
    passed_first_link_ = true;
    return true;
  }

  // Lists a record's text, up to its terminator before `after`, eight bytes at a time: all
  // eight are copied, and the cursors move past the characters before the first token code
  // or zero byte (the lowest marked byte: a zero's borrow can only mark bytes above it).
  // A zero before the terminator is reported and listed as a space. The record starts at
  // `head`, at memory address `record`.
  unsigned char* copy_text(const unsigned char* head, const unsigned char* after, unsigned record,
                           const cursor& c) {
    const unsigned char* in = head + 4;
    unsigned char* out = c.out;
    for (;;) {
      const uint64_t word = eight_bytes_at(in);
      std::memcpy(out, in, 8);
      const uint64_t marks = (word | (word - low_bits)) & high_bits;
      if (marks == 0) {
        in += 8;
        out += 8;
        continue;
      }
      const auto characters = static_cast<std::size_t>(std::countr_zero(marks) / 8);
      in += characters;
      out += characters;
      const unsigned byte = *in++;
      if (byte != image::terminator) {
        const padded_keyword& keyword = (*c.keywords)[byte - first_token];
        std::memcpy(out, keyword.text.data(), keyword.text.size());
        out += keyword.length;
        continue;
      }
      if (in == after) return out;
      // The position counter of the zero: its address, less one.
      const auto zero_position =
          static_cast<uint16_t>(record + static_cast<unsigned>(in - 1 - head) - 1);
      listing_.note(out, format_message(message::unexpected_null, static_cast<int>(c.line),
                                        static_cast<int>(zero_position)));
      *out++ = ' ';
    }
  }

  // Text, in runs: up to the byte after which the position reaches the link (counted, not
  // compared byte by byte), or a zero byte.
  void read_text(cursor& c) {
    unsigned char* out = c.out;
    const unsigned char* next = c.next;
    const std::size_t to_link = ((c.link - 2u - c.position) & 0xFFFFu) + 1u;
    const std::size_t run = std::min(to_link, static_cast<std::size_t>(c.end - next));
    const unsigned char* const run_end = next + run;
    bool zero = false;
    while (next != run_end) {
      // Eight characters at a time where the input has eight more bytes, as copy_text does,
      // minding the end of the run.
      if (next < c.word_limit) {
        const uint64_t word = eight_bytes_at(next);
        std::memcpy(out, next, 8);
        const auto characters =
            static_cast<std::size_t>(std::countr_zero((word | (word - low_bits)) & high_bits) / 8);
        const auto left = static_cast<std::size_t>(run_end - next);
        if (characters >= left) {
          out += left;
          next = run_end;
          break;
        }
        out += characters;
        next += characters;
        if (characters == 8) continue;
      } else if (*next - 1u < first_token - 1u) {  // a character, 01-7F
        *out++ = *next++;
        continue;
      }
      const unsigned byte = *next++;  // a token code or a zero
      if (byte != image::terminator) {
        const padded_keyword& keyword = (*c.keywords)[byte - first_token];
        std::memcpy(out, keyword.text.data(), keyword.text.size());
        out += keyword.length;
      } else {
        zero = true;
        break;
      }
    }
    const auto read = static_cast<unsigned>(next - c.next);
    if (zero) {
      const auto zero_position = static_cast<uint16_t>(c.position + read - 1);
      if (zero_position + 2u < c.link) {
        listing_.note(out, format_message(message::unexpected_null, static_cast<int>(c.line),
                                          static_cast<int>(zero_position)));
        *out++ = ' ';
      } else {
        if (!lf_only_) *out++ = '\r';
        *out++ = '\n';
        c.current = phase::link_low;
      }
    }
    c.position = static_cast<uint16_t>(c.position + read);
    if (read == to_link) c.current = phase::link_low;
    c.next = next;
    c.out = out;
  }

  // One byte of a record's link or line number. After it, when the next address is the one
  // the link names as far as it has been read, the next byte starts a new record.
  void read_byte(cursor& c) {
    const unsigned byte = *c.next++;
    switch (c.current) {
      case phase::link_low:
        c.link = byte;
        c.current = phase::link_high;
        break;
      case phase::link_high: {
        c.link += byte << 8;
        c.current = phase::line_low;
        const link_taken taken = take_link(c.link, c.position, c.out);
        c.position = taken.position;
        if (!taken.goes_on) {
          c.end = c.next;  // the reading ends with this byte
          return;
        }
        c.keywords = keywords_;
        break;
      }
      case phase::line_low:
        c.line = byte;
        c.current = phase::line_high;
        break;
      case phase::line_high:
        c.line += byte << 8;
        c.out = start_line(c.out, c.line);
        c.current = phase::text;
        break;
      case phase::text:
        break;
    }
    c.position = static_cast<uint16_t>(c.position + 1);
    if (c.position + 1u == c.link) c.current = phase::link_low;
  }

  const char* name() const { return version_table[static_cast<std::size_t>(version_)].name; }

  // Checks a record's complete link, read at `position` (detecting the version when none is
  // set yet, which moves the position). Returns whether the record goes on (otherwise the
  // reading has ended, and said why at `out`) and the position to go on from.
  struct link_taken {
    bool goes_on;
    uint16_t position;
  };
  link_taken take_link(unsigned link, uint16_t position, unsigned char* out) {
    const link_verdict verdict = check_link(link, position, version_, detect_at_);
    if (verdict.version != version_) {
      version_ = verdict.version;
      keywords_ = &padded_keywords[static_cast<std::size_t>(version_)];
      if (say_detected_) listing_.note(out, format_message(message::version_chosen, name()));
    }
    switch (verdict.kind) {
      case link_verdict::next_record:
        passed_first_link_ = true;
        return {true, verdict.position};
      case link_verdict::end_of_program:
        state_ = state::complete;
        return {false, verdict.position};
      case link_verdict::past_top:
        listing_.note(out, last_line_ < 0 ? std::string(message::image_past_top_before_first_line)
                                          : format_message(message::image_past_top,
                                                           static_cast<unsigned>(last_line_)));
        break;
      case link_verdict::outside_window:
        listing_.note(out, format_message(message::invalid_link, link));
        break;
      case link_verdict::no_row_fits:
        listing_.note(out, format_message(message::version_not_detected, link));
        break;
    }
    state_ = state::rejected;
    return {false, verdict.position};
  }

  // Writes a record's line number and the space after it.
  unsigned char* start_line(unsigned char* out, unsigned line) {
    out = write_decimal(out, line);
    *out++ = ' ';
    last_line_ = static_cast<int>(line);
    return out;
  }

  int version_;
  bool say_detected_;
  bool lf_only_;
  std::optional<uint16_t> detect_at_;
  const padded_list* keywords_ = nullptr;
  uint16_t position_;
  unsigned link_ = 0;
  unsigned line_ = 0;
  phase phase_ = phase::link_low;
  state state_ = state::live;
  bool passed_first_link_ = false;
  int last_line_ = -1;  // the number of the last record whose number was read
  std::size_t end_;
  listing_buffer listing_;
};

// Decodes an image fed in pieces: counts the lead bytes, then runs one reading, or two when
// the last lead byte may be the first link's low byte, until it is clear which one stands.
class image_decoder {
 public:
  image_decoder(const image_origin& origin, FILE* out, FILE* err)
      : origin_(origin), out_(out), err_(err) {}

  // False when the version cannot be settled before reading: the image is rejected.
  bool start() {
    version_ = origin_.version;
    base_ = 0;  // until detection moves the position into the detected row's program area
    if (origin_.load_address) {
      if (version_ == no_version && first_row_at(*origin_.load_address) == no_version) {
        if (origin_.fallback_version == no_version) {
          report(err_, message::version_not_detected_at, *origin_.load_address);
          return false;
        }
        version_ = origin_.fallback_version;
      }
      if (version_ != no_version) base_ = *origin_.load_address;
    } else if (version_ != no_version) {
      base_ = version_table[static_cast<std::size_t>(version_)].load_address;
    }
    return true;
  }

  // Reads the next piece of the image; false once the listing has ended.
  bool feed(std::span<const unsigned char> bytes) {
    if (!first_) {
      const auto zeros = static_cast<std::size_t>(
          std::find_if(bytes.begin(), bytes.end(), [](unsigned char b) { return b != 0; }) -
          bytes.begin());
      lead_bytes_ += zeros;
      bytes = bytes.subspan(zeros);
      if (bytes.empty()) return true;
      begin_readings();
    }
    constexpr std::size_t piece = std::size_t{16} << 10;
    for (; !bytes.empty() && !finished(); bytes = bytes.subspan(std::min(piece, bytes.size()))) {
      const auto part = bytes.first(std::min(piece, bytes.size()));
      first_->read(part);
      decide();
      if (second_) {
        second_->read(part);
        decide();
      }
      if (chosen_) chosen_->listing().emit(out_, err_);
    }
    return !finished();
  }

  // The input has ended (or failed to be read, `read_failed`); writes what remains and
  // returns the decoder's result.
  int finish(bool read_failed) {
    if (!first_) {
      // Nothing but zero bytes: three of them are a lead byte and an end marker, which must
      // lie below $10000 where the load address is known.
      if (lead_bytes_ >= 3) {
        if (version_ == no_version || base_ + 2 <= top_of_memory) return 0;
        if (!read_failed) report(err_, message::image_past_top_before_first_line);
        return -1;
      }
      if (!read_failed) report(err_, message::image_empty);
      return -1;
    }
    if (!read_failed) {
      first_->end_of_input();
      if (second_) second_->end_of_input();
    }
    decide();
    if (!chosen_) chosen_ = second_ ? &*second_ : &*first_;  // a read error cut both short
    chosen_->listing().emit(out_, err_);
    refused_first_link_ = !read_failed && chosen_->status() == reading::state::rejected &&
                          !chosen_->passed_first_link();
    return chosen_->status() == reading::state::complete && !read_failed ? 0 : -1;
  }

  // The image was refused at its first line link: nothing of it was listed.
  bool refused_first_link() const { return refused_first_link_; }

 private:
  // Readings that are still both undecided hold their listings; past this much they are
  // taken as equal (which only a crafted image reaches), so that memory stays bounded.
  static constexpr std::size_t most_held = std::size_t{1} << 20;

  void begin_readings() {
    const auto start_at = [&](std::size_t lead_bytes) {
      reading r(version_, static_cast<uint16_t>(base_ + lead_bytes - 1), origin_.load_address,
                lead_bytes, say_detected(), origin_.lf_only);
      if (version_ != origin_.version && origin_.note != version_note::never) r.say_chosen();
      return r;
    };
    first_.emplace(start_at(lead_bytes_));
    if (lead_bytes_ > 0) {
      second_.emplace(start_at(lead_bytes_ - 1));
      constexpr unsigned char last_lead_byte[] = {image::lead_byte};
      second_->read(last_lead_byte);
    } else {
      chosen_ = &*first_;
    }
  }

  // Whether a version detected from the first link is said: always, unless told otherwise,
  // or only where more than one row lies at the load address.
  bool say_detected() const {
    switch (origin_.note) {
      case version_note::always:
        return true;
      case version_note::never:
        return false;
      case version_note::where_address_leaves_choice:
        break;
    }
    if (!origin_.load_address) return true;
    return std::count_if(std::begin(version_table), std::end(version_table),
                         [&](const version_entry& row) {
                           return row.load_address == *origin_.load_address;
                         }) > 1;
  }

  bool finished() const { return chosen_ != nullptr && chosen_->status() != reading::state::live; }

  // Settles which reading stands as soon as the input read so far tells.
  void decide() {
    if (chosen_) return;
    reading& first = *first_;
    reading& second = *second_;
    using state = reading::state;
    const auto take = [&](reading& r) { chosen_ = &r; };
    if (lead_bytes_ == 1 && first.passed_first_link()) return take(first);
    const bool first_live = first.status() == state::live;
    const bool second_live = second.status() == state::live;
    if (!first_live && !second_live) {
      const auto rank = [](const reading& r) {
        return std::pair(r.reach(), r.status() == state::complete    ? 2
                                    : r.status() == state::truncated ? 1
                                                                     : 0);
      };
      return take(rank(first) > rank(second) ? first : second);
    }
    if (first_live != second_live) {
      // The live one stands once it has read past where the other one ended.
      reading& live = first_live ? first : second;
      const reading& ended = first_live ? second : first;
      if (live.end() > ended.reach()) take(live);
      return;
    }
    if (first.in_step_with(second) ||
        first.listing().size() + second.listing().size() > most_held) {
      take(second);
    }
  }

  const image_origin& origin_;
  FILE* out_;
  FILE* err_;
  int version_ = no_version;  // settled before reading, or -1 to detect
  unsigned base_ = 0;         // the address of the first lead byte, while known
  std::size_t lead_bytes_ = 0;
  std::optional<reading> first_;   // all the zero bytes taken as lead bytes
  std::optional<reading> second_;  // the last one taken as the first link's low byte
  reading* chosen_ = nullptr;
  bool refused_first_link_ = false;
};

}  // namespace

int decode_image(FILE* in, FILE* out, FILE* err, const image_origin& origin,
                 bool* refused_first_link) {
  image_decoder decoder(origin, out, err);
  if (!decoder.start()) return -1;
  block_reader input(in);
  bool more = true;
  while (more && input.read_more()) {
    const auto bytes = input.pending();
    input.consume(bytes.size());
    more = decoder.feed(bytes);
  }
  const int result = decoder.finish(more && std::ferror(in) != 0);
  if (refused_first_link != nullptr) *refused_first_link = decoder.refused_first_link();
  return result;
}

int decode_image(std::span<const unsigned char> image, FILE* out, FILE* err,
                 const image_origin& origin) {
  image_decoder decoder(origin, out, err);
  if (!decoder.start()) return -1;
  decoder.feed(image);
  return decoder.finish(false);
}

}  // namespace brenvik
