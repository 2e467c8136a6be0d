#include "unzip/Wildcard.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <vector>

#include "unzip/Runtime.h"

namespace unzip {
namespace {

// One match of a lower-cased pattern against a lower-cased text.
//
// The rules are two routines that call each other: PatternFrom(a, b) matches the pattern
// from place a against the text from place b, and StarRunFrom(s, b) tries, for the star
// at place s, every place of the text from b where the rest of the pattern may start.
// Both depend only on their two places, so each result is worked out once and kept: a
// match works out at most stars x text length results of each (a run walks the rest of
// the text), where trying every place again for every star made it exponential in the
// stars. A star's run always goes on at the same pattern place, so both tables have one
// row per star.
//
// A class after a star ("*<...>") limits the bytes that star passes over. The class in
// force is the one set last, also inside a nested attempt (an attempt starts with none),
// so each routine hands back the class in force when it ends along with its code. A
// class is named by the place of its star; 0 is none.
class TMatcher {
 public:
  TMatcher(const std::string& p, const std::string& t)
      : p_(p), t_(t), lp_(static_cast<int>(p.size())), lt_(static_cast<int>(t.size())) {}

  // 1 a match, 2 to 6 the kinds of failure.
  int Match() {
    int stars = 0;
    for (const char c : p_) stars += c == '*';
    if (stars > 0 && lt_ > 0) {
      // One block: the row of each pattern place, then the two tables. Short patterns and
      // names, the usual ones, fit in the matcher itself.
      const size_t places = static_cast<size_t>(lp_) + 1;
      const size_t cells = static_cast<size_t>(stars) * static_cast<size_t>(lt_);
      const size_t total = places + 2 * cells;
      if (total > kInline) heap_.resize(total);
      row_ = total > kInline ? heap_.data() : inline_;
      for (int i = 1, n = 0; i <= lp_; ++i)
        if (P(i) == '*') row_[i] = n++;
      std::fill(row_ + places, row_ + total, kUnknown);
      patternMemo_ = row_ + places;
      runMemo_ = patternMemo_ + cells;
    }
    return CodeOf(PatternFrom(1, 1));
  }

 private:
  // A code and the class in force, in one number: class * 8 + code.
  using TResult = int32_t;
  static constexpr TResult kUnknown = -1;
  static TResult Result(int code, int starClass) { return starClass * 8 + code; }
  static int CodeOf(TResult r) { return r & 7; }
  static int ClassOf(TResult r) { return r >> 3; }

  struct TStarClass {
    std::bitset<256> set;
    bool negated = false;
    int end = 0;  // the place after the closing ">"
    bool read = false;
  };

  // Places are 1-based; a place outside the string reads as NUL.
  uint8_t P(int i) const { return i >= 1 && i <= lp_ ? static_cast<uint8_t>(p_[i - 1]) : 0; }
  uint8_t T(int i) const { return i >= 1 && i <= lt_ ? static_cast<uint8_t>(t_[i - 1]) : 0; }

  // The class of the star at s, which "<" follows.
  const TStarClass& StarClass(int s) {
    if (classes_.empty()) classes_.resize(static_cast<size_t>(lp_) + 1);
    TStarClass& k = classes_[static_cast<size_t>(s)];
    if (k.read) return k;
    k.read = true;
    int i = s + 2;
    k.end = i;
    if (i > lp_) return k;
    if (P(i) == '^' || P(i) == '!') {
      k.negated = true;
      ++i;
    }
    while (P(i) != '>') {
      if (i > lp_) {
        k.set.reset();
        k.end = i;
        return k;
      }
      if (i < lp_ && P(i + 1) == '-') {
        const uint8_t lo = P(i), hi = P(i + 2);
        if (hi >= lo)
          for (int c = lo; c <= hi; ++c) k.set.set(static_cast<size_t>(c));
        i += 2;
      } else {
        k.set.set(P(i));
      }
      ++i;
    }
    k.end = i + 1;
    return k;
  }

  // The table cell of the star at s and the text place b (from 1 to the text length).
  size_t Cell(int s, int b) const {
    return static_cast<size_t>(row_[s]) * static_cast<size_t>(lt_) +
           static_cast<size_t>(b - 1);
  }

  // PatternFrom(a, b) for the place a where the run of the star at s goes on.
  TResult Attempt(int s, int a, int b) {
    TResult& kept = patternMemo_[Cell(s, b)];
    if (kept == kUnknown) kept = PatternFrom(a, b);
    return kept;
  }

  TResult StarRun(int s, int b) {
    TResult& kept = runMemo_[Cell(s, b)];
    if (kept == kUnknown) kept = StarRunFrom(s, b);
    return kept;
  }

  TResult PatternFrom(int a, int b) {
    int starClass = 0;
    if (a == lp_ && P(a) == '*') return Result(1, 0);  // the rest is exactly "*"
    int pi = a, ti = b, code = 0;
    while (code == 0 && pi <= lp_) {
      if (ti > lt_) {
        code = P(pi) == '*' && pi == lp_ ? 1 : 3;
        break;
      }
      const uint8_t c = P(pi);
      if (c == '*') {
        const int star = pi;
        if (pi < lp_ && P(pi + 1) == '<') {
          const TStarClass& k = StarClass(pi);
          pi = k.end;
          if (k.set.none()) {
            starClass = 0;
            code = 3;
            break;
          }
          starClass = star;
        } else {
          starClass = 0;
        }
        const TResult run = StarRun(star, ti);
        code = CodeOf(run);
        starClass = ClassOf(run);
        ++pi;
        ++ti;
      } else if (c == '<') {
        // A class matching one character.
        ++pi;
        if (pi > lp_) return Result(6, starClass);
        bool negated = false;
        if (P(pi) == '!' || P(pi) == '^') {
          negated = true;
          ++pi;
          if (pi > lp_) return Result(6, starClass);
        }
        if (P(pi) == '>') return Result(6, starClass);
        bool member = false;
        while (!member && P(pi) != '>') {
          const int lo = pi;
          int hi = pi;
          ++pi;
          if (pi > lp_) return Result(6, starClass);
          if (P(pi) == '-') {
            ++pi;
            hi = pi;
            if (pi > lp_ || P(hi) == '>') return Result(6, starClass);
            ++pi;
            if (pi > lp_) return Result(6, starClass);
          }
          member = P(lo) <= T(ti) && T(ti) <= P(hi);
        }
        if (member == negated) {
          code = 4;
          break;
        }
        if (member)
          while (pi <= lp_ && P(pi) != '>') ++pi;
        if (pi > lp_) return Result(6, starClass);
        ++pi;
        ++ti;
      } else {
        if (c != '?' && c != T(ti)) code = 5;
        ++pi;
        ++ti;
      }
    }
    if (code == 0) code = ti > lt_ ? 1 : 2;
    return Result(code, starClass);
  }

  // The star at s: the pattern goes on at s (the star run) or after its class.
  TResult StarRunFrom(int s, int b) {
    const bool hasClass = s < lp_ && P(s + 1) == '<';
    const int start = hasClass ? StarClass(s).end : s;
    int starClass = hasClass ? s : 0;
    const bool rest = start <= lp_;  // pattern left after the class
    int pi = start, ti = b, code = 0;
    if (rest) {
      while (ti <= lt_ && pi <= lp_ && (P(pi) == '*' || P(pi) == '?')) {
        if (P(pi) == '?') ++ti;
        ++pi;
      }
    }
    if (ti > lt_) return Result(3, starClass);
    if (rest && pi > lp_) return Result(1, starClass);
    do {
      if (rest && (P(pi) == T(ti) || P(pi) == '<')) {
        const TResult attempt = Attempt(s, pi, ti);
        code = CodeOf(attempt);
        starClass = ClassOf(attempt);
      }
      if (code != 1 && starClass != 0) {
        const TStarClass& k = StarClass(starClass);
        const bool in = k.set.test(T(ti));
        if (k.negated ? in : !in) return Result(3, starClass);
      }
      ++ti;
    } while (code != 1 && ti <= lt_);
    return Result(code, starClass);
  }

  const std::string& p_;
  const std::string& t_;
  const int lp_, lt_;
  static constexpr size_t kInline = 1024;
  int32_t inline_[kInline];
  std::vector<int32_t> heap_;
  int32_t* row_ = nullptr;          // by pattern place: the row of the star there
  TResult* patternMemo_ = nullptr;  // by star and text place
  TResult* runMemo_ = nullptr;      // by star and text place
  std::vector<TStarClass> classes_;  // by star place, read when first needed
};

}  // namespace

int MatchPattern(std::string p, std::string t) {
  p = LowerCaseAscii(std::move(p));
  t = LowerCaseAscii(std::move(t));
  if (p == "*") return 1;
  return TMatcher(p, t).Match();
}

bool WildcardMatch(const std::string& pattern, const std::string& text) {
  return MatchPattern(pattern, text) == 1;
}

}  // namespace unzip
