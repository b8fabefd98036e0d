#pragma once

#include <memory>

#include "concurrency/critical_section.h"
#include "concurrency/shared_buffer.h"
#include "concurrency/thread_pool.h"
#include "concurrency/worker_thread.h"

namespace lanque {

// The seven objects the collection, the log and the database operations share for the whole run,
// in creation order. The app owns them through the pointer CreateGlobals returns; work that may still
// run when they are destroyed (a dispatcher, pool tasks) keeps its own copy of the pointer, so their
// storage lasts until the last such holder lets go.
struct Globals {
    CriticalSection DatabaseLock;
    CriticalSection LogLock;
    WorkerThread DispatcherThread;  // holds no thread
    ThreadPool ArticlePool;         // state 0, no threads
    ThreadPool SearchPool;          // state 0, no threads
    CriticalSection ControlsLock;
    SharedBuffer ArticleBuffer;  // growth step 65536, one zeroed block of 65536 bytes, nothing queued

    Globals() = default;
    ~Globals();
    Globals(const Globals&) = delete;
    Globals& operator=(const Globals&) = delete;
};

std::shared_ptr<Globals> CreateGlobals();
// Releases the objects in creation order without waiting for work still running: the dispatcher's
// handle is closed, both pools are told to stop (mode 2, queued tasks dropped); then the app's
// reference is dropped. Safe to call on an empty pointer.
void DestroyGlobals(std::shared_ptr<Globals>& globals);

}  // namespace lanque
