#include "concurrency/shared_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <type_traits>

namespace lanque {

namespace {

constexpr int kLengthBytes = 4;
constexpr double kDoubleTolerance = 1e-7;
constexpr double kEarliestDate = -657434.0;
constexpr double kLatestDate = 2958465.0;

void StoreLe(char* out, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::uint64_t LoadLe(const char* in, int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) {
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[i])) << (8 * i);
    }
    return value;
}

template <typename T>
std::uint64_t BitsOf(T value) {
    if constexpr (std::is_floating_point_v<T>) {
        using Raw = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
        Raw raw;
        std::memcpy(&raw, &value, sizeof raw);
        return raw;
    } else {
        return static_cast<std::uint64_t>(value);
    }
}

template <typename T>
T FromBits(std::uint64_t bits) {
    if constexpr (std::is_floating_point_v<T>) {
        using Raw = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
        Raw raw = static_cast<Raw>(bits);
        T value;
        std::memcpy(&value, &raw, sizeof value);
        return value;
    } else {
        return static_cast<T>(bits);
    }
}

template <typename T>
T Decode(const char* payload) {
    return FromBits<T>(LoadLe(payload, sizeof(T)));
}

bool SameBytes(const char* queued, const char* value, int size) {
    return std::memcmp(queued, value, size) == 0;
}
bool SameFloat(const char* queued, const char* value, int) {
    return Decode<float>(queued) == Decode<float>(value);
}
bool CloseDouble(const char* queued, const char* value, int) {
    return std::fabs(Decode<double>(queued) - Decode<double>(value)) <= kDoubleTolerance;
}
bool SameDate(const char* queued, const char* value, int) {
    auto clamp = [](double d) { return std::clamp(d, kEarliestDate, kLatestDate); };
    return clamp(Decode<double>(queued)) == clamp(Decode<double>(value));
}

// The payload of a text: its bytes before the first zero byte; -1 when that cannot be one record.
std::int64_t TextPayloadSize(const Text& text) {
    std::size_t zero = text.find('\0');
    std::size_t size = zero == Text::npos ? text.size() : zero;
    return size > static_cast<std::size_t>(std::numeric_limits<int>::max() - kLengthBytes)
               ? -1
               : static_cast<std::int64_t>(size);
}

}  // namespace

SharedBuffer::SharedBuffer() {
    m_block = static_cast<char*>(std::calloc(kDefaultGrowthStep, 1));
    m_capacity = m_block ? kDefaultGrowthStep : 0;
    m_allocated = m_capacity;
}

SharedBuffer::~SharedBuffer() {
    std::free(m_block);
}

// The block's size as the buffer sees it is the capacity; the memory behind it is allowed some slack
// (it at least doubles when it must grow, and is given back once the capacity has fallen to a quarter
// of it), so a long backlog that comes and goes costs a few reallocations, not one per growth step.
bool SharedBuffer::Resize(std::int64_t size) {
    if (size <= 0 || size > std::numeric_limits<int>::max()) {
        return false;
    }
    std::int64_t allocation = m_allocated;
    if (size > m_allocated) {
        allocation =
            std::min<std::int64_t>(std::max<std::int64_t>(size, 2 * static_cast<std::int64_t>(m_allocated)),
                                   std::numeric_limits<int>::max());
    } else if (size * 4 <= m_allocated) {
        allocation = size * 2;
    }
    if (allocation != m_allocated) {
        char* block = static_cast<char*>(std::realloc(m_block, static_cast<std::size_t>(allocation)));
        if (!block) {
            if (size > m_allocated) {
                return false;  // the old block is untouched
            }
            allocation = m_allocated;  // a failed shrink keeps the larger block
        } else {
            m_block = block;
        }
        m_allocated = static_cast<int>(allocation);
    }
    if (size > m_capacity) {
        std::memset(m_block + m_capacity, 0, static_cast<std::size_t>(size - m_capacity));  // new bytes zero
    }
    m_capacity = static_cast<int>(size);
    return true;
}

bool SharedBuffer::EnsureRoom(std::int64_t needed) {
    if (m_readOffset > 0 && FrontWorthMoving()) {
        std::memmove(m_block, m_block + m_readOffset, static_cast<std::size_t>(m_writeOffset - m_readOffset));
        m_writeOffset -= m_readOffset;
        m_readOffset = 0;
        if (m_capacity - m_writeOffset >= needed) {
            return true;
        }
    }
    return Resize(static_cast<std::int64_t>(m_capacity) + needed + m_growthStep);
}

// Moving the queued bytes to the front pays off once the consumed front is at least as large as what
// is still queued. A long backlog is thereby moved a bounded number of times, not again after every
// growth step consumed (which would make draining it quadratic); a short queue, the usual case, is
// moved exactly as before.
bool SharedBuffer::FrontWorthMoving() const {
    return m_readOffset >= m_writeOffset - m_readOffset;
}

void SharedBuffer::Compact() {
    std::memmove(m_block, m_block + m_readOffset, static_cast<std::size_t>(m_writeOffset - m_readOffset));
    m_writeOffset -= m_readOffset;
    m_readOffset = 0;
    // Shrinks only: a block already at most this size stays. A failed shrink keeps the larger block.
    const std::int64_t size = static_cast<std::int64_t>(m_writeOffset) + m_growthStep;
    if (size < m_capacity) {
        Resize(size);
    }
}

bool SharedBuffer::Push(const char* payload, int size, bool unique, Equal equal) {
    std::lock_guard lock(m_lock);
    if (unique) {
        for (int at = m_readOffset; at < m_writeOffset;) {
            int length = static_cast<int>(static_cast<std::int32_t>(LoadLe(m_block + at, kLengthBytes)));
            at += kLengthBytes;
            if (length == size && equal(m_block + at, payload, size)) {
                return false;
            }
            at += std::max(length, 0);
        }
    }
    const std::int64_t needed = kLengthBytes + static_cast<std::int64_t>(size);
    if (m_writeOffset + needed > m_capacity && !EnsureRoom(needed)) {
        return false;
    }
    StoreLe(m_block + m_writeOffset, static_cast<std::uint32_t>(size), kLengthBytes);
    m_writeOffset += kLengthBytes;
    if (size > 0) {
        std::memcpy(m_block + m_writeOffset, payload, static_cast<std::size_t>(size));
        m_writeOffset += size;
    }
    m_count.store(m_count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);  // under the lock
    return true;
}

bool SharedBuffer::Pop(Bytes& payload, int expected) {
    std::lock_guard lock(m_lock);
    payload.clear();
    if (m_count.load(std::memory_order_relaxed) <= 0) {
        return false;
    }
    int length = static_cast<int>(static_cast<std::int32_t>(LoadLe(m_block + m_readOffset, kLengthBytes)));
    m_readOffset += kLengthBytes;
    // Records are written only here, so the length always fits; the clamp keeps a read inside the block.
    length = std::min(length, m_writeOffset - m_readOffset);
    if (length > 0) {
        if (expected < 0 || length == expected) {
            payload.assign(m_block + m_readOffset, static_cast<std::size_t>(length));
        }
        m_readOffset += length;
    }
    m_count.store(m_count.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);  // under the lock
    if (m_readOffset >= m_growthStep && FrontWorthMoving()) {
        Compact();
    }
    return true;
}

bool SharedBuffer::SetGrowthStep(std::optional<int> bytes) {
    std::lock_guard lock(m_lock);
    m_growthStep = bytes ? std::max(*bytes, kLeastGrowthStep) : kDefaultGrowthStep;
    if (m_capacity < m_growthStep) {
        return Resize(m_growthStep);
    }
    return true;
}

void SharedBuffer::Clear() {
    std::lock_guard lock(m_lock);
    if (m_count.load(std::memory_order_relaxed) <= 0) {
        return;
    }
    Resize(m_growthStep);
    m_readOffset = 0;
    m_writeOffset = 0;
    m_count.store(0, std::memory_order_relaxed);
}

int SharedBuffer::Capacity() const {
    std::lock_guard lock(m_lock);
    return m_capacity;
}

int SharedBuffer::GrowthStep() const {
    std::lock_guard lock(m_lock);
    return m_growthStep;
}

namespace {

template <typename T>
struct Record {
    char bytes[sizeof(T)];
    explicit Record(T value) { StoreLe(bytes, BitsOf(value), sizeof(T)); }
};

}  // namespace

#define LANQUE_BUFFER_KIND(Name, Type, Equality)                                        \
    bool SharedBuffer::Push##Name(Type value, std::optional<int> unique) {              \
        Record<Type> record(value);                                                     \
        return Push(record.bytes, sizeof(Type), unique.value_or(0) == 1, Equality);     \
    }                                                                                   \
    bool SharedBuffer::Pop##Name(Type& value) {                                         \
        Bytes payload;                                                                  \
        bool popped = Pop(payload, sizeof(Type));                                       \
        value = payload.size() == sizeof(Type) ? Decode<Type>(payload.data()) : Type{}; \
        return popped;                                                                  \
    }

LANQUE_BUFFER_KIND(Byte, std::uint8_t, &SameBytes)
LANQUE_BUFFER_KIND(Short, std::int16_t, &SameBytes)
LANQUE_BUFFER_KIND(Int, std::int32_t, &SameBytes)
LANQUE_BUFFER_KIND(Long, std::int64_t, &SameBytes)
LANQUE_BUFFER_KIND(Float, float, &SameFloat)
LANQUE_BUFFER_KIND(Double, double, &CloseDouble)
LANQUE_BUFFER_KIND(Date, double, &SameDate)
LANQUE_BUFFER_KIND(Address, std::uint32_t, &SameBytes)

#undef LANQUE_BUFFER_KIND

// A flag travels as a 4-byte integer, 1 or 0.
bool SharedBuffer::PushFlag(bool value, std::optional<int> unique) {
    return PushInt(value ? 1 : 0, unique);
}

bool SharedBuffer::PopFlag(bool& value) {
    std::int32_t raw = 0;
    bool popped = PopInt(raw);
    value = raw != 0;
    return popped;
}

bool SharedBuffer::PushText(const Text& value, std::optional<int> unique) {
    std::int64_t payloadSize = TextPayloadSize(value);
    if (payloadSize < 0) {
        return false;
    }
    int size = static_cast<int>(payloadSize);
    return Push(value.data(), size, unique.value_or(0) == 1 && size > 0, &SameBytes);
}

bool SharedBuffer::PopText(Text& value) {
    return Pop(value, -1);
}

bool SharedBuffer::PushBytes(const Bytes& value, std::optional<int> unique) {
    if (value.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() - kLengthBytes)) {
        return false;
    }
    int size = static_cast<int>(value.size());
    return Push(value.data(), size, unique.value_or(0) == 1 && size > 0, &SameBytes);
}

bool SharedBuffer::PopBytes(Bytes& value) {
    return Pop(value, -1);
}

}  // namespace lanque
