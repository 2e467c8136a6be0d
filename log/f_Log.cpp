#include "log/f_Log.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/ansi_strings.h"
#include "platform/dos_time.h"
#include "platform/files.h"

namespace daemon_log {

bool DebugEnabled = false;
std::recursive_mutex LogLock;

namespace {

using platform::SystemTime;

// A current month's file larger than this is deleted at the next access.
constexpr int64_t kMaxLogFileSize = 10240;
// How many months back the purge reaches.
constexpr int kPurgedMonths = 3;

std::unique_ptr<TDaemonLog> log_object;

// The folder part of path with its trailing "\" (empty when there is none).
std::string FolderOf(const std::string& path) {
  const size_t slash = platform::AnsiLastDelimiter("\\", path);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file name of path without its extension.
std::string BaseNameOf(const std::string& path) {
  return platform::ChangeFileExt(path.substr(FolderOf(path).size()), "");
}

// value in decimal, padded with zeros to width digits.
std::string Digits(unsigned value, size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

// The date months calendar months before date, its day clamped to the shorter month.
SystemTime MonthsBefore(const SystemTime& date, int months) {
  const int index = std::max(0, date.year * 12 + (date.month - 1) - months);
  SystemTime result = date;
  result.year = static_cast<uint16_t>(index / 12);
  result.month = static_cast<uint16_t>(index % 12 + 1);
  const int last = platform::DaysInMonth(result.year, result.month);
  if (result.day > last) result.day = static_cast<uint16_t>(last);
  return result;
}

// "yyyy-mm-dd hh:nn:ss.zzz" with the locale's time separator between the time parts.
std::string Timestamp(const SystemTime& t) {
  const std::string separator = platform::TimeSeparator();
  return Digits(t.year, 4) + "-" + Digits(t.month, 2) + "-" + Digits(t.day, 2) + " " +
         Digits(t.hour, 2) + separator + Digits(t.minute, 2) + separator + Digits(t.second, 2) +
         "." + Digits(t.milliseconds, 3);
}

std::string ExecutableFolder() { return FolderOf(platform::GetModuleFileNameA()); }

// Appends bytes at the end of the file at path, creating it when it does not exist.
void AppendToFile(const std::string& path, const std::string& bytes) {
  const platform::Handle file = platform::CreateFileA(path, platform::kGenericWrite,
                                                      platform::kShareRead, platform::kOpenAlways);
  if (file == platform::kInvalidHandle) return;
  if (platform::SetFilePointerEx(file, 0, nullptr, platform::kFileEnd)) {
    size_t done = 0;
    while (done < bytes.size()) {
      const size_t chunk = std::min<size_t>(bytes.size() - done, 1u << 30);
      uint32_t written = 0;
      if (!platform::WriteFile(file, bytes.data() + done, static_cast<uint32_t>(chunk),
                               &written) ||
          written == 0)
        break;
      done += written;
    }
  }
  platform::CloseHandle(file);
}

// Step one of the purge: false when the current file's size cannot be read or an oversized
// file cannot be deleted. The exclusive open fails while anyone else holds the file.
bool PurgeOversizedFile(const std::string& path) {
  if (!platform::FileExists(path)) return true;
  const platform::Handle file = platform::CreateFileA(
      path, platform::kGenericRead, platform::kShareNone, platform::kOpenExisting);
  if (file == platform::kInvalidHandle) return false;
  int64_t size = 0;
  const bool sized = platform::GetFileSizeEx(file, &size);
  platform::CloseHandle(file);
  if (!sized) return false;
  return size <= kMaxLogFileSize || platform::DeleteFileA(path);
}

}  // namespace

std::string LogFileName(const SystemTime& date) {
  const std::string module = platform::GetModuleFileNameA();
  return FolderOf(module) + "log\\" + BaseNameOf(module) + "_" + Digits(date.year, 4) +
         Digits(date.month, 2) + ".log";
}

bool ReadDebugSwitch() {
  const std::string config = ExecutableFolder() + "Config.ini";
  if (!platform::FileExists(config)) return false;
  return platform::GetPrivateProfileStringA("system", "debug", "0", config) == "1";
}

void PurgeLogFiles() {
  try {
    std::lock_guard<std::recursive_mutex> guard(LogLock);
    const SystemTime now = platform::GetLocalTime();
    if (!PurgeOversizedFile(LogFileName(now))) return;
    for (int n = 1; n <= kPurgedMonths; ++n) {
      const std::string path = LogFileName(MonthsBefore(now, n));
      if (platform::FileExists(path) && !platform::DeleteFileA(path)) return;
    }
  } catch (...) {
    // The log reports nothing to its callers, not even a failed allocation.
  }
}

void TDaemonLog::WriteLog(const std::string& message) {
  if (!DebugEnabled) return;
  try {
    // One reading of the clock names the file and stamps the line, so a line written at
    // the turn of a month lands in the file of its own date.
    const SystemTime now = platform::GetLocalTime();
    const std::string path = LogFileName(now);
    platform::CreateFolderPath(FolderOf(path));
    const std::string line = "\xA1\xBE" + Timestamp(now) + "\xA1\xBF" + message + "\r\n";
    std::lock_guard<std::recursive_mutex> guard(LogLock);
    AppendToFile(path, line);
  } catch (...) {
    // A line that cannot be formed or written is lost.
  }
}

TDaemonLog& DaemonLog() {
  {
    std::lock_guard<std::recursive_mutex> guard(LogLock);
    if (!log_object) log_object = std::make_unique<TDaemonLog>();
  }
  PurgeLogFiles();
  return *log_object;
}

void LogModuleStartup() { DebugEnabled = ReadDebugSwitch(); }

void LogModuleShutdown() {
  std::lock_guard<std::recursive_mutex> guard(LogLock);
  log_object.reset();
}

}  // namespace daemon_log
