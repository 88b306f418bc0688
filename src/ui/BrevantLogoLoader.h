#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// Finds the maker's wordmark among the application's resources. A missing or unreadable image is
// no error: the brand mark then draws its text.
class BrevantLogoLoader : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_DISABLE_COPY_MOVE(BrevantLogoLoader)

public:
    explicit BrevantLogoLoader(QObject* parent = nullptr);

    // The wordmark as an "image://icons/..." source (the icon provider tints it); empty when no
    // candidate reads as an image.
    Q_INVOKABLE static QString loadWordmark();
    // The same over resource names under the bundled icons ("brevant-logo", ...).
    static QString loadWordmark(const QStringList& candidates);
};
