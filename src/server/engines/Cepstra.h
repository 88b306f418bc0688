#pragma once

#include <cstddef>
#include <vector>

// The recogniser's acoustic features of one recording: `width` values per 10 ms frame, frame after
// frame. Each stretch that is decoded as one, in one piece or in overlapping ones, is normalised by
// its own mean first, so overlapping pieces hear their common frames alike.
struct Cepstra {
    std::vector<float> values;
    std::size_t width = 0;

    std::size_t frames() const { return width == 0 ? 0 : values.size() / width; }

    // Takes the mean of the frames [first, end) out of them, as the library's own batch
    // normalisation would (frames without energy do not count; single precision).
    void normalise(std::size_t first, std::size_t end);
};
