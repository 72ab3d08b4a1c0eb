#pragma once

namespace tandrel {

// What a run does with destination entries the source no longer has. The pages pass the index
// of the selected radio button (control id minus 2000). The engine tests for 0 and 2 only: any
// other value behaves as Delete.
using ExtraFileAction = int;
inline constexpr ExtraFileAction kActionKeep = 0;
inline constexpr ExtraFileAction kActionDelete = 1;
inline constexpr ExtraFileAction kActionMove = 2;

// Messages between the two threads (values kept from the message numbers they stand for).
inline constexpr int UM_RUN_JOBS = 0x0400 + 5;   // to the worker: run what the queue holds
inline constexpr int UM_JOBS_DONE = 0x0400 + 6;  // to the sheet: the run has ended

}  // namespace tandrel
