#include "app/activity_log.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include <time.h>

#include "concurrency/message_pump.h"

namespace lanque {

namespace {

// The last width characters of "0" followed by the value in decimal.
Text Padded(int value, std::size_t width) {
    Text digits = "0" + std::to_string(value);
    return digits.size() > width ? digits.substr(digits.size() - width) : digits;
}

constexpr std::chrono::milliseconds kPumpSlice{5};

}  // namespace

DateTime DateTime::Now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

Text FormatTime(std::optional<DateTime> time, std::optional<int> kind) {
    const DateTime t = time ? *time : DateTime::Now();
    const Text date = Padded(t.year, 4) + "-" + Padded(t.month, 2) + "-" + Padded(t.day, 2);
    const Text clock = Padded(t.hour, 2) + ":" + Padded(t.minute, 2) + ":" + Padded(t.second, 2);
    switch (kind.value_or(0)) {
        case 1:
            return date;
        case 2:
            return clock;
        default:
            return date + " " + clock;
    }
}

std::int64_t SleepMilliseconds(int amount, std::optional<std::int64_t> unit) {
    std::int64_t perUnit;
    switch (unit.value_or(0)) {
        case 0:
            perUnit = 1;
            break;
        case 1:
            perUnit = 1000;
            break;
        case 2:
            perUnit = 60000;
            break;
        case 3:
            perUnit = 3600000;
            break;
        default:
            perUnit = *unit;
    }
    std::int64_t total = 0;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(amount), perUnit, &total)) {
        total = (amount < 0) != (perUnit < 0) ? 0 : std::numeric_limits<std::int64_t>::max();
    }
    return std::max<std::int64_t>(total, 0);
}

bool PumpingSleep(int amount, std::optional<std::int64_t> unit) {
    const auto wait = std::chrono::milliseconds(SleepMilliseconds(amount, unit));
    if (!IsGuiThread()) {
        std::this_thread::sleep_for(wait);
        return true;
    }
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        PumpMessages();
        const auto passed = std::chrono::steady_clock::now() - start;
        if (passed >= wait) {
            return true;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPumpSlice, wait - passed));
    }
}

ActivityLog::ActivityLog(ControlBoard& window, CriticalSection& logLock, Clock clock)
    : m_window(window), m_logLock(logLock), m_clock(clock ? std::move(clock) : Clock(&DateTime::Now)) {}

void ActivityLog::LogLine(const Text& message) {
    AppendLogLine(m_window, kLogBox, message);
}

void ActivityLog::AppendLogLine(ControlBoard& window, const Text& editBox, const Text& message) {
    std::lock_guard lock(m_logLock);
    if (window.TextLength(editBox) > kLogLimitBytes) {
        window.SetText(editBox, "");
    }
    window.AppendText(editBox, FormatTime(m_clock(), 2) + "=>>：" + message + "\r\n");
}

}  // namespace lanque
