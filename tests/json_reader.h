// A small, strict JSON reader for tests: a document is read whole into a tree, or not at
// all, so that a test checks brenvik's JSON against the format and not only against text.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::testing {

struct json {
  enum kind_t { null, boolean, number, string, array, object } kind = null;
  bool truth = false;
  double value = 0;
  std::string text;                     // string
  std::vector<json> items;              // array
  std::map<std::string, json> members;  // object

  const json& operator[](const std::string& name) const { return members.at(name); }
  const json& operator[](std::size_t i) const { return items.at(i); }
  bool has(const std::string& name) const { return members.count(name) != 0; }
};

class json_reader {
 public:
  // The document `text`, or nothing when it is not exactly one JSON value.
  static std::optional<json> read(std::string_view text) {
    json_reader reader(text);
    json result;
    if (!reader.value(result)) return std::nullopt;
    reader.space();
    if (reader.at_ != text.size()) return std::nullopt;
    return result;
  }

 private:
  explicit json_reader(std::string_view text) : text_(text) {}

  void space() {
    while (at_ < text_.size() &&
           std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos)
      ++at_;
  }
  bool take(char c) {
    space();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  bool value(json& out) {
    space();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') return object(out);
    if (c == '[') return array(out);
    if (c == '"') {
      out.kind = json::string;
      return string(out.text);
    }
    if (word("null")) return true;
    if (word("true") || word("false")) {
      out.kind = json::boolean;
      out.truth = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
      return true;
    }
    return number(out);
  }

  bool number(json& out) {
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    const std::size_t digits = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
      ++at_;
    if (at_ == digits || (text_[digits] == '0' && at_ - digits > 1)) return false;
    out.kind = json::number;
    out.value = std::stod(std::string(text_.substr(start, at_ - start)));
    return true;
  }

  bool string(std::string& out) {
    if (!take('"')) return false;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      const std::string_view simple = "\"\\/bfnrt";
      const std::string_view meant = "\"\\/\b\f\n\r\t";
      if (const std::size_t i = simple.find(e); i != std::string_view::npos) {
        out += meant[i];
      } else if (e == 'u' && at_ + 4 <= text_.size()) {
        const unsigned code =
            static_cast<unsigned>(std::stoul(std::string(text_.substr(at_, 4)), nullptr, 16));
        at_ += 4;
        if (code > 0xFF) return false;  // brenvik writes bytes only
        out += static_cast<char>(code);
      } else {
        return false;
      }
    }
    return false;
  }

  bool array(json& out) {
    out.kind = json::array;
    take('[');
    if (take(']')) return true;
    do {
      if (!value(out.items.emplace_back())) return false;
    } while (take(','));
    return take(']');
  }

  bool object(json& out) {
    out.kind = json::object;
    take('{');
    if (take('}')) return true;
    do {
      space();
      std::string name;
      if (!string(name) || !take(':') || out.members.count(name) != 0) return false;
      if (!value(out.members[name])) return false;
    } while (take(','));
    return take('}');
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace brenvik::testing
