#pragma once

#include "server/engines/HeardWord.h"

#include <vector>

// Joins the words of two pieces of one recording that were cut at a quiet moment in speech and
// decoded with an overlap: the left piece runs on past the cut, the right one starts before it.
// Near its own edge each decoder lacks context and may hear half a word, so the join is made at
// a word boundary both heard near the cut; where they heard none in common, each side keeps the
// words centred on its side of the cut.
class OverlapJoiner final {
public:
    // How far each piece reaches past the cut; at the join each side has at least half of it.
    static constexpr double overlapSeconds = 0.5;

    static std::vector<HeardWord> join(const std::vector<HeardWord>& left,
                                       const std::vector<HeardWord>& right, int cutFrame);
};
