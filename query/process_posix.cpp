// The exporter's process figures on Linux, from getrusage, getrlimit and /proc.
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "query/process.h"

ProcessFigures ReadProcessFigures() {
    ProcessFigures figures;
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        figures.CpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                             (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        figures.MaxDescriptors = static_cast<double>(limit.rlim_cur);
    // Each read takes a descriptor of its own, which is not counted; out of descriptors, the figure is left out.
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long pages = 0, resident = 0;
        if (std::fscanf(statm, "%lu %lu", &pages, &resident) == 2)
            figures.ResidentBytes = static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
        std::fclose(statm);
    }
    if (DIR* fds = opendir("/proc/self/fd")) {
        double open = -1;  // the directory's own descriptor
        while (const dirent* entry = readdir(fds))
            if (entry->d_name[0] != '.') ++open;
        closedir(fds);
        figures.OpenDescriptors = open;
    }
    return figures;
}
