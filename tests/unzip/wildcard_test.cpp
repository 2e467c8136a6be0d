#include <gtest/gtest.h>

#include "unzip/Wildcard.h"

using unzip::MatchPattern;
using unzip::WildcardMatch;

TEST(Wildcard, TableOfCases) {
  struct Case {
    const char* pattern;
    const char* text;
    bool matches;
  } cases[] = {
      {"*", "a\\b\\c.txt", true},
      {"*", "", true},
      {"*.txt", "a\\b.txt", true},  // the star crosses the folder separator
      {"*.txt", "a\\b.txt.bak", false},
      {"b.txt", "a\\b.txt", false},  // the folder part is part of the text
      {"A*", "a.txt", true},         // ASCII letters compare without case
      {"abc*", "abc", true},
      {"abc**", "abc", false},
      {"*?", "ab", true},
      {"*?", "a", false},
      {"[a]", "[a]", true},  // square brackets are ordinary characters
      {"[a]", "a", false},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"abc", "abcd", false},
      {"<a-c>*", "banana", true},
      {"<a-c>*", "dog", false},
      {"<!a-c>*", "dog", true},
      {"<!a-c>*", "apple", false},
      {"<^a-c>*", "cat", false},
      {"<c-a>*", "banana", false},  // a range with its larger bound first matches nothing
      {"<c-a>*", "dog", false},
      {"<>*", "anything", false},  // an empty class selects nothing
      {"<xyz>.txt", "y.txt", true},
      {"<xyz>.txt", "w.txt", false},
      {"<a-c", "a", false},  // malformed: no closing bracket
      {"*<a-c>", "xxb", false},  // the run holds bytes outside the class
      {"*<a-c>", "", false},
      {"d\\*", "D\\sub\\f.TXT", true},
      {"\xb2\xe2*", "\xb2\xe2\xca\xd4.txt", true},  // other bytes compare exactly
      {"\xb2\xe2*", "\xb2\xe3.txt", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.matches)
        << "pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
}

TEST(Wildcard, FailureKinds) {
  EXPECT_EQ(MatchPattern("ab", "abc"), 2);  // text left over
  EXPECT_EQ(MatchPattern("abc", "ab"), 3);  // text used up
  EXPECT_EQ(MatchPattern("<b>", "a"), 4);   // class failed
  EXPECT_EQ(MatchPattern("x", "y"), 5);     // literal differs
  EXPECT_EQ(MatchPattern("<a", "a"), 6);    // malformed
}
