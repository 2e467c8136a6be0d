// extract-archive: lists, verifies or extracts a zip archive with the installer's engine.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "platform/console.h"
#include "platform/system.h"
#include "unzip/ZipExtractor.h"

namespace {

enum ExitCode : int {
  kOk = 0,
  kUsage = 1,
  kBadArchive = 2,    // cannot be opened, not a zip archive, damaged directory (wins over 3, 4)
  kEntriesFailed = 3, // an entry failed its CRC, was given up, or has an unknown method
  kFatal = 4,         // the run stopped: data ended early, corrupt Deflate data, write failed
};

const char kUsageText[] =
    "usage: extract-archive -l ARCHIVE        list the entries\n"
    "       extract-archive -t ARCHIVE        decode every entry and check its CRC; write nothing\n"
    "       extract-archive -x ARCHIVE DEST   extract every entry below DEST, replacing files\n"
    "       extract-archive -h | --help       this text\n"
    "exit status:\n"
    "  0  everything succeeded\n"
    "  1  usage error\n"
    "  2  the archive cannot be opened, is not a zip archive, or its directory is damaged\n"
    "  3  some entries failed: CRC mismatch, unknown compression method, wrong password,\n"
    "     output file not created (read-only, in use, a name leaving DEST), ...\n"
    "  4  the run stopped on a fatal error: data ending early, corrupt compressed data,\n"
    "     a write that failed\n"
    "4 wins over 3. A damaged directory (central headers the entry count left out, or\n"
    "bytes a rebuilt directory cannot account for) is reported with the offset where\n"
    "reading stopped, after the entries found were listed, verified or extracted; its 2\n"
    "wins over 3 and 4.\n";

// An entry's stored name as the terminal shows it. A UTF-8 name the ANSI code page cannot
// hold is shown as stored where the terminal takes UTF-8, and marked: it is not extracted.
std::string DisplayEntryName(const unzip::TZipExtractor::TEntryInfo& e) {
  if (!e.nameNotRepresentable) return platform::ConsolePath(e.name);
  return platform::ConsolePathFromUtf8(e.utf8Name).value_or(e.name) + "  (no ANSI form)";
}

const char* MethodName(uint16_t method) {
  switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 2: return "Reduce1";
    case 3: return "Reduce2";
    case 4: return "Reduce3";
    case 5: return "Reduce4";
    case 6: return "Implode";
    case 8: return "Deflate";
    default: return nullptr;
  }
}

// The exit code once the work is done: a damaged directory is reported last, so that it
// follows whatever the entries that were found gave.
int DirectoryVerdict(const unzip::TZipExtractor& z, int code) {
  if (!z.DirectoryDamaged()) return code;
  const int64_t at = z.DirectoryDamageOffset();
  std::fprintf(stderr,
               "extract-archive: damaged directory: reading stopped at offset %" PRId64
               " (0x%" PRIx64 "); %d entries found\n",
               at, static_cast<uint64_t>(at), z.Count());
  return kBadArchive;
}

int List(unzip::TZipExtractor& z) {
  z.OpenWithRetry();
  z.OpenArchive();
  std::printf("%-8s %12s %12s %-8s %-16s %s\n", "Method", "Size", "Packed", "CRC-32",
              "Date", "Name");
  uint64_t total = 0;
  for (int32_t i = 0; i < z.Count(); ++i) {
    const unzip::TZipExtractor::TEntryInfo e = z.EntryInfo(i);
    const uint32_t d = e.dosDateTime;
    const char* method = MethodName(e.method);
    char methodText[16];
    if (!method) std::snprintf(methodText, sizeof methodText, "M%u", e.method);
    std::printf("%-8s %12" PRIu64 " %12" PRIu64 " %08" PRIx32 " %04u-%02u-%02u %02u:%02u %s%s\n",
                method ? method : methodText, e.size, e.packed, e.crc32, 1980 + (d >> 25),
                (d >> 21) & 0xF, (d >> 16) & 0x1F, (d >> 11) & 0x1F, (d >> 5) & 0x3F,
                DisplayEntryName(e).c_str(), e.encrypted ? "  (encrypted)" : "");
    total += e.size;
  }
  std::printf("%d entries, %" PRIu64 " bytes\n", z.Count(), total);
  z.CloseArchive();
  return DirectoryVerdict(z, kOk);
}

// Runs the extraction (or the verification) and reports every entry that fails.
int Run(unzip::TZipExtractor& z, bool testOnly) {
  using namespace unzip;
  // The settings of the installer's call, without a window to keep responsive.
  z.OverwriteMode = Always;
  z.RecreateDirs = true;
  z.DoAll = true;
  z.DoProcessMessages = false;
  z.TestOnly = testOnly;

  bool started = false;
  int32_t failed = 0;
  int32_t lastFailed = -1;
  int32_t current = -1;
  int32_t selected = 0;
  const auto fail = [&](int32_t index, const char* why) {
    const std::string name = index >= 0 && index < z.Count()
                                 ? DisplayEntryName(z.EntryInfo(index))
                                 : std::string();
    std::fprintf(stderr, "%s%s: %s\n", platform::StderrIsTerminal() ? "\r" : "", name.c_str(),
                 why);
    if (index != lastFailed) ++failed;
    lastFailed = index;
  };
  z.OnStartUnZipInfo = [&](TObject*, int32_t n, int64_t, bool&) {
    started = true;
    selected = n;
  };
  z.OnStartUnZip = [&](TObject*, int32_t i, std::string&, bool&) { current = i; };
  z.OnSkippingFile = [&](TObject*, TSkipReason reason, const std::string&, int32_t i, bool&) {
    fail(i, reason == srBadPassword   ? "wrong password"
            : reason == srNoOverwrite ? "not replaced"
                                      : "cannot be created (or its name leaves the destination)");
  };
  z.OnBadCRC = [&](TObject*, uint32_t calc, uint32_t stored, int32_t i) {
    char text[64];
    if (calc == stored)
      std::snprintf(text, sizeof text, "data shorter than its declared size");
    else
      std::snprintf(text, sizeof text, "CRC error (computed %08" PRIx32 ", stored %08" PRIx32 ")",
                    calc, stored);
    fail(i, text);
  };
  z.OnHandleMessage = [&](TObject*, int32_t id, const std::string& text, const std::string&,
                          uint32_t, int32_t& reply) {
    if (id == unzip::kMsgUnknownMethod) {
      fail(current, "unknown compression method");
      reply = 1;  // OK
      return;
    }
    // Any other question (another volume, for instance) is answered "no".
    std::fprintf(stderr, "%s\n", platform::ConsolePath(text).c_str());
    reply = 2;  // Cancel
  };
  if (platform::StderrIsTerminal()) {
    int32_t shown = -1;
    z.OnTotalPercentDone = [&shown](TObject*, int32_t percent) {
      if (percent == shown) return;
      shown = percent;
      std::fprintf(stderr, "\r%3d%%", percent);
    };
  }

  int32_t extracted = 0;
  try {
    extracted = z.UnZip();
  } catch (const std::exception& e) {
    if (platform::StderrIsTerminal()) std::fputs("\r    \r", stderr);
    std::fprintf(stderr, "extract-archive: %s\n", platform::ConsolePath(e.what()).c_str());
    return DirectoryVerdict(z, started ? kFatal : kBadArchive);
  }
  if (platform::StderrIsTerminal()) std::fputs("\r    \r", stderr);
  std::printf("%d of %d entries %s, %d failed\n", extracted, selected,
              testOnly ? "verified" : "extracted", failed);
  return DirectoryVerdict(z, failed > 0 || extracted < selected ? kEntriesFailed : kOk);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if ((mode == "-h" || mode == "--help") && argc == 2) {
    std::fputs(kUsageText, stdout);
    return kOk;
  }
  const bool extract = mode == "-x";
  if (!((mode == "-l" || mode == "-t") && argc == 3) && !(extract && argc == 4)) {
    std::fputs(kUsageText, argc == 1 ? stdout : stderr);
    return kUsage;
  }
  unzip::TZipExtractor z;
  try {
    z.SetZipName(platform::CommandLinePath(argv[2]));
    if (mode == "-l") return List(z);
    // A verification resolves paths below a destination too, so that names leaving it
    // are reported; nothing is created there.
    z.SetDestDir(extract ? platform::CommandLinePath(argv[3]) : std::string("."));
    return Run(z, !extract);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "extract-archive: %s\n", platform::ConsolePath(e.what()).c_str());
    return kBadArchive;
  }
}
