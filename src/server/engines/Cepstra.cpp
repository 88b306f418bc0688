#include "server/engines/Cepstra.h"

#include <algorithm>

void Cepstra::normalise(std::size_t first, std::size_t end) {
    end = std::min(end, frames());
    std::vector<float> mean(width, 0.0F);
    int counted = 0;
    for (std::size_t frame = first; frame < end; ++frame) {
        const float* row = values.data() + frame * width;
        if (row[0] < 0) {
            continue;
        }
        for (std::size_t i = 0; i < width; ++i) {
            mean[i] += row[i];
        }
        ++counted;
    }
    if (counted == 0) {
        return;
    }
    for (float& value : mean) {
        value /= float(counted);
    }
    for (std::size_t frame = first; frame < end; ++frame) {
        float* row = values.data() + frame * width;
        for (std::size_t i = 0; i < width; ++i) {
            row[i] -= mean[i];
        }
    }
}
