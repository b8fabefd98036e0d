#include "concurrency/message_pump.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace lanque {

namespace {

std::mutex g_hookMutex;
PumpHook g_hook;
std::atomic<std::thread::id> g_guiThread{};

}  // namespace

void SetPumpHook(PumpHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_guiThread = hook ? std::this_thread::get_id() : std::thread::id();
    g_hook = std::move(hook);
}

bool IsGuiThread() {
    return g_guiThread.load() == std::this_thread::get_id() && g_guiThread.load() != std::thread::id();
}

void PumpMessages() {
    if (!IsGuiThread()) {
        return;
    }
    // Only the GUI thread gets here, and only it changes the hook, so the copy is safe to call unlocked.
    PumpHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook) {
        hook();
    }
}

}  // namespace lanque
