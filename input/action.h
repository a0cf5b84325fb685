#pragma once
#include <cstdint>
#include <functional>

namespace skimbo {

// What the player asked for; raised by the gesture tracker (or by the input pump when the
// host stream ends) and handled synchronously by the session driver.
enum class Action : std::uint32_t { Tap = 0, PauseToggle = 1, ExitGesture = 2 };

using ActionHandler = std::function<void(Action)>;

}  // namespace skimbo
