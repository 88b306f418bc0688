#pragma once

#include <QByteArray>
#include <QCoroTask>
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

// CLIPBOARD, or the primary selection (X11 middle-click paste).
enum class PasteboardSelection { clipboard, primary };

// The system clipboard (CLIPBOARD on X11). Main thread only; nothing here waits for another
// application.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // The clipboard's text as this process wrote it; absent when another application owns it.
    virtual std::optional<QString> text() const = 0;
    // What the selection holds now, in the formats worth keeping; read without blocking and
    // within a time limit, so an owner that is slow or hangs yields what it sent in time.
    virtual QCoro::Task<PasteboardSnapshot> snapshot(PasteboardSelection selection) = 0;

    // Replaces the whole content with plain text. The process keeps owning it until replaced.
    virtual void setText(const QString& text) = 0;
    // A primary selection that another application took meanwhile is left alone.
    virtual void restore(const PasteboardSnapshot& snapshot, PasteboardSelection selection) = 0;
    virtual void clear() = 0;

    // The primary selection (X11 middle-click paste); a no-op where there is none.
    virtual void setPrimaryText(const QString& text) = 0;
};
