#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "concurrency/critical_section.h"
#include "text/text.h"

namespace lanque {

// A thread-safe first-in, first-out queue of typed values, kept as records (a 4-byte little-endian
// signed length, then that many payload bytes) packed back to back in one growable block. The kind of
// a value is not stored: a pop trusts the length, and a record of another size pops as the empty value.
// Memory moves only when a push needs room or when one growth step has been consumed at the front.
class SharedBuffer {
public:
    static constexpr int kDefaultGrowthStep = 65536;
    static constexpr int kLeastGrowthStep = 1024;

    SharedBuffer();
    ~SharedBuffer();
    SharedBuffer(const SharedBuffer&) = delete;
    SharedBuffer& operator=(const SharedBuffer&) = delete;

    // Growth step = bytes (at least 1024; 65536 when not given); a smaller block grows to it.
    bool SetGrowthStep(std::optional<int> bytes = {});
    // The record count, read without the lock (may be momentarily stale).
    int Count() const { return m_count.load(std::memory_order_relaxed); }
    void Clear();
    // Holds the buffer's (recursive) lock so that several operations form one step.
    void Lock() { m_lock.Enter(); }
    void Unlock() { m_lock.Leave(); }

    // A push with unique 1 fails while an equal value is queued (texts and bytes: only when not empty).
    // A pop returns false with the empty value when nothing is queued.
    bool PushByte(std::uint8_t value, std::optional<int> unique = {});
    bool PopByte(std::uint8_t& value);
    bool PushShort(std::int16_t value, std::optional<int> unique = {});
    bool PopShort(std::int16_t& value);
    bool PushInt(std::int32_t value, std::optional<int> unique = {});
    bool PopInt(std::int32_t& value);
    bool PushLong(std::int64_t value, std::optional<int> unique = {});
    bool PopLong(std::int64_t& value);
    bool PushFloat(float value, std::optional<int> unique = {});
    bool PopFloat(float& value);
    bool PushDouble(double value, std::optional<int> unique = {});
    bool PopDouble(double& value);
    bool PushFlag(bool value, std::optional<int> unique = {});
    bool PopFlag(bool& value);
    // Days since 1899-12-30; the fraction is the time of day.
    bool PushDate(double value, std::optional<int> unique = {});
    bool PopDate(double& value);
    bool PushAddress(std::uint32_t value, std::optional<int> unique = {});
    bool PopAddress(std::uint32_t& value);
    // The text up to, not including, its first zero byte.
    bool PushText(const Text& value, std::optional<int> unique = {});
    bool PopText(Text& value);
    bool PushBytes(const Bytes& value, std::optional<int> unique = {});
    bool PopBytes(Bytes& value);

    // For inspection: the block's size and the growth step.
    int Capacity() const;
    int GrowthStep() const;

private:
    using Equal = bool (*)(const char* queued, const char* value, int size);

    bool Push(const char* payload, int size, bool unique, Equal equal);
    // The record's payload when it has the expected size (any size when expected is negative).
    bool Pop(Bytes& payload, int expected);
    bool EnsureRoom(std::int64_t needed);
    void Compact();
    bool FrontWorthMoving() const;
    bool Resize(std::int64_t size);

    mutable CriticalSection m_lock;
    char* m_block = nullptr;
    int m_capacity = 0;
    int m_allocated = 0;  // memory behind the block, at least the capacity
    int m_growthStep = kDefaultGrowthStep;
    int m_writeOffset = 0;
    int m_readOffset = 0;
    std::atomic<int> m_count{0};
};

}  // namespace lanque
