// The one call through which the installer extracts its upgrade archive.
#pragma once

namespace unzip {

// Extracts every entry of the archive at ArchivePath below DestFolder, replacing
// existing files without asking (read-only or locked ones are left as they are);
// RecreateDirs keeps the stored folders, otherwise every file goes straight into
// DestFolder. Both paths are GBK byte strings. True when the extraction ran to its end,
// whatever number of entries it extracted; false when it ended with an exception (the
// archive missing or damaged, data ending early, a write that failed). Files written
// before the failure stay. A path ending in "?" still raises the chooser's cancellation.
bool ExtractArchive(const char* ArchivePath, const char* DestFolder, bool RecreateDirs);

}  // namespace unzip
