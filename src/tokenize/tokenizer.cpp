#include "tokenize/tokenizer.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "image/byte_io.h"
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
    input_.consume(line_and_end_);
    line_and_end_ = 0;
    std::size_t scanned = 0;
    for (;;) {
      const auto bytes = input_.pending();
      std::size_t end = scanned;
      while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
        ++end;
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

  block_reader input_;
  std::size_t line_and_end_ = 0;
  bool at_end_ = false;
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

// The text of one line record, of which at most a record's worth of bytes is kept while
// the whole length is counted.
class record_text {
 public:
  void put(unsigned char byte) {
    if (length_ < kept_.size()) kept_[length_] = static_cast<char>(byte);
    ++length_;
  }
  void clear() { length_ = 0; }
  std::size_t length() const { return length_; }
  bool fits() const { return length_ <= image::max_text_bytes; }
  std::string_view text() const { return {kept_.data(), length_}; }

 private:
  std::array<char, image::max_text_bytes> kept_;
  std::size_t length_ = 0;
};

enum class literal { none, to_line_end, to_colon };

// Tokenizes the text of one line, from its start to its terminating zero.
void tokenize_line(const char* text, int version, record_text& record) {
  bool quoted = false;
  literal rest = literal::none;
  while (*text != '\0') {
    const char c = *text;
    if (c == '"') quoted = !quoted;
    if (quoted || rest != literal::none) {
      // DATA's literal text ends with the statement, at a colon outside a string.
      if (rest == literal::to_colon && c == ':' && !quoted) rest = literal::none;
    } else if (keyword_starts[static_cast<unsigned char>(c)]) {
      int length = 0;
      if (const int code = match_keyword(text, version, length); code != 0) {
        record.put(static_cast<unsigned char>(code));
        text += length;
        const std::string_view keyword =
            keyword_text(version, code - static_cast<int>(first_token));
        if (keyword == "REM") rest = literal::to_line_end;
        if (keyword == "DATA") rest = literal::to_colon;
        continue;
      }
    }
    record.put(static_cast<unsigned char>(c));
    ++text;
  }
}

}  // namespace

int tokenize_text(FILE* in, FILE* out, FILE* err, int version, uint16_t load_address) {
  line_reader lines(in);
  block_writer output(out);
  output.put(image::lead_byte);

  uint16_t address = static_cast<uint16_t>(load_address + 1);
  uint16_t line_number = 10;
  std::string line;  // zero-terminated copy: a zero byte in the input ends the text there
  record_text record;
  int result = 0;
  while (const auto physical_line = lines.next()) {
    line.assign(*physical_line);
    const char* text = line.c_str();
    if (const auto number = read_line_number(text)) line_number = *number;
    while (is_space(*text))
      ++text;

    record.clear();
    tokenize_line(text, version, record);
    if (record.length() == 0) continue;
    if (!record.fits()) {
      output.flush();
      report(err, message::line_too_long, line_number, record.length());
      result = -1;
      break;
    }
    const auto link = static_cast<uint16_t>(address + record.length() + image::record_overhead);
    output.put(image::low_byte(link));
    output.put(image::high_byte(link));
    output.put(image::low_byte(line_number));
    output.put(image::high_byte(line_number));
    output.write(record.text());
    output.put(image::terminator);
    address = link;
    line_number = static_cast<uint16_t>(line_number + 2);
  }
  output.put(image::low_byte(image::end_link));
  output.put(image::high_byte(image::end_link));
  return result;
}

}  // namespace brenvik
