#include "platform/platform.h"

#include <utility>

namespace skimbo {

Platform::Platform(Options opts) : options(std::move(opts)) {}

void Platform::input(unsigned now_ms, const ActionHandler& on_action) { gestures.tick(now_ms, on_action); }

void Platform::present(const Canvas&) {}

void Platform::close() {}

}  // namespace skimbo
