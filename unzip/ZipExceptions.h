// The engine's exceptions. Message texts are those the component has always shown.
#pragma once

#include "unzip/Runtime.h"

namespace unzip {

UNZIP_EXCEPTION(EZipException, Exception);

#define UNZIP_ZIP_EXCEPTION(Name, Text)                      \
  class Name : public EZipException {                        \
   public:                                                   \
    Name() : EZipException(Text) {}                          \
    explicit Name(std::string message) : EZipException(std::move(message)) {} \
  }

UNZIP_ZIP_EXCEPTION(EBadZipFile, "Not a valid zip file!");
UNZIP_ZIP_EXCEPTION(EIncompleteZip, "Incomplete Zip File");
UNZIP_ZIP_EXCEPTION(ENotAZipFile, "Not a valid zip file!");
UNZIP_ZIP_EXCEPTION(EUserCanceled, "User canceled loading new disk.");
UNZIP_ZIP_EXCEPTION(EFatalUnzipError, "Premature end of file reached");
UNZIP_ZIP_EXCEPTION(EBiggerThanUncompressed, "File is larger than uncompressed size!");
UNZIP_ZIP_EXCEPTION(ECantWriteUCF, "Cant write uncompressed file");
UNZIP_ZIP_EXCEPTION(ECanceledUnzipToBuffer, "User canceled Buffered Memory UnZip");

#undef UNZIP_ZIP_EXCEPTION

// The texts of the three cancellations.
inline constexpr const char* kCanceledZipName = "User canceled setting zip file name.";
inline constexpr const char* kCanceledDestDir = "User canceled Set Desination Directory";
inline constexpr const char* kCanceledNewDisk = "User canceled loading new disk.";

// Raised when zlib reports a negative result.
UNZIP_EXCEPTION(EZLibError, Exception);
class EZCompressionError : public EZLibError {
 public:
  EZCompressionError() : EZLibError("error") {}
  explicit EZCompressionError(std::string message) : EZLibError(std::move(message)) {}
};

}  // namespace unzip
