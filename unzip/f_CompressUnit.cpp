#include "unzip/f_CompressUnit.h"

#include <memory>

#include "unzip/ZipExtractor.h"

namespace unzip {

bool ExtractArchive(const char* ArchivePath, const char* DestFolder, bool RecreateDirs) {
  const auto zip = std::make_unique<TZipExtractor>(nullptr);
  // The setters' own exceptions (a cancelled chooser) are the caller's to see.
  zip->SetZipName(ArchivePath ? ArchivePath : "");
  zip->SetDestDir(DestFolder ? DestFolder : "");
  zip->OverwriteMode = Always;
  zip->RecreateDirs = RecreateDirs;
  zip->DoAll = true;
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
