// File services on POSIX with Windows semantics.
//
// Share modes. Each open holds shared open-file-description locks on marker bytes far
// past any real data: one marker per access it has and one per access it denies. A new
// open tests the markers that conflict with it (F_OFD_GETLK) before taking its own, so
// an open that another opener does not share fails with kErrorSharingViolation, across
// processes too. The test and the take are two steps, so two opens racing each other
// can both succeed; the system never races itself.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/dos_time.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "platform/posix/native.h"

namespace platform {
namespace {

thread_local uint32_t lastError = kErrorSuccess;

// Marker bytes of the share-mode locks.
constexpr off_t kMarkerBase = static_cast<off_t>(0x7FFFFFFF00000000LL);
enum Marker : off_t { kHasRead = 0, kHasWrite, kDeniesRead, kDeniesWrite, kDeniesDelete };

constexpr unsigned Bit(Marker marker) { return 1u << marker; }

// Calls apply(start, length) for every run of adjacent markers in mask, so that one
// fcntl call covers a run; stops early when apply returns false.
template <typename Apply>
bool ForEachRun(unsigned mask, Apply apply) {
  for (int m = 0; m <= kDeniesDelete;) {
    if (!(mask & (1u << m))) {
      ++m;
      continue;
    }
    int end = m;
    while (end + 1 <= kDeniesDelete && (mask & (1u << (end + 1)))) ++end;
    if (!apply(kMarkerBase + m, end - m + 1)) return false;
    m = end + 1;
  }
  return true;
}

// True when another opener holds any of the markers in mask.
bool AnyMarkerTaken(int fd, unsigned mask) {
  return !ForEachRun(mask, [fd](off_t start, off_t length) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    return fcntl(fd, F_OFD_GETLK, &lock) != 0 || lock.l_type == F_UNLCK;
  });
}

bool TakeMarkers(int fd, unsigned mask) {
  return ForEachRun(mask, [fd](off_t start, off_t length) {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
  });
}

// Checks the open's access and share mode against the other openers and, when they
// agree, records its own. False: sharing violation.
bool ClaimShare(int fd, uint32_t access, uint32_t share) {
  if (access == 0) return true;  // attribute-only opens conflict with nobody
  unsigned conflicts = 0;
  if (access & kGenericRead) conflicts |= Bit(kDeniesRead);
  if (access & kGenericWrite) conflicts |= Bit(kDeniesWrite);
  if (!(share & kShareRead)) conflicts |= Bit(kHasRead);
  if (!(share & kShareWrite)) conflicts |= Bit(kHasWrite);
  if (AnyMarkerTaken(fd, conflicts)) return false;
  unsigned own = 0;
  if (access & kGenericRead) own |= Bit(kHasRead);
  if (access & kGenericWrite) own |= Bit(kHasWrite);
  if (!(share & kShareRead)) own |= Bit(kDeniesRead);
  if (!(share & kShareWrite)) own |= Bit(kDeniesWrite);
  if (!(share & kShareDelete)) own |= Bit(kDeniesDelete);
  return TakeMarkers(fd, own);
}

// True when some opener of the file has not shared delete access (so Windows would
// refuse to delete or rename it).
bool DeleteDenied(const std::string& native) {
  int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const bool denied = AnyMarkerTaken(fd, Bit(kDeniesDelete));
  close(fd);
  return denied;
}

// Read-only on Windows = no write permission bit here. The check is made by hand
// because root may write to any file.
bool IsReadOnly(const struct stat& st) { return (st.st_mode & 0222) == 0; }

// Every path reaches the host through here: the drive map, UTF-8, and names found
// whatever their case (posix/native.h).
std::optional<std::string> Native(const std::string& path) {
  std::optional<std::string> native = posix::ToNativePath(path);
  if (!native) SetLastError(kErrorPathNotFound);
  return native;
}

// A host path as the system spells it; "" with kErrorNoUnicodeTranslation when it has
// no GBK spelling.
std::string SystemPath(const std::string& native) {
  std::string path = posix::FromNativePath(native);
  if (path.empty()) SetLastError(kErrorNoUnicodeTranslation);
  return path;
}

// ENOENT means "file not found" when the parent folder exists and "path not found"
// otherwise, as Windows tells them apart.
void SetNotFoundError(const std::string& native) {
  const size_t slash = native.find_last_of('/');
  const std::string parent = slash == std::string::npos ? "." : native.substr(0, slash);
  struct stat st;
  const bool parentIsFolder = parent.empty() || (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
  SetLastError(parentIsFolder ? kErrorFileNotFound : kErrorPathNotFound);
}

void SetErrorFor(int error, const std::string& native) {
  if (error == ENOENT)
    SetNotFoundError(native);
  else
    posix::SetLastErrorFromErrno(error);
}

int Fd(Handle h) { return static_cast<int>(h); }

// A handle that cannot name a descriptor. Closed or foreign descriptors are left to the
// call itself, which fails with EBADF: probing them here would cost a system call on
// every read and write.
bool ValidHandle(Handle h) {
  if (h < 0 || h > INT_MAX) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return true;
}

// Packs a local time into a DOS date/time, clamped to the years DOS can hold.
uint32_t ToDosDateTime(time_t t) {
  struct tm tm {};
  localtime_r(&t, &tm);
  const int year = tm.tm_year + 1900;
  if (year < 1980) return PackDosDateTime({});
  return PackDosDateTime({std::min(year, 2107), tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                          tm.tm_sec});
}

bool FromDosDateTime(uint32_t dos, time_t* out) {
  if (!IsValidDosDateTime(dos)) return false;
  const DosFields f = UnpackDosDateTime(dos);
  struct tm tm {};
  tm.tm_year = f.year - 1900;
  tm.tm_mon = f.month - 1;
  tm.tm_mday = f.day;
  tm.tm_hour = f.hour;
  tm.tm_min = f.minute;
  tm.tm_sec = f.second;
  tm.tm_isdst = -1;
  *out = mktime(&tm);
  return *out != static_cast<time_t>(-1);
}

}  // namespace

uint32_t GetLastError() { return lastError; }
void SetLastError(uint32_t code) { lastError = code; }

Handle CreateFileA(const std::string& fileName, uint32_t desiredAccess, uint32_t shareMode,
                   uint32_t creationDisposition, uint32_t flagsAndAttributes) {
  std::optional<std::string> native = Native(fileName);
  if (!native) return kInvalidHandle;
  const bool wantsWrite = desiredAccess & kGenericWrite;
  // Writers open for reading too: the share markers are read locks, which need a
  // readable descriptor.
  int flags = O_CLOEXEC | (wantsWrite ? O_RDWR : O_RDONLY);

  struct stat st;
  const bool exists = stat(native->c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    SetLastError(kErrorAccessDenied);
    return kInvalidHandle;
  }
  const bool truncates = creationDisposition == kCreateAlways || creationDisposition == kTruncateExisting;
  switch (creationDisposition) {
    case kCreateNew:
      if (exists) {
        SetLastError(kErrorFileExists);
        return kInvalidHandle;
      }
      flags |= O_CREAT | O_EXCL;
      break;
    case kCreateAlways:
    case kOpenAlways:
      flags |= O_CREAT;
      break;
    case kOpenExisting:
    case kTruncateExisting:
      if (!exists) {
        SetNotFoundError(*native);
        return kInvalidHandle;
      }
      break;
    default:
      SetLastError(kErrorInvalidParameter);
      return kInvalidHandle;
  }
  if (exists && IsReadOnly(st) && (wantsWrite || truncates)) {
    SetLastError(kErrorAccessDenied);
    return kInvalidHandle;
  }
  // The truncation waits until the share check has passed.
  int fd = open(native->c_str(), flags, 0666);
  if (fd < 0 && errno == EACCES && wantsWrite) {
    // A file we may write but not read: it opens without share markers.
    fd = open(native->c_str(), (flags & ~O_RDWR) | O_WRONLY, 0666);
    shareMode = kShareRead | kShareWrite | kShareDelete;
    desiredAccess = 0;
  }
  if (fd < 0) {
    SetErrorFor(errno, *native);
    return kInvalidHandle;
  }
  if (!ClaimShare(fd, desiredAccess, shareMode)) {
    close(fd);
    SetLastError(kErrorSharingViolation);
    return kInvalidHandle;
  }
  if (truncates && exists && ftruncate(fd, 0) != 0) {
    posix::SetLastErrorFromErrno(errno);
    close(fd);
    return kInvalidHandle;
  }
  if (!exists && (flagsAndAttributes & kAttrReadOnly)) fchmod(fd, 0444);
  const bool reportsExisting =
      exists && (creationDisposition == kCreateAlways || creationDisposition == kOpenAlways);
  SetLastError(reportsExisting ? kErrorAlreadyExists : kErrorSuccess);
  return static_cast<Handle>(fd);
}

bool CloseHandle(Handle file) {
  if (!ValidHandle(file)) return false;
  return close(Fd(file)) == 0;
}

bool ReadFile(Handle file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead) {
  if (bytesRead) *bytesRead = 0;
  if (!ValidHandle(file)) return false;
  uint32_t done = 0;
  while (done < bytesToRead) {
    const ssize_t n = read(Fd(file), static_cast<char*>(buffer) + done, bytesToRead - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      posix::SetLastErrorFromErrno(errno == EBADF ? EACCES : errno);
      if (bytesRead) *bytesRead = done;
      return false;
    }
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  if (bytesRead) *bytesRead = done;
  return true;
}

bool WriteFile(Handle file, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) {
  if (bytesWritten) *bytesWritten = 0;
  if (!ValidHandle(file)) return false;
  uint32_t done = 0;
  while (done < bytesToWrite) {
    const ssize_t n = write(Fd(file), static_cast<const char*>(buffer) + done, bytesToWrite - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      posix::SetLastErrorFromErrno(errno == EBADF ? EACCES : errno);
      if (bytesWritten) *bytesWritten = done;
      return false;
    }
    done += static_cast<uint32_t>(n);
  }
  if (bytesWritten) *bytesWritten = done;
  return true;
}

bool SetFilePointerEx(Handle file, int64_t distance, int64_t* newPosition, uint32_t moveMethod) {
  if (!ValidHandle(file)) return false;
  int whence;
  switch (moveMethod) {
    case kFileBegin: whence = SEEK_SET; break;
    case kFileCurrent: whence = SEEK_CUR; break;
    case kFileEnd: whence = SEEK_END; break;
    default: SetLastError(kErrorInvalidParameter); return false;
  }
  // lseek refuses a target before the start with EINVAL and leaves the position alone,
  // as Windows does with its negative-seek error.
  const off_t pos = lseek(Fd(file), static_cast<off_t>(distance), whence);
  if (pos < 0) {
    if (errno == EINVAL)
      SetLastError(kErrorNegativeSeek);
    else
      posix::SetLastErrorFromErrno(errno);
    return false;
  }
  if (newPosition) *newPosition = pos;
  return true;
}

bool GetFileSizeEx(Handle file, int64_t* size) {
  if (!ValidHandle(file)) return false;
  struct stat st;
  if (fstat(Fd(file), &st) != 0) {
    posix::SetLastErrorFromErrno(errno);
    return false;
  }
  *size = st.st_size;
  return true;
}

bool SetEndOfFile(Handle file) {
  if (!ValidHandle(file)) return false;
  const off_t pos = lseek(Fd(file), 0, SEEK_CUR);
  if (pos < 0 || ftruncate(Fd(file), pos) != 0) {
    posix::SetLastErrorFromErrno(errno == EINVAL ? EACCES : errno);
    return false;
  }
  return true;
}

bool FlushFileBuffers(Handle file) {
  if (!ValidHandle(file)) return false;
  if (fsync(Fd(file)) != 0 && errno != EINVAL) {
    posix::SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool GetFileDosDateTime(Handle file, uint32_t* dosDateTime) {
  if (!ValidHandle(file)) return false;
  struct stat st;
  if (fstat(Fd(file), &st) != 0) {
    posix::SetLastErrorFromErrno(errno);
    return false;
  }
  *dosDateTime = ToDosDateTime(st.st_mtime);
  return true;
}

bool SetFileDosDateTime(Handle file, uint32_t dosDateTime) {
  if (!ValidHandle(file)) return false;
  time_t t;
  if (!FromDosDateTime(dosDateTime, &t)) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = t;
  times[1].tv_nsec = 0;
  if (futimens(Fd(file), times) != 0) {
    posix::SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

uint32_t GetFileAttributesA(const std::string& fileName) {
  std::optional<std::string> native = Native(fileName);
  if (!native) return kInvalidFileAttributes;
  struct stat st;
  if (stat(native->c_str(), &st) != 0) {
    SetErrorFor(errno, *native);
    return kInvalidFileAttributes;
  }
  if (S_ISDIR(st.st_mode)) return kAttrDirectory;
  return kAttrArchive | (IsReadOnly(st) ? kAttrReadOnly : 0);
}

bool SetFileAttributesA(const std::string& fileName, uint32_t attributes) {
  std::optional<std::string> native = Native(fileName);
  if (!native) return false;
  struct stat st;
  if (stat(native->c_str(), &st) != 0) {
    SetErrorFor(errno, *native);
    return false;
  }
  if (S_ISDIR(st.st_mode)) return true;  // only files carry the read-only bit here
  mode_t mode = st.st_mode & 07777;
  if (attributes & kAttrReadOnly) {
    mode &= ~0222;
  } else if (IsReadOnly(st)) {
    const mode_t mask = umask(0);
    umask(mask);
    mode |= (0222 & ~mask) | S_IWUSR;
  }
  if (mode != (st.st_mode & 07777) && chmod(native->c_str(), mode) != 0) {
    posix::SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool FileExists(const std::string& fileName) {
  const uint32_t attributes = GetFileAttributesA(fileName);
  return attributes != kInvalidFileAttributes && !(attributes & kAttrDirectory);
}

bool DirectoryExists(const std::string& path) {
  const uint32_t attributes = GetFileAttributesA(path);
  return attributes != kInvalidFileAttributes && (attributes & kAttrDirectory);
}

bool DeleteFileA(const std::string& fileName) {
  std::optional<std::string> native = Native(fileName);
  if (!native) return false;
  struct stat st;
  if (lstat(native->c_str(), &st) != 0) {
    SetErrorFor(errno, *native);
    return false;
  }
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && IsReadOnly(st))) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (DeleteDenied(*native)) {
    SetLastError(kErrorSharingViolation);
    return false;
  }
  if (unlink(native->c_str()) != 0) {
    SetErrorFor(errno, *native);
    return false;
  }
  return true;
}

bool CopyFileA(const std::string& existingFileName, const std::string& newFileName,
               bool failIfExists) {
  Handle source = CreateFileA(existingFileName, kGenericRead, kShareRead | kShareDelete, kOpenExisting);
  if (source == kInvalidHandle) return false;
  const uint32_t attributes = GetFileAttributesA(existingFileName);
  Handle target = CreateFileA(newFileName, kGenericWrite, kShareNone,
                              failIfExists ? kCreateNew : kCreateAlways);
  if (target == kInvalidHandle) {
    const uint32_t error = GetLastError();
    CloseHandle(source);
    SetLastError(error);
    return false;
  }
  static constexpr uint32_t kChunk = 1 << 16;
  char buffer[kChunk];
  bool ok = true;
  for (;;) {
    uint32_t got = 0, put = 0;
    if (!ReadFile(source, buffer, kChunk, &got)) { ok = false; break; }
    if (got == 0) break;
    if (!WriteFile(target, buffer, got, &put) || put != got) { ok = false; break; }
  }
  // The copy keeps the source's modification time to the second, as Windows keeps it.
  struct stat st;
  if (ok && fstat(Fd(source), &st) == 0) {
    struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    futimens(Fd(target), times);
  }
  const uint32_t error = GetLastError();
  CloseHandle(source);
  CloseHandle(target);
  if (!ok) {
    DeleteFileA(newFileName);
    SetLastError(error);
    return false;
  }
  if (attributes != kInvalidFileAttributes && (attributes & kAttrReadOnly))
    SetFileAttributesA(newFileName, attributes);
  SetLastError(kErrorSuccess);
  return true;
}

// The file or folder to move exists and no opener denies its deletion; st receives it.
static bool SourceMayMove(const std::string& from, struct stat* st) {
  if (lstat(from.c_str(), st) != 0) {
    SetErrorFor(errno, from);
    return false;
  }
  if (S_ISREG(st->st_mode) && DeleteDenied(from)) {
    SetLastError(kErrorSharingViolation);
    return false;
  }
  return true;
}

bool MoveFileA(const std::string& existingFileName, const std::string& newFileName) {
  std::optional<std::string> from = Native(existingFileName);
  std::optional<std::string> to = Native(newFileName);
  if (!from || !to) return false;
  // A new name that differs only in case finds the file itself; it takes the new spelling.
  if (*from == *to) to = posix::ToNativePath(newFileName, /*keepLastName=*/true).value_or(*to);
  struct stat st;
  if (!SourceMayMove(*from, &st)) return false;
  if (renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) != 0) {
    if (errno == EEXIST)
      SetLastError(kErrorAlreadyExists);
    else
      SetErrorFor(errno, *to);
    return false;
  }
  return true;
}

bool MoveFileExA(const std::string& existingFileName, const std::string& newFileName,
                 uint32_t flags) {
  if (!(flags & kMoveFileReplaceExisting)) return MoveFileA(existingFileName, newFileName);
  std::optional<std::string> from = Native(existingFileName);
  std::optional<std::string> to = Native(newFileName);
  if (!from || !to) return false;
  struct stat st;
  if (!SourceMayMove(*from, &st)) return false;
  // The file it replaces must be one Windows would let go: not a folder, not read-only,
  // not held by an opener that denies deletion.
  struct stat target;
  if (lstat(to->c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode) || (S_ISREG(target.st_mode) && IsReadOnly(target))) {
      SetLastError(kErrorAccessDenied);
      return false;
    }
    if (DeleteDenied(*to)) {
      SetLastError(kErrorSharingViolation);
      return false;
    }
    // Permission bits Windows has no attribute for (execute, group, other) stay as the
    // replaced file had them.
    if (S_ISREG(target.st_mode) && S_ISREG(st.st_mode) &&
        (st.st_mode & 07777) != (target.st_mode & 07777))
      chmod(from->c_str(), target.st_mode & 07777);
  }
  if (rename(from->c_str(), to->c_str()) != 0) {
    SetErrorFor(errno, *to);
    return false;
  }
  return true;
}

bool CreateDirectoryA(const std::string& path) {
  std::optional<std::string> native = Native(path);
  if (!native) return false;
  if (mkdir(native->c_str(), 0777) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      SetLastError(kErrorPathNotFound);
    else
      posix::SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool RemoveDirectoryA(const std::string& path) {
  std::optional<std::string> native = Native(path);
  if (!native) return false;
  if (rmdir(native->c_str()) != 0) {
    SetErrorFor(errno, *native);
    return false;
  }
  return true;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
  entries->clear();
  std::optional<std::string> native = Native(folder);
  if (!native) return false;
  DIR* dir = opendir(native->empty() ? "." : native->c_str());
  if (!dir) {
    SetErrorFor(errno, *native);
    return false;
  }
  while (struct dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    const std::string full = *native + "/" + name;
    if (stat(full.c_str(), &st) != 0) continue;
    std::optional<std::string> gbk = posix::Utf8ToGbk(name);
    // A host name the system cannot spell, or one holding a "\\", which would name
    // another path.
    if (!gbk || name.find('\\') != std::string::npos) continue;
    FolderEntry item;
    item.name = *gbk;
    item.attributes = S_ISDIR(st.st_mode) ? kAttrDirectory
                                          : kAttrArchive | (IsReadOnly(st) ? kAttrReadOnly : 0);
    entries->push_back(std::move(item));
  }
  closedir(dir);
  return true;
}

std::string GetTempPathA() {
  const char* tmp = getenv("TMPDIR");
  std::string folder = SystemPath(tmp && *tmp == '/' ? tmp : "/tmp");
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

std::string GetModuleFileNameA() {
  if (auto answer = inject::Ask(&inject::Services::moduleFileName)) return *answer;
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return SystemPath(std::string(buf, static_cast<size_t>(n)));
}

std::string GetCurrentDirectoryA() {
  char buf[PATH_MAX];
  if (!getcwd(buf, sizeof buf)) return {};
  return SystemPath(buf);
}

bool SetCurrentDirectoryA(const std::string& path) {
  std::optional<std::string> native = Native(path);
  if (!native) return false;
  if (chdir(native->c_str()) != 0) {
    SetErrorFor(errno, *native);
    return false;
  }
  return true;
}

}  // namespace platform
