#pragma once

namespace platform {

// Quitting asks long background work (a file's hash, a signature's check, a
// tree's removal) to give up at its next piece, so that the wait for the
// background queues at the end (Scheduler::finishBackgroundWork) lasts about
// one piece. Work that gives up says it was cut short, never that it
// succeeded. Safe from any thread. Never taken back; installing a scheduler
// (a new test's process) starts without it.
namespace BackgroundStop {

void request();
bool requested();

} // namespace BackgroundStop
} // namespace platform
