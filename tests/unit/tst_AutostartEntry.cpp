#include "TemporaryEnvironment.h"
#include "core/paths/AutostartEntry.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

class tst_AutostartEntry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void execValue_data();
    void execValue();
    void switchingOnAndOff();
    void aChangeThatCannotBeMadeKeepsTheState();
};

void tst_AutostartEntry::execValue_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec"); // empty: refused

    QTest::newRow("plain path") << "/usr/bin/orlavo"
                                << "/usr/bin/orlavo";
    QTest::newRow("space: quoted") << "/opt/My Apps/Orlavo.app/bin/orlavo"
                                   << "\"/opt/My Apps/Orlavo.app/bin/orlavo\"";
    QTest::newRow("quote, dollar, backslash: escaped twice") << "/opt/a\"b$c\\d/orlavo"
                                                             << "\"/opt/a\\\\\"b\\\\$c\\\\\\\\d/orlavo\"";
    QTest::newRow("percent: no field code") << "/opt/100%/orlavo"
                                            << "/opt/100%%/orlavo";
    QTest::newRow("line break: refused") << "/opt/a\nExec=rm/orlavo"
                                         << "";
}

void tst_AutostartEntry::execValue() {
    QFETCH(QString, program);
    QFETCH(QString, exec);
    const auto value = AutostartEntry::execValue(program);
    QCOMPARE(value.ok() ? value.value() : QString(), exec);
}

void tst_AutostartEntry::switchingOnAndOff() {
    TemporaryEnvironment environment;
    const QString path = AutostartEntry::defaultFilePath();
    QVERIFY(path.startsWith(environment.path() + "/"));
    AutostartEntry entry(path, "/usr/bin/orlavo");
    QSignalSpy changed(&entry, &AutostartEntry::enabledChanged);
    QVERIFY(!entry.isEnabled());

    entry.setEnabled(true);
    QVERIFY(entry.isEnabled());
    QVERIFY(TemporaryEnvironment::read(path).contains("\nExec=/usr/bin/orlavo\n"));
    entry.setEnabled(false);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(changed.count(), 2);

    // An entry the user hid in the desktop's own settings counts as off.
    environment.write(path, "[Desktop Entry]\nExec=orlavo\nHidden=true\n");
    QVERIFY(!entry.isEnabled());
    QVERIFY(entry.lastError().isEmpty());
}

void tst_AutostartEntry::aChangeThatCannotBeMadeKeepsTheState() {
    TemporaryEnvironment environment;
    // The autostart folder's place is taken by a file.
    environment.write("config/autostart", "not a folder");
    AutostartEntry entry(environment.filePath("config/autostart/orlavo.desktop"), "/usr/bin/orlavo");
    QSignalSpy changed(&entry, &AutostartEntry::enabledChanged);
    entry.setEnabled(true);
    QVERIFY(!entry.isEnabled());
    QVERIFY(!entry.lastError().isEmpty());
    // The switch that flipped is told to flip back.
    QCOMPARE(changed.count(), 1);
    QCOMPARE(TemporaryEnvironment::read(environment.filePath("config/autostart")),
             QByteArray("not a folder"));
}

QTEST_GUILESS_MAIN(tst_AutostartEntry)
#include "tst_AutostartEntry.moc"
