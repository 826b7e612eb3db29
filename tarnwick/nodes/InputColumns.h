// The 19 columns of an input file, in canonical order (the export's header),
// each with the pattern its non-empty values must match.
#pragma once

namespace tarnwick {

struct InputColumn {
  const char* name;
  const char* pattern;
};

inline constexpr const char* kTimePattern =
    "^(1[0-2]|[1-9]):[0-5][0-9](:[0-5][0-9])? *(a|p|A|P)(m|M)$|^(20|21|22|23|[0-1]\\d):[0-5]\\d$";
inline constexpr const char* kIntervalPattern = "^([1-9]|[1-9]\\d|1\\d{2}|2[0-3]\\d|240)$";

inline constexpr InputColumn kInputColumns[] = {
    {"NodeType", "^(O|V|o|v){1}$"},
    {"Action", "^(A|C|D|a|c|d){1}$"},
    {"SerialNo", "^\\d{1,10}$"},
    {"Name", "^.{1,20}$"},
    {"VeltroServerName", "^.{1,255}$"},
    {"VeltroSMTPSuffix", "^.{1,255}$"},
    {"Codec", "^[gG](711|729)$"},
    {"PhoneNo", "^([0-9]|[\\*\\#]){1,14}$"},
    {"Extension", "^([0-9]|[\\*\\#]){1,7}$"},
    {"DialSequence", "^([0-9]|[\\*\\#]|[n|N|p|P|x|X]){1,20}$"},
    {"NormalBeginTime", kTimePattern},
    {"NormalEndTime", kTimePattern},
    {"NormalInterval", kIntervalPattern},
    {"UrgentBeginTime", kTimePattern},
    {"UrgentEndTime", kTimePattern},
    {"UrgentInterval", kIntervalPattern},
    {"AdministrationBeginTime", kTimePattern},
    {"AdministrationEndTime", kTimePattern},
    {"AdministrationInterval", kIntervalPattern},
};

}  // namespace tarnwick
