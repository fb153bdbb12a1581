#include "image/decoder.h"

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

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

// One reading of an image, fed a byte at a time from the first byte after the lead bytes.
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

  step feed(unsigned byte) {
    switch (phase_) {
      case phase::link_low:
        link_ = byte;
        phase_ = phase::link_high;
        break;
      case phase::link_high:
        link_ += byte << 8;
        phase_ = phase::line_low;
        if (const step checked = check_link(); checked != step::more) return checked;
        break;
      case phase::line_low:
        line_ = byte;
        phase_ = phase::line_high;
        break;
      case phase::line_high:
        line_ += byte << 8;
        out_.write_number(line_);
        out_.put(' ');
        phase_ = phase::text;
        break;
      case phase::text:
        if (byte >= first_token) {
          if (byte - first_token < keyword_count_) out_.write(keywords_[byte - first_token]);
        } else if (byte != image::terminator) {
          out_.put(static_cast<unsigned char>(byte));
        } else if (position_ + 2u < link_) {
          notes_.say(message::unexpected_null, line_, position_);
          out_.put(' ');
        } else {
          out_.write("\r\n");
          phase_ = phase::link_low;
        }
        break;
    }
    position_ = static_cast<uint16_t>(position_ + 1);
    if (position_ + 1u == link_) phase_ = phase::link_low;
    return step::more;
  }

 private:
  enum class phase { link_low, link_high, line_low, line_high, text };

  std::size_t version_row() const { return static_cast<std::size_t>(version_); }

  void use_keywords() {
    keywords_ = version_table[version_row()].keywords.data();
    keyword_count_ = static_cast<unsigned>(version_table[version_row()].keyword_count);
  }

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
  const std::string_view* keywords_ = nullptr;
  unsigned keyword_count_ = 0;
  uint16_t position_;
  unsigned link_ = 0;
  unsigned line_ = 0;
  phase phase_ = phase::link_low;
  bool first_link_passed_ = false;
};

// A reading decides on its first link within this many bytes: before the first link is
// complete, a new record can only restart while the position counter is below 255.
constexpr std::size_t opening_bytes = 2 * image::link_window + 2;

// Feeds `bytes` to `reader` until its first link has been checked or the reading has ended.
// Returns the outcome so far and the number of bytes fed.
std::pair<step, std::size_t> read_opening(program_reader& reader,
                                          std::span<const unsigned char> bytes) {
  std::size_t used = 0;
  step outcome = step::more;
  while (outcome == step::more && !reader.past_first_link() && used < bytes.size()) {
    outcome = reader.feed(bytes[used++]);
  }
  return {outcome, used};
}

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
  auto [outcome, used] = read_opening(first, head);
  program_reader* reader = &first;

  notes second_notes(err, output);
  second_notes.hold();
  program_reader second(version, lead_bytes - 1, output, second_notes);
  if (outcome == step::reject && !first.past_first_link() && lead_bytes > 0) {
    second.feed(image::lead_byte);
    const auto [second_outcome, second_used] = read_opening(second, head);
    if (!second.past_first_link()) {
      first_notes.release();
      return -1;
    }
    reader = &second;
    outcome = second_outcome;
    used = second_used;
    second_notes.release();
  } else {
    first_notes.release();
  }
  if (outcome != step::more) return result_of(outcome);

  for (std::size_t i = used; i < head.size(); ++i) {
    if (const step s = reader->feed(head[i]); s != step::more) return result_of(s);
  }
  input.consume(head.size());
  while (input.read_more()) {
    const auto bytes = input.pending();
    for (const unsigned char byte : bytes) {
      if (const step s = reader->feed(byte); s != step::more) return result_of(s);
    }
    input.consume(bytes.size());
  }
  return 0;
}

}  // namespace brenvik
