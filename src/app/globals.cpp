#include "app/globals.h"

namespace lanque {

namespace {

// The destroy steps, in creation order; the locks and the buffer have nothing to stop.
void Release(Globals& globals) {
    globals.DispatcherThread.Close();
    globals.ArticlePool.Stop(2);
    globals.SearchPool.Stop(2);
}

}  // namespace

Globals::~Globals() {
    Release(*this);
}

std::shared_ptr<Globals> CreateGlobals() {
    return std::make_shared<Globals>();
}

void DestroyGlobals(std::shared_ptr<Globals>& globals) {
    if (!globals) {
        return;
    }
    Release(*globals);
    globals.reset();
}

}  // namespace lanque
