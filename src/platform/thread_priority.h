#pragma once

enum class ThreadPriority { BelowNormal, Normal, AboveNormal };

// Changes the priority of the calling thread. Failures (for instance a
// process without the right to raise priorities) are ignored: the saver
// works the same, only less smoothly.
void setCurrentThreadPriority(ThreadPriority priority);
