#include "FixedScreens.h"
#include "RecordingSoundPlayer.h"
#include "core/overlay/OverlayController.h"
#include "core/time/QtScheduler.h"
#include "platform/linux/wayland/LayerShellSurface.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "ui/LayerShellOverlay.h"
#include "ui/ThemeIcons.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Orlavo_UiPlugin)

using namespace std::chrono_literals;

// The island on the headless sway of `scripts/desktop run --wayland`: a layer-shell surface at the
// top that is drawn, over a focused window that keeps the focus. The screenshot is kept in the
// build tree.
class tst_LayerShellOverlay : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theIslandIsDrawnAtTheTopAndTakesNoFocus();
};

namespace {

const QString screenshotPath = QStringLiteral(ORLAVO_ARTEFACT_DIR "/layer-shell-overlay.ppm");
// The top strip of the 1920 × 1080 output, a little taller than the overlay: uncompressed, so
// that a shot is quick to take and to read.
const QString shotRegion = QStringLiteral("0,0 1920x240");

// The app id of sway's focused window; empty when none has the focus.
QString focusedAppId(const QJsonObject& node) {
    if (node.value(QLatin1String("focused")).toBool()) {
        return node.value(QLatin1String("app_id")).toString();
    }
    for (const QString& key : {QStringLiteral("nodes"), QStringLiteral("floating_nodes")}) {
        for (const QJsonValue child : node.value(key).toArray()) {
            if (const QString found = focusedAppId(child.toObject()); !found.isEmpty()) {
                return found;
            }
        }
    }
    return {};
}

QString focusedAppId() {
    QProcess tree;
    tree.start(QStringLiteral("swaymsg"),
               {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")});
    if (!tree.waitForFinished(5000)) {
        return {};
    }
    return focusedAppId(QJsonDocument::fromJson(tree.readAllStandardOutput()).object());
}

QImage screenshot() {
    QProcess grim;
    grim.start(QStringLiteral("grim"), {QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-g"),
                                        shotRegion, screenshotPath});
    if (!grim.waitForFinished(10000) || grim.exitCode() != 0) {
        return {};
    }
    return QImage(screenshotPath);
}

bool dark(QRgb pixel) {
    return qRed(pixel) < 40 && qGreen(pixel) < 40 && qBlue(pixel) < 40;
}

bool light(QRgb pixel) {
    return qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
}

} // namespace

void tst_LayerShellOverlay::theIslandIsDrawnAtTheTopAndTakesNoFocus() {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("SWAYSOCK")) {
        QFAIL("needs the Wayland desktop: scripts/desktop run --wayland -- ctest -R tst_LayerShellOverlay");
    }
    QDir().mkpath(QStringLiteral(ORLAVO_ARTEFACT_DIR));
    // A white window with the focus, as an editor the user dictates into.
    QProcess editor;
    editor.start(QStringLiteral("foot"), {QStringLiteral("--app-id=orlavo-editor"),
                                          QStringLiteral("--override=colors.background=ffffff"),
                                          QStringLiteral("sleep"), QStringLiteral("60")});
    QVERIFY(editor.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(focusedAppId(), QStringLiteral("orlavo-editor"), 10000);

    Result<std::unique_ptr<WaylandConnection>> connected = WaylandConnection::connect(QString(), 2000ms);
    QVERIFY2(connected.ok(), qPrintable(connected.ok() ? QString() : connected.error().description));
    std::unique_ptr<LayerShellSurface> surface =
        LayerShellSurface::create(std::shared_ptr<WaylandConnection>(std::move(connected).value()));
    QVERIFY2(surface, "sway offers no layer shell");

    // As the application draws its windows.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    FixedScreens screens;
    screens.displays = {ScreenInfo{QRectF(0, 0, 1920, 1080), 0, 0, 0, true}};
    RecordingSoundPlayer sounds;
    QtScheduler scheduler;
    OverlayController controller(screens, sounds, scheduler);
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.addImageProvider(IconImageProvider::providerId, new IconImageProvider);
    LayerShellOverlay overlay(controller, engine, std::move(surface));

    controller.show(QStringLiteral("Recording"), OverlayState::recording);
    QTRY_VERIFY(overlay.framesPresented() > 0);
    // The recording pill (320 × 52, no notch) hangs from the top centre once it has sprung open:
    // dark along its top edge and at both ends (the waveform lights its middle).
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT((shot = screenshot(), !shot.isNull() && dark(shot.pixel(960, 5)) &&
                                                       dark(shot.pixel(820, 26)) &&
                                                       dark(shot.pixel(1100, 26))),
                             10000);
    // Beside it and below the overlay the editor shows through.
    QVERIFY(light(shot.pixel(100, 26)));
    QVERIFY(light(shot.pixel(960, 230)));
    QCOMPARE(focusedAppId(), QStringLiteral("orlavo-editor"));

    controller.hide(0);
    editor.kill();
    editor.waitForFinished();
}

QTEST_MAIN(tst_LayerShellOverlay)
#include "tst_LayerShellOverlay.moc"
