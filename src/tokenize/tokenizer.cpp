#include "tokenize/tokenizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "byte_io.h"
#include "catalogue/catalogue.h"
#include "image/image_format.h"
#include "messages.h"
#include "tokenize/keyword_index.h"

namespace brenvik {

namespace {

// A piece of a physical line, and whether the line ends after it.
struct line_part {
  std::span<const unsigned char> bytes;
  bool line_ends = false;
  bool has_zero = false;  // a zero byte among `bytes`
};

// Finds a byte in the input, keeping what a search found (or that it found nothing) for
// the searches after it: one search covers many lines.
class byte_finder {
 public:
  explicit byte_finder(int byte) : byte_(byte) {}

  // The offset in `bytes`, which start at input position `base`, of the first such byte at
  // or after offset `from`; the size of `bytes` when there is none.
  std::size_t find(std::span<const unsigned char> bytes, std::size_t base, std::size_t from) {
    if (position_ < base + from) {
      position_ = base + from;
      found_ = false;
    }
    if (!found_ && position_ < base + bytes.size()) {
      const std::size_t offset = position_ - base;
      const void* at = std::memchr(bytes.data() + offset, byte_, bytes.size() - offset);
      found_ = at != nullptr;
      position_ =
          base +
          (found_ ? static_cast<std::size_t>(static_cast<const unsigned char*>(at) - bytes.data())
                  : bytes.size());
    }
    return std::min(position_ - base, bytes.size());
  }

 private:
  int byte_;
  std::size_t position_ = 0;  // of the byte found, or up to which there is none
  bool found_ = false;
};

// Splits the input into physical lines, handed out in pieces; a line ends at LF, at CR LF or
// at CR alone. Memory is the reader's fixed buffer, however long a line is.
class line_reader {
 public:
  explicit line_reader(FILE* in) : input_(in) {}

  // The first bytes of the input, as many as `count` when the input holds them.
  std::span<const unsigned char> peek(std::size_t count) {
    while (input_.pending().size() < count && !at_end_ && !input_.full())
      at_end_ = !input_.read_more();
    return input_.pending().first(std::min(count, input_.pending().size()));
  }
  void skip(std::size_t count) { consume(count); }

  // The next piece of the current line, at most `most` bytes long, or nothing when no line
  // is left. A line that ends with the input gets an empty last piece.
  std::optional<line_part> next(std::size_t most) {
    for (std::size_t scanned = 0;;) {
      const auto bytes = input_.pending();
      if (skip_lf_ && !bytes.empty()) {
        skip_lf_ = false;
        if (bytes[0] == '\n') {
          consume(1);
          continue;
        }
      }
      const std::size_t limit = std::min(most, bytes.size());
      const std::size_t end = line_end(bytes.data(), scanned, limit);
      if (end < limit) {
        skip_lf_ = bytes[end] == '\r';
        return take(bytes, end, end + 1, true);
      }
      if (limit == most || at_end_ || input_.full()) {
        if (limit == 0 && at_end_) {
          if (!in_line_) return std::nullopt;
          return take(bytes, 0, 0, true);
        }
        return take(bytes, limit, limit, false);
      }
      scanned = limit;
      at_end_ = !input_.read_more();
    }
  }

 private:
  // Hands out the first `size` pending bytes, consuming `used`.
  line_part take(std::span<const unsigned char> bytes, std::size_t size, std::size_t used,
                 bool line_ends) {
    const bool has_zero = zeros_.find(bytes, position_, 0) < size;
    consume(used);
    in_line_ = !line_ends;
    return {bytes.first(size), line_ends, has_zero};
  }

  void consume(std::size_t count) {
    input_.consume(count);
    position_ += count;
  }

  // The offset of the first CR or LF among bytes[from, size), or size when there is none.
  // Eight bytes at a time (a block reader's bytes may be read eight beyond its pending
  // ones): a word is marked at every byte below 0E, and only marked bytes are looked at.
  static std::size_t line_end(const unsigned char* bytes, std::size_t from, std::size_t size) {
    constexpr uint64_t low_bits = 0x0101010101010101;
    constexpr uint64_t high_bits = 0x8080808080808080;
    for (std::size_t at = from; at < size; at += 8) {
      const uint64_t word = eight_bytes_at(bytes + at);
      // Every byte below 0E is marked; a borrow may mark a byte above a marked one too.
      for (uint64_t marks = (word - low_bits * 0x0E) & ~word & high_bits; marks != 0;
           marks &= marks - 1) {
        const std::size_t marked = at + static_cast<std::size_t>(std::countr_zero(marks) / 8);
        if (marked >= size) return size;
        if (bytes[marked] == '\n' || bytes[marked] == '\r') return marked;
      }
    }
    return size;
  }

  block_reader input_;
  std::size_t position_ = 0;  // in the input, of the first pending byte
  byte_finder zeros_{0};
  bool at_end_ = false;
  bool in_line_ = false;  // part of the current line has been handed out
  bool skip_lf_ = false;  // the last line ended in CR: an LF right after it belongs to it
};

// Space, or one of tab, line feed, vertical tab, form feed and carriage return (09-0D).
constexpr bool is_space(char c) {
  return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

constexpr bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// A keyword is at most this long, so matching never looks further ahead.
constexpr std::size_t lookahead = keyword_index::bytes_read;

// What a character outside strings and literal text asks for: nothing but a copy; a look
// for a keyword (letters and the operator characters, where a keyword of the version
// begins with them); the start of a string; or, for the zero after the text, a stop.
enum class char_kind : uint8_t { plain, keyword, quote, stop };

// What a token code leaves as characters after it: nothing, the rest of the line (REM), or
// the rest of the statement (DATA).
enum class literal_rest : uint8_t { none, rem, data };

// How the lines of one text are tokenized: prepared once for the whole text.
struct line_rules {
  explicit line_rules(int version) : keywords(version) {
    for (std::size_t c = 0; c < kinds.size(); ++c) {
      const auto byte = static_cast<unsigned char>(c);
      const bool letter = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
      const bool operator_character =
          byte != 0 &&
          std::string_view("+-*/^>=<").find(static_cast<char>(byte)) != std::string_view::npos;
      kinds[c] = byte == '\0'                                                 ? char_kind::stop
                 : byte == '"'                                                ? char_kind::quote
                 : (letter || operator_character) && keywords.may_begin(byte) ? char_kind::keyword
                                                                              : char_kind::plain;
    }
    if (!is_version(version)) return;
    // The first REM and the first DATA; the index never finds a later one.
    const keyword_list list = version_table[static_cast<std::size_t>(version)].keywords;
    bool rem = false;
    bool data = false;
    for (std::size_t p = 0; p < list.size(); ++p) {
      literal_rest& after = literal_after[first_token + p];
      if (list[p] == "REM" && !std::exchange(rem, true)) after = literal_rest::rem;
      if (list[p] == "DATA" && !std::exchange(data, true)) after = literal_rest::data;
    }
  }

  keyword_index keywords;
  std::array<char_kind, 256> kinds{};
  std::array<literal_rest, 256> literal_after{};  // by token code
};

// A line number as written: kept modulo 65536, as the machine stores it, and as far as a
// warning names it: the sign if negative, then the digits without leading zeros, at most
// named_digits of them and "..." after those when there are more.
class written_number {
 public:
  static constexpr std::size_t named_digits = 19;  // as many as a 64-bit number holds
  static constexpr unsigned highest_enterable = 63999;

  explicit written_number(bool negative) : negative_(negative) {}

  // Reads the digits from `in` on up to the first other character (there is one: a text
  // ends in a zero) and returns where they end.
  char* read_digits(char* in) {
    if (significant_ == 0) {
      while (*in == '0')
        ++in;
    }
    // Unsigned arithmetic wraps modulo 2^64, a multiple of 65536: the value stays right
    // modulo 65536 however many digits there are, and exact up to named_digits of them.
    char* const first = in;
    uint64_t value = value_;
    for (unsigned digit = 0; (digit = digit_value(*in)) <= 9; ++in)
      value = value * 10 + digit;
    const auto count = static_cast<std::size_t>(in - first);
    if (significant_ < named_digits && significant_ + count > named_digits) {
      // The number grows too long to be named whole: keep its first digits.
      named_ = value_;
      for (std::size_t i = 0; i < named_digits - significant_; ++i)
        named_ = named_ * 10 + digit_value(first[i]);
    }
    significant_ += count;
    value_ = value;
    return in;
  }

  uint16_t stored() const {
    const auto value = static_cast<uint16_t>(value_);
    return negative_ ? static_cast<uint16_t>(0x10000 - value) : value;
  }

  // Whether the number lies within 0 to 63999, the numbers the machine takes.
  bool enterable() const {
    // Up to five digits the value is exact; zero, however written, is the only negative.
    return significant_ <= 5 && value_ <= (negative_ ? 0 : highest_enterable);
  }

  std::string text() const {
    std::string named = negative_ && significant_ > 0 ? "-" : "";
    named += std::to_string(significant_ <= named_digits ? value_ : named_);
    if (significant_ > named_digits) named += "...";
    return named;
  }

 private:
  static unsigned digit_value(char c) { return static_cast<unsigned char>(c) - unsigned{'0'}; }

  bool negative_;
  uint64_t value_ = 0;
  uint64_t named_ = 0;           // the first named_digits digits, once there are more
  std::size_t significant_ = 0;  // digits after the leading zeros
};

// One line on its way to a record: read in pieces through a small work buffer, it passes
// the white space in front, an optional line number, more white space, and then its text,
// which is tokenized as far as the pieces reach.
//
// Outside strings, a keyword may begin at every letter and operator character. A string
// runs from a double quote to the next one or to the end of the line. After REM the rest
// of the line is kept as it stands; after DATA, the rest of the statement, up to a colon
// outside a string.
class line_tokenizer {
 public:
  static constexpr std::size_t work_size = 4096;

  explicit line_tokenizer(const line_rules& rules) : rules_(rules) {}

  std::size_t room() const { return work_size - held_; }  // for the next piece

  // Takes the next piece of the line (at most room() bytes), dropping its zero bytes.
  void add(const line_part& part) {
    const auto bytes = part.bytes;
    // Usually settled by the first byte, a line number's digit.
    for (auto b = bytes.begin(); only_controls_ && b != bytes.end(); ++b)
      only_controls_ = *b <= ' ';
    char* const held = text_start() + kept_ + held_;
    if (!part.has_zero) {
      std::memcpy(held, bytes.data(), bytes.size());
      held_ += bytes.size();
    } else {
      held_ +=
          static_cast<std::size_t>(std::remove_copy(bytes.begin(), bytes.end(), held, 0) - held);
    }
    // The zero after the text, and more, so that the keyword index may read a word from anywhere.
    std::memset(text_start() + kept_ + held_, 0, keyword_index::bytes_read);
    process(part.line_ends);
  }

  bool holds_only_controls() const { return only_controls_; }
  // The line's own number, when it has one.
  const std::optional<written_number>& number() const { return number_; }
  // The length of the tokenized text (which a record holds when at most 250 bytes).
  std::size_t length() const { return length_; }

  // The record of the line: link, number, the tokenized text and its terminator. Requires
  // the line to have ended and length() to be at most 250.
  std::span<const char> record(unsigned link, uint16_t number) {
    char* const head = work_.data();
    head[0] = static_cast<char>(image::low_byte(link));
    head[1] = static_cast<char>(image::high_byte(link));
    head[2] = static_cast<char>(image::low_byte(number));
    head[3] = static_cast<char>(image::high_byte(number));
    text_start()[kept_] = static_cast<char>(image::terminator);
    return {head, record_head + kept_ + 1};
  }

 private:
  enum class stage { before_number, digits, before_text, text };

  // Handles the held bytes as far as possible; unless the line ends, bytes whose meaning
  // depends on what follows stay held.
  void process(bool line_ends) {
    char* in = text_start() + kept_;
    char* const end = in + held_;
    // The zero after the held bytes stops these loops.
    const auto skip_space = [&] {
      while (is_space(*in))
        ++in;
    };
    if (stage_ == stage::before_number) {
      skip_space();
      const bool sign = in != end && (*in == '-' || *in == '+');
      if (in == end || (sign && in + 1 == end && !line_ends)) return hold(in, end);
      if (is_digit(*in) || (sign && is_digit(in[1]))) {
        number_.emplace(*in == '-');
        in += sign ? 1 : 0;
        stage_ = stage::digits;
      } else {
        stage_ = stage::text;  // no number: the text starts here, a sign included
      }
    }
    if (stage_ == stage::digits) {
      in = number_->read_digits(in);
      if (in == end && !line_ends) return hold(in, end);
      stage_ = stage::before_text;
    }
    if (stage_ == stage::before_text) {
      skip_space();
      if (in != end) stage_ = stage::text;
    }
    if (stage_ == stage::text) in = tokenize(in, end, line_ends);
    hold(in, end);
  }

  // Keeps the bytes from `in` to `end` for the next piece.
  void hold(char* in, char* end) {
    held_ = static_cast<std::size_t>(end - in);
    if (held_ > 0) std::memmove(text_start() + kept_, in, held_);
  }

  // Tokenizes the text from `in` to `end` (where a zero stands) in place, appends the result
  // to the record and returns where it stopped: unless the line ends there, the last few
  // characters wait for those that follow, which a keyword may need. Writing in place is
  // safe: every token replaces at least one character, so the writing never outruns the
  // reading.
  char* tokenize(char* in, char* const end, bool line_ends) {
    char* const start = text_start() + kept_;
    char* out = start;
    const auto copy_to = [&](char* stop) {
      std::memmove(out, in, static_cast<std::size_t>(stop - in));
      out += stop - in;
      in = stop;
    };
    // Copies a string up to its closing quote, or what the held bytes have of it.
    const auto copy_string = [&] {
      void* closing = std::memchr(in, '"', static_cast<std::size_t>(end - in));
      in_string_ = closing == nullptr;
      copy_to(in_string_ ? end : static_cast<char*>(closing) + 1);
    };
    // Copies the rest of a DATA statement: up to a colon outside a string.
    const auto copy_data = [&] {
      while (in != end) {
        const char c = *in++;
        *out++ = c;
        if (c == '"') copy_string();
        if (c == ':') {
          literal_ = literal_rest::none;
          return;
        }
      }
    };

    if (literal_ == literal_rest::rem) copy_to(end);
    if (in_string_) copy_string();
    if (literal_ == literal_rest::data) copy_data();
    // Every character before `enough` has a keyword's length of text after it; characters
    // that only get copied need none, and are copied beyond it too.
    const auto ahead = static_cast<std::ptrdiff_t>(lookahead - 1);
    char* const enough = line_ends ? end : end - in > ahead ? end - ahead : in;
    // Locals: the compiler cannot know that writing characters leaves the rules alone.
    const char_kind* const kinds = rules_.kinds.data();
    const keyword_index keywords = rules_.keywords;
    const literal_rest* const literal_after = rules_.literal_after.data();
    for (;;) {
      char_kind kind;
      while ((kind = kinds[static_cast<unsigned char>(*in)]) == char_kind::plain)
        *out++ = *in++;
      if (in >= enough) break;  // the zero at the end, or a character that must wait
      if (kind == char_kind::quote) {
        *out++ = *in++;
        copy_string();
        continue;
      }
      const auto [code, length] =
          keywords.match<keyword_case::other_case_ends, keyword_blanks::kept>(in);
      if (code == 0) {
        *out++ = *in++;
        continue;
      }
      *out++ = static_cast<char>(code);
      in += length;
      if (const literal_rest after = literal_after[code]; after != literal_rest::none) {
        literal_ = after;
        if (after == literal_rest::rem) {
          copy_to(end);
        } else {
          copy_data();
        }
      }
    }
    length_ += static_cast<std::size_t>(out - start);
    // A text too long for a record is only counted from here on.
    kept_ = length_ <= image::max_text_bytes ? length_ : 0;
    return in;
  }

  // The link and number of the record are written in front of its text.
  static constexpr std::size_t record_head = 4;
  char* text_start() { return work_.data() + record_head; }

  const line_rules& rules_;
  // Room for the record's head, the tokenized text so far (kept_ bytes), the bytes still
  // held, and zero bytes after them.
  std::array<char, record_head + image::max_text_bytes + work_size + keyword_index::bytes_read>
      work_;
  std::size_t kept_ = 0;
  std::size_t held_ = 0;
  stage stage_ = stage::before_number;
  std::optional<written_number> number_;
  bool only_controls_ = true;
  bool in_string_ = false;
  literal_rest literal_ = literal_rest::none;
  std::size_t length_ = 0;  // of the tokenized text
};

// True when `bytes` begin like a tokenized image: a lead byte, then a first link that lies in
// the program area of `load_address` or of a version.
bool looks_like_image(std::span<const unsigned char> bytes, uint16_t load_address) {
  if (bytes.size() < 3 || bytes[0] != image::lead_byte) return false;
  const unsigned link = image::word_at(bytes.data() + 1);
  const auto holds = [&](unsigned address) {
    return address < link && link < address + image::link_window;
  };
  return holds(load_address) ||
         std::any_of(version_table.begin(), version_table.end(),
                     [&](const version_entry& row) { return holds(row.load_address); });
}

// Warns of a line number the machine cannot take: the number as written, or the number
// given to a line without one. Kept out of line: it is seldom needed.
[[gnu::noinline]] void warn_line_number(FILE* err, const std::optional<written_number>& written,
                                        uint16_t line_number) {
  const std::string named = written ? written->text() : std::to_string(line_number);
  report(err, message::line_above_63999, named.c_str());
}

constexpr unsigned char byte_order_mark[] = {0xEF, 0xBB, 0xBF};

// The highest address of the machine's memory, and so the last a record may link to: its
// end marker, at the link and the byte after it, must still lie at or below it.
constexpr unsigned highest_address = 0xFFFF;
constexpr unsigned highest_link = highest_address - 1;

}  // namespace

int tokenize_text(FILE* in, FILE* out, FILE* err, int version, uint16_t load_address,
                  const char* input_name) {
  line_reader lines(in);
  block_writer output(out);
  const auto say = [&](const char* format, auto... values) {
    output.flush();
    report(err, format, values...);
  };

  const auto start = lines.peek(sizeof byte_order_mark);
  if (std::equal(start.begin(), start.end(), std::begin(byte_order_mark),
                 std::end(byte_order_mark))) {
    lines.skip(sizeof byte_order_mark);
  } else if (looks_like_image(start, load_address)) {
    say(message::text_looks_like_image, input_name);
  }

  output.put(image::lead_byte);
  const line_rules rules(version);
  unsigned address = load_address + 1u;
  uint16_t line_number = 10;
  std::optional<uint16_t> previous;  // the number of the last record written
  int unnumbered = 0;                // lines with text but no number of their own
  uint16_t first_unnumbered = 0;
  int result = 0;
  for (;;) {
    line_tokenizer line(rules);
    std::optional<line_part> part;
    while ((part = lines.next(line.room()))) {
      line.add(*part);
      if (part->line_ends) break;
    }
    if (!part) break;

    if (line.number()) line_number = line.number()->stored();
    if (line.holds_only_controls() || line.length() == 0) continue;
    if (!line.number() && unnumbered++ == 0) first_unnumbered = line_number;
    if (line.length() > image::max_text_bytes) {
      say(message::line_too_long, line_number, line.length());
      result = -1;
      break;
    }
    const unsigned link = address + static_cast<unsigned>(line.length()) + image::record_overhead;
    if (link > highest_link) {
      say(message::line_past_top, line_number);
      result = -1;
      break;
    }
    if (line.number() ? !line.number()->enterable()
                      : line_number > written_number::highest_enterable) {
      output.flush();
      warn_line_number(err, line.number(), line_number);
    }
    if (previous && line_number <= *previous)
      say(message::line_out_of_order, line_number, *previous);

    const auto record = line.record(link, line_number);
    output.write({record.data(), record.size()});
    address = link;
    previous = line_number;
    line_number = static_cast<uint16_t>(line_number + 2);
  }
  if (!previous && result == 0 && load_address + 2u > highest_address) {
    // No record: the end marker follows the lead byte, and must fit below $10000 too.
    output.flush();
    report(err, message::program_past_top);
    result = -1;
  }
  output.put(image::low_byte(image::end_link));
  output.put(image::high_byte(image::end_link));
  if (unnumbered > 0) {
    say(message::lines_numbered_on, unnumbered, unnumbered == 1 ? "" : "s", first_unnumbered);
  }
  return result;
}

}  // namespace brenvik
