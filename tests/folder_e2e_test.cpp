// Whole disks and collections through the built binary: -o naming a folder (one file per
// input, names escaped for any host), -o naming one file for one input only, the directory
// as JSON and its free space, and names that never move the terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "disk_images.h"
#include "dos_images.h"
#include "images.h"
#include "json_reader.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

const std::string chose_row_3 =
    "BASIC version not specified, so I chose OSI OS65D v3.1 BASIC 5.25\" disk\r\n";

// A disk whose names need escaping in file names, or in the directory and messages.
fake_disk awkward_disk() {
  fake_disk disk;
  disk.directory({{"OS65D3", 0x00, bcd(12)},
                  {"E/MARS", bcd(14), bcd(14)},
                  {"BEXEC*", bcd(15), bcd(15)},
                  {"USR CA", bcd(16), bcd(16)},
                  {".HID", bcd(17), bcd(17)},
                  {"A%B", bcd(18), bcd(18)},
                  {"X\x1b[2J", bcd(19), bcd(19)},
                  {"DATA", bcd(20), bcd(20)},
                  {"BAD", bcd(30), bcd(30)},
                  {"TWIN", bcd(21), bcd(21)},
                  {"TWIN", bcd(22), bcd(22)}});
  for (int track = 14; track <= 22; ++track) {
    if (track == 20) continue;
    disk.file(track,
              basic_file(0x327E, image_of(0x327E, {{static_cast<unsigned>(track), "\x97"}}), 2048));
  }
  disk.file(20, bytes_t(2048, 'D'));
  disk.raw_track(30, bytes_t(50, 0x55));
  return disk;
}

// The listing of the program awkward_disk() keeps on `track`.
std::string program_on(int track) {
  return std::to_string(track) + " PRINT\r\n";
}

class folder_e2e : public ::testing::Test {
 protected:
  void SetUp() override { write_file(dir / "awkward.65d", awkward_disk().flat()); }
  run_result run(const std::vector<std::string>& args) { return run_brenvik(dir, args); }
  std::set<std::string> files_in(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& file : std::filesystem::directory_iterator(dir / folder))
      names.insert(file.path().filename().string());
    return names;
  }
  scratch_dir dir;
};

TEST_F(folder_e2e, every_program_of_a_disk_into_a_folder) {
  const std::string bad = "awkward.65d: entry BAD   : track 30 has no track header\r\n";
  const std::string twin =
      "awkward.65d TWIN: not converted: out/TWIN.bas was written for awkward.65d TWIN in this "
      "run\r\n";
  std::string chosen;
  for (int i = 0; i < 6; ++i)
    chosen += chose_row_3;

  const run_result first = run({"-disk", "awkward.65d", "-o", "out/"});
  EXPECT_EQ(first.status, 1);  // BAD cannot be read, and the second TWIN finds its file taken
  EXPECT_EQ(first.err, chosen + bad + chose_row_3 + twin + "7 files written to out/\r\n");
  EXPECT_EQ(files_in("out"),
            (std::set<std::string>{"E%2FMARS.bas", "BEXEC%2A.bas", "USR%20CA.bas", "%2EHID.bas",
                                   "A%25B.bas", "X%1B[2J.bas", "TWIN.bas"}));
  EXPECT_EQ(read_file(dir / "out/E%2FMARS.bas"), program_on(14));
  EXPECT_EQ(read_file(dir / "out/X%1B[2J.bas"), program_on(19));
  EXPECT_EQ(read_file(dir / "out/TWIN.bas"), program_on(21));

  // Again without -f: every file is there, each input is refused, and the run goes on.
  write_file(dir / "out/BEXEC%2A.bas", "mine");
  const run_result again = run({"-disk", "awkward.65d", "-o", "out"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("Output file out/BEXEC%2A.bas exists! Use -f to force overwrite.\r\n"),
            std::string::npos);
  EXPECT_TRUE(again.err.ends_with("0 files written to out\r\n")) << again.err;
  EXPECT_EQ(read_file(dir / "out/BEXEC%2A.bas"), "mine");

  const run_result forced = run({"-f", "-disk", "awkward.65d", "-o", "out/"});
  EXPECT_TRUE(forced.err.ends_with("7 files written to out/\r\n")) << forced.err;
  EXPECT_EQ(read_file(dir / "out/BEXEC%2A.bas"), program_on(15));

  // Entries named go into the folder too.
  const run_result named = run({"-disk", "awkward.65d", "-o", "two/", "usr ca", "E/MARS"});
  EXPECT_EQ(named.status, 0);
  EXPECT_EQ(files_in("two"), (std::set<std::string>{"USR%20CA.bas", "E%2FMARS.bas"}));
}

// What lies at an output's name in the folder: a link is replaced, never followed; a pipe,
// a folder or the disk itself refuses that entry alone. -o naming a link names its target.
TEST_F(folder_e2e, what_lies_at_a_name_in_the_folder) {
  namespace fs = std::filesystem;
  fs::create_directories(dir / "out/%2EHID.bas");
  write_file(dir / "victim", "victim");
  fs::create_symlink("../victim", dir / "out/E%2FMARS.bas");
  fs::create_symlink("../awkward.65d", dir / "out/BEXEC%2A.bas");
  ASSERT_EQ(mkfifo((dir / "out/USR%20CA.bas").c_str(), 0600), 0);
  fs::create_hard_link(dir / "awkward.65d", dir / "out/A%25B.bas");
  const std::string pipe =
      "Output file out/USR%20CA.bas is a named pipe, not a file: move it away or write into "
      "another folder\r\n";
  const std::string folder =
      "Output file out/%2EHID.bas is a folder, not a file: move it away or write into another "
      "folder\r\n";
  const std::string rest =
      "awkward.65d: entry BAD   : track 30 has no track header\r\n" + chose_row_3 +
      "awkward.65d TWIN: not converted: out/TWIN.bas was written for awkward.65d TWIN in this "
      "run\r\n";
  run_setup guarded;
  guarded.alarm_seconds = 20;  // a pipe opened would wait for a reader

  const run_result kept = run_brenvik(dir, {"-disk", "awkward.65d", "-o", "out/"}, guarded);
  EXPECT_EQ(kept.status, 1);
  EXPECT_EQ(kept.err,
            "Output file out/E%2FMARS.bas exists! Use -f to force overwrite.\r\n"
            "Output file out/BEXEC%2A.bas exists! Use -f to force overwrite.\r\n" +
                pipe + folder + "Output file out/A%25B.bas exists! Use -f to force overwrite.\r\n" +
                chose_row_3 + rest + "2 files written to out/\r\n");
  EXPECT_TRUE(fs::is_symlink(dir / "out/E%2FMARS.bas"));

  const run_result forced = run_brenvik(dir, {"-f", "-disk", "awkward.65d", "-o", "out/"}, guarded);
  EXPECT_EQ(forced.status, 1);
  EXPECT_EQ(forced.err, chose_row_3 + chose_row_3 + pipe + folder +
                            "Output file out/A%25B.bas is also an input of this run: write into "
                            "another folder\r\n" +
                            chose_row_3 + rest + "4 files written to out/\r\n");
  EXPECT_EQ(read_file(dir / "victim"), "victim");
  EXPECT_EQ(read_file(dir / "awkward.65d"), awkward_disk().flat());
  for (const std::string name : {"E%2FMARS.bas", "BEXEC%2A.bas"}) {
    EXPECT_FALSE(fs::is_symlink(dir / "out" / name)) << name;
    EXPECT_EQ(fs::status(dir / "out" / name).permissions() & fs::perms::others_write,
              fs::perms::none)
        << name;
  }
  EXPECT_EQ(read_file(dir / "out/E%2FMARS.bas"), program_on(14));
  EXPECT_EQ(read_file(dir / "out/BEXEC%2A.bas"), program_on(15));
  EXPECT_TRUE(fs::is_fifo(dir / "out/USR%20CA.bas"));
  EXPECT_TRUE(fs::is_directory(dir / "out/%2EHID.bas"));

  // -o naming a link: the file it points to is replaced, and the link stays.
  fs::create_symlink("victim", dir / "link.bas");
  const run_result named = run({"-f", "-disk", "awkward.65d", "-o", "link.bas", "E/MARS"});
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_TRUE(fs::is_symlink(dir / "link.bas"));
  EXPECT_EQ(read_file(dir / "victim"), program_on(14));
}

// A name longer than the folder takes refuses that entry alone; an output whose own name
// fits is replaced, however long (its temporary's name fits too).
TEST_F(folder_e2e, long_names_in_a_folder) {
  std::filesystem::create_directories(dir / "out");
  const auto limit = static_cast<std::size_t>(pathconf((dir / "out").c_str(), _PC_NAME_MAX));
  // A directory line holds at most 250 bytes: names grow long by escaping, '"' as %22.
  const std::string quotes(100, '"');
  const std::size_t escaped = (limit - 4) / 3;
  const std::string fits = std::string(escaped, '"') + std::string(limit - 4 - 3 * escaped, 'A');
  std::string fits_file;
  for (std::size_t i = 0; i < escaped; ++i)
    fits_file += "%22";
  fits_file += std::string(limit - 4 - 3 * escaped, 'A') + ".bas";
  ASSERT_EQ(fits_file.size(), limit);
  fake_hexdos hexdos;
  hexdos.directory({{2, quotes}, {3, fits}, {4, "HI"}}, 5);
  for (unsigned track = 2; track <= 4; ++track)
    hexdos.file(static_cast<int>(track), image_of(0x0B00, {{track, "\x80"}}));
  write_file(dir / "hexdos.img", hexdos.disk().flat());
  write_file(dir / "out" / fits_file, "old");

  const run_result result = run({"-f", "-w0", "-disk", "hexdos.img", "-o", "out/"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "hexdos.img " + quotes +
                            ": not converted: its file name in out/ would be 304 bytes, " +
                            "longer than the " + std::to_string(limit) +
                            " a name may have there: convert it alone with -o <file>\r\n" +
                            "3 files written to out/\r\n");
  EXPECT_EQ(files_in("out"), (std::set<std::string>{"DIRECTORY.bas", fits_file, "HI.bas"}));
  EXPECT_EQ(read_file(dir / "out" / fits_file), "3 END\r\n");
  EXPECT_EQ(read_file(dir / "out/HI.bas"), "4 END\r\n");
}

TEST_F(folder_e2e, files_into_a_folder) {
  std::filesystem::create_directories(dir / "games");
  write_file(dir / "games/ALIEN.tok", image_of(0x300, {{10, "\x80"}}));
  write_file(dir / "plain", image_of(0x300, {{20, "\x80"}}));
  write_file(dir / "hello.bas", "10 END\r\n");
  std::filesystem::create_directories(dir / "listings");
  const run_result listed = run({"-w0", "-o", "listings", "games/ALIEN.tok", "plain"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, "2 files written to listings\r\n");
  EXPECT_EQ(read_file(dir / "listings/ALIEN.bas"), "10 END\r\n");
  EXPECT_EQ(read_file(dir / "listings/plain.bas"), "20 END\r\n");
  // A second input of the same base name does not replace the first one's file.
  write_file(dir / "games/plain.tok", image_of(0x300, {{30, "\x80"}}));
  const run_result twice = run({"-w0", "-o", "again/", "plain", "games/plain.tok"});
  EXPECT_EQ(twice.status, 1);
  EXPECT_EQ(twice.err,
            "games/plain.tok: not converted: again/plain.bas was written for plain in this run\r\n"
            "1 files written to again/\r\n");
  EXPECT_EQ(read_file(dir / "again/plain.bas"), "20 END\r\n");

  const run_result tokenized = run({"-t", "-w0", "-o", "images/", "hello.bas"});
  EXPECT_EQ(tokenized.status, 0);
  EXPECT_EQ(read_file(dir / "images/hello.tok"), image_of(0x300, {{10, "\x80"}}));

  // The disk written by -t -disk into a folder takes the name of the disk read.
  const run_result stored =
      run({"-t", "-w3", "-disk", "awkward.65d", "-o", "disks/", "DATA=hello.bas"});
  EXPECT_EQ(stored.status, 0) << stored.err;
  EXPECT_EQ(stored.err, "1 files written to disks/\r\n");
  EXPECT_EQ(run({"-disk", "disks/awkward.65d", "DATA"}).out, "10 END\r\n");
}

TEST_F(folder_e2e, one_file_takes_one_input) {
  write_file(dir / "a.tok", image_of(0x300, {{10, "\x80"}}));
  write_file(dir / "out.bas", "old");
  struct row {
    std::vector<std::string> args;
    std::string err;
  };
  const row rows[] = {
      {{"-f", "-o", "out.bas", "a.tok", "a.tok"},
       "\r\nbrenvik: -o out.bas names one file, but 2 inputs were given: name a folder (-o "
       "out.bas/) to write one file each\r\n"},
      {{"-disk", "awkward.65d", "-f", "-o", "out.bas", "E/MARS", "TWIN", "BAD"},
       "\r\nbrenvik: -o out.bas names one file, but 3 inputs were given: name a folder (-o "
       "out.bas/) to write one file each\r\n"},
      {{"-o", "new/"}, "\r\nbrenvik: -o new/ is a folder: name the inputs to write into it\r\n"},
      {{"-disk", "awkward.65d", "-json", "-o", "new/"},
       "\r\nbrenvik: -o new/ is a folder, but -json writes one document: name a file\r\n"},
      {{"-o", "no/such/", "a.tok"}, "\r\nbrenvik: Can't open output file no/such/\r\n"},
  };
  for (const row& r : rows) {
    const run_result result = run(r.args);
    EXPECT_EQ(result.status, 1) << r.args.back();
    EXPECT_EQ(result.out, "") << r.args.back();
    EXPECT_EQ(result.err, r.err) << r.args.back();
  }
  EXPECT_EQ(read_file(dir / "out.bas"), "old");
  EXPECT_FALSE(std::filesystem::exists(dir / "new"));
}

TEST_F(folder_e2e, names_never_move_the_terminal) {
  const run_result listed = run({"-disk", "awkward.65d"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out,
            "OS65D3  0-12   other\r\n"
            "E/MARS  14-14  BASIC $327E 9 bytes\r\n"
            "BEXEC*  15-15  BASIC $327E 9 bytes\r\n"
            "USR CA  16-16  BASIC $327E 9 bytes\r\n"
            ".HID    17-17  BASIC $327E 9 bytes\r\n"
            "A%25B     18-18  BASIC $327E 9 bytes\r\n"
            "X%1B[2J   19-19  BASIC $327E 9 bytes\r\n"
            "DATA    20-20  other\r\n"
            "BAD     30-30  unreadable: track 30 has no track header\r\n"
            "TWIN    21-21  BASIC $327E 9 bytes\r\n"
            "TWIN    22-22  BASIC $327E 9 bytes\r\n"
            "free: 17 tracks, longest run 9 from track 31\r\n");
  const run_result missing = run({"-disk", "awkward.65d", "X\x1b[2J", "NO\rNAME"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, program_on(19));
  EXPECT_EQ(missing.err, chose_row_3 + "\r\nbrenvik: No file NO%0DNAME on awkward.65d\r\n");
}

TEST_F(folder_e2e, the_directory_as_json) {
  const run_result listed = run({"-disk", "awkward.65d", "-json"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, "");
  const std::optional<json> document = json_reader::read(listed.out);
  ASSERT_TRUE(document) << listed.out;
  const json& d = *document;
  EXPECT_EQ(d["disk"].text, "awkward.65d");
  EXPECT_EQ(d["dos"].text, "OS65D");
  EXPECT_EQ(d["form"].text, "flat");
  EXPECT_EQ(d["size"].text, "5.25");
  EXPECT_EQ(d["tracks"].value, 40);
  EXPECT_EQ(d["directory_track"].value, 12);
  ASSERT_EQ(d["entries"].items.size(), 11u);
  const json& dos = d["entries"][0];
  EXPECT_EQ(dos["name"].text, "OS65D3");
  EXPECT_EQ(dos["first"].value, 0);
  EXPECT_EQ(dos["last"].value, 12);
  EXPECT_EQ(dos["kind"].text, "other");
  EXPECT_FALSE(dos.has("load"));
  const json& escape = d["entries"][6];
  EXPECT_EQ(escape["name"].text, "X\x1b[2J");
  EXPECT_EQ(escape["kind"].text, "basic");
  EXPECT_EQ(escape["load"].value, 0x327E);
  EXPECT_EQ(escape["length"].value, 9);
  EXPECT_EQ(escape["version"].value, 3);
  EXPECT_FALSE(escape.has("problem"));
  const json& bad = d["entries"][8];
  EXPECT_EQ(bad["kind"].text, "unreadable");
  EXPECT_EQ(bad["problem"].text, "track 30 has no track header");
  EXPECT_EQ(d["free_tracks"].items.size(), 17u);
  EXPECT_EQ(d["free_tracks"][0].value, 13);
  EXPECT_EQ(d["longest_free_run"]["first"].value, 31);
  EXPECT_EQ(d["longest_free_run"]["length"].value, 9);
  EXPECT_NE(listed.out.find("\"name\": \"X\\u001B[2J\""), std::string::npos);

  // -w names the version a listing takes; the JSON is written like any output.
  EXPECT_EQ(json_reader::read(run({"-w0", "-disk", "awkward.65d", "-json"}).out)
                .value()["entries"][1]["version"]
                .value,
            0);
  EXPECT_EQ(run({"-disk", "awkward.65d", "-json", "-o", "dir.json"}).status, 0);
  EXPECT_EQ(read_file(dir / "dir.json"), listed.out);
  EXPECT_EQ(run({"-json", "x.tok"}).status, 1);
}

}  // namespace
}  // namespace brenvik
