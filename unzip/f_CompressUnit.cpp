#include "unzip/f_CompressUnit.h"

#include <memory>

#include "unzip/ZipExtractor.h"

namespace unzip {

bool ExtractArchive(const char* ArchivePath, const char* DestFolder, bool RecreateDirs) {
  return ExtractArchive(ArchivePath, DestFolder, RecreateDirs, TExtractOptions{});
}

bool ExtractArchive(const char* ArchivePath, const char* DestFolder, bool RecreateDirs,
                    const TExtractOptions& Options) {
  const auto zip = std::make_unique<TZipExtractor>(nullptr);
  // The setters' own exceptions (a cancelled chooser) are the caller's to see.
  zip->SetZipName(ArchivePath ? ArchivePath : "");
  zip->SetDestDir(DestFolder ? DestFolder : "");
  zip->OverwriteMode = Always;
  zip->RecreateDirs = RecreateDirs;
  zip->DoAll = true;
  if (Options.OnProgress) {
    int32_t shown = -1;
    zip->OnTotalPercentDone = [&Options, shown](TObject*, int32_t percent) mutable {
      if (percent == shown) return;
      shown = percent;
      Options.OnProgress(percent);
    };
  }
  if (!Options.Keep.empty()) {
    zip->OnStartUnZip = [&Options](TObject*, int32_t, std::string& name, bool& skip) {
      for (const std::string& kept : Options.Keep)
        if (SameTextAnsi(name, kept)) skip = true;
    };
  }
  try {
    zip->UnZip();
  } catch (...) {
    return false;
  }
  // An entry left out for a fault (a CRC mismatch, a file that could not be replaced, ...)
  // or a directory that does not account for the whole archive leaves the folder short
  // of what the archive holds.
  return zip->FailedCount() == 0 && !zip->DirectoryDamaged();
}

}  // namespace unzip
