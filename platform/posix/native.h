// The POSIX backend's boundary between the system's Windows-style GBK paths and the
// host's UTF-8 paths, and its mapping of errno to Windows error codes.
#pragma once

#include <optional>
#include <string>

namespace platform::posix {

// GBK (code page 936) <-> UTF-8. Conversions fail on bytes that do not decode.
std::optional<std::string> GbkToUtf8(const std::string& gbk);
std::optional<std::string> Utf8ToGbk(const std::string& utf8);

// "C:\dir\name" -> "/.../dir/name": the drive letter goes through the drive map,
// "\" becomes "/", GBK becomes UTF-8. A path without a drive is relative to the current
// directory ("name") or to the current drive's root ("\name"). Names are found as
// Windows finds them: when the path does not exist as spelled, a name that is absent is
// looked up case-insensitively in its folder and takes the existing spelling (the drive's
// own folder is taken as it is); what is about to be created keeps its own name below
// the existing folders. keepLastName looks up the folders only (a rename that changes
// only the case). nullopt when the path's bytes are not GBK or its drive is not mapped
// (the caller reports kErrorPathNotFound).
std::optional<std::string> ToNativePath(const std::string& path, bool keepLastName = false);

// The reverse: the drive whose folder is the longest prefix of the absolute native path;
// some drive holds "/" (unless the Wine prefix takes all 26 letters), so every absolute
// path has one. "" when the path has no GBK
// spelling (a character GBK lacks, bytes that are not UTF-8, a "\" inside a name): the
// path is never handed out garbled.
std::string FromNativePath(const std::string& nativePath);

// Sets the thread's last error from errno.
void SetLastErrorFromErrno(int error);

}  // namespace platform::posix
