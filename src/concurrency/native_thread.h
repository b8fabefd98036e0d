#pragma once

#include <cstddef>
#include <functional>

namespace lanque {

// Starts a detached operating-system thread running body. stackBytes 0 takes the platform default;
// otherwise it is the stack reservation (Linux maps stacks lazily, so this reserves address space,
// not memory). Returns false, and runs nothing, when the thread cannot be created.
bool StartDetachedThread(std::function<void()> body, std::size_t stackBytes);

// The smallest stack a thread of ours gets when a size is asked for: the platform minimum is too tight
// for the C++ runtime and the sanitizers, so smaller reservations are raised to this.
inline constexpr std::size_t kSmallestThreadStack = 64 * 1024;

}  // namespace lanque
