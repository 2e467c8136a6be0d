// Drive types and volume labels, for archives spanned over removable disks.
//
// Windows: GetDriveTypeA and GetVolumeInformationA. POSIX: the drive letter goes through
// the drive map of the path conversion; the drive's folder lies on a mounted file system
// (/proc/self/mountinfo, the longest mount point that contains it) whose block device
// tells the type: /sys/class/block/<device>/removable (or that of the whole disk for a
// partition) = 1 is removable, sr* devices and iso9660/udf file systems are CD-ROM,
// network file systems are remote, tmpfs/ramfs are RAM disks, anything else is fixed.
// The label is the name under which /dev/disk/by-label/ links to that device.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

inline constexpr uint32_t kDriveUnknown = 0;
inline constexpr uint32_t kDriveNoRootDir = 1;
inline constexpr uint32_t kDriveRemovable = 2;
inline constexpr uint32_t kDriveFixed = 3;
inline constexpr uint32_t kDriveRemote = 4;
inline constexpr uint32_t kDriveCdrom = 5;
inline constexpr uint32_t kDriveRamdisk = 6;

// rootPathName is a drive root such as "E:\".
uint32_t GetDriveTypeA(const std::string& rootPathName);

// The volume label of the drive. volumeNameSize is the caller's buffer size in bytes,
// terminating NUL included: a label that does not fit fails as on Windows. A volume
// without a label gives true and "".
bool GetVolumeInformationA(const std::string& rootPathName, std::string* volumeName,
                           uint32_t volumeNameSize);

}  // namespace platform
