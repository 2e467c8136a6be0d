// Clock, code pages and debugger output: the Win32 entry points, thin.
#include <windows.h>

#include <vector>

#include "platform/inject.h"
#include "platform/system.h"

namespace platform {

SystemTime GetLocalTime() {
  if (auto answer = inject::Ask(&inject::Services::localTime)) return *answer;
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  SystemTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.dayOfWeek = st.wDayOfWeek;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.milliseconds = st.wMilliseconds;
  return t;
}

std::string TimeSeparator() {
  char buf[8] = {};
  const int n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, buf, sizeof buf);
  return n > 1 ? std::string(buf, n - 1) : std::string(":");
}

bool IsDBCSLeadByte(uint8_t byte) { return ::IsDBCSLeadByte(byte) != 0; }

std::string OemToCharA(const std::string& oem) {
  std::string out(oem);
  if (!out.empty()) ::OemToCharBuffA(oem.data(), out.data(), static_cast<DWORD>(out.size()));
  return out;
}

namespace {

std::optional<std::wstring> Widen(UINT codePage, const std::string& text, DWORD flags) {
  if (text.empty()) return std::wstring();
  const int n = ::MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

}  // namespace

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) {
  std::optional<std::wstring> wide = Widen(CP_UTF8, utf8, MB_ERR_INVALID_CHARS);
  if (!wide) return std::nullopt;
  if (wide->empty()) return std::string();
  BOOL lossy = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, 0, wide->data(), static_cast<int>(wide->size()),
                                      nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return std::nullopt;
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide->data(), static_cast<int>(wide->size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::optional<std::wstring> wide = Widen(CP_ACP, ansi, 0);
  if (!wide || wide->empty()) return std::string();
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide->data(), static_cast<int>(wide->size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide->data(), static_cast<int>(wide->size()), out.data(), n,
                          nullptr, nullptr);
  return out;
}

void OutputDebugStringA(const std::string& text) {
  if (inject::Ask(&inject::Services::debugOutput, text)) return;
  ::OutputDebugStringA(text.c_str());
}

}  // namespace platform
