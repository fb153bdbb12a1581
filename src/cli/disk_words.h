// The words for what the disk rooms return as values: a track's or an entry's problem, what
// an entry holds, and why a program or file cannot be written. They open no file, so any
// door to the library (the command line, the page) says the same.
#pragma once

#include <cstdio>
#include <string>

#include "disk/container.h"
#include "disk/disk_store.h"
#include "disk/disk_writer.h"
#include "disk/volume.h"

namespace brenvik {

// A problem, as it follows an entry's name: "track 14 has no track header".
std::string describe(const disk::problem& p);

// What an entry holds, as the directory listing says it: "BASIC $327E 1204 bytes", "other",
// or "unreadable: " and the problem.
std::string describe_contents(disk::volume& disk, const disk::entry& e);

// Says on `err` why `name` could not be written to the disk `disk_name`, for a program at
// `load_address` where that matters.
void report_write_problem(FILE* err, const char* disk_name, const std::string& name,
                          uint16_t load_address, const disk::write_problem& p);

// Says on `err` why the image `disk_name` is no disk image this reader knows; `program`
// names the tool.
void report_container_problem(FILE* err, const char* program, const char* disk_name,
                              const disk::container_problem& p);

// Says what the plan for a program stored as `name` decided where the user did not: the
// version taken (unless `quiet`, -q), and an address that is not the version's.
void report_plan(FILE* err, const char* disk_name, const std::string& name,
                 const disk::store_plan& plan, bool quiet = false);

}  // namespace brenvik
