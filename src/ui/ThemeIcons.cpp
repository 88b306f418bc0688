#include "ui/ThemeIcons.h"

#include <QFile>
#include <QPainter>
#include <QUrlQuery>

#include <array>
#include <utility>

namespace ThemeIcons {

namespace {

constexpr std::array<std::pair<const char*, const char*>, 17> themeNames{{
    {"mic", "audio-input-microphone-symbolic"},
    {"mic-off", "microphone-disabled-symbolic"},
    {"recording", "media-record-symbolic"},
    {"scissors", "edit-cut-symbolic"},
    {"settings", "emblem-system-symbolic"},
    {"quit", "application-exit-symbolic"},
    {"update", "software-update-available-symbolic"},
    {"chevron", "go-next-symbolic"},
    {"gear", "preferences-system-symbolic"},
    {"waveform", "audio-input-microphone-symbolic"},
    {"cpu", "system-run-symbolic"},
    {"quote", "insert-text-symbolic"},
    {"person", "avatar-default-symbolic"},
    {"trash", "user-trash-symbolic"},
    {"xmark", "window-close-symbolic"},
    {"help", "help-browser-symbolic"},
    {"privacy", "security-high-symbolic"},
}};

} // namespace

QString themeName(const QString& name) {
    for (const auto& [ours, theirs] : themeNames) {
        if (name == QLatin1String(ours)) {
            return QLatin1String(theirs);
        }
    }
    return {};
}

QString bundledPath(const QString& name) {
    return QStringLiteral(":/qt/qml/Orlavo/Ui/icons/%1.svg").arg(name);
}

QIcon icon(const QString& name) {
    const QIcon bundled(bundledPath(name));
    const QString theme = themeName(name);
    return theme.isEmpty() ? bundled : QIcon::fromTheme(theme, bundled);
}

QPixmap tinted(const QIcon& source, QSize size, const QColor& color) {
    QPixmap pixmap = source.pixmap(size);
    if (pixmap.isNull() || !color.isValid()) {
        return pixmap;
    }
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    return pixmap;
}

} // namespace ThemeIcons

IconImageProvider::IconImageProvider()
    : QQuickImageProvider(QQuickImageProvider::Pixmap) {}

QPixmap IconImageProvider::requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) {
    const qsizetype query = id.indexOf(QLatin1Char('?'));
    const QString name = id.left(query);
    QColor color;
    if (query >= 0) {
        color = QColor::fromString(
            QUrlQuery(id.mid(query + 1)).queryItemValue(QStringLiteral("color"), QUrl::FullyDecoded));
    }
    QSize wanted = requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(16, 16);
    // Only a height asked for (a wordmark): the drawing keeps its proportions within a wide box.
    if (requestedSize.width() <= 0 && requestedSize.height() > 0) {
        wanted = QSize(requestedSize.height() * 16, requestedSize.height());
    }
    QPixmap pixmap = ThemeIcons::tinted(ThemeIcons::icon(name), wanted, color);
    if (size) {
        *size = pixmap.size();
    }
    return pixmap;
}
