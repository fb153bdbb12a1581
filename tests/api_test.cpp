// The C door to the library: each call against what the command line gives for the same work.
#include "api/brenvik_api.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

namespace {

std::string example(const char* name) {
  std::ifstream file(std::filesystem::path(EXAMPLES_DIR) / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const auto* bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

using result = std::unique_ptr<brenvik_result, decltype(&brenvik_free)>;

std::string data_of(const brenvik_result* r) {
  return {reinterpret_cast<const char*>(brenvik_result_data(r)), brenvik_result_size(r)};
}

// The disk demo.65d with dice.bas stored as NEWDIC, as -t -w3 -disk demo.65d NEWDIC=dice.bas.
std::string stored_demo() {
  const std::string disk = example("demo.65d");
  const std::string listing = example("dice.bas");
  result r(brenvik_store(bytes(disk), disk.size(), "demo.65d", "new.65d", "newdic", listing.data(),
                         listing.size(), "dice.bas", 0, 3, -1),
           brenvik_free);
  return data_of(r.get());
}

constexpr char chose_rom[] =
    "BASIC version not specified, so I chose OSI BASIC In ROM (C1/C2/C4)\r\n";

struct api_case {
  const char* name;
  std::function<brenvik_result*()> run;
  std::optional<std::string> data;      // none: not checked
  std::optional<std::string> messages;  // none: not checked
  int status = 0;
  int version = -1;
  long load_address = -1;
};

TEST(api, does_what_the_command_line_does) {
  const std::string tok = example("hello.tok");
  const std::string bas = example("hello.bas");
  const std::string demo = example("demo.65d");
  const std::string memory = example("hello.mem");
  const std::string empty;
  const api_case cases[] = {
      {"an image, its version detected",
       [&] { return brenvik_list_image(bytes(tok), tok.size(), "hello.tok", -1, -1, 0); }, bas,
       chose_rom, 0, 0, 0x0300},
      {"a listing given as an image",
       [&] { return brenvik_list_image(bytes(bas), bas.size(), "hello.bas", -1, -1, 0); },
       std::nullopt,
       "Can't detect the BASIC version from line link $3031, use -w<version>\r\n"
       "hello.bas looks like a text listing: to tokenize it, use -t\r\n",
       1},
      {"a listing tokenized",
       [&] { return brenvik_tokenize(bas.data(), bas.size(), "hello.bas", 0, 0, -1); }, tok, "", 0,
       0, 0x0300},
      {"an empty listing: lead byte and end marker",
       [&] { return brenvik_tokenize(empty.data(), 0, "empty.bas", 0, 3, 0x4000); },
       std::string("\0\0\0", 3), "", 0, 3, 0x4000},
      {"typed for a version that takes no typed lines",
       [&] { return brenvik_tokenize(bas.data(), bas.size(), "hello.bas", 1, 5, -1); },
       std::string(), "-typed knows the ROM and OS65D BASICs (versions 0 to 4), not version 5\r\n",
       1},
      {"a disk's directory",
       [&] { return brenvik_disk_directory(bytes(demo), demo.size(), "demo.65d", 0, -1); },
       "HELLO   1-1    BASIC $327E 144 bytes\r\n"
       "DICE    2-2    BASIC $327E 170 bytes\r\n"
       "DIRECT  3-3    BASIC $327E 79 bytes\r\n"
       "free: 35 tracks, longest run 27 from track 13\r\n",
       ""},
      {"no disk",
       [&] { return brenvik_disk_directory(bytes(tok), tok.size(), "hello.tok", 1, -1); },
       std::string(),
       "\r\nbrenvik: hello.tok is no OS65D, Pico-DOS or HEXDOS disk: 144 bytes, neither a flat "
       "image (92160 or 295680 bytes) nor a bitstream image\r\n",
       1},
      {"an entry, named in any case",
       [&] { return brenvik_list_entry(bytes(demo), demo.size(), "demo.65d", "dice", -1); },
       example("dice.bas"), std::string(), 0, 3, 0x327E},
      {"no such entry",
       [&] { return brenvik_list_entry(bytes(demo), demo.size(), "demo.65d", "nope", -1); },
       std::string(), "\r\nbrenvik: No file nope on demo.65d\r\n", 1},
      {"a listing stored, and listed from the new disk",
       [&] {
         const std::string disk = stored_demo();
         return brenvik_list_entry(bytes(disk), disk.size(), "new.65d", "NEWDIC", -1);
       },
       example("dice.bas"), std::string(), 0, 3, 0x327E},
      {"a name OS65D cannot keep",
       [&] {
         return brenvik_store(bytes(demo), demo.size(), "demo.65d", "new.65d", "toolongname",
                              bas.data(), bas.size(), "hello.bas", 0, 3, -1);
       },
       std::string(),
       "toolongname=hello.bas: TOOLONGNAME cannot be an OS65D file name: 1 to 6 capitals, digits "
       "or signs such as * / -; give one with NAME=hello.bas\r\n"
       "\r\nbrenvik: new.65d not written: 1 input could not be stored\r\n",
       1},
      {"a memory snapshot",
       [&] { return brenvik_list_memory(bytes(memory), memory.size(), "hello.mem", -1, -1, -1); },
       bas, chose_rom, 0, 0, 0x0300},
      {"a version's keywords", [] { return brenvik_keywords(6); }, std::nullopt, "", 0, 6},
      {"no such version", [] { return brenvik_keywords(7); }, std::string(), std::nullopt, 1, 7},
  };
  for (const api_case& c : cases) {
    SCOPED_TRACE(c.name);
    result r(c.run(), brenvik_free);
    ASSERT_NE(r, nullptr);
    if (c.data) {
      EXPECT_EQ(data_of(r.get()), *c.data);
    }
    if (c.messages) {
      EXPECT_EQ(
          std::string(brenvik_result_messages(r.get()), brenvik_result_messages_size(r.get())),
          *c.messages);
    }
    EXPECT_EQ(brenvik_result_status(r.get()), c.status);
    EXPECT_EQ(brenvik_result_version(r.get()), c.version);
    EXPECT_EQ(brenvik_result_load_address(r.get()), c.load_address);
  }
}

}  // namespace
