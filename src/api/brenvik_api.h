/* brenvik's library as plain C functions: bytes in; bytes and the command line's messages
 * out. Nothing here opens a file, so any program (a C tool, a page running the library as
 * WebAssembly) gets what `brenvik` prints for the same work.
 *
 * Every call returns a result the caller owns and frees with brenvik_free (never null but
 * when memory runs out). A result holds the output bytes (a listing, an image, a JSON
 * document, a disk image), the messages the command line would write on standard error for
 * the same run, in the same order, its exit status (0 or 1), and for listings the version
 * and load address the program was listed with.
 *
 * Versions are rows 0-6 as -w takes them; -1 means none given. Load addresses are 0-FFFF;
 * -1 means none given. Names (`disk_name`, `memory_name`) are what the messages call the
 * inputs, as the command line calls them by their paths. */
#ifndef BRENVIK_API_H
#define BRENVIK_API_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct brenvik_result brenvik_result;

/* The output bytes, and their count; the bytes stay valid until brenvik_free. */
const unsigned char* brenvik_result_data(const brenvik_result* r);
size_t brenvik_result_size(const brenvik_result* r);
/* The messages, ended by a zero byte (they hold none themselves), and their count. */
const char* brenvik_result_messages(const brenvik_result* r);
size_t brenvik_result_messages_size(const brenvik_result* r);
/* 0 when the work was done as the command line's exit status 0 says; 1 otherwise. */
int brenvik_result_status(const brenvik_result* r);
/* The version and load address a program was listed with; -1 where none was settled. */
int brenvik_result_version(const brenvik_result* r);
long brenvik_result_load_address(const brenvik_result* r);
void brenvik_free(brenvik_result* r);

/* The project's version, "1.3.0". */
const char* brenvik_version(void);

/* Lists a tokenized program image: brenvik [-w<version>] [-l <hex>] [-skip <hex>] <image_name>. */
brenvik_result* brenvik_list_image(const unsigned char* image, size_t size, const char* image_name,
                                   int version, long load_address, size_t skip);

/* Tokenizes a text listing: brenvik -t (typed 0) or brenvik -typed (typed 1), with
 * -w<version> and -l <hex> as given. `listing_name` names the input in messages. */
brenvik_result* brenvik_tokenize(const char* listing, size_t size, const char* listing_name,
                                 int typed, int version, long load_address);

/* A disk image's directory: brenvik -disk <disk_name> (json 0), or -json (json 1), with
 * -w<version> for the JSON document's versions. */
brenvik_result* brenvik_disk_directory(const unsigned char* disk, size_t size,
                                       const char* disk_name, int json, int version);

/* The listing of one entry of a disk: brenvik -disk <disk_name> [-w<version>] <entry>. */
brenvik_result* brenvik_list_entry(const unsigned char* disk, size_t size, const char* disk_name,
                                   const char* entry, int version);

/* Stores a listing into a copy of a disk image under the entry name `entry` (any case):
 * brenvik -t [-typed] -disk <disk_name> [-w<version>] [-l <hex>] -o <output_name>
 * ENTRY=<listing_name>. The output bytes are the new disk image, none when status is 1. */
brenvik_result* brenvik_store(const unsigned char* disk, size_t size, const char* disk_name,
                              const char* output_name, const char* entry, const char* listing,
                              size_t listing_size, const char* listing_name, int typed, int version,
                              long load_address);

/* The program of a memory image or emulator checkpoint: brenvik -memory <memory_name>
 * [-w<version>] [-l <hex>], with -skip <hex> when `skip` is 0 or more (-1: none). */
brenvik_result* brenvik_list_memory(const unsigned char* memory, size_t size,
                                    const char* memory_name, int version, long load_address,
                                    long skip);

/* The keywords of a version (brenvik -k<version>): the output is the keyword list, or for a
 * version outside 0-6 the versions list among the messages. */
brenvik_result* brenvik_keywords(int version);

#ifdef __cplusplus
}
#endif

#endif
