#pragma once

#include <string>

// A rough pronunciation (CMU phone set) for a word the recogniser's dictionary lacks, from
// English spelling rules; all-capital short words are read letter by letter ("API"). Good enough
// for the recogniser to find a name or term the user told it to expect; empty when the word has
// no letters.
namespace LetterToSound {

std::string phones(const std::string& word);

}
