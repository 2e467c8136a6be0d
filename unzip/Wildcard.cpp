#include "unzip/Wildcard.h"

#include <bitset>

#include "unzip/Runtime.h"

namespace unzip {
namespace {

// The class attached to the current "*" ("*<...>"): module-wide, emptied at every entry
// of MatchPattern, the recursive ones included. Single-threaded use only.
std::bitset<256> StarSet;
bool StarSetNegated = false;

// 1-based access; a position outside the string reads as NUL.
uint8_t At(const std::string& s, int i) {
  return i >= 1 && i <= static_cast<int>(s.size()) ? static_cast<uint8_t>(s[i - 1]) : 0;
}

int Length(const std::string& s) { return static_cast<int>(s.size()); }

int MatchStarRun(std::string p, std::string t);

// pi stands at the "*" of "*<"; afterwards past the closing ">".
void ParseStarClass(const std::string& p, int& pi) {
  StarSet.reset();
  pi += 2;
  if (pi > Length(p)) return;
  StarSetNegated = false;
  if (At(p, pi) == '^' || At(p, pi) == '!') {
    StarSetNegated = true;
    ++pi;
  }
  while (At(p, pi) != '>') {
    if (pi > Length(p)) {
      StarSet.reset();
      return;
    }
    if (pi < Length(p) && At(p, pi + 1) == '-') {
      const uint8_t lo = At(p, pi), hi = At(p, pi + 2);
      if (hi >= lo)
        for (int c = lo; c <= hi; ++c) StarSet.set(static_cast<size_t>(c));
      pi += 2;
    } else {
      StarSet.set(At(p, pi));
    }
    ++pi;
  }
  ++pi;
}

int MatchStarRun(std::string p, std::string t) {
  int code = 0, pi = 1, ti = 1;
  if (Length(p) > 0) {
    while (ti <= Length(t) && pi <= Length(p) && (At(p, pi) == '*' || At(p, pi) == '?')) {
      if (At(p, pi) == '?') ++ti;
      ++pi;
    }
  }
  if (ti > Length(t)) return 3;
  if (Length(p) > 0 && pi > Length(p)) return 1;
  do {
    if (Length(p) > 0 && (At(p, pi) == At(t, ti) || At(p, pi) == '<')) {
      p = p.substr(static_cast<size_t>(pi - 1));
      t = t.substr(static_cast<size_t>(ti - 1));
      pi = 1;
      ti = 1;
      code = MatchPattern(p, t);
    }
    if (code != 1 && StarSet.any()) {
      const bool in = StarSet.test(At(t, ti));
      if (StarSetNegated ? in : !in) return 3;
    }
    ++ti;
  } while (code != 1 && ti <= Length(t));
  return code;
}

}  // namespace

int MatchPattern(std::string p, std::string t) {
  StarSet.reset();
  StarSetNegated = false;
  p = LowerCaseAscii(std::move(p));
  t = LowerCaseAscii(std::move(t));
  int pi = 1, ti = 1, code = 0;
  if (p == "*") return 1;
  const int lp = Length(p), lt = Length(t);
  while (code == 0 && pi <= lp) {
    if (ti > lt) {
      code = At(p, pi) == '*' && pi == lp ? 1 : 3;
      break;
    }
    const uint8_t c = At(p, pi);
    if (c == '*') {
      if (pi < lp && At(p, pi + 1) == '<') {
        ParseStarClass(p, pi);
        if (StarSet.none()) {
          code = 3;
          break;
        }
      } else {
        StarSet.reset();
        StarSetNegated = false;
      }
      code = MatchStarRun(pi <= lp ? p.substr(static_cast<size_t>(pi - 1)) : std::string(),
                          t.substr(static_cast<size_t>(ti - 1)));
      ++pi;
      ++ti;
    } else if (c == '<') {
      // A class matching one character.
      ++pi;
      if (pi > lp) return 6;
      bool negated = false;
      if (At(p, pi) == '!' || At(p, pi) == '^') {
        negated = true;
        ++pi;
        if (pi > lp) return 6;
      }
      if (At(p, pi) == '>') return 6;
      bool member = false;
      while (!member && At(p, pi) != '>') {
        const int lo = pi;
        int hi = pi;
        ++pi;
        if (pi > lp) return 6;
        if (At(p, pi) == '-') {
          ++pi;
          hi = pi;
          if (pi > lp || At(p, hi) == '>') return 6;
          ++pi;
          if (pi > lp) return 6;
        }
        member = At(p, lo) <= At(t, ti) && At(t, ti) <= At(p, hi);
      }
      if (member == negated) {
        code = 4;
        break;
      }
      if (member)
        while (pi <= lp && At(p, pi) != '>') ++pi;
      if (pi > lp) return 6;
      ++pi;
      ++ti;
    } else {
      if (c != '?' && c != At(t, ti)) code = 5;
      ++pi;
      ++ti;
    }
  }
  if (code == 0) return ti > lt ? 1 : 2;
  return code;
}

bool WildcardMatch(const std::string& pattern, const std::string& text) {
  return MatchPattern(pattern, text) == 1;
}

}  // namespace unzip
