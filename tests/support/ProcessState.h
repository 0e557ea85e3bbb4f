#pragma once

#include <QtGlobal>

#include <optional>

// What the kernel says of a process or of one of this process's threads: the
// state letter of its /proc stat file ('R' running, 'S' sleeping, 'T'
// stopped, 'Z' ended but not reaped yet, ...); none when there is no such
// process. The command name before it may hold any character, ')' too, so
// the letter is read after the last ')'.
namespace ProcessState {

std::optional<char> ofProcess(qint64 pid);
std::optional<char> ofThread(qint64 threadID);
// Gone, or a zombie waiting to be reaped.
bool ended(qint64 pid);

} // namespace ProcessState
