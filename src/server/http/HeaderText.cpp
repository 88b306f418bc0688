#include "server/http/HeaderText.h"

#include <cstdint>

namespace HeaderText {

std::optional<std::string> problem(std::string_view value) {
    std::size_t at = 0;
    while (at < value.size()) {
        const auto lead = static_cast<unsigned char>(value[at]);
        if (lead < 0x80) {
            if (lead < 0x20 || lead == 0x7F) {
                return "holds a control character";
            }
            ++at;
            continue;
        }
        int length = 0;
        std::uint32_t code = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return "is not UTF-8";
        }
        if (at + std::size_t(length) > value.size()) {
            return "is not UTF-8";
        }
        for (int i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(value[at + std::size_t(i)]);
            if ((next & 0xC0) != 0x80) {
                return "is not UTF-8";
            }
            code = code << 6 | (next & 0x3F);
        }
        constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return "is not UTF-8";
        }
        if (code >= 0x80 && code <= 0x9F) {
            return "holds a control character";
        }
        at += std::size_t(length);
    }
    return std::nullopt;
}

} // namespace HeaderText
