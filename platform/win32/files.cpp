// File services: the Win32 ANSI entry points, thin.
#include <windows.h>

#include "platform/files.h"
#include "platform/inject.h"

namespace platform {
namespace {

HANDLE H(Handle h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

uint32_t GetLastError() { return ::GetLastError(); }
void SetLastError(uint32_t code) { ::SetLastError(code); }

Handle CreateFileA(const std::string& fileName, uint32_t desiredAccess, uint32_t shareMode,
                   uint32_t creationDisposition, uint32_t flagsAndAttributes) {
  HANDLE h = ::CreateFileA(fileName.c_str(), desiredAccess, shareMode, nullptr,
                           creationDisposition, flagsAndAttributes, nullptr);
  return reinterpret_cast<Handle>(h);
}

bool CloseHandle(Handle file) { return ::CloseHandle(H(file)) != 0; }

bool ReadFile(Handle file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead) {
  DWORD got = 0;
  const BOOL ok = ::ReadFile(H(file), buffer, bytesToRead, &got, nullptr);
  if (bytesRead) *bytesRead = got;
  return ok != 0;
}

bool WriteFile(Handle file, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) {
  DWORD put = 0;
  const BOOL ok = ::WriteFile(H(file), buffer, bytesToWrite, &put, nullptr);
  if (bytesWritten) *bytesWritten = put;
  return ok != 0;
}

bool SetFilePointerEx(Handle file, int64_t distance, int64_t* newPosition, uint32_t moveMethod) {
  LARGE_INTEGER move, result;
  move.QuadPart = distance;
  if (!::SetFilePointerEx(H(file), move, &result, moveMethod)) return false;
  if (newPosition) *newPosition = result.QuadPart;
  return true;
}

bool GetFileSizeEx(Handle file, int64_t* size) {
  LARGE_INTEGER result;
  if (!::GetFileSizeEx(H(file), &result)) return false;
  *size = result.QuadPart;
  return true;
}

bool SetEndOfFile(Handle file) { return ::SetEndOfFile(H(file)) != 0; }
bool FlushFileBuffers(Handle file) { return ::FlushFileBuffers(H(file)) != 0; }

bool GetFileDosDateTime(Handle file, uint32_t* dosDateTime) {
  FILETIME written, local;
  WORD date = 0, time = 0;
  if (!::GetFileTime(H(file), nullptr, nullptr, &written) ||
      !::FileTimeToLocalFileTime(&written, &local))
    return false;
  if (!::FileTimeToDosDateTime(&local, &date, &time)) {
    // A date the DOS format cannot hold: before 1980 reads as the earliest DOS date, as
    // the POSIX backend clamps it; a file so dated still exists.
    static constexpr ULONGLONG k1980 = 119600064000000000ULL;  // 1980-01-01 in FILETIME units
    const ULONGLONG at = (static_cast<ULONGLONG>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    if (at >= k1980) return false;
    date = (1 << 5) | 1;
    time = 0;
  }
  *dosDateTime = (static_cast<uint32_t>(date) << 16) | time;
  return true;
}

bool SetFileDosDateTime(Handle file, uint32_t dosDateTime) {
  FILETIME local, written;
  if (!::DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                               static_cast<WORD>(dosDateTime & 0xFFFF), &local) ||
      !::LocalFileTimeToFileTime(&local, &written)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return ::SetFileTime(H(file), nullptr, nullptr, &written) != 0;
}

uint32_t GetFileAttributesA(const std::string& fileName) {
  return ::GetFileAttributesA(fileName.c_str());
}

bool SetFileAttributesA(const std::string& fileName, uint32_t attributes) {
  return ::SetFileAttributesA(fileName.c_str(), attributes) != 0;
}

bool FileExists(const std::string& fileName) {
  const DWORD attributes = ::GetFileAttributesA(fileName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileA(const std::string& fileName) { return ::DeleteFileA(fileName.c_str()) != 0; }

bool CopyFileA(const std::string& existingFileName, const std::string& newFileName,
               bool failIfExists) {
  return ::CopyFileA(existingFileName.c_str(), newFileName.c_str(), failIfExists) != 0;
}

bool MoveFileA(const std::string& existingFileName, const std::string& newFileName) {
  return ::MoveFileA(existingFileName.c_str(), newFileName.c_str()) != 0;
}

bool MoveFileExA(const std::string& existingFileName, const std::string& newFileName,
                 uint32_t flags) {
  const DWORD native = (flags & kMoveFileReplaceExisting) ? MOVEFILE_REPLACE_EXISTING : 0;
  return ::MoveFileExA(existingFileName.c_str(), newFileName.c_str(), native) != 0;
}

bool CreateDirectoryA(const std::string& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool RemoveDirectoryA(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }

bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
  entries->clear();
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    entries->push_back({name, data.dwFileAttributes});
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  return true;
}

std::string GetTempPathA() {
  char buf[MAX_PATH + 1];
  const DWORD n = ::GetTempPathA(sizeof buf, buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string("C:\\");
}

std::string GetModuleFileNameA() {
  if (auto answer = inject::Ask(&inject::Services::moduleFileName)) return *answer;
  char buf[MAX_PATH + 1];
  const DWORD n = ::GetModuleFileNameA(nullptr, buf, sizeof buf);
  return std::string(buf, n < sizeof buf ? n : 0);
}

std::string GetCurrentDirectoryA() {
  char buf[MAX_PATH + 1];
  const DWORD n = ::GetCurrentDirectoryA(sizeof buf, buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

bool SetCurrentDirectoryA(const std::string& path) {
  return ::SetCurrentDirectoryA(path.c_str()) != 0;
}

}  // namespace platform
