#include "TemporaryEnvironment.h"
#include "platform/linux/desktop/DesktopEntryIndex.h"

#include <QTest>

class tst_DesktopEntryIndex : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parsesTheMainGroupOfApplications_data();
    void parsesTheMainGroupOfApplications();
    void findsApplicationsByTheirWindows();
};

void tst_DesktopEntryIndex::parsesTheMainGroupOfApplications_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("name"); // empty: not an application entry
    QTest::addColumn<QString>("wmClass");
    QTest::addColumn<bool>("terminal");

    QTest::newRow("plain") << QByteArray("[Desktop Entry]\nType=Application\nName=Thunderbird Mail\n"
                                         "StartupWMClass=thunderbird\nCategories=Network;Email;\n")
                           << "Thunderbird Mail"
                           << "thunderbird" << false;
    QTest::newRow("localised names, comments, escapes, other groups")
        << QByteArray("# a comment\n[Desktop Entry]\nName[de]=Terminal auf Deutsch\nName = Console\\sTwo \n"
                      "Type=Application\nCategories=GTK;System;TerminalEmulator;\n"
                      "[Desktop Action new-window]\nName=New Window\nStartupWMClass=wrong\n")
        << "Console Two"
        << "" << true;
    QTest::newRow("hidden by the user")
        << QByteArray("[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n") << ""
        << "" << false;
    QTest::newRow("a link, not an application") << QByteArray("[Desktop Entry]\nType=Link\nName=Docs\n") << ""
                                                << "" << false;
    QTest::newRow("no main group") << QByteArray("Type=Application\nName=Loose\n") << ""
                                   << "" << false;
    QTest::newRow("binary junk") << QByteArray("\x00\xff[Desktop Entry\n=\n==\n", 22) << ""
                                 << "" << false;
}

void tst_DesktopEntryIndex::parsesTheMainGroupOfApplications() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, name);
    QFETCH(QString, wmClass);
    QFETCH(bool, terminal);
    const std::optional<DesktopEntry> entry = DesktopEntry::parse(contents, QStringLiteral("id"));
    QCOMPARE(entry.has_value(), !name.isEmpty());
    if (entry) {
        QCOMPARE(entry->name, name);
        QCOMPARE(entry->startupWmClass, wmClass);
        QCOMPARE(entry->isTerminalEmulator(), terminal);
    }
}

void tst_DesktopEntryIndex::findsApplicationsByTheirWindows() {
    const TemporaryEnvironment folders;
    const auto write = [&](const char* name, const QByteArray& keys) {
        folders.write(QLatin1String(name), "[Desktop Entry]\nType=Application\n" + keys);
    };
    write("home/code.desktop", "Name=My Own Code\n");
    write("system/code.desktop", "Name=Visual Studio Code\nStartupWMClass=Code\n");
    write("system/org.gnome.Terminal.desktop", "Name=Terminal\nCategories=TerminalEmulator;\n");
    write("system/kde/konsole.desktop", "Name=Konsole\n");
    write("system/slack.desktop", "Name=Slack\nStartupWMClass=Slack\n");
    folders.write(QStringLiteral("system/broken.desktop"), "not a desktop file");
    const DesktopEntryIndex index({folders.filePath(QStringLiteral("home")),
                                   folders.filePath(QStringLiteral("system")),
                                   QStringLiteral("/nonexistent/applications")});
    QCOMPARE(index.size(), std::size_t(4));

    const auto nameOf = [&](const char* windowClass, const char* instance) {
        const DesktopEntry* entry = index.find(QLatin1String(windowClass), QLatin1String(instance));
        return entry ? entry->name : QStringLiteral("(none)");
    };
    // The user's own file hides the system's one of the same id, and with it its window class.
    QCOMPARE(nameOf("Code", "code"), QStringLiteral("My Own Code"));
    QCOMPARE(nameOf("Gnome-terminal", "terminal"), QStringLiteral("Terminal"));
    QCOMPARE(nameOf("konsole", "konsole"), QStringLiteral("(none)"));
    QCOMPARE(nameOf("KDE-KONSOLE", ""), QStringLiteral("Konsole"));
    QCOMPARE(nameOf("slack", "whatever"), QStringLiteral("Slack"));
    QCOMPARE(nameOf("", ""), QStringLiteral("(none)"));
}

QTEST_GUILESS_MAIN(tst_DesktopEntryIndex)
#include "tst_DesktopEntryIndex.moc"
