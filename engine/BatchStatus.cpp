#include "engine/BatchStatus.h"

#include <cstdio>

namespace tessaro {

const FileStatus* BatchStatus::file(int number) const {
    for (const FileStatus& f : files)
        if (f.number == number) return &f;
    return nullptr;
}

std::string percentText(double ratio) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", ratio * 100);
    return std::string(buffer).substr(0, 4);
}

}  // namespace tessaro
