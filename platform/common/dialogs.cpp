#include "platform/dialogs.h"

namespace platform {

int DefaultButtonAnswer(uint32_t type) {
  static const int kButtons[7][3] = {
      {kIdOk, 0, 0},
      {kIdOk, kIdCancel, 0},
      {kIdAbort, kIdRetry, kIdIgnore},
      {kIdYes, kIdNo, kIdCancel},
      {kIdYes, kIdNo, 0},
      {kIdRetry, kIdCancel, 0},
      {kIdCancel, kIdTryAgain, kIdContinue},
  };
  const uint32_t set = type & 0xF;
  if (set > 6) return kIdOk;
  const uint32_t wanted = (type >> 8) & 0x3;
  const int answer = wanted < 3 ? kButtons[set][wanted] : 0;
  return answer != 0 ? answer : kButtons[set][0];
}

int UnattendedAnswer(uint32_t type) {
  // Cancel, then Abort, then No: whichever the box offers first ends what asked.
  switch (type & 0xF) {
    case 2: return kIdAbort;    // abort, retry, ignore
    case 4: return kIdNo;       // yes, no
    case 0: return kIdOk;       // OK alone
    case 1:                     // OK, cancel
    case 3:                     // yes, no, cancel
    case 5:                     // retry, cancel
    case 6: return kIdCancel;   // cancel, try again, continue
    default: return kIdOk;
  }
}

}  // namespace platform
