#pragma once

// Ends the process at once with `status`, running no destructor of static
// objects and no exit handler: for a process that left threads running
// (left_behind.h), which could otherwise meet freed objects while the
// process winds down. ExitProcess on Windows, _exit natively.
[[noreturn]] void endProcessNow(int status);
