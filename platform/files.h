// File services with the semantics of the Windows ANSI entry points.
//
// Every path is a byte string in the ANSI code page (GBK) with "\" separators and
// optional drive letters, exactly as the rest of the system holds it. The Windows
// backend passes it to the *A entry points; the POSIX backend converts it at the
// system-call boundary (see platform/README.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// ---- Error codes (GetLastError values) --------------------------------------------
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorWriteFault = 29;
inline constexpr uint32_t kErrorReadFault = 30;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorFileExists = 80;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorDiskFull = 112;
inline constexpr uint32_t kErrorInvalidName = 123;
inline constexpr uint32_t kErrorDirNotEmpty = 145;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorNegativeSeek = 131;
inline constexpr uint32_t kErrorMoreData = 234;
// A name of the host has no spelling in the ANSI code page (POSIX backend).
inline constexpr uint32_t kErrorNoUnicodeTranslation = 1113;

uint32_t GetLastError();
void SetLastError(uint32_t code);

// ---- Handles -----------------------------------------------------------------------
// An open file. kInvalidHandle is what a failed CreateFileA returns.
using Handle = intptr_t;
inline constexpr Handle kInvalidHandle = -1;

// Desired access.
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;
// Share mode: what other openers may do while this handle is open.
inline constexpr uint32_t kShareNone = 0;
inline constexpr uint32_t kShareRead = 0x1;
inline constexpr uint32_t kShareWrite = 0x2;
inline constexpr uint32_t kShareDelete = 0x4;
// Creation disposition.
inline constexpr uint32_t kCreateNew = 1;
inline constexpr uint32_t kCreateAlways = 2;
inline constexpr uint32_t kOpenExisting = 3;
inline constexpr uint32_t kOpenAlways = 4;
inline constexpr uint32_t kTruncateExisting = 5;
// Seek origins.
inline constexpr uint32_t kFileBegin = 0;
inline constexpr uint32_t kFileCurrent = 1;
inline constexpr uint32_t kFileEnd = 2;

// ---- File attributes ---------------------------------------------------------------
inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;

// Opens or creates a file. Share modes are honoured between openers, also across
// processes: an open whose access another opener does not share, or whose share mode
// excludes another opener's access, fails with kErrorSharingViolation. Writing to a
// read-only file fails with kErrorAccessDenied.
Handle CreateFileA(const std::string& fileName, uint32_t desiredAccess, uint32_t shareMode,
                   uint32_t creationDisposition, uint32_t flagsAndAttributes = kAttrNormal);
bool CloseHandle(Handle file);
bool ReadFile(Handle file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead);
bool WriteFile(Handle file, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten);
// Moves the file pointer; newPosition may be null.
bool SetFilePointerEx(Handle file, int64_t distance, int64_t* newPosition, uint32_t moveMethod);
bool GetFileSizeEx(Handle file, int64_t* size);
// Truncates or extends the file at the current file pointer.
bool SetEndOfFile(Handle file);
bool FlushFileBuffers(Handle file);

// The last-write time as a DOS date/time (date in the high word), read as local time.
bool GetFileDosDateTime(Handle file, uint32_t* dosDateTime);
// Stamps the last-write time from a DOS date/time read as local time. Fails with
// kErrorInvalidParameter when the value is not a valid date and time.
bool SetFileDosDateTime(Handle file, uint32_t dosDateTime);

// ---- Names -------------------------------------------------------------------------
uint32_t GetFileAttributesA(const std::string& fileName);
bool SetFileAttributesA(const std::string& fileName, uint32_t attributes);
// True when a file (not a folder) exists at the path.
bool FileExists(const std::string& fileName);
// True when the path's attributes can be read and carry the directory flag.
bool DirectoryExists(const std::string& path);
bool DeleteFileA(const std::string& fileName);
bool CopyFileA(const std::string& existingFileName, const std::string& newFileName,
               bool failIfExists);
// Renames a file or folder; fails when the target exists.
bool MoveFileA(const std::string& existingFileName, const std::string& newFileName);
// MoveFileA with flags: kMoveFileReplaceExisting replaces an existing file in one step.
// The replace fails (nothing changes) when the target is a folder, is read-only, or is
// held by an opener that did not share delete access.
inline constexpr uint32_t kMoveFileReplaceExisting = 0x1;
bool MoveFileExA(const std::string& existingFileName, const std::string& newFileName,
                 uint32_t flags);
// Creates one folder level; fails with kErrorAlreadyExists or kErrorPathNotFound.
bool CreateDirectoryA(const std::string& path);
// Creates every missing folder of path (which may end in "\"), parents first; a name
// shorter than three characters (a bare drive such as "C:") is never created. True when
// the folder exists afterwards.
bool CreateFolderPath(const std::string& path);
bool RemoveDirectoryA(const std::string& path);

// One entry of a folder listing ("." and ".." are left out).
struct FolderEntry {
  std::string name;
  uint32_t attributes = 0;
};
// The entries of a folder in no particular order (FindFirstFileA/FindNextFileA on
// folder + "\*"); false when the folder cannot be listed.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries);

// The folder for temporary files, with its trailing backslash.
std::string GetTempPathA();

// ---- Process -----------------------------------------------------------------------
// Full path of the running executable.
// These three give "" on failure; on POSIX also when the host's path has no spelling in
// the ANSI code page (kErrorNoUnicodeTranslation), so that no garbled path is used.
std::string GetModuleFileNameA();
std::string GetCurrentDirectoryA();
bool SetCurrentDirectoryA(const std::string& path);

}  // namespace platform
