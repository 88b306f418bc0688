// The shortcut recorder in a real window on the headless desktop, fed by XTest keys from another
// client: what each key combination records, shows and lets through to the window.
#include "DesktopTestSupport.h"
#include "platform/linux/input/XkbWindowKeyTranslator.h"
#include "ui/HotkeyRecorder.h"
#include "ui/ThemeIcons.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Orlavo_UiPlugin)

namespace {

const QByteArray windowQml = R"(
import QtQuick
import QtQuick.Controls.Basic
import Orlavo.Ui

Window {
    width: 420
    height: 220
    visible: true
    property alias capture: capture
    property alias field: field
    Column {
        HotkeyCaptureView { id: capture; keyCode: 63; modifiers: 0 }
        TextField { id: field; objectName: "field"; width: 200; focus: true }
    }
}
)";

} // namespace

class tst_HotkeyRecorder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void recordsWhatIsPressed_data();
    void recordsWhatIsPressed();

private:
    void key(const QString& step) {
        m_client->key(m_client->keyCodeOfPosition(step.mid(1).toLatin1()), step.front() == u'+');
        m_client->sync();
    }

    std::unique_ptr<DesktopTest::XClient> m_client;
    QQmlEngine m_engine;
    std::unique_ptr<QObject> m_root;
};

void tst_HotkeyRecorder::initTestCase() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
    m_client = std::make_unique<DesktopTest::XClient>();
    QVERIFY(m_client->isOpen());
    HotkeyRecorder::setKeyboard([] { return std::make_unique<XkbWindowKeyTranslator>(); },
                                QStringLiteral("Right Ctrl"));
    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    m_engine.addImageProvider(IconImageProvider::providerId, new IconImageProvider);
    QQmlComponent component(&m_engine);
    component.setData(windowQml, QUrl(QStringLiteral("qrc:/test/RecorderWindow.qml")));
    m_root.reset(component.create());
    QVERIFY2(m_root, qPrintable(component.errorString()));
    auto* window = qobject_cast<QQuickWindow*>(m_root.get());
    QVERIFY(window);
    window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void tst_HotkeyRecorder::recordsWhatIsPressed_data() {
    QTest::addColumn<int>("starts");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("refused");

    const QStringList ctrlAltSpace{"+LCTL", "+LALT", "+SPCE", "-SPCE", "-LALT", "-LCTL"};
    QTest::newRow("Ctrl+Alt+Space") << 1 << ctrlAltSpace << 49 << 0xC0000 << "Ctrl+Alt+Space" << false;
    QTest::newRow("Escape cancels") << 1 << QStringList{"+ESC", "-ESC"} << 63 << 0 << "Right Ctrl" << false;
    QTest::newRow("fn alone is Right Ctrl")
        << 1 << QStringList{"+LCTL", "-LCTL", "+RCTL", "-RCTL"} << 63 << 0 << "Right Ctrl" << false;
    // The second press unlocks Caps Lock again; the capture has ended, so it goes to the window.
    QTest::newRow("Caps Lock alone") << 1 << QStringList{"+CAPS", "-CAPS", "+CAPS", "-CAPS"} << 57 << 0
                                     << "Caps Lock" << false;
    QTest::newRow("Super held, then K")
        << 1 << QStringList{"+LWIN", "+AC08", "-AC08", "-LWIN"} << 40 << 0x100000 << "Super+K" << false;
    QTest::newRow("a bare letter is refused")
        << 1 << QStringList{"+AC08", "-AC08"} << 63 << 0 << "Right Ctrl" << true;
    QTest::newRow("two starts, one capture")
        << 2 << ctrlAltSpace << 49 << 0xC0000 << "Ctrl+Alt+Space" << false;
}

void tst_HotkeyRecorder::recordsWhatIsPressed() {
    QFETCH(int, starts);
    QFETCH(QStringList, steps);
    QFETCH(int, keyCode);
    QFETCH(int, modifiers);
    QFETCH(QString, shown);
    QFETCH(bool, refused);

    auto* capture = m_root->property("capture").value<QQuickItem*>();
    auto* field = m_root->property("field").value<QQuickItem*>();
    auto* recorder = capture->property("recorder").value<HotkeyRecorder*>();
    auto* button = capture->findChild<QQuickItem*>(QStringLiteral("recordButton"));
    auto* label = capture->findChild<QQuickItem*>(QStringLiteral("shortcutText"));
    QVERIFY(recorder && button && label);
    capture->setProperty("keyCode", 63);
    capture->setProperty("modifiers", 0);
    field->setProperty("text", QString());
    field->forceActiveFocus();

    for (int i = 0; i < starts; ++i) {
        recorder->start();
    }
    QCOMPARE(button->property("text").toString(), QStringLiteral("Press keys…"));
    for (const QString& step : steps) {
        key(step);
    }
    // A refused key keeps the capture listening, with a hint; anything else ends it.
    QTRY_COMPARE(!recorder->refusal().isEmpty(), refused);
    QTRY_COMPARE(recorder->isCapturing(), refused);
    QCOMPARE(recorder->keyCode(), keyCode);
    QCOMPARE(recorder->modifiers(), modifiers);
    QCOMPARE(label->property("text").toString(), shown);
    if (refused) {
        key(QStringLiteral("+ESC"));
        key(QStringLiteral("-ESC"));
        QTRY_VERIFY(!recorder->isCapturing());
        QCOMPARE(recorder->keyCode(), keyCode);
    }
    QCOMPARE(button->property("text").toString(), QStringLiteral("Record shortcut"));

    // Nothing pressed during the capture reached the field; after it, keys type again.
    QCOMPARE(field->property("text").toString(), QString());
    key(QStringLiteral("+AC08"));
    key(QStringLiteral("-AC08"));
    QTRY_COMPARE(field->property("text").toString(), QStringLiteral("k"));
}

QTEST_MAIN(tst_HotkeyRecorder)
#include "tst_HotkeyRecorder.moc"
