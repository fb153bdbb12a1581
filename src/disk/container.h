// The two forms in which OS65D floppy disks are kept: flat images, the bytes the disk
// controller delivers, track after track; and bitstream images (an emulator's), the serial
// line between disk and controller as bits, a character being a frame of a 0 start bit, 8
// data bits (least significant first), an even parity bit and a 1 stop bit.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image_bytes.h"

namespace brenvik::disk {

enum class form { flat, bitstream };

// The sizes of flat images (40 tracks of 2304 bytes, 77 of 3840), and the text a
// bitstream image begins with.
inline constexpr long flat_size_5 = 40L * 2304;
inline constexpr long flat_size_8 = 77L * 3840;
inline constexpr std::string_view bitstream_signature = "OSIDISKBITSTREAM";

// What the image holds: the form, and the disk's size and number of tracks.
struct geometry {
  form kind = form::flat;
  bool eight_inch = false;
  int tracks = 0;
  std::uint64_t first_track = 0;  // offset of track 0 in the file
  std::size_t track_size = 0;     // bytes a track takes in the file
};

// Why an image is no disk image this reader knows.
struct container_problem {
  enum kind_t { wrong_size, unknown_bitstream, short_bitstream, long_bitstream } kind;
  std::uint64_t size = 0;          // of the file
  unsigned version = 0, type = 0;  // of a bitstream header
  std::uint64_t most = 0;          // long_bitstream: the most bytes a disk of its type takes
};

// The most bytes an image this reader knows can have: the largest disk, plus less than a
// track, behind the largest bitstream header. A pipe is read no further than that.
std::uint64_t most_image_size();

// Tells the form from the content (a bitstream's header) and the size, never the name.
// A flat image holds 40 tracks of 2304 bytes (5.25") or 77 of 3840 (8"); a bitstream image
// its header's tracks from its first track's offset on. Either may have fewer than a track's
// bytes more, which belong to no track; a longer file is refused before anything of it is
// read, so that no more than one disk's bytes are ever held.
bool identify(image_bytes& image, geometry& found, container_problem& problem);

// A track as the controller delivers it. For a bitstream track, per byte also the bit where
// its frame starts, and the bytes whose frames broke their parity or stop bit.
struct track {
  std::vector<unsigned char> bytes;
  std::vector<std::uint32_t> frame_bits;    // bitstream only
  std::vector<std::uint32_t> frame_errors;  // bitstream only: indexes in `bytes`, ascending
  std::size_t line_bits = 0;                // bitstream only: the track's length in bits
  bool read = false;                        // false: the file could not be read there

  // The number of bytes from `from` to `to` whose frames are broken.
  int errors_between(std::size_t from, std::size_t to) const;
};

// Reads track `number` (0 to tracks - 1) of an identified image.
track read_track(image_bytes& image, const geometry& disk, int number);

// Writes `value` as byte `index` of track `number` into `file`, the whole image file in
// memory: in place for a flat image; for a bitstream image by rewriting the data and parity
// bits of the frame that holds it (`frames` is the track as read), so that nothing moves.
void write_track_byte(std::span<unsigned char> file, const geometry& disk, int number,
                      const track& frames, std::size_t index, unsigned char value);

// How many bytes can be written to follow byte `index` of a track: on a flat track the rest of
// it; on a bitstream track none when another frame follows, else as many frames as fit on the
// idle line after it, one frame's bits to spare before the track's end.
std::size_t room_after(const geometry& disk, const track& frames, std::size_t index);

// Writes `values`, at most room_after() of them, as the bytes that follow byte `index` of
// track `number`: in place in a flat image; in a bitstream image as new frames right after
// that byte's frame, where the line idled. `frames` (the track as read) then no longer
// describes the track: read it again.
void extend_track(std::span<unsigned char> file, const geometry& disk, int number,
                  const track& frames, std::size_t index, std::span<const unsigned char> values);

}  // namespace brenvik::disk
