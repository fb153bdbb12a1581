// The run that writes a changed copy of a disk image (-disk with -t, -delete, -rename, -put or
// -form): the disk read once, every change applied in memory in the order given (the
// operations, then the listings stored), the new disk written to -o, read back and checked,
// and only then put in place. The disk read is never changed, unless -o names it with -f:
// then it is replaced whole, or not at all.
#pragma once

#include "cli/run.h"

namespace brenvik {

// Applies -delete NAME (entries by name or pattern), -rename OLD=NEW and -put NAME=FILE in
// the order given, then stores each input listing ("NAME=listing" or a listing stored under
// its file name in capitals), and writes the disk in -form's form. Nothing is written unless
// every change is made and the written image reads back as made. Returns 0, or 1 after a
// message.
int change_disk(const run_context& run);

// Writes a blank OS65D data disk (-blank NEW, -size, -form) and reads it back. Returns 0, or 1
// after a message.
int make_blank_disk(const run_context& run);

}  // namespace brenvik
