// The file-list pattern matcher: "*" any run of characters, "?" any one character,
// "<...>" a class of one character ("!" or "^" first negates it, "a-c" is a range).
// "*" and "?" cross "\" like any other character; ASCII letters compare without case.
// Characters are bytes here: "?" takes one byte of a GBK double-byte character.
#pragma once

#include <string>

namespace unzip {

bool WildcardMatch(const std::string& pattern, const std::string& text);

// The core routine: 1 a match, 2 to 6 the kinds of failure (text left over, text used up
// or match abandoned, class failed, literal differs, malformed pattern).
int MatchPattern(std::string p, std::string t);

}  // namespace unzip
