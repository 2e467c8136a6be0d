// Drive types and volume labels from the mount table and sysfs.
#include "platform/drives.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/files.h"
#include "platform/inject.h"
#include "platform/posix/native.h"

namespace platform {
namespace {

struct Mount {
  std::string point;   // mount point
  std::string fsType;
  std::string source;  // e.g. /dev/sdb1
  unsigned major = 0;
  unsigned minor = 0;
};

// mountinfo escapes blanks and backslashes as \ooo.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7') {
      out += static_cast<char>(std::strtol(text.substr(i + 1, 3).c_str(), nullptr, 8));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The mount that holds the native folder: the longest mount point that is a prefix of it.
bool FindMount(const std::string& folder, Mount* found) {
  std::ifstream info("/proc/self/mountinfo");
  std::string line;
  size_t best = 0;
  bool any = false;
  while (std::getline(info, line)) {
    std::istringstream fields(line);
    std::string id, parent, device, root, point;
    fields >> id >> parent >> device >> root >> point;
    std::string word;
    while (fields >> word && word != "-") {
    }
    Mount m;
    fields >> m.fsType >> m.source;
    m.point = Unescape(point);
    const size_t colon = device.find(':');
    if (colon != std::string::npos) {
      m.major = static_cast<unsigned>(std::strtoul(device.c_str(), nullptr, 10));
      m.minor = static_cast<unsigned>(std::strtoul(device.c_str() + colon + 1, nullptr, 10));
    }
    const bool contains =
        m.point == "/" || folder == m.point ||
        (folder.compare(0, m.point.size(), m.point) == 0 && folder.size() > m.point.size() &&
         folder[m.point.size()] == '/');
    if (contains && (m.point.size() >= best || !any)) {
      best = m.point.size();
      *found = m;
      any = true;
    }
  }
  return any;
}

std::string ReadLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// sysfs folder of the block device major:minor, or empty.
std::filesystem::path BlockFolder(const Mount& m) {
  std::error_code ec;
  const std::filesystem::path link =
      "/sys/dev/block/" + std::to_string(m.major) + ":" + std::to_string(m.minor);
  std::filesystem::path folder = std::filesystem::canonical(link, ec);
  return ec ? std::filesystem::path() : folder;
}

std::optional<std::string> DriveFolder(const std::string& rootPathName) {
  std::string root = rootPathName;
  if (root.size() == 2 && root[1] == ':') root += '\\';
  std::optional<std::string> native = posix::ToNativePath(root);
  if (!native) return std::nullopt;
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::canonical(native->empty() ? "/" : *native, ec);
  if (ec || !std::filesystem::is_directory(folder, ec)) return std::nullopt;
  return folder.string();
}

}  // namespace

uint32_t GetDriveTypeA(const std::string& rootPathName) {
  if (auto answer = inject::Ask(&inject::Services::driveType, rootPathName)) return *answer;
  std::optional<std::string> folder = DriveFolder(rootPathName);
  if (!folder) return kDriveNoRootDir;
  Mount m;
  if (!FindMount(*folder, &m)) return kDriveUnknown;
  static const char* const kRemote[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs",
                                        "fuse.sshfs", "9p", "afs", "ceph", "glusterfs"};
  for (const char* type : kRemote)
    if (m.fsType == type) return kDriveRemote;
  if (m.fsType == "iso9660" || m.fsType == "udf") return kDriveCdrom;
  if (m.fsType == "tmpfs" || m.fsType == "ramfs") return kDriveRamdisk;
  const std::filesystem::path block = BlockFolder(m);
  if (block.empty()) return kDriveFixed;
  if (block.filename().string().rfind("sr", 0) == 0) return kDriveCdrom;
  std::error_code ec;
  std::filesystem::path disk = block;
  if (std::filesystem::exists(block / "partition", ec)) disk = block.parent_path();
  return ReadLine(disk / "removable") == "1" ? kDriveRemovable : kDriveFixed;
}

bool GetVolumeInformationA(const std::string& rootPathName, std::string* volumeName,
                           uint32_t volumeNameSize) {
  std::string label;
  if (auto answer = inject::Ask(&inject::Services::volumeLabel, rootPathName, &label)) {
    if (!*answer) return false;
  } else {
    std::optional<std::string> folder = DriveFolder(rootPathName);
    Mount m;
    if (!folder || !FindMount(*folder, &m)) {
      SetLastError(kErrorPathNotFound);
      return false;
    }
    // /dev/disk/by-label/<label> links to the device; udev escapes bytes as \xNN.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", ec)) {
      struct stat st;
      if (stat(entry.path().c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) continue;
      if (major(st.st_rdev) != m.major || minor(st.st_rdev) != m.minor) continue;
      const std::string name = entry.path().filename().string();
      std::string utf8;
      for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
          utf8 += static_cast<char>(std::strtol(name.substr(i + 2, 2).c_str(), nullptr, 16));
          i += 3;
        } else {
          utf8 += name[i];
        }
      }
      label = posix::Utf8ToGbk(utf8).value_or(std::string());
      break;
    }
  }
  if (label.size() + 1 > volumeNameSize) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  *volumeName = label;
  return true;
}

}  // namespace platform
