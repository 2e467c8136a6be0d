#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>

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

// Stars that may each end at many places of a long name: matching them must not try
// every combination again (eight stars against sixty characters took over a minute).
TEST(Wildcard, ManyStarsAgainstLongNamesFinishAtOnce) {
  const std::string as(60, 'a');
  const struct {
    const char* pattern;
    std::string text;
    bool matches;
  } cases[] = {
      {"*a*a*a*a*a*a*a*a*b", as, false},
      {"*a*a*a*a*a*a*a*a*b", as + "b", true},
      {"*a*a*a*a*a*a*a*a*b", "b" + as, false},
      {"*a*a*a*a*a*a*a*a*b", "aaaaaaab", false},  // one "a" short
      {"*A*A*A*A*A*A*A*A*", as, true},
      {"*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", std::string(250, 'a'), false},
  };
  for (const auto& c : cases) {
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.matches)
        << "pattern \"" << c.pattern << "\" against " << c.text.size() << " bytes";
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
    EXPECT_LT(took.count(), 2.0) << c.pattern;
  }
}

// ---- The matcher against a plain reference -------------------------------------------

// The matcher's rules written out directly: a star tries every place its run may end,
// by recursion, which is exponential in the stars; only short inputs are given to it.
// A class after a star ("*<...>") limits the bytes the star may pass over; the class
// in force is the one the latest rule set, also inside a nested attempt, and a match
// attempt starts with none.
class ReferenceMatcher {
 public:
  int Match(std::string p, std::string t) {
    classSet_.reset();
    classNegated_ = false;
    for (std::string* s : {&p, &t})
      for (char& c : *s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (p == "*") return 1;
    size_t i = 0, j = 0;
    while (i < p.size()) {
      if (j >= t.size()) return p[i] == '*' && i + 1 == p.size() ? 1 : 3;
      if (p[i] == '*') {
        if (i + 1 < p.size() && p[i + 1] == '<') {
          i = ReadStarClass(p, i + 2);
          if (classSet_.none()) return 3;
        } else {
          classSet_.reset();
          classNegated_ = false;
        }
        const int code = StarRun(i < p.size() ? p.substr(i) : std::string(), t.substr(j));
        if (code != 0) return code;
        i += 1;  // the run decided nothing: the rules go on one place further in both
        j += 1;
      } else if (p[i] == '<') {
        int code = 0;
        i = OneByteClass(p, i + 1, Byte(t, j), code);
        if (code != 0) return code;
        j += 1;
      } else {
        if (p[i] != '?' && p[i] != t[j]) return 5;
        i += 1;
        j += 1;
      }
    }
    return j >= t.size() ? 1 : 2;
  }

 private:
  static uint8_t Byte(const std::string& s, size_t i) {
    return i < s.size() ? static_cast<uint8_t>(s[i]) : 0;
  }

  // From just after "*<"; returns the place after the closing ">" (or the end).
  size_t ReadStarClass(const std::string& p, size_t i) {
    classSet_.reset();
    if (i >= p.size()) return i;
    classNegated_ = false;
    if (p[i] == '!' || p[i] == '^') {
      classNegated_ = true;
      ++i;
    }
    for (; Byte(p, i) != '>'; ++i) {
      if (i >= p.size()) {
        classSet_.reset();
        return i;
      }
      if (i + 1 < p.size() && p[i + 1] == '-') {
        for (int c = Byte(p, i); c <= Byte(p, i + 2); ++c) classSet_.set(static_cast<size_t>(c));
        i += 2;
      } else {
        classSet_.set(Byte(p, i));
      }
    }
    return i + 1;
  }

  // From just after "<", against byte b: sets code 4 (b is not selected) or 6 (the
  // class is malformed), else returns the place after the closing ">".
  static size_t OneByteClass(const std::string& p, size_t i, uint8_t b, int& code) {
    const auto malformed = [&] {
      code = 6;
      return i;
    };
    if (i >= p.size()) return malformed();
    bool negated = false;
    if (p[i] == '!' || p[i] == '^') {
      negated = true;
      if (++i >= p.size()) return malformed();
    }
    if (p[i] == '>') return malformed();
    bool member = false;
    while (!member && p[i] != '>') {
      const uint8_t lo = Byte(p, i);
      uint8_t hi = lo;
      if (++i >= p.size()) return malformed();
      if (p[i] == '-') {
        if (++i >= p.size() || p[i] == '>') return malformed();
        hi = Byte(p, i);
        if (++i >= p.size()) return malformed();
      }
      member = lo <= b && b <= hi;
    }
    if (member == negated) {
      code = 4;
      return i;
    }
    while (i < p.size() && p[i] != '>') ++i;
    if (i >= p.size()) return malformed();
    return i + 1;
  }

  // p starts at the star run (or after its class): every place of t where the rest of p
  // may start is tried, while the bytes passed over are in the class in force.
  int StarRun(const std::string& p, const std::string& t) {
    size_t i = 0, j = 0;
    if (!p.empty())
      for (; j < t.size() && i < p.size() && (p[i] == '*' || p[i] == '?'); ++i)
        if (p[i] == '?') ++j;
    if (j >= t.size()) return 3;
    if (!p.empty() && i >= p.size()) return 1;
    int code = 0;
    do {
      if (!p.empty() && (p[i] == t[j] || p[i] == '<')) code = Match(p.substr(i), t.substr(j));
      if (code != 1 && classSet_.any() && classSet_.test(Byte(t, j)) == classNegated_) return 3;
      ++j;
    } while (code != 1 && j < t.size());
    return code;
  }

  std::bitset<256> classSet_;
  bool classNegated_ = false;
};

TEST(Wildcard, AgreesWithThePlainReferenceOnGeneratedPairs) {
  // Pieces that meet every rule: stars, classes after stars, one-byte classes (also
  // broken ones), letters in both cases, GBK bytes, the separator.
  static const char* const kPieces[] = {"*", "*", "?", "a", "b", "B", "\\", "\xb2", "<a-b>",
                                        "<!a>", "<^b-", "<a", "*<a-b>", "*<!b>", "*<a", "<>",
                                        "-", ">", "<", "!"};
  static const char kTextBytes[] = {'a', 'b', 'A', 'B', '\\', '-', '<', '>', '*', '\xb2', '\xe2'};
  std::mt19937 random(4242);  // a fixed start value: the same pairs every run
  ReferenceMatcher reference;
  std::array<int, 7> outcomes{};  // how often each result code came
  for (int n = 0; n < 100000; ++n) {
    std::string pattern, text;
    for (int k = static_cast<int>(random() % 7); k > 0; --k) pattern += kPieces[random() % 20];
    for (int k = static_cast<int>(random() % 10); k > 0; --k)
      text += kTextBytes[random() % sizeof kTextBytes];
    const int expected = reference.Match(pattern, text);
    ASSERT_TRUE(expected >= 1 && expected <= 6) << expected;
    ++outcomes[static_cast<size_t>(expected)];
    ASSERT_EQ(MatchPattern(pattern, text), expected)
        << "pattern \"" << pattern << "\" text \"" << text << "\"";
  }
  for (int code = 1; code <= 6; ++code) {
    EXPECT_GT(outcomes[static_cast<size_t>(code)], 1000) << "too few pairs end in " << code;
  }
}
