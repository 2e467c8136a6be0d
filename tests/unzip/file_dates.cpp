// Dates that the platform layer cannot write (before 1980), set through the host's calls.
#include "tests/unzip/file_helpers.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include "platform/posix/native.h"
#endif

namespace unzip_test {

bool SetFileYear(const std::string& path, int year) {
#ifdef _WIN32
  SYSTEMTIME when{};
  when.wYear = static_cast<WORD>(year);
  when.wMonth = 6;
  when.wDay = 1;
  FILETIME local, utc;
  if (!SystemTimeToFileTime(&when, &local) || !LocalFileTimeToFileTime(&local, &utc)) return false;
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = SetFileTime(h, nullptr, nullptr, &utc) != 0;
  CloseHandle(h);
  return ok;
#else
  const auto native = platform::posix::ToNativePath(path);
  if (!native) return false;
  struct tm when {};
  when.tm_year = year - 1900;
  when.tm_mon = 5;
  when.tm_mday = 1;
  when.tm_isdst = -1;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {mktime(&when), 0}};
  return utimensat(AT_FDCWD, native->c_str(), times, 0) == 0;
#endif
}

}  // namespace unzip_test
