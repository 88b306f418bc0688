// libFuzzer target: any bytes as an edit request body, through the JSON reader and the prompt
// builder. A user text must never close its block: each block's tags carry the one mark, which
// must appear exactly twice per block.
#include "core/wire/PTTEditRequest.h"
#include "server/prompts/BacktrackGuard.h"
#include "server/prompts/EditPrompts.h"

#include <cstdint>
#include <cstdlib>
#include <regex>

namespace {

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto request =
        PTTEditRequest::fromJson(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!request) {
        return 0;
    }
    (void)EditPrompts::answerWithoutModel(request.value());
    const auto prompt = EditPrompts::build(request.value());
    if (!prompt) {
        return 0;
    }
    const std::string& user = prompt->user;
    static const std::regex opening("^<([a-z_]+)_([0-9a-z]+)>\n");
    std::smatch match;
    if (!std::regex_search(user, match, opening)) {
        std::abort();
    }
    const std::string mark = "_" + match[2].str() + ">";
    std::size_t tags = 0;
    for (const char* tag : {"application", "dictation", "dictated_prompt", "instruction", "selected_text",
                            "previous_text", "new_text"}) {
        const std::size_t opened = count(user, std::string("<") + tag + mark);
        if (opened > 1 || count(user, std::string("</") + tag + mark) != opened) {
            std::abort();
        }
        tags += 2 * opened;
    }
    if (count(user, mark) != tags) {
        std::abort(); // a user text carries the mark, so it could close its block
    }
    if (request->originalText) {
        (void)BacktrackGuard::protect(request->originalText->toStdString(), request->inputText.toStdString(),
                                      request->inputText.toStdString());
    }
    return 0;
}
