#pragma once

#include <QtGlobal>

// Key codes and modifier bits as the system stores them in settings (the virtual key codes of a
// US keyboard layout). Platform layers translate their own codes to these.
namespace KeyCodes {

inline constexpr qint64 v = 9;
inline constexpr qint64 y = 16;
inline constexpr qint64 returnKey = 36;
inline constexpr qint64 escape = 53;
inline constexpr qint64 capsLock = 57;
inline constexpr qint64 function = 63;
inline constexpr qint64 f14 = 107;
// The Help key sits where PC keyboards have Insert; platform layers map it to Insert.
inline constexpr qint64 insert = 114;
inline constexpr qint64 leftArrow = 123;

} // namespace KeyCodes

namespace ModifierFlags {

inline constexpr quint64 capsLock = 0x10000;
inline constexpr quint64 shift = 0x20000;
inline constexpr quint64 control = 0x40000;
inline constexpr quint64 option = 0x80000;
inline constexpr quint64 command = 0x100000;
inline constexpr quint64 function = 0x800000;

// The modifiers a binding must match exactly.
inline constexpr quint64 bindingMask = shift | control | option | command;

} // namespace ModifierFlags
