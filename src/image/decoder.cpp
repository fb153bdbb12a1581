#include "image/decoder.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "image/byte_io.h"
#include "image/image_format.h"
#include "messages.h"

namespace brenvik {

namespace {

enum class step { more, end, reject };

// The messages of one reading of an image. While a reading may still be abandoned for
// another, its messages are held back; released, they go to the message stream in order.
class notes {
 public:
  notes(FILE* err, block_writer& out) : err_(err), out_(out) {}

  void hold() { holding_ = true; }

  void release() {
    holding_ = false;
    if (!held_.empty()) {
      out_.flush();
      std::fwrite(held_.data(), 1, held_.size(), err_);
      held_.clear();
    }
  }

  [[gnu::format(printf, 2, 3)]] void say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (holding_) {
      char text[256];
      const int length = std::vsnprintf(text, sizeof text, format, arguments);
      held_.append(text, static_cast<std::size_t>(length));
    } else {
      out_.flush();  // keep listing and messages in order on a shared terminal
      std::vfprintf(err_, format, arguments);
    }
    va_end(arguments);
  }

 private:
  FILE* err_;
  block_writer& out_;
  bool holding_ = false;
  std::string held_;
};

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

constexpr std::size_t longest_keyword = 7;
static_assert([] {
  for (const padded_list& list : padded_keywords)
    for (const padded_keyword& keyword : list)
      if (keyword.length > longest_keyword) return false;
  return true;
}());

// Writes a line number in decimal at `out` and returns the cursor after it.
unsigned char* write_decimal(unsigned char* out, unsigned value) {
  const std::size_t digits = value >= 10000  ? 5
                             : value >= 1000 ? 4
                             : value >= 100  ? 3
                             : value >= 10   ? 2
                                             : 1;
  for (std::size_t i = digits; i > 0; --i) {
    out[i - 1] = static_cast<unsigned char>('0' + value % 10);
    value /= 10;
  }
  return out + digits;
}

// One reading of an image, from the first byte after the lead bytes.
//
// The position counter runs one behind the memory address of the byte being read (for an
// image with one lead byte at the version's load address). After every byte, when the next
// address is the one the current link names, the next byte starts a new record: a record
// whose terminator is missing runs straight into the next record's link. A zero byte
// before that address lies inside the line. All comparisons with the position are made in
// wider arithmetic, so a position near $FFFF never matches a link by wrapping.
class program_reader {
 public:
  program_reader(int version, std::size_t lead_bytes, block_writer& out, notes& messages)
      : out_(out), notes_(messages), version_(version) {
    const unsigned base = is_version(version) ? version_table[version_row()].load_address : 0;
    position_ = static_cast<uint16_t>(base + lead_bytes - 1);
    if (is_version(version)) use_keywords();
  }

  bool past_first_link() const { return first_link_passed_; }

  // Reads `bytes` from their start until they run out, the reading ends, or (with
  // `until_first_link`) the first link has passed its checks. `used` receives the number
  // of bytes read.
  step read(std::span<const unsigned char> bytes, std::size_t& used, bool until_first_link) {
    // The state stays in locals while bytes are read, so that the output bytes written in
    // between cannot be taken to change it; the members are brought up to date before
    // anything else looks at them.
    uint16_t position = position_;
    unsigned link = link_;
    unsigned line = line_;
    phase current = phase_;
    unsigned char* out = out_.cursor();
    const auto save = [&] {
      position_ = position;
      link_ = link;
      line_ = line;
      phase_ = current;
      out_.set_cursor(out);
    };

    const unsigned char* next = bytes.data();
    const unsigned char* const end = next + bytes.size();
    const unsigned char* const room_limit = out_.room_limit();
    step outcome = step::more;
    bool stop = false;
    while (next != end && !stop) {
      if (current == phase::text) {
        // Text bytes, the bulk of an image, are read in runs up to the byte after which
        // the position reaches the link (counted, not compared byte by byte), or up to a
        // zero byte, and no longer than the output block has room for.
        const std::size_t to_link = ((link - 2u - position) & 0xFFFFu) + 1u;
        if (out > room_limit) out = out_.make_room(out);
        // Each byte writes at most longest_keyword bytes, though a keyword is copied as
        // eight: the writer's room past its limit takes the difference.
        static_assert(block_writer::step_room >= sizeof(padded_keyword::text));
        const auto room = static_cast<std::size_t>(room_limit - out) / longest_keyword + 1;
        const std::size_t run = std::min({to_link, static_cast<std::size_t>(end - next), room});
        const unsigned char* const run_start = next;
        const unsigned char* const run_end = next + run;
        bool zero = false;
        while (next != run_end) {
          const unsigned byte = *next++;
          if (byte - 1u < first_token - 1u) {  // a character, 01-7F
            *out++ = static_cast<unsigned char>(byte);
          } else if (byte != image::terminator) {
            const padded_keyword& keyword = (*keywords_)[byte - first_token];
            std::memcpy(out, keyword.text.data(), keyword.text.size());
            out += keyword.length;
          } else {
            zero = true;
            break;
          }
        }
        const auto read = static_cast<unsigned>(next - run_start);
        if (zero) {
          const auto zero_position = static_cast<uint16_t>(position + read - 1);
          if (zero_position + 2u < link) {
            save();
            notes_.say(message::unexpected_null, static_cast<int>(line), zero_position);
            out = out_.cursor();
            *out++ = ' ';
          } else {
            *out++ = '\r';
            *out++ = '\n';
            current = phase::link_low;
          }
        }
        position = static_cast<uint16_t>(position + read);
        if (read == to_link) current = phase::link_low;
        continue;
      }

      if (out > room_limit) out = out_.make_room(out);
      const unsigned byte = *next++;
      switch (current) {
        case phase::link_low:
          link = byte;
          current = phase::link_high;
          break;
        case phase::link_high:
          link += byte << 8;
          current = phase::line_low;
          save();
          outcome = check_link();
          position = position_;
          out = out_.cursor();
          stop = until_first_link && first_link_passed_;
          break;
        case phase::line_low:
          line = byte;
          current = phase::line_high;
          break;
        case phase::line_high:
          line += byte << 8;
          out = write_decimal(out, line);
          *out++ = ' ';
          current = phase::text;
          break;
        case phase::text:
          break;
      }
      if (outcome != step::more) break;
      position = static_cast<uint16_t>(position + 1);
      if (position + 1u == link) current = phase::link_low;
    }
    save();
    used = static_cast<std::size_t>(next - bytes.data());
    return outcome;
  }

 private:
  enum class phase { link_low, link_high, line_low, line_high, text };

  std::size_t version_row() const { return static_cast<std::size_t>(version_); }

  void use_keywords() { keywords_ = &padded_keywords[version_row()]; }

  // Runs when a link is complete: detects the version on the first record when none was
  // chosen, then ends at the end marker or rejects a link outside its window.
  step check_link() {
    if (version_ == no_version) {
      for (int row = 0; row < version_count && version_ == no_version; ++row) {
        const unsigned load_address = version_table[static_cast<std::size_t>(row)].load_address;
        if (load_address < link_ && link_ < load_address + image::link_window) {
          position_ = static_cast<uint16_t>(load_address + position_);
          version_ = row;
        }
      }
      if (version_ == no_version) {
        notes_.say(message::version_not_detected, link_);
        return step::reject;
      }
      use_keywords();
      notes_.say(message::version_chosen, version_table[version_row()].name);
    }
    if (link_ == image::end_link) return step::end;
    if (link_ < position_ || link_ > position_ + image::link_window) {
      notes_.say(message::invalid_link, link_);
      return step::reject;
    }
    first_link_passed_ = true;
    return step::more;
  }

  block_writer& out_;
  notes& notes_;
  int version_;
  const padded_list* keywords_ = nullptr;
  uint16_t position_;
  unsigned link_ = 0;
  unsigned line_ = 0;
  phase phase_ = phase::link_low;
  bool first_link_passed_ = false;
};

// A reading decides on its first link within this many bytes: before the first link is
// complete, a new record can only restart while the position counter is below 255.
constexpr std::size_t opening_bytes = 2 * image::link_window + 2;

int result_of(step outcome) {
  return outcome == step::reject ? -1 : 0;
}

}  // namespace

int decode_image(FILE* in, FILE* out, FILE* err, int version) {
  block_reader input(in);
  block_writer output(out);

  std::size_t lead_bytes = 0;
  for (;;) {
    const auto bytes = input.pending();
    std::size_t zeros = 0;
    while (zeros < bytes.size() && bytes[zeros] == image::lead_byte)
      ++zeros;
    lead_bytes += zeros;
    input.consume(zeros);
    if (zeros < bytes.size()) break;
    if (!input.read_more()) return 0;
  }
  while (input.pending().size() < opening_bytes && input.read_more()) {
  }
  const auto head = input.pending();

  // The first record's link decides between two readings. The lead bytes are counted as
  // long as they are zero, so a first link whose low byte is zero (a first record of 250
  // text bytes at $0301, say) is swallowed with them and then fails; read once more with
  // the last lead byte as the first byte of that link, and keep whichever reading passes.
  notes first_notes(err, output);
  first_notes.hold();
  program_reader first(version, lead_bytes, output, first_notes);
  std::size_t used = 0;
  step outcome = first.read(head, used, true);
  program_reader* reader = &first;

  notes second_notes(err, output);
  second_notes.hold();
  program_reader second(version, lead_bytes - 1, output, second_notes);
  if (outcome == step::reject && !first.past_first_link() && lead_bytes > 0) {
    const unsigned char last_lead_byte[] = {image::lead_byte};
    std::size_t one = 0;
    second.read(last_lead_byte, one, true);
    outcome = second.read(head, used, true);
    if (!second.past_first_link()) {
      first_notes.release();
      return -1;
    }
    reader = &second;
    second_notes.release();
  } else {
    first_notes.release();
  }
  if (outcome != step::more) return result_of(outcome);

  std::size_t rest = 0;
  outcome = reader->read(head.subspan(used), rest, false);
  input.consume(head.size());
  while (outcome == step::more && input.read_more()) {
    const auto bytes = input.pending();
    outcome = reader->read(bytes, rest, false);
    input.consume(bytes.size());
  }
  return result_of(outcome);
}

}  // namespace brenvik
