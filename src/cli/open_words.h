// What is said when a file cannot be opened: the message, the system's reason, and the hint
// for an option given after the first input.
#pragma once

#include <cstdio>
#include <string>

namespace brenvik {

// The reason for the error number `error` (errno), as the messages say it: the system's
// words, or "it is a folder" for EISDIR.
std::string reason_for(int error);

// Says on `err` that the input `name` cannot be opened ("Can't open file"), then the reason
// unless the file does not exist, then the option hint when `name` begins with '-'.
void say_cant_open_input(FILE* err, const char* program, const std::string& name, int error);

// The same for an output file ("Can't open output file"), without the option hint.
void say_cant_open_output(FILE* err, const char* program, const std::string& name, int error);

// Says on `err` that `name`, which begins with '-', looks like an option given too late;
// nothing for any other name.
void hint_late_option(FILE* err, const std::string& name);

}  // namespace brenvik
