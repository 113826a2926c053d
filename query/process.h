// What the exporter tells of its own process: the standard process_ figures, where the system gives them.
#pragma once

#include <cstdint>

struct ProcessFigures {
    double CpuSeconds = -1;      // user and system time; -1 where a figure is not known
    double ResidentBytes = -1;
    double OpenDescriptors = -1;
    double MaxDescriptors = -1;
    double Handles = -1;         // Windows: kernel handles in use
};

ProcessFigures ReadProcessFigures();
