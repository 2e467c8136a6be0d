// The texts Windows gives for the error codes the platform layer reports.
#include "platform/errors.h"

#include "platform/files.h"

namespace platform {

std::string SysErrorMessage(uint32_t errorCode) {
  switch (errorCode) {
    case kErrorSuccess: return "The operation completed successfully";
    case kErrorFileNotFound: return "The system cannot find the file specified";
    case kErrorPathNotFound: return "The system cannot find the path specified";
    case kErrorAccessDenied: return "Access is denied";
    case kErrorInvalidHandle: return "The handle is invalid";
    case kErrorNotEnoughMemory: return "Not enough storage is available to process this command";
    case kErrorWriteFault: return "The system cannot write to the specified device";
    case kErrorReadFault: return "The system cannot read from the specified device";
    case kErrorSharingViolation:
      return "The process cannot access the file because it is being used by another process";
    case kErrorFileExists: return "The file exists";
    case kErrorInvalidParameter: return "The parameter is incorrect";
    case kErrorDiskFull: return "There is not enough space on the disk";
    case kErrorInvalidName: return "The filename, directory name, or volume label syntax is incorrect";
    case kErrorNegativeSeek:
      return "An attempt was made to move the file pointer before the beginning of the file";
    case kErrorDirNotEmpty: return "The directory is not empty";
    case kErrorAlreadyExists: return "Cannot create a file when that file already exists";
    case kErrorNoUnicodeTranslation:
      return "No mapping for the Unicode character exists in the target multi-byte code page";
    default: return "System error code " + std::to_string(errorCode);
  }
}

}  // namespace platform
