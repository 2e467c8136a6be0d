// Times the file-list matcher: a list of star patterns against many stored names, and a
// pattern of more and more stars against a name it nearly matches. Exits 1 when one
// match of that series takes longer than a second: the matcher has gone exponential.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "unzip/Wildcard.h"

namespace {

double Milliseconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

// Stored paths as the driver hands them over: lower case, "\" separators, some GBK.
std::vector<std::string> MakeNames(int count, std::mt19937& random) {
  static const char* const kFolders[] = {"docs", "bin", "data\\maps", "lib\\plugins",
                                         "\xb2\xe2\xca\xd4", "res\\skins\\blue"};
  static const char* const kExtensions[] = {".txt", ".dat", ".png", ".exe", ".dll", ".bak"};
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char file[32];
    std::snprintf(file, sizeof file, "file_%05u", static_cast<unsigned>(random() % 100000));
    names.push_back(std::string(kFolders[random() % 6]) + "\\sub" +
                    std::to_string(random() % 40) + "\\" + file + kExtensions[random() % 6]);
  }
  return names;
}

// Patterns of one to six stars between pieces of such names.
std::vector<std::string> MakePatterns(int count, std::mt19937& random) {
  static const char* const kPieces[] = {"doc", "sub1", "\\", "file_0", "1", "2", ".txt",
                                        "?",   "<a-f>", "s",  "_",      ".d", "\xb2\xe2", "e"};
  std::vector<std::string> patterns;
  for (int i = 0; i < count; ++i) {
    std::string p;
    const int stars = 1 + static_cast<int>(random() % 6);
    for (int s = 0; s < stars; ++s) p += std::string("*") + kPieces[random() % 14];
    if (random() % 2) p += "*";
    patterns.push_back(p);
  }
  return patterns;
}

}  // namespace

int main() {
  std::mt19937 random(1234);  // a fixed start value: the same lists every run
  const std::vector<std::string> names = MakeNames(5000, random);
  const std::vector<std::string> patterns = MakePatterns(64, random);
  double best = 1e30;
  int selected = 0;
  for (int round = 0; round < 3; ++round) {
    const auto t0 = std::chrono::steady_clock::now();
    selected = 0;
    for (const std::string& name : names)
      for (const std::string& pattern : patterns) selected += unzip::WildcardMatch(pattern, name);
    best = std::min(best, Milliseconds(t0));
  }
  const double matches = static_cast<double>(names.size() * patterns.size());
  std::printf("file list: %zu patterns x %zu names: %9.2f ms (%.0f ns a match, %d matched)\n",
              patterns.size(), names.size(), best, best * 1e6 / matches, selected);

  // "*a*a...*a*b" against sixty "a": every star may end anywhere, and nothing matches.
  const std::string text(60, 'a');
  bool exponential = false;
  for (int stars = 1; stars <= 12; ++stars) {
    std::string pattern;
    for (int s = 1; s < stars; ++s) pattern += "*a";
    pattern += "*b";
    const auto t0 = std::chrono::steady_clock::now();
    const bool matched = unzip::WildcardMatch(pattern, text);
    const double ms = Milliseconds(t0);
    std::printf("%2d stars against 60 characters: %10.3f ms%s\n", stars, ms,
                matched ? " (matched!)" : "");
    if (ms > 1000) {
      std::printf("over a second: the series stops here\n");
      exponential = true;
      break;
    }
  }
  return exponential ? 1 : 0;
}
