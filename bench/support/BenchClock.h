#pragma once

// Where the manual clock of every benchmark's fresh process starts:
// 2026-05-01T08:30:00Z, as in the tests.
inline constexpr double benchStartTime = 1777624200.0;
