#include "server/engines/OverlapJoiner.h"

#include <cstdlib>
#include <limits>
#include <optional>

namespace {

// Two decoders place one boundary a few frames apart.
constexpr int boundarySlack = 3;

struct Boundary {
    std::size_t leftWords;  // the left piece's words before it
    std::size_t rightStart; // the right piece's first word after it
};

std::optional<Boundary> sharedBoundary(const std::vector<HeardWord>& left,
                                       const std::vector<HeardWord>& right, int cutFrame) {
    const int reach = int(OverlapJoiner::overlapSeconds * HeardWord::framesPerSecond) / 2;
    std::optional<Boundary> best;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t l = 0; l < left.size(); ++l) {
        const int boundary = left[l].lastFrame + 1;
        const int distance = std::abs(boundary - cutFrame);
        if (distance > reach || distance >= bestDistance) {
            continue;
        }
        for (std::size_t r = 0; r < right.size(); ++r) {
            if (std::abs(right[r].firstFrame - boundary) <= boundarySlack) {
                best = Boundary{l + 1, r};
                bestDistance = distance;
                break;
            }
        }
    }
    return best;
}

int middle(const HeardWord& word) {
    return (word.firstFrame + word.lastFrame) / 2;
}

} // namespace

std::vector<HeardWord> OverlapJoiner::join(const std::vector<HeardWord>& left,
                                           const std::vector<HeardWord>& right, int cutFrame) {
    std::vector<HeardWord> joined;
    if (const auto boundary = sharedBoundary(left, right, cutFrame)) {
        joined.assign(left.begin(), left.begin() + std::ptrdiff_t(boundary->leftWords));
        joined.insert(joined.end(), right.begin() + std::ptrdiff_t(boundary->rightStart), right.end());
        return joined;
    }
    for (const HeardWord& word : left) {
        if (middle(word) < cutFrame) {
            joined.push_back(word);
        }
    }
    for (const HeardWord& word : right) {
        if (middle(word) >= cutFrame) {
            joined.push_back(word);
        }
    }
    return joined;
}
