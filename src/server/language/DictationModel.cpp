#include "server/language/DictationModel.h"

#include <filesystem>
#include <vector>

namespace DictationModel {

std::string locate() {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<fs::path> candidates;
    // The installed tree may have been moved as a whole (a relocated prefix, an AppImage).
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        candidates.push_back(executable.parent_path() / ORLAVO_DICTATION_MODEL_RELATIVE);
    }
    candidates.emplace_back(ORLAVO_DICTATION_MODEL_INSTALLED);
    candidates.emplace_back(ORLAVO_DICTATION_MODEL_BUILT);
    for (const fs::path& candidate : candidates) {
        if (fs::is_regular_file(candidate, error)) {
            return candidate.lexically_normal().string();
        }
    }
    return {};
}

} // namespace DictationModel
