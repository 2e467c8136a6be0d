// The diagnostic log: dated lines appended to one file per month in a "log" folder beside
// the executable, written only when Config.ini beside the executable says [system]
// debug=1. Every access also keeps that folder small (see PurgeLogFiles).
//
// Callers write through the accessor: daemon_log::DaemonLog().WriteLog(text). The log
// never reports an error: a line that cannot be written is lost.
#pragma once

#include <mutex>
#include <string>

#include "platform/system.h"

namespace daemon_log {

// Logging switched on; set by LogModuleStartup and not changed by the log afterwards.
extern bool DebugEnabled;
// Serialises the purge and the open-write-close of each line. Re-entrant.
extern std::recursive_mutex LogLock;

class TDaemonLog {
 public:
  TDaemonLog() = default;
  TDaemonLog(const TDaemonLog&) = delete;
  TDaemonLog& operator=(const TDaemonLog&) = delete;

  // Appends "【yyyy-mm-dd hh:nn:ss.zzz】" + message + CR LF to this month's file when
  // logging is on. The message bytes are written as they are.
  void WriteLog(const std::string& message);
};

// The log object, created on first use; every call purges old log files first.
TDaemonLog& DaemonLog();

// Program start-up: reads the switch. May be run again (tests start each case with their
// own Config.ini).
void LogModuleStartup();
// Program shut-down: frees the log object.
void LogModuleShutdown();

// "<exe folder>\log\<exe name without extension>_YYYYMM.log" for the month of date.
std::string LogFileName(const platform::SystemTime& date);
// True exactly when Config.ini beside the executable is a file whose [system] debug
// value reads "1".
bool ReadDebugSwitch();
// Deletes this month's file when it has grown past 10240 bytes and the files of the
// three previous months; the first failure ends it silently. Run by DaemonLog().
void PurgeLogFiles();

}  // namespace daemon_log
