// Every text the tool writes besides its listings and images, and its exit statuses.
//
// Texts end in "\r\n" whatever the host's line convention, because the tool's listings and
// messages have always been written that way and scripts compare them byte for byte.
// Messages are written with report(); nothing else prints them.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

namespace brenvik {

enum exit_status : int {
  exit_success = 0,  // a run whose inputs were all converted, or a listing
  exit_failure = 1,  // usage, help, a file error, a rejected input
};

namespace message {

// The usage text: the synopsis (with the program name), the options, the versions and the
// examples, written one after another. Each version stands under the number that selects it.
inline constexpr char usage_synopsis[] =
    "\r\nOSI BrenVik V1.1\r\nUsage: %7s\t[-text | -w<version>]\r\n"
    "\t\t[-skip <bytes>] [-l <hex>]  [--] [file list]\r\n\t\t[-k[<version>]]\r\n";
inline constexpr char usage_options[] =
    "\r\n   -h -help\tOutput this help screen here\r\n"
    "   -skip <n>\tSkip <n> HEX bytes in the beginning of input file.\r\n"
    "   -t -text\tForce text mode\r\n"
    "   -typed\tText mode as the machine stores a listing typed into it\r\n"
    "   -w<version>\ttokenize/detokenize using keywords of specified BASIC version.\r\n"
    "   -k<version>\tlist all keywords for the specified BASIC version\r\n"
    "   -k\t\tlist all BASIC versions available.\r\n"
    "   -l\t\tSpecify load address for program (in hex, no loading chars!).\r\n"
    "   -o <name>\tSpecify the output file name\r\n"
    "   -f\t\tForce overwrite output file\r\n"
    "   -disk <img>\tList the programs of an OS65D, Pico-DOS or HEXDOS disk (-t: store them)\r\n"
    "   -delete <n>..\tWith -disk and -o: delete entries (-rename OLD=NEW, -put NAME=FILE)\r\n"
    "   -raw [<n>..]\tWith -disk: write entries' bytes as the DOS loads them\r\n"
    "   -check\tWith -disk: read the whole disk and report what is wrong\r\n"
    "   -form <f>\tWrite the disk flat (.65D) or as a bitstream (.os5/.os8)\r\n"
    "   -blank <img>\tMake a blank OS65D data disk (-size 8 for 8 inch)\r\n"
    "   -json\t\tWith -disk: the directory as one JSON document\r\n"
    "   -memory <f>\tList the BASIC program in a memory image or emulator snapshot\r\n";
inline constexpr char usage_versions[] =
    "\r\n\tVersions:\r\n"
    "\t0  OSI BASIC In ROM (Basic starts @ $0300)\r\n"
    "\t1  OSI OS65D V3.2  disk PlotBASIC 5.25 inch (Basic starts @ $3A7E)\r\n"
    "\t2  OSI OS65D V3.3  disk BASIC for 5.25 inch (Basic starts @ $3A7E)\r\n"
    "\t3  OSI OS65D V3.1  disk BASIC for 5.25 inch (Basic starts @ $327E)\r\n"
    "\t4  OSI OS65D V3.1  disk BASIC for 8 inch    (Basic starts @ $317E)\r\n"
    "\t5  OSI OS65U V1.42 disk BASIC for 8 inch    (Basic starts @ $6000)\r\n"
    "\t6  OSI OS65U V1.44 disk BASIC for 8 inch    (Basic starts @ $6000)\r\n\r\n";
inline constexpr char usage_examples[] =
    "\tUsage examples:\r\n"
    "\tbrenvik  -o outputfile.bas inputfile.tok\r\n"
    "\t\tConvert inputfile.tok to a text file in outputfile.bas,\r\n"
    "\tbrenvik  -t -o outputfile.tok  inputfile.bas\r\n"
    "\t\tConvert inputfile.bas to a tokenized file in outputfile.tok\r\n\r\n";

// The versions list: the header (tool name and number), one line per row, a blank line.
inline constexpr char versions_header[] =
    "\r\n  The following versions are supported on OSI %s V%4.2f\r\n\r\n";
inline constexpr char versions_row[] = "Version %d, Load Address $%04lX, %s\r\n";
inline constexpr char versions_end[] = "\r\n";

// Command line. The version is the project's, as the build gives it.
inline constexpr char version[] = "brenvik %s\r\n";
inline constexpr char banner[] = "\r\nOSI BASIC (De)Tokenizer.\r\n";
inline constexpr char output_name_missing[] = "\r\nOutput filename missing\r\n";
inline constexpr char invalid_version[] = "Invalid version specified\r\n";
inline constexpr char unknown_command[] = "Unknown command %s\r\n";  // argument
inline constexpr char disk_name_missing[] = "Disk image name missing after -disk\r\n";
inline constexpr char skip_with_disk[] =
    "-skip does not go with -disk: a disk's programs are found by their names\r\n";
inline constexpr char json_needs_disk[] =
    "-json writes the directory of a disk: give -disk <image> and no entries, without -t\r\n";
inline constexpr char disk_output_missing[] =
    "-t -disk needs -o <new image>: the disk image read is never changed\r\n";
inline constexpr char blank_name_missing[] = "New disk image name missing after -blank\r\n";
inline constexpr char bad_size[] = "-size takes 8 (8\" disks) or 5.25 (5.25\" disks)\r\n";
inline constexpr char bad_form[] = "-form takes flat (.65D) or bitstream (.os5, .os8)\r\n";
inline constexpr char blank_alone[] =
    "-blank makes a new disk: it goes with -size, -form and -f alone\r\n";
inline constexpr char size_with_blank[] = "-size goes with -blank: a disk read keeps its size\r\n";
inline constexpr char workshop_needs_disk[] =
    "-delete, -rename, -put, -raw, -check and -form work on a disk: give -disk <image>\r\n";
inline constexpr char raw_alone[] =
    "-raw writes entries' bytes: it does not go with -t, -json, -check or changes to the "
    "disk\r\n";
inline constexpr char check_alone[] =
    "-check reads the whole disk and reports: it goes with -json alone\r\n";
inline constexpr char operation_needs_names[] =
    "-delete, -rename and -put need at least one entry after them\r\n";
inline constexpr char operation_needs_pair[] = "%s takes %s, not %s\r\n";
inline constexpr char memory_name_missing[] = "Memory image name missing after -memory\r\n";
inline constexpr char memory_with_disk[] =
    "-memory does not go with -disk: give one or the other\r\n";
inline constexpr char memory_text_mode[] =
    "-t does not go with -memory: memory images are only listed\r\n";
inline constexpr char memory_with_inputs[] =
    "-memory lists the program of one memory image: no inputs go with it\r\n";

// Conversion run; the first argument of most is the program name.
inline constexpr char cant_open_input[] = "\r\n%s: Can't open file %s\r\n";
inline constexpr char output_exists[] = "Output file %s exists! Use -f to force overwrite.\r\n";
// -o with several inputs, and -o naming a folder: one file per input.
inline constexpr char one_file_many_inputs[] =
    "\r\n%s: -o %s names one file, but %d inputs were given: name a folder (-o %s/) to write "
    "one file each\r\n";
inline constexpr char folder_needs_inputs[] =
    "\r\n%s: -o %s is a folder: name the inputs to write into it\r\n";
inline constexpr char folder_for_one_document[] =
    "\r\n%s: -o %s is a folder, but -json writes one document: name a file\r\n";
inline constexpr char output_taken[] = "%s: not converted: %s was written for %s in this run\r\n";
// What lies at an output's name in -o's folder, or its name's length, refuses that input alone.
inline constexpr char output_name_too_long[] =
    "%s: not converted: its file name in %s would be %zu bytes, longer than the %ld a name may "
    "have there: convert it alone with -o <file>\r\n";
inline constexpr char output_not_a_file[] =
    "Output file %s is %s, not a file: move it away or write into another folder\r\n";
inline constexpr char a_folder[] = "a folder";
inline constexpr char a_named_pipe[] = "a named pipe";
inline constexpr char a_device[] = "a device";
inline constexpr char a_socket[] = "a socket";
inline constexpr char output_in_folder_is_input[] =
    "Output file %s is also an input of this run: write into another folder\r\n";
inline constexpr char files_written[] = "%d files written to %s\r\n";
inline constexpr char cant_open_output[] = "\r\n%s: Can't open output file %s\r\n";
inline constexpr char output_is_input[] = "\r\n%s: Output file %s is also an input\r\n";
inline constexpr char read_error[] = "\r\n%s: Error reading %s\r\n";
inline constexpr char write_error[] = "\r\n%s: Error writing %s\r\n";
inline constexpr char standard_input[] = "standard input";
inline constexpr char standard_output[] = "standard output";

// Image decoder.
inline constexpr char version_chosen[] = "BASIC version not specified, so I chose %s\r\n";
inline constexpr char version_not_detected[] =
    "Can't detect the BASIC version from line link $%04X, use -w<version>\r\n";
inline constexpr char version_not_detected_at[] =
    "Can't detect the BASIC version of a program at $%04X, use -w<version>\r\n";
inline constexpr char invalid_link[] = "invalid basic offset encountered $%04X\r\n";
inline constexpr char unexpected_null[] =
    "\r\nUnexpected NULL encountered in line %d (offset %d)\r\n";
inline constexpr char image_truncated[] = "Image ends without its end marker after line %d\r\n";
inline constexpr char image_empty[] = "Image ends before its first line\r\n";
inline constexpr char image_past_top[] =
    "Image runs past the top of memory at $FFFF after line %u\r\n";
inline constexpr char image_past_top_before_first_line[] =
    "Image runs past the top of memory at $FFFF before its first line\r\n";

// Line tokenizer; line numbers are printed as stored, 0-65535.
inline constexpr char line_too_long[] =
    "Line %d is too long (%zu bytes tokenized, at most 250)\r\n";
inline constexpr char line_past_top[] =
    "Line %u runs past the top of memory at $FFFF: give a lower load address with -l\r\n";
inline constexpr char program_past_top[] =
    "The program's end marker would lie past the top of memory at $FFFF\r\n";
// The line number as written (see tokenizer.h), or as numbered on.
inline constexpr char line_above_63999[] =
    "Line %s: line numbers above 63999 cannot be entered on the machine\r\n";
inline constexpr char line_out_of_order[] =
    "Line %u follows line %u: the machine keeps lines in ascending order\r\n";
inline constexpr char lines_numbered_on[] =
    "No line number on %d line%s; numbered on, the first as line %u\r\n";
inline constexpr char no_version_given[] =
    "No BASIC version given (-w<version>): keywords are kept as text\r\n";
// Hints after an image is rejected: the input, and for the second its name again.
inline constexpr char image_looks_like_text[] =
    "%s looks like a text listing: to tokenize it, use -t\r\n";
inline constexpr char image_looks_like_disk[] =
    "%s looks like a disk image: to list its programs, use -disk %s\r\n";
inline constexpr char text_looks_like_image[] =
    "%s looks like a tokenized program image, not a listing: leave out -t to list it\r\n";

// Typed listings: what the machine would not have stored as written, said once per input
// as the last message; the items are joined with "; ". Counts are unsigned long long.
inline constexpr char typed_summary[] = "Typed as the machine takes it: %s\r\n";
inline constexpr char typed_without_number[] = "%llu line%s without a number not stored";
inline constexpr char typed_above_63999[] = "%llu line%s above 63999 not stored";
inline constexpr char typed_deleted[] = "%llu line%s deleted by a number alone";
inline constexpr char typed_again[] = "%llu line%s typed again, the later kept";
inline constexpr char typed_cut[] = "%llu line%s cut at 71 characters";
inline constexpr char typed_item_separator[] = "; ";
inline constexpr char typed_version_unknown[] =
    "-typed knows the ROM and OS65D BASICs (versions 0 to 4), not version %d\r\n";

// Disk images. Whole-disk problems stop the run; the first two arguments are the program
// name and the disk image's name.
inline constexpr char not_a_disk[] =
    "\r\n%s: %s is no OS65D, Pico-DOS or HEXDOS disk: %llu bytes, neither a flat image (92160 "
    "or 295680 bytes) nor a bitstream image\r\n";
inline constexpr char unknown_bitstream[] =
    "\r\n%s: %s: unknown bitstream image (format version %u, disk type %u); known are version "
    "1, types 0 to 2\r\n";
inline constexpr char short_bitstream[] =
    "\r\n%s: %s: the bitstream image ends before its last track\r\n";
inline constexpr char long_bitstream[] =
    "\r\n%s: %s: the bitstream image runs on past its last track: %llu bytes, a disk of its "
    "type has at most %llu\r\n";
// The last argument: what the disk was found to hold (unformatted_disk, no_dos_found, ...).
inline constexpr char no_directory[] = "\r\n%s: %s is no OS65D, Pico-DOS or HEXDOS disk: %s\r\n";
inline constexpr char no_such_entry[] = "\r\n%s: No file %s on %s\r\n";
// An entry's problem: the disk, the entry's name, and what is wrong.
inline constexpr char entry_problem[] = "%s: entry %s: %s\r\n";
inline constexpr char entry_not_basic[] =
    "%s: entry %s holds no BASIC program (no chain of line links from its start address)\r\n";

// Storing listings into a disk: the input, or the disk and the entry's name, first.
inline constexpr char bad_entry_name[] =
    "%s: %s cannot be an OS65D file name: 1 to 6 capitals, digits or signs such as * / -; "
    "give one with NAME=%s\r\n";
inline constexpr char program_too_big[] =
    "%s: entry %s: the program needs %zu bytes, its tracks hold %zu\r\n";
inline constexpr char file_too_big[] =
    "%s: entry %s: the file is %zu bytes, its tracks hold %zu; delete the entry first to put it "
    "on free tracks\r\n";
inline constexpr char program_below_file[] =
    "%s: entry %s: a program at $%04X would lie below the file's memory ($327E on); give a "
    "higher -l\r\n";
inline constexpr char no_free_entry[] = "%s: no free directory entry for %s\r\n";
inline constexpr char entry_on_system_track[] =
    "%s: entry %s covers track %d, which holds %s: no program is stored there\r\n";
inline constexpr char stored_where_programs_lie[] =
    "%s: %s is stored at $%04X, where the disk's BASIC programs lie\r\n";
inline constexpr char stored_above_version_address[] =
    "%s: %s is stored at $%04X: version %d's address $%04X lies below a file's memory\r\n";
inline constexpr char entry_overlaps[] =
    "%s: entry %s shares tracks %d-%d with entry %s, and the directory cannot say which owns "
    "them: nothing is written there; delete or correct one of the two entries first\r\n";
inline constexpr char name_taken[] = "%s: %s: entry %s already has that name; choose another\r\n";
inline constexpr char dos_keeps_no_names[] =
    "%s: %s: a Pico-DOS disk keeps no names, only numbered slots\r\n";
inline constexpr char boot_tracks[] = "the DOS's boot code";
inline constexpr char directory_track[] = "the directory";
inline constexpr char no_free_tracks[] =
    "%s: no %d free tracks in a row, formatted for a program, for %s\r\n";
// Storing into a Pico-DOS disk's slots, and the disks not written.
inline constexpr char no_such_slot[] =
    "%s: %s is no slot of this Pico-DOS disk: its slots are 1 to %d\r\n";
inline constexpr char slot_address[] =
    "%s: %s: Pico-DOS programs lie at $0300, not $%04X; leave out -l\r\n";
inline constexpr char slot_too_big[] =
    "%s: slot %d: the program is %zu bytes, a slot holds at most %zu\r\n";
inline constexpr char no_empty_slot[] = "%s: no empty slot with formatted tracks for %s\r\n";
inline constexpr char hexdos_not_written[] =
    "\r\n%s: %s is a HEXDOS disk, which brenvik does not write: its DOS keeps no file length, "
    "and how it loads a file is not yet checked\r\n";
inline constexpr char nothing_to_store[] =
    "\r\n%s: nothing to store into %s: name the listings, NAME=listing (NAME=- reads standard "
    "input)\r\n";
inline constexpr char standard_input_once[] =
    "\r\n%s: standard input is read once: give NAME=- for one listing only\r\n";
inline constexpr char file_larger_than_disk[] =
    "\r\n%s: %s is larger than the whole disk (%zu bytes): nothing is put\r\n";
inline constexpr char dos_entry_by_name[] =
    "%s: entry %s holds the DOS itself: it is deleted only when named exactly, not by %s\r\n";
inline constexpr char bad_new_name[] =
    "%s: %s cannot be a file name on this disk: 1 to 6 capitals, digits or signs such as * / "
    "-\r\n";
inline constexpr char no_flat_form[] =
    "\r\n%s: %s has 80 tracks, and flat images hold 40 or 77: it stays a bitstream image\r\n";
inline constexpr char track_does_not_fit[] =
    "%s: track %d does not fit the new form whole (%zu bytes would be lost): nothing is "
    "written\r\n";
inline constexpr char blank_misread[] =
    "\r\n%s: %s does not read back as a blank OS65D disk; not written\r\n";
inline constexpr char changes_not_made[] =
    "\r\n%s: %s not written: %d change%s could not be made\r\n";
inline constexpr char image_not_written[] =
    "\r\n%s: %s not written: %d input%s could not be stored\r\n";
inline constexpr char stored_differently[] =
    "\r\n%s: entry %s does not read back as it was stored; %s not written\r\n";

// Memory images: the image's name first.
inline constexpr char memory_compressed[] =
    "\r\n%s: %s is a compressed UK101 machine image, which brenvik cannot read; a checkpoint "
    "or a plain memory dump can be listed\r\n";
inline constexpr char memory_without_pointers[] =
    "%s: its %zu bytes of memory end before BASIC's pointers at $0079-$007C\r\n";
inline constexpr char pointers_lead_nowhere[] =
    "%s: BASIC's pointers lead to no program (TXTTAB $%04X): %s\r\n";
inline constexpr char no_program_at[] = "%s: no BASIC program at $%04X: %s\r\n";
inline constexpr char stale_program[] =
    "a program of %d lines is still in memory at $%04X: list it with -memory %s -l %04X\r\n";
inline constexpr char vartab_elsewhere[] =
    "%s: VARTAB $%04X is not where the chain of line links ends ($%04X); the chain is listed\r\n";
// Why no program lies at an address.
inline constexpr char address_outside_memory[] =
    "$%04X lies beyond the memory image's last address $%04X";
inline constexpr char no_lead_byte_at[] = "the byte at $%04X is no lead byte 00";
inline constexpr char line_links_to[] = "the line at $%04X links to $%04X";
inline constexpr char chain_past_memory[] =
    "the chain of line links runs past the memory image's last address $%04X";
inline constexpr char program_without_lines[] = "the program at $%04X has no lines";

// What is wrong with an entry or a track, as entry_problem and the directory say it.
inline constexpr char track_without_header[] = "track %d has no track header";
inline constexpr char track_frame_errors[] =
    "track %d has %d frames with parity or stop bit errors";
inline constexpr char track_without_sector[] = "track %d has no sector %d";
inline constexpr char track_unreadable[] = "track %d cannot be read";
inline constexpr char track_not_bcd[] = "track number %02X is not BCD";
inline constexpr char track_beyond_disk[] = "track %d lies beyond the disk's last track %d";
inline constexpr char first_after_last[] = "first track %d lies after last track %d";
inline constexpr char no_directory_program[] =
    "track %d holds no directory (no chain of line links)";
// What a disk that holds no DOS known was found to hold; the argument: the directory's problem.
inline constexpr char unformatted_disk[] =
    "no track has a track header (a blank or unformatted disk?)";
inline constexpr char no_dos_found[] = "no OS65D directory (%s) and no program in a Pico-DOS slot";
inline constexpr char broken_hexdos[] = "HEXDOS track marks, but %s";
inline constexpr char not_read_raw[] = "brenvik does not read HEXDOS files as raw bytes";

// -check: one line for each thing wrong, after the disk's name, then a summary.
inline constexpr char check_directory[] = "the directory cannot be read: %s";
inline constexpr char check_no_dos[] = "no OS65D, Pico-DOS or HEXDOS directory: %s";
inline constexpr char check_entry[] = "entry %s: %s";
inline constexpr char check_system_track[] = "entry %s covers track %d, which holds %s";
inline constexpr char check_overlap[] = "entries %s and %s both claim tracks %d-%d";
inline constexpr char check_chain_broken[] =
    "entry %s: its BASIC program's chain of line links breaks: the line at $%04X links to $%04X";
inline constexpr char check_chain_cut[] =
    "entry %s: its BASIC program's chain of line links runs past the end of its file";
inline constexpr char check_unformatted[] = "track %d is unformatted";
inline constexpr char check_wrong_number[] = "track %d has the header of track %02X";
inline constexpr char check_no_end_mark[] = "track %d: sector %d has no end mark 47 53";
inline constexpr char check_frames_header[] =
    "track %d: %d frames of its header have parity or stop bit errors";
inline constexpr char check_frames_sector[] =
    "track %d: %d frames of sector %d have parity or stop bit errors";
inline constexpr char check_frames_elsewhere[] =
    "track %d: %d frames outside its header and sectors have parity or stop bit errors";
inline constexpr char check_clean[] = "%s: nothing wrong: %d tracks, %zu entr%s\r\n";
inline constexpr char check_summary[] = "%s: %zu problem%s on %d tracks, %zu entr%s\r\n";

// The directory: name, tracks, contents.
inline constexpr char directory_line[] = "%s  %-5s  %s\r\n";
inline constexpr char free_tracks[] = "free: %d tracks%s\r\n";
inline constexpr char longest_free_run[] = ", longest run %d from track %d";
inline constexpr char holds_basic[] = "BASIC $%04X %zu bytes";
inline constexpr char holds_other[] = "other";
inline constexpr char unreadable_entry[] = "unreadable: %s";
inline constexpr char overlaps_with[] = "; shares tracks with ";

}  // namespace message

// A name from a disk as messages and the directory show it: every byte outside printable
// ASCII (20-7E), and % itself, as % and two upper-case hex digits, so that no name moves
// the terminal or hides part of itself.
inline std::string shown_name(std::string_view name) {
  std::string shown;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E && byte != '%') {
      shown += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      shown += escaped;
    }
  }
  return shown;
}

// Writes one message to `stream`: `format` is one of the texts above.
[[gnu::format(printf, 2, 3)]] inline void report(FILE* stream, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stream, format, arguments);
  va_end(arguments);
}

// One of the texts above with its values, for a message written later with report().
[[gnu::format(printf, 1, 2)]] inline std::string format_message(const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return length < 0 ? std::string()
                    : std::string(text, static_cast<std::size_t>(length) < sizeof text
                                            ? static_cast<std::size_t>(length)
                                            : sizeof text - 1);
}

}  // namespace brenvik
