#include "concurrency/native_thread.h"

#include <algorithm>
#include <memory>
#include <new>

#include <pthread.h>

namespace lanque {

namespace {

void* ThreadEntry(void* argument) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    try {
        (*body)();
    } catch (...) {
        // A routine's exception ends only its own thread, never the process.
    }
    return nullptr;
}

}  // namespace

bool StartDetachedThread(std::function<void()> body, std::size_t stackBytes) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        return false;
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stackBytes != 0) {
        pthread_attr_setstacksize(&attr, std::max(stackBytes, kSmallestThreadStack));
    }
    auto* owned = new (std::nothrow) std::function<void()>(std::move(body));
    bool started = owned != nullptr;
    if (started) {
        pthread_t thread;
        started = pthread_create(&thread, &attr, &ThreadEntry, owned) == 0;
        if (!started) {
            delete owned;
        }
    }
    pthread_attr_destroy(&attr);
    return started;
}

}  // namespace lanque
