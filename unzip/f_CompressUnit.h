// The one call through which the installer extracts its upgrade archive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace unzip {

// Extracts every entry of the archive at ArchivePath below DestFolder, replacing
// existing files without asking; RecreateDirs keeps the stored folders, otherwise every
// file goes straight into DestFolder. Both paths are GBK byte strings. True when every
// entry was extracted (also for an archive without entries); false when the run ended
// with an exception (the archive missing or damaged, data ending early, a write that
// failed), found a directory that does not account for the whole archive (its entries
// are extracted all the same), or left an entry out for a fault (a CRC mismatch, an unknown method, a wrong
// password, a name that cannot be created or leaves DestFolder, a read-only or locked
// file in its place). An entry that fails leaves the file at its place as it was; files
// extracted before a failure stay. A path ending in "?" still raises the chooser's
// cancellation.
bool ExtractArchive(const char* ArchivePath, const char* DestFolder, bool RecreateDirs);

// What a caller may add to the call.
struct TExtractOptions {
  // Called with the share of the selected bytes written so far (0 to 100), once each
  // time it changes, from the extraction's own thread.
  std::function<void(int32_t Percent)> OnProgress;
  // Output paths (the same path ignoring case) that the extraction leaves as they are:
  // an entry for one of them is skipped, and that is no failure.
  std::vector<std::string> Keep;
};
bool ExtractArchive(const char* ArchivePath, const char* DestFolder, bool RecreateDirs,
                    const TExtractOptions& Options);

}  // namespace unzip
