// Drive types and volume labels: the Win32 entry points, thin.
#include <windows.h>

#include <vector>

#include "platform/drives.h"
#include "platform/inject.h"

namespace platform {

uint32_t GetDriveTypeA(const std::string& rootPathName) {
  if (auto answer = inject::Ask(&inject::Services::driveType, rootPathName)) return *answer;
  return ::GetDriveTypeA(rootPathName.c_str());
}

bool GetVolumeInformationA(const std::string& rootPathName, std::string* volumeName,
                           uint32_t volumeNameSize) {
  std::string label;
  if (auto answer = inject::Ask(&inject::Services::volumeLabel, rootPathName, &label)) {
    if (!*answer) return false;
    if (label.size() + 1 > volumeNameSize) return false;
    *volumeName = label;
    return true;
  }
  std::vector<char> buffer(volumeNameSize + 1, '\0');
  if (!::GetVolumeInformationA(rootPathName.c_str(), buffer.data(), volumeNameSize, nullptr,
                               nullptr, nullptr, nullptr, 0))
    return false;
  *volumeName = buffer.data();
  return true;
}

}  // namespace platform
