#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/control_board.h"
#include "concurrency/critical_section.h"
#include "text/text.h"

namespace lanque {

// A local calendar time, to the second.
struct DateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    static DateTime Now();
};

// Kind 1: "2020-06-08"; kind 2: "09:05:03"; any other kind (0 by default): date, a blank, time.
// The time defaults to now.
Text FormatTime(std::optional<DateTime> time = {}, std::optional<int> kind = {});

// The milliseconds PumpingSleep waits: amount × the unit's milliseconds. Unit none or 0: ms; 1: s;
// 2: min; 3: h; any other value is itself the milliseconds per unit. Never negative.
std::int64_t SleepMilliseconds(int amount, std::optional<std::int64_t> unit = {});
// Waits that long; on the GUI thread the window's events keep being processed meanwhile, elsewhere
// it simply sleeps. Returns true.
bool PumpingSleep(int amount, std::optional<std::int64_t> unit = {});

// The log box and its size limit: a box holding more than this many bytes is emptied before a line.
inline constexpr const char* kLogBox = "编辑框_日志";
inline constexpr std::size_t kLogLimitBytes = 3000;

// The activity log: one timestamped line per report, appended to the log box under the log lock, so
// that the length check, the clearing and the append of a line are one step and lines keep lock order.
// Writing goes to the control board only, never to the GUI thread, so a worker holding the lock never
// waits for the window.
class ActivityLog {
public:
    using Clock = std::function<DateTime()>;

    ActivityLog(ControlBoard& window, CriticalSection& logLock, Clock clock = &DateTime::Now);

    // Appends "HH:MM:SS=>>：" + message + "\r\n" to the log box.
    void LogLine(const Text& message);
    void AppendLogLine(ControlBoard& window, const Text& editBox, const Text& message);

private:
    ControlBoard& m_window;
    CriticalSection& m_logLock;
    Clock m_clock;
};

}  // namespace lanque
