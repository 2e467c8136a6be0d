// The component's internals some tests look at: the record lists behind the listing, the
// end record, the archive stream, the work entry and the volume routines.
#pragma once

#include <string>

#include "unzip/ZipExtractor.h"

namespace unzip {

struct TZipExtractorTestAccess {
  static TSortedZip* EntryList(const TZipExtractor& z) { return z.FEntryList; }
  static TSortedZip* SortedView(const TZipExtractor& z) { return z.FSortedView; }
  static TEndCentral* EndCentral(const TZipExtractor& z) { return z.FEndCentral.get(); }
  static TBufferedFileStream* ArchiveStream(const TZipExtractor& z) { return z.FArchiveStream; }
  static TZipHeaderInfo* WorkEntry(const TZipExtractor& z) { return z.FWorkEntry.get(); }
  static uint32_t ArchiveDate(const TZipExtractor& z) { return z.FArchiveDate; }
  static TStream* OpenDisk(TZipExtractor& z, int64_t n) { return z.OpenDisk(n); }
  static bool LabelMatches(TZipExtractor& z, int64_t n) { return z.LabelMatches(n); }
  static void FileNameForSplitPart(TZipExtractor& z, std::string& name, int64_t n,
                                   TSplitPartType type) {
    z.FileNameForSplitPart(name, n, type);
  }
  // The volume mode DecideMultiMode gives for an archive of this name.
  static int32_t DecidedMultiMode(TZipExtractor& z, const std::string& zipName) {
    z.FZipName = zipName;
    z.FMultiMode = kMultiNone;
    z.DecideMultiMode();
    return z.GetMultiMode();
  }
};

}  // namespace unzip
