#include "tokenize/tokenizer.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "byte_io.h"
#include "catalogue/catalogue.h"
#include "image/image_format.h"
#include "messages.h"
#include "tokenize/matcher.h"

namespace brenvik {

namespace {

// Splits the input into physical lines; a line ends at LF, at CR LF or at CR alone.
class line_reader {
 public:
  explicit line_reader(FILE* in) : input_(in) {}

  // The next line without its line end, or nothing at the end of input. The text stays
  // valid until the next call.
  std::optional<std::string_view> next() {
    consume(line_and_end_);
    line_and_end_ = 0;
    std::size_t scanned = 0;
    for (;;) {
      const auto bytes = input_.pending();
      const std::size_t end = line_end(bytes, scanned);
      // A CR read last may be the first half of CR LF: read on before deciding.
      const bool open_cr = end + 1 == bytes.size() && bytes[end] == '\r' && !at_end_;
      if (end < bytes.size() && !open_cr) {
        line_and_end_ = end + 1;
        if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') {
          ++line_and_end_;
        }
        return as_text(bytes.first(end));
      }
      if (at_end_) {
        if (bytes.empty()) return std::nullopt;
        line_and_end_ = bytes.size();
        return as_text(bytes);
      }
      scanned = end;
      if (!input_.read_more()) at_end_ = true;
    }
  }

 private:
  static std::string_view as_text(std::span<const unsigned char> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
  }

  // The offset of the first CR or LF at or after `from`, or the size when there is none.
  // The next LF is remembered, so that a text with CR line ends is not searched to its end
  // for an LF at every line.
  std::size_t line_end(std::span<const unsigned char> bytes, std::size_t from) {
    if (from == bytes.size()) return from;  // nothing to search (and maybe no buffer yet)
    if (!lf_known_ || lf_ < from) {
      const void* lf = std::memchr(bytes.data() + from, '\n', bytes.size() - from);
      lf_known_ = lf != nullptr;
      if (lf_known_)
        lf_ = static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - bytes.data());
    }
    const std::size_t limit = lf_known_ ? lf_ : bytes.size();
    const void* cr = std::memchr(bytes.data() + from, '\r', limit - from);
    return cr != nullptr
               ? static_cast<std::size_t>(static_cast<const unsigned char*>(cr) - bytes.data())
               : limit;
  }

  void consume(std::size_t count) {
    input_.consume(count);
    lf_known_ = lf_known_ && lf_ >= count;
    if (lf_known_) lf_ -= count;
  }

  block_reader input_;
  std::size_t line_and_end_ = 0;
  bool at_end_ = false;
  bool lf_known_ = false;  // lf_ is the offset of the next LF in the pending bytes
  std::size_t lf_ = 0;
};

constexpr bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Characters at which a keyword may begin: letters and the operator characters.
constexpr std::array<bool, 256> keyword_starts = [] {
  std::array<bool, 256> starts{};
  for (char c = 'A'; c <= 'Z'; ++c)
    starts[static_cast<unsigned char>(c)] = true;
  for (char c = 'a'; c <= 'z'; ++c)
    starts[static_cast<unsigned char>(c)] = true;
  for (const char c : std::string_view("+-*/^>=<"))
    starts[static_cast<unsigned char>(c)] = true;
  return starts;
}();

// Reads a leading decimal number as "%d" does (white space, then an optional sign, then at
// least one digit), keeping it modulo 65536 so that no number overflows. On success moves
// `text` past the digits.
std::optional<uint16_t> read_line_number(const char*& text) {
  const char* p = text;
  while (is_space(*p))
    ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (!is_digit(*p)) return std::nullopt;
  unsigned value = 0;
  for (; is_digit(*p); ++p)
    value = (value * 10 + static_cast<unsigned>(*p - '0')) & 0xFFFF;
  text = p;
  return static_cast<uint16_t>(negative ? 0x10000 - value : value);
}

// The token codes after which the rest of a line, or of a DATA statement, is kept as
// characters; 0 where the version has no such keyword.
struct literal_codes {
  int rem = 0;
  int data = 0;
};

literal_codes literal_codes_of(int version) {
  literal_codes codes;
  if (!is_version(version)) return codes;
  const keyword_list keywords = version_table[static_cast<std::size_t>(version)].keywords;
  for (std::size_t p = 0; p < keywords.size(); ++p) {
    const int code = static_cast<int>(first_token + p);
    if (keywords[p] == "REM" && codes.rem == 0) codes.rem = code;
    if (keywords[p] == "DATA" && codes.data == 0) codes.data = code;
  }
  return codes;
}

// Tokenizes the text from `text` to `end` (which holds a zero) in place and returns the
// tokenized length. Writing in place is safe: every token replaces at least one
// character, so the tokenized text never outruns the reading position.
//
// Outside strings, a keyword may begin at every letter and operator character. A string
// runs from a double quote to the next one or to the end of the line. After REM the rest
// of the line is kept as it stands; after DATA, the rest of the statement, up to a colon
// outside a string.
std::size_t tokenize_line(char* const text, const char* const end, int version,
                          literal_codes literal) {
  char* out = text;
  const char* in = text;
  const auto copy_to = [&](const char* stop) {
    std::memmove(out, in, static_cast<std::size_t>(stop - in));
    out += stop - in;
    in = stop;
  };
  const auto string_end = [&](const char* quote) {
    const void* closing = std::memchr(quote + 1, '"', static_cast<std::size_t>(end - quote - 1));
    return closing != nullptr ? static_cast<const char*>(closing) + 1 : end;
  };

  while (in != end) {
    const char c = *in;
    if (keyword_starts[static_cast<unsigned char>(c)]) {
      int length = 0;
      if (const int code = match_keyword(in, version, length); code != 0) {
        *out++ = static_cast<char>(code);
        in += length;
        if (code == literal.rem) {
          copy_to(end);
        } else if (code == literal.data) {
          while (in != end && *in != ':')
            copy_to(*in == '"' ? string_end(in) : in + 1);
          if (in != end) copy_to(in + 1);
        }
        continue;
      }
    } else if (c == '"') {
      copy_to(string_end(in));
      continue;
    }
    *out++ = c;
    ++in;
  }
  return static_cast<std::size_t>(out - text);
}

}  // namespace

int tokenize_text(FILE* in, FILE* out, FILE* err, int version, uint16_t load_address) {
  line_reader lines(in);
  block_writer output(out);
  output.put(image::lead_byte);

  const literal_codes literal = literal_codes_of(version);
  auto address = static_cast<uint16_t>(load_address + 1);
  uint16_t line_number = 10;
  std::string line;  // zero-terminated copy, tokenized in place
  int result = 0;
  while (const auto physical_line = lines.next()) {
    line.assign(*physical_line);
    char* const line_start = line.data();
    const char* const line_end = line_start + std::strlen(line_start);  // a zero byte ends it
    const char* text = line_start;
    if (const auto number = read_line_number(text)) line_number = *number;
    while (is_space(*text))
      ++text;

    char* const tokens = line_start + (text - line_start);
    const std::size_t length = tokenize_line(tokens, line_end, version, literal);
    if (length == 0) continue;
    if (length > image::max_text_bytes) {
      output.flush();
      report(err, message::line_too_long, line_number, length);
      result = -1;
      break;
    }
    const auto link = static_cast<uint16_t>(address + length + image::record_overhead);
    output.put(image::low_byte(link));
    output.put(image::high_byte(link));
    output.put(image::low_byte(line_number));
    output.put(image::high_byte(line_number));
    output.write({tokens, length});
    output.put(image::terminator);
    address = link;
    line_number = static_cast<uint16_t>(line_number + 2);
  }
  output.put(image::low_byte(image::end_link));
  output.put(image::high_byte(image::end_link));
  return result;
}

}  // namespace brenvik
