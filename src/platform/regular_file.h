#pragma once
#include <cstdio>

// Opens `path` for reading in binary mode only when it is a regular file on
// disk. A FIFO, a socket or a device (or, on Windows, a name such as "CON"
// or "NUL" that the system takes for a device) is refused at once, without
// waiting: opening a FIFO for reading blocks until a writer comes, which
// could be never. Null when the file cannot be opened or is not regular.
std::FILE* openRegularFile(const char* path);
