// The Qt Quick views, drawn by the software renderer off screen: every file loads without a
// warning, the island takes each state's size and colours, the waveform and the timer follow the
// model, and the pop-over's switches show what the controller did. The rendered islands are kept
// beside the test binary as overlay-<row>.png.
#include "DictationRig.h"
#include "FixedScreens.h"
#include "RecordingSoundPlayer.h"
#include "VirtualScheduler.h"
#include "core/backend/LocalServiceStarter.h"
#include "core/overlay/OverlayController.h"
#include "core/wizard/SetupWizardModel.h"
#include "ui/OverlayWindow.h"
#include "ui/StatusMenuModel.h"
#include "ui/StatusPopover.h"
#include "ui/ThemeIcons.h"
#include "ui/WaveformModel.h"

#include <QDirIterator>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Orlavo_UiPlugin)

namespace {

QStringList warnings;
QtMessageHandler previousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // The off-screen platform cannot shape or raise windows; it says so every time.
    if (type != QtDebugMsg && type != QtInfoMsg &&
        !message.startsWith(QLatin1String("This plugin does not support"))) {
        warnings << message;
    }
    previousHandler(type, context, message);
}

void prepare(QQmlEngine& engine) {
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.addImageProvider(IconImageProvider::providerId, new IconImageProvider);
}

// The off-screen platform draws no translucency: the window is cleared to this instead, and the
// island is what is dark on it.
const QColor background(0, 0, 255);
const QString longMessage =
    QStringLiteral("The service did not answer in time, please try the whole thing again later — Try again");

bool dark(QRgb pixel) {
    return qRed(pixel) < 40 && qGreen(pixel) < 40 && qBlue(pixel) < 40;
}

// A saturated, bright pixel of about the accent's hue: antialiased edges of thin strokes count.
bool tintedLike(QRgb pixel, const QColor& accent) {
    const QColor color = QColor::fromRgb(pixel);
    const int difference = std::abs(color.hsvHue() - accent.hsvHue());
    return color.hsvSaturation() > 120 && color.value() > 120 && std::min(difference, 360 - difference) < 15;
}

QQuickItem* item(QQuickWindow& window, const char* name) {
    return window.contentItem()->findChild<QQuickItem*>(QLatin1String(name));
}

void click(QQuickWindow& window, QQuickItem* target) {
    QVERIFY(target);
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(&window, Qt::LeftButton, {}, centre.toPoint());
}

// One overlay, as the application composes it, on screens and time of the test's.
struct OverlayRig {
    explicit OverlayRig(bool notch, bool compositing = true) {
        ScreenInfo screen{QRectF(0, 0, 1512, 982), 0, 0, 0, true};
        if (notch) {
            screen.safeAreaTopInset = 32;
            screen.auxiliaryTopLeftWidth = screen.auxiliaryTopRightWidth = (1512 - 200) / 2.0;
        }
        screens.displays = {screen};
        prepare(engine);
        window = std::make_unique<OverlayWindow>(controller, engine, [compositing] { return compositing; });
    }
    QQuickWindow& view() {
        window->window()->setColor(background);
        return *window->window();
    }

    VirtualScheduler scheduler;
    FixedScreens screens;
    RecordingSoundPlayer sounds;
    OverlayController controller{screens, sounds, scheduler};
    QQmlEngine engine;
    std::unique_ptr<OverlayWindow> window;
};

} // namespace

class tst_QmlViews : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() { warnings.clear(); }
    void cleanup() { QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n')))); }
    void everyViewLoads();
    void theIslandTakesEachStatesShape_data();
    void theIslandTakesEachStatesShape();
    void theWaveformAndTimerFollowTheModel();
    void theSwitchesShowWhatHappened();
};

void tst_QmlViews::initTestCase() {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    previousHandler = qInstallMessageHandler(collectWarnings);
}

void tst_QmlViews::everyViewLoads() {
    OverlayRig overlay(false);
    DictationRig rig;
    StatusMenuModel menu(rig.start(), rig.database, rig.capture, nullptr, QStringLiteral("Right Ctrl"));
    LocalServiceStarter starter(rig.backend, rig.processLauncher, rig.scheduler, {}, {});
    SetupWizardModel wizard({rig.controller(), rig.capture, starter, rig.scheduler, {}, {}});
    const QHash<QString, QVariantMap> required{
        {QStringLiteral("DynamicIslandView.qml"),
         {{QStringLiteral("presenter"), QVariant::fromValue(&overlay.window->presenter())}}},
        {QStringLiteral("StatusMenuView.qml"), {{QStringLiteral("menu"), QVariant::fromValue(&menu)}}},
        {QStringLiteral("SetupWizardView.qml"),
         {{QStringLiteral("wizard"), QVariant::fromValue<QObject*>(&wizard)}}},
        {QStringLiteral("WizardStatusRow.qml"),
         {{QStringLiteral("granted"), true}, {QStringLiteral("text"), QStringLiteral("t")}}},
        {QStringLiteral("WizardPresetRow.qml"),
         {{QStringLiteral("keyCode"), 57},
          {QStringLiteral("label"), QStringLiteral("Caps Lock")},
          {QStringLiteral("detail"), QStringLiteral("d")},
          {QStringLiteral("recommended"), true},
          {QStringLiteral("note"), QStringLiteral("n")},
          {QStringLiteral("selected"), true}}},
    };
    QStringList loaded;
    for (QDirIterator files(QStringLiteral(":/qt/qml/Orlavo/Ui"), {QStringLiteral("*.qml")});
         files.hasNext();) {
        const QString path = files.next();
        QQmlComponent component(&overlay.engine, QUrl(QStringLiteral("qrc") + path));
        std::unique_ptr<QObject> object(
            component.createWithInitialProperties(required.value(files.fileName())));
        QVERIFY2(object, qPrintable(path + QLatin1Char(' ') + component.errorString()));
        loaded << files.fileName();
    }
    QCOMPARE(loaded.size(), 18);
}

void tst_QmlViews::theIslandTakesEachStatesShape_data() {
    QTest::addColumn<QString>("text");    // after "Recording"; empty: still recording
    QTest::addColumn<QString>("content"); // the part shown; empty: collapsed after the outcome
    QTest::addColumn<bool>("notch");
    QTest::addColumn<bool>("compositing");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("accent");
    const auto row = [](const char* name, const QString& text, const char* content, bool notch,
                        bool compositing, QSize size, QColor accent) {
        QTest::newRow(name) << text << QString(content) << notch << compositing << size << accent;
    };
    const char* const outcome = "outcomeContent";
    row("recording", {}, "recordingContent", false, true, {320, 52}, IslandPresenter::voiceRed);
    row("transcribing", "Transcribing…", "transcribingContent", false, true, {300, 40},
        IslandPresenter::transcribeAmber);
    row("done", "Done", outcome, false, true, {280, 40}, IslandPresenter::successGreen);
    row("error, long message", longMessage, outcome, false, true, {300, 40}, IslandPresenter::errorRed);
    row("collapsed", "Done", "", false, true, {180, 36}, QColor());
    row("no compositor", "Done", outcome, false, false, {280, 40}, IslandPresenter::successGreen);
    row("notch, recording", {}, "recordingContent", true, true, {200, 84}, IslandPresenter::voiceRed);
    row("notch, collapsed", "Done", "", true, true, {200, 32}, QColor());
}

void tst_QmlViews::theIslandTakesEachStatesShape() {
    QFETCH(QString, text);
    QFETCH(QString, content);
    QFETCH(bool, notch);
    QFETCH(bool, compositing);
    QFETCH(QSize, size);
    QFETCH(QColor, accent);
    OverlayRig rig(notch, compositing);
    rig.controller.show(QStringLiteral("Recording"), OverlayState::recording);
    rig.controller.setAudioLevel(1);
    if (!text.isEmpty()) {
        rig.controller.update(text);
    }
    QQuickWindow& window = rig.view();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const bool expanded = !content.isEmpty();
    if (!expanded) {
        // Open first, so that the island shrinks back as it does after a dictation.
        QTRY_COMPARE(item(window, "outcomeContent")->opacity(), 1.0);
        rig.controller.hide(0);
    }
    const Qt::WindowFlags required = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                     Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput;
    QCOMPARE(window.flags() & required, required);
    QCOMPARE(window.geometry(), QRect(0, 0, 1512, 200));

    QQuickItem* island = item(window, "island");
    QTRY_COMPARE(island->size(), QSizeF(size));
    QTRY_COMPARE(island->x(), (window.width() - size.width()) / 2.0);
    for (const char* part : {"recordingContent", "transcribingContent", "outcomeContent"}) {
        QTRY_COMPARE(item(window, part)->opacity(), content == QLatin1String(part) ? 1.0 : 0.0);
    }
    QTRY_COMPARE(item(window, "innerGlow")->property("strength").toDouble(), expanded ? 0.35 : 0.0);
    if (text.isEmpty()) {
        auto* wave = window.contentItem()->findChild<WaveformModel*>();
        QTRY_VERIFY(*std::max_element(wave->barHeights().cbegin(), wave->barHeights().cend()) > 10);
    }

    const QImage image = window.grabWindow();
    image.save(QCoreApplication::applicationDirPath() + QStringLiteral("/overlay-") +
               QString::fromLatin1(QTest::currentDataTag())
                   .replace(QRegularExpression(QStringLiteral("\\W+")), QStringLiteral("-")) +
               QStringLiteral(".png"));
    const int row = size.height() / 2;
    int left = -1;
    int right = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (dark(image.pixel(x, row))) {
            left = left < 0 ? x : left;
            right = x;
        }
    }
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        bottom = dark(image.pixel(image.width() / 2, y)) ? y : bottom;
    }
    QVERIFY2(std::abs(right - left + 1 - size.width()) <= 1, qPrintable(QString::number(right - left + 1)));
    QVERIFY2(std::abs(bottom + 1 - size.height()) <= 1, qPrintable(QString::number(bottom + 1)));
    const QColor fill = QColor::fromRgb(image.pixel(left + 6, row));
    QVERIFY2(std::max({fill.red(), fill.green(), fill.blue()}) < 30, qPrintable(fill.name()));

    if (accent.isValid()) {
        bool found = false;
        for (int y = 0; y < size.height() && !found; ++y) {
            for (int x = left; x <= right && !found; ++x) {
                found = tintedLike(image.pixel(x, y), accent);
            }
        }
        QVERIFY2(found, "no pixel in the state's colour");
    }
    // The glow shows under the island only where a compositor draws it; without one the window is
    // cut to the island.
    const QRgb below = image.pixel(image.width() / 2, size.height() + 8);
    QCOMPARE(QColor::fromRgb(below) != background, compositing && expanded);
    QCOMPARE(window.mask().isEmpty(), compositing);
    if (!compositing) {
        QCOMPARE(window.mask().boundingRect().size(), size);
    }
    if (text == longMessage) {
        QQuickItem* shown = item(window, "outcomeText");
        QCOMPARE(shown->property("text").toString(), longMessage);
        QVERIFY(shown->property("truncated").toBool());
    }
}

void tst_QmlViews::theWaveformAndTimerFollowTheModel() {
    OverlayRig rig(false);
    rig.controller.show(QStringLiteral("Recording"), OverlayState::recording);
    QQuickWindow& window = rig.view();
    auto* wave = window.contentItem()->findChild<WaveformModel*>();
    const auto tallest = [wave] {
        return *std::max_element(wave->barHeights().cbegin(), wave->barHeights().cend());
    };
    rig.controller.setAudioLevel(1);
    QTRY_VERIFY(tallest() > 10);
    // Just under the silence level the row lies flat.
    rig.controller.setAudioLevel(0.019f);
    QTRY_COMPARE(tallest(), WaveformModel::minHeight);

    QObject* timer = nullptr;
    for (QObject* child : window.contentItem()->findChildren<QObject*>()) {
        if (qstrcmp(child->metaObject()->className(), "QQmlTimer") == 0) {
            timer = child;
        }
    }
    QVERIFY(timer);
    QVERIFY(timer->property("running").toBool());
    QVERIFY(timer->property("interval").toInt() >= 1000 / 30 + 1);

    rig.scheduler.advance(65.95);
    QCOMPARE(item(window, "timerText")->property("text").toString(), QStringLiteral("1:05"));
    rig.scheduler.advance(600 - 65.95);
    QCOMPARE(item(window, "timerText")->property("text").toString(), QStringLiteral("10:00"));

    // The waveform stops drawing with the recording; entering the error state shakes the island
    // once, and a second error does not shake it again.
    QSignalSpy shakes(&rig.window->presenter(), &IslandPresenter::shakeRequested);
    rig.controller.update(QStringLiteral("Try again"), OverlayState::error);
    QTRY_VERIFY(!timer->property("running").toBool());
    QQuickItem* island = item(window, "island");
    QTRY_VERIFY(std::abs(island->property("shakeOffset").toDouble()) > 1);
    QTRY_COMPARE(island->property("shakeOffset").toDouble(), 0.0);
    rig.controller.update(QStringLiteral("Cancelled"));
    QCOMPARE(shakes.size(), 1);
}

void tst_QmlViews::theSwitchesShowWhatHappened() {
    DictationRig rig;
    rig.monitor.refusesToStart = true;
    PTTAppState& controller = rig.start();
    rig.scheduler.advance(0.5);
    StatusMenuModel menu(controller, rig.database, rig.capture, nullptr, QStringLiteral("Right Ctrl"));
    QQmlEngine engine;
    prepare(engine);
    QQuickView view(&engine, nullptr);
    view.setInitialProperties({{QStringLiteral("menu"), QVariant::fromValue(&menu)}});
    view.setSource(QUrl(StatusPopover::viewUrl));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QQuickItem* master = item(view, "masterSwitch");
    QQuickItem* status = item(view, "statusLine");

    // Without a way to hear the keys the monitor does not start, and the switch says so.
    click(view, master);
    QCOMPARE(master->property("checked").toBool(), false);
    QCOMPARE(status->property("text").toString(), QStringLiteral("Off"));
    rig.monitor.refusesToStart = false;
    click(view, master);
    QCOMPARE(master->property("checked").toBool(), true);
    QCOMPARE(status->property("text").toString(), QStringLiteral("Hold Fn (Right Ctrl) and speak"));

    QQuickItem* savings = item(view, "savingsLine");
    QVERIFY(!savings->isVisible());
    click(view, item(view, "pruningSwitch"));
    QVERIFY(savings->isVisible());
    QCOMPARE(savings->property("text").toString(), QStringLiteral("No savings yet"));
    QVERIFY(rig.settingsStore.load().promptPruningEnabled);
    // The line opens under the switch, and the pop-over grows with it: the last row stays inside.
    const auto sceneTop = [](QQuickItem* part) { return part->mapToScene(QPointF()).y(); };
    QTRY_VERIFY(sceneTop(savings) > sceneTop(item(view, "pruningSwitch")));
    QQuickItem* quit = item(view, "quitRow");
    QTRY_VERIFY(sceneTop(quit) + quit->height() + 10 <= view.height());
    view.grabWindow().save(QCoreApplication::applicationDirPath() + QStringLiteral("/status-menu.png"));
}

QTEST_MAIN(tst_QmlViews)
#include "tst_QmlViews.moc"
