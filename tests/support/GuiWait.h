#pragma once

#include <functional>

namespace tandrel {

// How long a window test waits for something that must happen before it counts as a failure.
// Generous on purpose: a correct build on a slow or busy machine must never run into it; it only
// keeps a broken build from hanging. Nothing measures how long the wait took.
inline constexpr int kWaitMs = 30000;

// Runs the window thread's event loop until `condition` holds, resting briefly between passes,
// and gives up after `ms` milliseconds. Returns whether the condition held. Window thread only.
bool WaitFor(const std::function<bool()>& condition, int ms = kWaitMs);

// Waits until every event posted at normal priority to the window thread before this call,
// from any thread, has been handled (queued calls such as the view's and the sheet's updates):
// a marker is posted behind them and the loop runs until it arrives. For checks whose expected
// state may equal the state before the events (an empty bar staying empty), where waiting for
// the state itself would prove nothing. Window thread only.
bool WaitForPostedEvents(int ms = kWaitMs);

}  // namespace tandrel
