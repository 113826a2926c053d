// The exporter's process figures on Windows: CPU time, working set and handles.
#include <windows.h>
#include <psapi.h>


#include "query/process.h"

namespace {
double Seconds(const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}
}  // namespace

ProcessFigures ReadProcessFigures() {
    ProcessFigures figures;
    HANDLE self = GetCurrentProcess();
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(self, &created, &exited, &kernel, &user)) figures.CpuSeconds = Seconds(kernel) + Seconds(user);
    PROCESS_MEMORY_COUNTERS memory{};
    if (GetProcessMemoryInfo(self, &memory, sizeof memory)) figures.ResidentBytes = static_cast<double>(memory.WorkingSetSize);
    // Some systems (Wine) answer 0, which no running process has: left out then.
    DWORD handles = 0;
    if (GetProcessHandleCount(self, &handles) && handles > 0) figures.Handles = handles;
    return figures;
}
