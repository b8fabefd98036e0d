#pragma once

#include <functional>

// The message pump: waits on the GUI thread keep the window responsive by calling the pump hook,
// which processes pending window events once. The window installs the hook for its own thread;
// on every other thread, and where no window exists (tests), pumping does nothing.
namespace lanque {

using PumpHook = std::function<void()>;

// Installs the hook for the calling thread, which becomes the GUI thread; an empty hook removes it.
void SetPumpHook(PumpHook hook);
// Processes pending window events once when called on the GUI thread; otherwise does nothing.
void PumpMessages();
// Whether the calling thread is the one that installed the pump hook.
bool IsGuiThread();

}  // namespace lanque
