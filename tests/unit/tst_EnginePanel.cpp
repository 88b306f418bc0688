#include "FakeBackendClient.h"
#include "TemporaryEnvironment.h"
#include "VirtualScheduler.h"
#include "core/common/ErrorDomain.h"
#include "ui/settings/EnginePanel.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray handWritten = R"({"colour": "blue", "engine": "local"})";

struct PanelRig {
    explicit PanelRig(const QByteArray& file = handWritten, QString address = u"http://127.0.0.1:27321"_s)
        : path(home.write(u"server.json"_s, file))
        , panel({.backend = backend, .serviceAddress = [address] { return address; }, .configFile = path}) {}

    TemporaryEnvironment home;
    VirtualScheduler scheduler;
    FakeBackendClient backend{scheduler};
    QString path;
    EnginePanel panel;
};

} // namespace

// The recogniser choice of the settings window: what it refuses, what it writes, where the key goes.
class tst_EnginePanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void validation_data();
    void validation();
    void keyStaysWithItsService();
};

void tst_EnginePanel::validation_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("problem"); // empty: saved and applied

    QTest::newRow("https with a key") << " https://api.example.test/v1 "
                                      << "sk-1"
                                      << "m"
                                      << "";
    QTest::newRow("plain http to this computer with a key") << "http://127.0.0.1:8080/v1"
                                                            << "sk-1"
                                                            << "m"
                                                            << "";
    QTest::newRow("plain http elsewhere, no key") << "http://gpu.lan:8080/v1"
                                                  << ""
                                                  << "m"
                                                  << "";
    QTest::newRow("plain http elsewhere with a key") << "http://api.example.test/v1"
                                                     << "sk-1"
                                                     << "m"
                                                     << "key would travel unencrypted to api.example.test";
    QTest::newRow("not a web address") << "https://exa mple.test"
                                       << ""
                                       << "m"
                                       << "not a valid web address";
    QTest::newRow("another scheme") << "ftp://example.test"
                                    << ""
                                    << "m"
                                    << "must start with http";
    QTest::newRow("no URL") << ""
                            << ""
                            << "m"
                            << "Enter the service's URL";
    QTest::newRow("no model") << "https://api.example.test/v1"
                              << ""
                              << " "
                              << "transcription model";
    QTest::newRow("key with a line break") << "https://api.example.test/v1"
                                           << "sk\n1"
                                           << "m"
                                           << "control character";
}

void tst_EnginePanel::validation() {
    QFETCH(QString, url);
    QFETCH(QString, key);
    QFETCH(QString, model);
    QFETCH(QString, problem);
    PanelRig rig;
    rig.panel.setUseService(true);
    rig.panel.setServiceUrl(url);
    rig.panel.setKeyDraft(key);
    rig.panel.setTranscribeModel(model);
    QVERIFY2(rig.panel.problem().contains(problem), qPrintable(rig.panel.problem()));
    QCOMPARE(rig.panel.canSave(), problem.isEmpty());

    rig.panel.save();
    const QByteArray stored = TemporaryEnvironment::read(rig.path);
    // Refused: the old file is kept and the server is not asked.
    QCOMPARE(stored == handWritten, !problem.isEmpty());
    QCOMPARE(rig.backend.reloads, problem.isEmpty() ? 1 : 0);
    if (problem.isEmpty()) {
        QVERIFY2(rig.panel.status().startsWith(u"Saved. Now transcribing with"_s),
                 qPrintable(rig.panel.status()));
        QVERIFY(stored.contains(R"("colour": "blue")") && stored.contains(url.trimmed().toUtf8()));
        QCOMPARE(stored.contains("upstreamKey"), !key.isEmpty());
        QVERIFY(rig.panel.keyDraft().isEmpty() && !rig.panel.canSave());
    }
}

void tst_EnginePanel::keyStaysWithItsService() {
    PanelRig rig(R"({"engine":"openai","upstreamUrl":"https://a.example/v1","upstreamKey":"sk-a"})");
    QVERIFY(rig.panel.useService() && rig.panel.hasStoredKey() && rig.panel.keyDraft().isEmpty());

    // Another service does not receive the key saved for the first.
    rig.panel.setServiceUrl(u"https://b.example/v1"_s);
    QVERIFY(!rig.panel.hasStoredKey() && rig.panel.pending().key.isEmpty());
    // The server refuses what it reads: the reason is shown, without the key.
    rig.backend.healthAnswer = PTTError{
        ErrorDomain::backend, 1, u"not reloaded: no; still transcribing with the offline recogniser"_s, 422};
    rig.panel.save();
    QVERIFY(!TemporaryEnvironment::read(rig.path).contains("sk-a"));
    QVERIFY(rig.panel.statusIsError() &&
            rig.panel.status().contains(u"still transcribing with the offline"_s));
    QVERIFY(rig.panel.status().contains(u"key saved for a.example was removed"_s));

    // A service elsewhere is configured where it runs, not here.
    PanelRig remote(handWritten, u"https://dictation.example.org"_s);
    remote.panel.setUseService(true);
    remote.panel.setServiceUrl(u"https://api.example.test/v1"_s);
    QVERIFY(!remote.panel.available() && !remote.panel.canSave());
    QVERIFY(remote.panel.unavailableText().contains(u"dictation.example.org"_s));
}

QTEST_GUILESS_MAIN(tst_EnginePanel)
#include "tst_EnginePanel.moc"
