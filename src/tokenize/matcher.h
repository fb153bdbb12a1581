// The keyword matcher: does a keyword of a version begin at this point of a text line?
#pragma once

namespace brenvik {

// Tries the keywords of `version` in token-code order at the start of `text`, a
// zero-terminated line, and returns the token code (0x80-0xFF) of the first that matches,
// or 0 when none does (always for a version outside 0-6).
//
// A keyword matches when the text agrees with all of it, case for case, or when the text
// agrees with its first characters (at least one) and then holds the keyword's next
// character in the other case (characters that differ in the value 0x20 only): "Pr"
// stands for PRINT, "GOt" for GOTO. There is no search for the longest keyword and no
// notion of word boundaries. On a match `length` receives the number of characters the
// keyword covers in the text; otherwise it is left untouched.
//
// These are the rules keyword_index::match<keyword_case::other_case_ends,
// keyword_blanks::kept> follows, which the text tokenizer asks at every letter and operator.
int match_keyword(const char* text, int version, int& length);

}  // namespace brenvik
