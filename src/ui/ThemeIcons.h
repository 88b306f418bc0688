#pragma once

#include <QColor>
#include <QIcon>
#include <QQuickImageProvider>
#include <QString>

// The icons of the tray and the windows: the desktop's icon theme where it has one, otherwise
// the drawing bundled with the application. Names are ours ("mic", "scissors", ...).
namespace ThemeIcons {

QIcon icon(const QString& name);
// The freedesktop name tried first; empty for the icons that are always our own.
QString themeName(const QString& name);
QString bundledPath(const QString& name);
// Every pixel painted in `color`, keeping its coverage: symbolic icons in the text colour.
QPixmap tinted(const QIcon& icon, QSize size, const QColor& color);

} // namespace ThemeIcons

// Serves "image://icons/<name>" and "image://icons/<name>?color=<#rrggbb>" to the views.
class IconImageProvider final : public QQuickImageProvider {
public:
    static inline const QString providerId = QStringLiteral("icons");

    IconImageProvider();
    QPixmap requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) override;
};
