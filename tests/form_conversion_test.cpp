#include "disk/form_conversion.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "corpus.h"
#include "disk/os65d.h"
#include "disk_images.h"

namespace brenvik::disk {
namespace {

using testing::as_bytes;
using testing::bytes_t;
using testing::fake_disk;

struct opened {
  std::unique_ptr<image_bytes> bytes;
  geometry shape;
};

opened open(std::span<const unsigned char> file) {
  opened o{image_in_memory(file), {}};
  container_problem problem;
  EXPECT_TRUE(identify(*o.bytes, o.shape, problem));
  return o;
}

bytes_t convert(std::span<const unsigned char> file, form to,
                std::vector<cut_track>* cut = nullptr) {
  const opened o = open(file);
  bytes_t out;
  std::vector<cut_track> left_out;
  EXPECT_EQ(convert_form(*o.bytes, o.shape, to, out, left_out).kind, conversion_problem::none);
  if (cut != nullptr) *cut = left_out;
  return out;
}

// Every track's sectors, numbered, as the reader finds them.
std::vector<bytes_t> sectors_of(std::span<const unsigned char> file) {
  const opened o = open(file);
  os65d_disk disk(*o.bytes, o.shape);
  std::vector<bytes_t> tracks;
  for (int number = 1; number < o.shape.tracks; ++number) {
    std::vector<sector> found;
    disk.sectors(number, found);
    bytes_t& all = tracks.emplace_back();
    const auto& bytes = disk.decoded_track(number).bytes;
    for (const sector& s : found) {
      all.push_back(static_cast<unsigned char>(s.number));
      all.insert(all.end(), bytes.begin() + static_cast<std::ptrdiff_t>(s.data),
                 bytes.begin() + static_cast<std::ptrdiff_t>(s.data + s.size()));
    }
  }
  return tracks;
}

bytes_t sector_bytes(int number, int pages, unsigned char fill) {
  bytes_t s(static_cast<std::size_t>(pages) * 256 + 5, fill);
  s[0] = 0x76;
  s[1] = static_cast<unsigned char>(number);
  s[2] = static_cast<unsigned char>(pages);
  s[s.size() - 2] = 0x47;
  s[s.size() - 1] = 0x53;
  return s;
}

// Where each frame of a flat track goes on the line: runs of bytes from a bit on.
TEST(form_conversion, flat_tracks_become_frames_where_real_disks_have_them) {
  struct run {
    std::size_t bit;
    bytes_t bytes;
  };
  struct row {  // NOLINT(clang-analyzer-optin.performance.Padding): a table row, read once
    const char* what;
    bool eight_inch;
    int track;
    bytes_t flat;  // the flat track's first bytes, zeros after them
    std::vector<run> frames;
  };
  const bytes_t header5 = {0x43, 0x57, 0x05, 0x58};
  const bytes_t s1 = sector_bytes(1, 1, 0xA1);
  const bytes_t s2 = sector_bytes(2, 2, 0x00);
  const bytes_t s3 = sector_bytes(3, 1, 0x33);
  const auto join = [](std::initializer_list<bytes_t> parts) {
    bytes_t all;
    for (const bytes_t& p : parts)
      all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const std::size_t after_header5 = 1476 + 4 * 11 + 248;
  const std::size_t after_header8 = 798 + 4 * 11 + 498;
  const bytes_t cut_sector = join({{0xFF}, sector_bytes(1, 1, 0x5A)});
  const bytes_t hexdos = join({bytes_t(11, 0), {0x57, 0x05, 0x01, 0x02}});
  bytes_t boot = {0x22, 0x00, 0x01};
  boot.resize(3 + 256, 0x00);
  boot[100] = 0xEA;
  const row rows[] = {
      {"strays before the header and between sectors are dropped",
       false,
       5,
       join({{0x12, 0xA0, 0x00}, header5, {0xFF}, s1, {0xFE, 0x01}, s2, s3, {0xFF}}),
       {{1476, header5},
        {after_header5, s1},
        {after_header5 + s1.size() * 11 + 250, s2},
        {after_header5 + s1.size() * 11 + 250 + s2.size() * 11 + 248, s3}}},
      {"8 inch gaps",
       true,
       5,
       join({{0x00}, header5, s1, s2}),
       {{798, header5}, {after_header8, s1}, {after_header8 + s1.size() * 11 + 500, s2}}},
      {"a header alone", false, 5, join({{0xFF, 0xFF}, header5}), {{1476, header5}}},
      {"a sector cut short after the header",
       false,
       5,
       join({header5, bytes_t(cut_sector.begin(), cut_sector.end() - 3)}),
       {{1476, header5}, {after_header5, bytes_t(cut_sector.begin(), cut_sector.end() - 3)}}},
      {"a header of another track is data",
       false,
       5,
       join({{0x43, 0x57, 0x06, 0x58}, s1}),
       {{1476, join({{0x43, 0x57, 0x06, 0x58}, s1})}}},
      {"a HEXDOS track from its first byte", false, 5, hexdos, {{1476, hexdos}}},
      {"track 0 as its boot header says", false, 0, boot, {{1476, boot}}},
      {"an unformatted track is idle", false, 9, {}, {}},
  };
  for (const row& r : rows) {
    fake_disk disk(r.eight_inch);
    disk.raw_track(r.track, r.flat);
    const std::string flat = disk.flat();
    const bytes_t bits = convert(as_bytes(flat), form::bitstream);
    const opened o = open(bits);
    EXPECT_EQ(o.shape.kind, form::bitstream) << r.what;
    EXPECT_EQ(o.shape.eight_inch, r.eight_inch) << r.what;
    const track t = read_track(*o.bytes, o.shape, r.track);
    bytes_t values;
    std::vector<std::uint32_t> starts;
    for (const run& frames : r.frames) {
      for (std::size_t i = 0; i < frames.bytes.size(); ++i)
        starts.push_back(static_cast<std::uint32_t>(frames.bit + i * 11));
      values.insert(values.end(), frames.bytes.begin(), frames.bytes.end());
    }
    EXPECT_EQ(t.bytes, values) << r.what;
    EXPECT_EQ(t.frame_bits, starts) << r.what;
    EXPECT_TRUE(t.frame_errors.empty()) << r.what;
    EXPECT_EQ(bits.size(), r.eight_inch ? 256u + 77 * 0x1500 : 256u + 40 * 0xD00) << r.what;
    EXPECT_EQ(bytes_t(bits.begin(), bits.begin() + 20),
              (bytes_t{'O', 'S', 'I', 'D', 'I', 'S',
                       'K', 'B', 'I', 'T', 'S', 'T',
                       'R', 'E', 'A', 'M', 1,   static_cast<unsigned char>(r.eight_inch ? 1 : 0),
                       1,   0xFF}))
        << r.what;
  }
}

// Both ways, a disk keeps its sectors; the flat form holds each track's frames from its
// start, zeros after them; what does not fit is said.
TEST(form_conversion, both_ways_keep_the_sectors) {
  for (const bool eight_inch : {false, true}) {
    fake_disk disk(eight_inch);
    disk.directory({{"PROG", testing::bcd(14), testing::bcd(15)}});
    disk.file(14, bytes_t(3000, 0x7E));
    disk.format(3, {bytes_t(256, 1), bytes_t(512, 2), bytes_t(256, 3)}, {0xFF, 0x00, 0x13});
    disk.raw_track(4, {0x57, 0x04, 0x01});
    const std::string flat = disk.flat();
    const std::string bitstream = disk.bitstream(1);
    const bytes_t from_flat = convert(as_bytes(flat), form::bitstream);
    const bytes_t from_bits = convert(as_bytes(bitstream), form::flat);
    EXPECT_EQ(sectors_of(from_flat), sectors_of(as_bytes(flat))) << eight_inch;
    EXPECT_EQ(sectors_of(from_bits), sectors_of(as_bytes(flat))) << eight_inch;
    EXPECT_EQ(sectors_of(convert(from_flat, form::flat)), sectors_of(as_bytes(flat)));
    EXPECT_EQ(convert(from_bits, form::bitstream), from_flat) << eight_inch;
    const std::size_t track_size = eight_inch ? 3840 : 2304;
    bytes_t track4(track_size, 0);
    track4[0] = 0x57;
    track4[1] = 0x04;
    track4[2] = 0x01;
    const auto at = static_cast<std::ptrdiff_t>(4 * track_size);
    EXPECT_EQ(bytes_t(from_bits.begin() + at, from_bits.begin() + at + std::ssize(track4)), track4)
        << eight_inch;
  }
  fake_disk full;
  full.raw_track(2, bytes_t(2304, 0x11));
  std::vector<cut_track> cut;
  convert(as_bytes(full.flat()), form::bitstream, &cut);
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].track, 2);
  EXPECT_EQ(cut[0].bytes, 2304u - (26624 - 1476) / 11);

  std::string eighty = fake_disk().bitstream();
  eighty[17] = 2;
  eighty.resize(256 + 80 * 0xD00, '\xFF');
  const opened o = open(as_bytes(eighty));
  bytes_t out;
  EXPECT_EQ(convert_form(*o.bytes, o.shape, form::flat, out, cut).kind,
            conversion_problem::no_flat_form);
}

// The tutorial disk kept in both forms: each converted gives the other's sectors, and the
// flat one's frames lie bit for bit where the real bitstream has them on every track that
// holds sectors.
TEST(form_conversion, the_real_pair_converts_into_each_other) {
  const std::string flat_name = "disks/C1P-OS65D_3.3_Tutorial1.65D";
  const std::string bits_name = "disks/c1p-os65d_3.3_tutorial1.os5";
  for (const auto& name : {flat_name, bits_name})
    if (const auto why = testing::corpus_missing(name)) GTEST_SKIP() << *why;
  const auto load = [](const std::string& name) {
    std::ifstream in(testing::corpus / name, std::ios::binary);
    return bytes_t(std::istreambuf_iterator<char>(in), {});
  };
  const bytes_t flat = load(flat_name);
  const bytes_t bits = load(bits_name);
  const bytes_t made_bits = convert(flat, form::bitstream);
  EXPECT_EQ(sectors_of(made_bits), sectors_of(bits));
  EXPECT_EQ(sectors_of(convert(bits, form::flat)), sectors_of(flat));
  const opened real = open(bits);
  const opened made = open(made_bits);
  const std::vector<bytes_t> sectors = sectors_of(flat);
  int same = 0;
  for (int number = 0; number < 40; ++number) {
    if (number > 0 && sectors[static_cast<std::size_t>(number - 1)].empty()) continue;
    const track a = read_track(*real.bytes, real.shape, number);
    const track b = read_track(*made.bytes, made.shape, number);
    same += a.bytes == b.bytes && a.frame_bits == b.frame_bits ? 1 : 0;
  }
  EXPECT_EQ(same, 36);
}

}  // namespace
}  // namespace brenvik::disk
