#include "platform/linux/input/XkbKeymapLookup.h"

#include "core/hotkey/KeyCodes.h"

#include <array>
#include <cstdlib>
#include <utility>
#include <xkbcommon/xkbcommon.h>

namespace {

constexpr int evdevOffset = 8;

xkb_context* newContext() {
    return xkb_context_new(XKB_CONTEXT_NO_FLAGS);
}

} // namespace

XkbKeymapLookup::XkbKeymapLookup(xkb_context* context, xkb_keymap* keymap)
    : m_context(context)
    , m_keymap(keymap) {}

XkbKeymapLookup::~XkbKeymapLookup() {
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

std::unique_ptr<XkbKeymapLookup> XkbKeymapLookup::fromText(const QByteArray& keymapText) {
    xkb_context* context = newContext();
    if (!context) {
        return nullptr;
    }
    // The text may carry its terminating NUL, as compositors send it.
    const QByteArray text = keymapText.endsWith('\0') ? keymapText.chopped(1) : keymapText;
    xkb_keymap* keymap =
        xkb_keymap_new_from_buffer(context, text.constData(), static_cast<size_t>(text.size()),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::unique_ptr<XkbKeymapLookup>(new XkbKeymapLookup(context, keymap));
}

std::unique_ptr<XkbKeymapLookup> XkbKeymapLookup::fromDefaults() {
    xkb_context* context = newContext();
    if (!context) {
        return nullptr;
    }
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::unique_ptr<XkbKeymapLookup>(new XkbKeymapLookup(context, keymap));
}

QByteArray XkbKeymapLookup::text() const {
    char* text = xkb_keymap_get_as_string(m_keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text) {
        return {};
    }
    QByteArray result(text);
    std::free(text);
    result.append('\0');
    return result;
}

std::optional<XkbKeymapLookup::Key> XkbKeymapLookup::find(quint32 keysym) const {
    const xkb_layout_index_t groups = xkb_keymap_num_layouts(m_keymap);
    const xkb_keycode_t first = xkb_keymap_min_keycode(m_keymap);
    const xkb_keycode_t last = xkb_keymap_max_keycode(m_keymap);
    // Group by group, so a symbol of the first layout wins over the same symbol further on.
    for (xkb_layout_index_t group = 0; group < groups; ++group) {
        for (xkb_keycode_t keycode = first; keycode <= last; ++keycode) {
            if (group >= xkb_keymap_num_layouts_for_key(m_keymap, keycode)) {
                continue;
            }
            const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(m_keymap, keycode, group);
            for (xkb_level_index_t level = 0; level < levels; ++level) {
                const xkb_keysym_t* symbols = nullptr;
                const int count = xkb_keymap_key_get_syms_by_level(m_keymap, keycode, group, level, &symbols);
                if (count != 1 || symbols[0] != keysym) {
                    continue;
                }
                std::array<xkb_mod_mask_t, 4> masks{};
                const size_t maskCount = xkb_keymap_key_get_mods_for_level(m_keymap, keycode, group, level,
                                                                           masks.data(), masks.size());
                if (level > 0 && maskCount == 0) {
                    continue; // a level no modifier combination reaches
                }
                return Key{keycode, group, maskCount > 0 ? masks[0] : 0};
            }
        }
    }
    return std::nullopt;
}

quint32 XkbKeymapLookup::modifierMask(quint64 flags) const {
    const std::array<std::pair<quint64, const char*>, 4> names{{
        {ModifierFlags::control, XKB_MOD_NAME_CTRL},
        {ModifierFlags::shift, XKB_MOD_NAME_SHIFT},
        {ModifierFlags::option, XKB_MOD_NAME_ALT},
        {ModifierFlags::command, XKB_MOD_NAME_LOGO},
    }};
    quint32 mask = 0;
    for (const auto& [flag, name] : names) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(m_keymap, name);
        if ((flags & flag) && index != XKB_MOD_INVALID) {
            mask |= 1u << index;
        }
    }
    return mask;
}

quint32 XkbKeymapLookup::usKeysym(int evdevCode) {
    static const std::unique_ptr<XkbKeymapLookup> us = [] {
        std::unique_ptr<XkbKeymapLookup> lookup;
        if (xkb_context* context = newContext()) {
            const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
            if (xkb_keymap* keymap =
                    xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS)) {
                lookup.reset(new XkbKeymapLookup(context, keymap));
            } else {
                xkb_context_unref(context);
            }
        }
        return lookup;
    }();
    if (!us) {
        return 0;
    }
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(
        us->m_keymap, static_cast<xkb_keycode_t>(evdevCode + evdevOffset), 0, 0, &symbols);
    return count == 1 ? symbols[0] : 0;
}
