#include "platform/process_exit.h"

#include <windows.h>

void endProcessNow(int status) { ExitProcess(static_cast<UINT>(status)); }
