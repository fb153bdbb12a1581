// The hidden names a new output file has beside its output: ".<output>.<pid>-<n>~".
#pragma once

#include <string>
#include <string_view>

namespace brenvik {

// The hidden name, in `directory`, of attempt `attempt` at a temporary for the output
// `name` by this process.
std::string hidden_name(const std::string& directory, std::string_view name, unsigned attempt);

// True when the file name `entry` is a hidden name: `output` receives the output's file name,
// `pid` the number of the process that made it.
bool temporary_of(std::string_view entry, std::string_view& output, long& pid);

}  // namespace brenvik
