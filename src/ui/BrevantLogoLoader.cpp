#include "ui/BrevantLogoLoader.h"

#include "ui/ThemeIcons.h"

#include <QImageReader>

BrevantLogoLoader::BrevantLogoLoader(QObject* parent)
    : QObject(parent) {}

QString BrevantLogoLoader::loadWordmark() {
    return loadWordmark({QStringLiteral("brevant-logo"), QStringLiteral("Resources/brevant-logo")});
}

QString BrevantLogoLoader::loadWordmark(const QStringList& candidates) {
    for (const QString& name : candidates) {
        // Decoding it once proves it is an image, not only a file of that name.
        QImageReader reader(ThemeIcons::bundledPath(name));
        if (reader.canRead() && !reader.read().isNull()) {
            return QStringLiteral("image://icons/") + name;
        }
    }
    return {};
}
