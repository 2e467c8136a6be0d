#include "installer/HostLookup.h"

#include "installer/Registry.h"
#include "log/f_Log.h"
#include "platform/ansi_strings.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {

struct HostKey {
  const char* subKey;
  const char* value;
  const char* fallbackValue;  // read when value yields ""
};

// Tried in this order; the first key that opens decides.
constexpr HostKey kHostKeys[] = {
    {"SOFTWARE\\Norvell\\Lumora_LT3.0", "LT_InstalledPath", nullptr},
    {"SOFTWARE\\Norvell\\Lumora3.0", "InstalledPath", nullptr},
    {"SOFTWARE\\Norvell\\LumoraNA_CT3.0", "InstalledPath", nullptr},
    {"SOFTWARE\\Norvell\\LumoraNB_CT3.0", "InstalledPath", "LT_InstalledPath"},
    {"SOFTWARE\\Norvell\\LumoraNC_CT3.0", "InstalledPath", nullptr},
    {"SOFTWARE\\Norvell\\LumoraND_LT3.0", "InstalledPath", nullptr},
};

constexpr char kHostExecutable[] = "Lumoranew.exe";

// Writes the leave line on every way out, also when an error passes.
class LogBracket {
 public:
  explicit LogBracket(const char* operation) : operation_(operation) {
    daemon_log::DaemonLog().WriteLog(std::string("LogEnter[") + operation_ + "]");
  }
  ~LogBracket() { daemon_log::DaemonLog().WriteLog(std::string("LogLeave[") + operation_ + "]"); }
  LogBracket(const LogBracket&) = delete;
  LogBracket& operator=(const LogBracket&) = delete;

 private:
  const char* operation_;
};

std::string ReadRecordedFolder(TRegistry& registry) {
  for (const HostKey& key : kHostKeys) {
    if (!registry.OpenKey(key.subKey)) continue;
    std::string value = registry.ReadString(key.value);
    if (value.empty() && key.fallbackValue) value = registry.ReadString(key.fallbackValue);
    return value;
  }
  return {};
}

}  // namespace

std::string GetLumoraPathByRegedit() {
  LogBracket bracket("TMorrowInvoker.GetLumoraPathByRegedit");
  std::string result;
  TRegistry registry(platform::kKeyAllAccess);
  const std::string value = ReadRecordedFolder(registry);
  registry.CloseKey();
  if (value.empty()) return result;
  const std::string folder = platform::IncludeTrailingBackslash(value);
  if (platform::DirectoryExists(folder) && platform::FileExists(folder + kHostExecutable))
    result = folder;
  return result;
}
