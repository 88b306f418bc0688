#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// Everything the clipboard held at one moment, every format kept (text, rich text, images,
// file lists), so it can be put back exactly.
struct PasteboardSnapshot {
    QList<QPair<QString, QByteArray>> formats; // MIME type → bytes, in the owner's order

    bool isEmpty() const { return formats.isEmpty(); }
    std::optional<QString> text() const;
    friend bool operator==(const PasteboardSnapshot&, const PasteboardSnapshot&) = default;
};

// The system clipboard (CLIPBOARD on X11). Main thread only.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    virtual std::optional<QString> text() const = 0;
    virtual PasteboardSnapshot snapshot() const = 0;

    // Replaces the whole content with plain text. The process keeps owning it until replaced.
    virtual void setText(const QString& text) = 0;
    virtual void restore(const PasteboardSnapshot& snapshot) = 0;
    virtual void clear() = 0;

    // The primary selection (X11 middle-click paste); a no-op where there is none.
    virtual void setPrimaryText(const QString& text) = 0;
};
