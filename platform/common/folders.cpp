#include <string_view>

#include "platform/ansi_strings.h"
#include "platform/files.h"

namespace platform {

bool CreateFolderPath(const std::string& path) {
  const std::string folder = ExcludeTrailingBackslash(path);
  if (folder.empty()) return true;  // the current folder
  if (folder.size() < 3 || DirectoryExists(folder)) return DirectoryExists(folder);
  // The parent ends at the last separator before the final character, so that it is always
  // shorter ("ab:" or "ab\\" would otherwise be their own parents).
  const std::string_view above = std::string_view(folder).substr(0, folder.size() - 1);
  const size_t at = AnsiLastDelimiter("\\:", above);
  if (at != std::string::npos) CreateFolderPath(folder.substr(0, at + 1));
  return CreateDirectoryA(folder) || DirectoryExists(folder);
}

}  // namespace platform
