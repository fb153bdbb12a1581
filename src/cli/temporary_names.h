// The hidden names a new output file has beside its output: ".<stem>.<pid>-<n>~", where the
// stem is the output's file name, or for a name too long to leave room for the rest, its
// start and a hash of the whole.
#pragma once

#include <string>
#include <string_view>

namespace brenvik {

// The stem of the hidden names of the output `name` in `directory`: every output whose own
// name fits in the folder has hidden names that fit too.
std::string temporary_stem(const std::string& directory, std::string_view name);

// The hidden name, in `directory`, of attempt `attempt` (below 100) at a temporary for the
// output `name` by this process.
std::string hidden_name(const std::string& directory, std::string_view name, unsigned attempt);

// True when the file name `entry` is a hidden name: `output` receives its stem, `pid` the
// number of the process that made it.
bool temporary_of(std::string_view entry, std::string_view& output, long& pid);

}  // namespace brenvik
