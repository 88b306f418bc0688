#include "DictationRig.h"
#include "common/ErrorDomain.h"
#include "dictation/ErrorMessages.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

using RigStep = std::function<void(DictationRig&)>;
Q_DECLARE_METATYPE(RigStep)

namespace {

const QString shownRecording = QStringLiteral("show Recording recording");
const QString transcribing = QStringLiteral("update Transcribing\u2026 transcribing");
const QStringList done{QStringLiteral("update Done done"), QStringLiteral("hide 0.6")};

QStringList failed(const QString& message) {
    return {QStringLiteral("update %1 error").arg(message), QStringLiteral("hide 1.5")};
}

void holdAndWait(DictationRig& rig) {
    rig.hold();
    rig.scheduler.advance(5);
}

Result<PTTEditResponse> edited(const QString& text) {
    return PTTEditResponse{text, QStringLiteral("edit")};
}

qint64 statsRows(DictationRig& rig) {
    return rig.database.fetchStatsSummary().totalSessions;
}

} // namespace

class tst_PTTAppState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dictationScenarios_data();
    void dictationScenarios();
    void retryRule_data();
    void retryRule();
    void signalsWhileTheMicrophoneOpens_data();
    void signalsWhileTheMicrophoneOpens();
    void signalsWhileProcessingLeaveThePipelineAlone();
    void failedStartThenReleaseDoesNothing();
    void backtrack_data();
    void backtrack();
    void autoSend_data();
    void autoSend();
    void promptCondensingKeepsItsSavings();
    void serverReachableComesBackAfterAnAnswer();
    void contextualErrorMessages_data();
    void contextualErrorMessages();
    void quittingWhileWaiting_data();
    void quittingWhileWaiting();
};

void tst_PTTAppState::dictationScenarios_data() {
    QTest::addColumn<RigStep>("arrange");
    QTest::addColumn<RigStep>("act");
    QTest::addColumn<QStringList>("overlay");
    QTest::addColumn<QStringList>("pasted");
    QTest::addColumn<QString>("eventTranscript"); // empty: absent
    QTest::addColumn<QString>("eventError");      // empty: absent
    QTest::addColumn<int>("uploads");
    QTest::addColumn<int>("rows");

    const RigStep nothing = [](DictationRig&) {};
    const RigStep hold = holdAndWait;
    const QString hello = QStringLiteral("hello world");

    QTest::newRow("hold pastes") << nothing << hold << QStringList{shownRecording, transcribing} + done
                                 << QStringList{hello} << hello << QString() << 1 << 1;
    QTest::newRow("199 ms is too short")
        << RigStep([](DictationRig& rig) { rig.capture.nextRecording.durationMs = 199; }) << hold
        << QStringList{shownRecording, transcribing} + failed(QStringLiteral("No speech detected"))
        << QStringList() << QString() << QStringLiteral("Recording too short") << 0 << 0;
    QTest::newRow("200 ms is long enough")
        << RigStep([](DictationRig& rig) { rig.capture.nextRecording.durationMs = 200; }) << hold
        << QStringList{shownRecording, transcribing} + done << QStringList{hello} << hello << QString() << 1
        << 1;
    QTest::newRow("silence") << RigStep([](DictationRig& rig) { rig.capture.voiceActivity = false; }) << hold
                             << QStringList{shownRecording, transcribing} +
                                    failed(QStringLiteral("No speech detected"))
                             << QStringList() << QString() << QStringLiteral("No speech detected") << 0 << 0;
    QTest::newRow("blank transcript") << RigStep([](DictationRig& rig) {
        rig.backend.defaultTranscription = FakeBackendClient::transcript(QStringLiteral(" \n\t "));
    }) << hold << QStringList{shownRecording, transcribing} + failed(QStringLiteral("No speech detected"))
                                      << QStringList() << QString() << QStringLiteral("No speech detected")
                                      << 1 << 0;
    QTest::newRow("escape cancels") << nothing << RigStep([](DictationRig& rig) {
        rig.send(HotkeySignal::keyDown);
        rig.scheduler.advance(1);
        rig.send(HotkeySignal::cancel);
        rig.scheduler.advance(5);
    }) << QStringList{shownRecording, QStringLiteral("update Cancelled error"), QStringLiteral("hide 0.8")}
                                    << QStringList() << QString() << QStringLiteral("Cancelled") << 0 << 0;
    QTest::newRow("double tap latches")
        << nothing << RigStep([](DictationRig& rig) {
               rig.send(HotkeySignal::keyDown);
               rig.scheduler.advance(0.05);
               rig.send(HotkeySignal::cancel);
               rig.scheduler.advance(0.2);
               rig.send(HotkeySignal::toggleOn);
               rig.scheduler.advance(3);
               rig.send(HotkeySignal::toggleOff);
               rig.scheduler.advance(5);
           })
        << QStringList{shownRecording, QStringLiteral("update Cancelled error"), QStringLiteral("hide 0.8"),
                       QStringLiteral("show Toggle recording recording"), transcribing} +
               done
        << QStringList{hello} << hello << QString() << 1 << 1;
    QTest::newRow("command on the selection")
        << RigStep([](DictationRig& rig) {
               rig.paste.selection = QStringLiteral("teh quick fox");
               rig.backend.defaultTranscription =
                   FakeBackendClient::transcript(QStringLiteral("fix the typo"));
               rig.backend.editHandler = [](const PTTEditRequest&) {
                   return edited(QStringLiteral(" the quick fox\n"));
               };
           })
        << hold
        << QStringList{QStringLiteral("show Command Mode commandMode"), transcribing,
                       QStringLiteral("update Editing\u2026 transcribing")} +
               done
        << QStringList{QStringLiteral("the quick fox")} << QStringLiteral("the quick fox") << QString() << 1
        << 1;
    QTest::newRow("blank command answer")
        << RigStep([](DictationRig& rig) {
               rig.paste.selection = QStringLiteral("keep me");
               rig.backend.editHandler = [](const PTTEditRequest&) { return edited(QStringLiteral("  ")); };
           })
        << hold
        << QStringList{QStringLiteral("show Command Mode commandMode"), transcribing,
                       QStringLiteral("update Editing\u2026 transcribing")} +
               failed(QStringLiteral("Try again"))
        << QStringList() << QString() << QStringLiteral("Command mode returned empty text") << 1 << 0;
    QTest::newRow("snippet") << RigStep([](DictationRig& rig) {
        rig.backend.defaultTranscription = FakeBackendClient::transcript(QStringLiteral("My address."));
        rig.text.snippets.insert(QStringLiteral("my address"), QStringLiteral("1 Main St"));
    }) << hold << QStringList{shownRecording, transcribing} + done
                             << QStringList{QStringLiteral("1 Main St")} << QStringLiteral("1 Main St")
                             << QString() << 1 << 0;
    QTest::newRow("local clean-up") << RigStep([](DictationRig& rig) {
        PTTSettings settings = rig.settingsStore.load();
        settings.polishLevel = PolishLevel::off;
        rig.settingsStore.save(settings);
        rig.backend.defaultTranscription =
            FakeBackendClient::transcript(QStringLiteral("um ship orlavo period"));
        rig.text.dictionary.append({QStringLiteral("orlavo"), QStringLiteral("Orlavo")});
        rig.appContext.formatter = [](const QString& text, const std::optional<QString>& app) {
            return text + QLatin1Char('@') + app.value_or(QString());
        };
    }) << hold << QStringList{shownRecording, transcribing} + done
                                    << QStringList{QStringLiteral("ship Orlavo.@TextEdit")}
                                    << QStringLiteral("ship Orlavo.@TextEdit") << QString() << 1 << 1;
    QTest::newRow("polish") << RigStep([](DictationRig& rig) {
        PTTSettings settings = rig.settingsStore.load();
        settings.polishLevel = PolishLevel::light;
        rig.settingsStore.save(settings);
        rig.backend.defaultTranscription = FakeBackendClient::transcript(QStringLiteral("so we ship friday"));
        rig.backend.editHandler = [](const PTTEditRequest&) {
            return edited(QStringLiteral("We ship Friday."));
        };
    }) << hold
                            << QStringList{shownRecording, transcribing,
                                           QStringLiteral("update Polishing\u2026 transcribing")} +
                                   done
                            << QStringList{QStringLiteral("We ship Friday.")}
                            << QStringLiteral("We ship Friday.") << QString() << 1 << 1;
    QTest::newRow("polish fails, dictation goes on")
        << RigStep([](DictationRig& rig) {
               rig.backend.defaultTranscription =
                   FakeBackendClient::transcript(QStringLiteral("so we ship friday"));
               rig.backend.editHandler = [](const PTTEditRequest&) -> Result<PTTEditResponse> {
                   return FakeBackendClient::serviceError(QStringLiteral("no chat engine"));
               };
           })
        << hold
        << QStringList{shownRecording, transcribing, QStringLiteral("update Polishing\u2026 transcribing")} +
               done
        << QStringList{QStringLiteral("so we ship friday")} << QStringLiteral("so we ship friday")
        << QString() << 1 << 1;
    QTest::newRow("notes mode") << RigStep([](DictationRig& rig) {
        PTTSettings settings = rig.settingsStore.load();
        settings.noteMode = true;
        settings.polishLevel = PolishLevel::off;
        rig.settingsStore.save(settings);
    }) << hold
                                << QStringList{shownRecording, transcribing,
                                               QStringLiteral("update Note saved done"),
                                               QStringLiteral("hide 0.9")}
                                << QStringList() << hello << QStringLiteral("Saved to PTT-Notes.md (1 notes)")
                                << 1 << 1;
    QTest::newRow("notes file fails") << RigStep([](DictationRig& rig) {
        PTTSettings settings = rig.settingsStore.load();
        settings.noteMode = true;
        rig.settingsStore.save(settings);
        rig.notes.saveError = PTTError{ErrorDomain::file, 513, QStringLiteral("Permission denied")};
    }) << hold << QStringList{shownRecording, transcribing} + failed(QStringLiteral("Try again"))
                                      << QStringList() << QString() << QStringLiteral("Permission denied")
                                      << 1 << 0;
    QTest::newRow("paste fails") << RigStep([](DictationRig& rig) {
        rig.paste.pasteError = PTTError{ErrorDomain::platform, 1, QStringLiteral("Keys cannot be posted")};
    }) << hold << QStringList{shownRecording, transcribing} + failed(QStringLiteral("Try again"))
                                 << QStringList() << QString() << QStringLiteral("Keys cannot be posted") << 1
                                 << 0;
    QTest::newRow("401") << RigStep([](DictationRig& rig) {
        rig.backend.defaultTranscription = FakeBackendClient::serviceError(QStringLiteral("401: bad token"));
    }) << hold
                         << QStringList{shownRecording, transcribing} +
                                failed(QStringLiteral("Account issue \u2014 check Settings"))
                         << QStringList() << QString() << QStringLiteral("401: bad token") << 1 << 0;
    QTest::newRow("503 then success") << RigStep([](DictationRig& rig) {
        rig.backend.transcriptions.push_back(FakeBackendClient::serviceError(QStringLiteral("503 busy")));
    }) << hold
                                      << QStringList{shownRecording, transcribing,
                                                     QStringLiteral(
                                                         "update Reconnecting\u2026 transcribing")} +
                                             done
                                      << QStringList{hello} << hello << QString() << 2 << 1;
    QTest::newRow("503 twice") << RigStep([](DictationRig& rig) {
        rig.backend.transcriptions.push_back(FakeBackendClient::serviceError(QStringLiteral("503 busy")));
        rig.backend.transcriptions.push_back(
            FakeBackendClient::serviceError(QStringLiteral("503 still busy")));
    }) << hold
                               << QStringList{shownRecording, transcribing,
                                              QStringLiteral("update Reconnecting\u2026 transcribing")} +
                                      failed(QStringLiteral("Try again"))
                               << QStringList() << QString() << QStringLiteral("503 still busy") << 2 << 0;
    QTest::newRow("time-out") << RigStep([](DictationRig& rig) {
        rig.backend.defaultTranscription =
            FakeBackendClient::transportError(-1001, QStringLiteral("The request timed out."));
    }) << hold
                              << QStringList{shownRecording, transcribing,
                                             QStringLiteral("update Reconnecting\u2026 transcribing")} +
                                     failed(QStringLiteral("Server slow \u2014 try again"))
                              << QStringList() << QString() << QStringLiteral("The request timed out.") << 2
                              << 0;
    QTest::newRow("no connection") << RigStep([](DictationRig& rig) {
        rig.backend.defaultTranscription =
            FakeBackendClient::transportError(-1004, QStringLiteral("Could not connect to the server."));
    }) << hold
                                   << QStringList{shownRecording, transcribing,
                                                  QStringLiteral("update Reconnecting\u2026 transcribing")} +
                                          failed(QStringLiteral("No connection"))
                                   << QStringList() << QString()
                                   << QStringLiteral("Could not connect to the server.") << 2 << 0;
}

void tst_PTTAppState::dictationScenarios() {
    QFETCH(RigStep, arrange);
    QFETCH(RigStep, act);
    QFETCH(QStringList, overlay);
    QFETCH(QStringList, pasted);
    QFETCH(QString, eventTranscript);
    QFETCH(QString, eventError);
    QFETCH(int, uploads);
    QFETCH(int, rows);

    DictationRig rig;
    rig.settingsStore.markSetupCompleted();
    arrange(rig);
    PTTAppState& state = rig.start();
    rig.scheduler.advance(1); // the monitor starts
    rig.overlay.calls.clear();

    act(rig);

    QCOMPARE(rig.overlay.calls, overlay);
    QCOMPARE(rig.paste.pasted, pasted);
    QCOMPARE(rig.backend.uploads.size(), uploads);
    QCOMPARE(statsRows(rig), qint64(rows));
    QVERIFY(state.lastEvent());
    const PTTEvent& event = *state.lastEvent();
    QCOMPARE(event.state, PTTState::idle);
    QCOMPARE(event.transcript.value_or(QString()), eventTranscript);
    QCOMPARE(event.error.value_or(QString()), eventError);
    QVERIFY(!state.isProcessing());
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::idle);
    if (uploads > 0) {
        QCOMPARE(rig.backend.uploads.front().filename, QStringLiteral("ptt.wav"));
        QCOMPARE(rig.backend.uploads.front().mimeType, QStringLiteral("audio/wav"));
        QCOMPARE(rig.backend.uploads.front().audioData, rig.capture.nextRecording.wavData);
    }
    // Only a delivered dictation carries its length; a failure keeps the front application.
    QCOMPARE(event.durationMs.has_value(), !eventTranscript.isEmpty());
    if (eventError != QLatin1String("Cancelled")) {
        QCOMPARE(event.sourceApp, std::optional<QString>(QStringLiteral("TextEdit")));
    }
}

void tst_PTTAppState::retryRule_data() {
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("uploads");

    QTest::newRow("transport") << ErrorDomain::network << QStringLiteral("The network connection was lost.")
                               << 2;
    QTest::newRow("502") << ErrorDomain::backend << QStringLiteral("502 bad gateway") << 2;
    QTest::newRow("429") << ErrorDomain::backend << QStringLiteral("429 slow down") << 2;
    QTest::newRow("timeout") << ErrorDomain::backend << QStringLiteral("upstream timeout") << 2;
    QTest::newRow("Timeout is another word") << ErrorDomain::backend << QStringLiteral("Timeout") << 1;
    QTest::newRow("401") << ErrorDomain::backend << QStringLiteral("401 unauthorized") << 1;
    QTest::newRow("bad answer") << ErrorDomain::json << QStringLiteral("isn’t in the correct format") << 1;
}

void tst_PTTAppState::retryRule() {
    QFETCH(QString, domain);
    QFETCH(QString, description);
    QFETCH(int, uploads);

    DictationRig rig;
    rig.backend.defaultTranscription = PTTError{domain, 1, description};
    rig.start();
    rig.send(HotkeySignal::keyDown);
    rig.scheduler.advance(1);
    rig.send(HotkeySignal::keyUp);
    QCOMPARE(rig.backend.uploads.size(), 1);
    rig.scheduler.advance(0.79);
    QCOMPARE(rig.backend.uploads.size(), 1);
    rig.scheduler.advance(0.02);
    QCOMPARE(rig.backend.uploads.size(), uploads);
    rig.scheduler.advance(5);
    QCOMPARE(rig.backend.uploads.size(), uploads);
    QCOMPARE(rig.controller().lastEvent()->error, std::optional<QString>(description));
}

void tst_PTTAppState::signalsWhileTheMicrophoneOpens_data() {
    QTest::addColumn<RigStep>("act");
    QTest::addColumn<QStringList>("overlay");
    QTest::addColumn<QStringList>("pasted");
    QTest::addColumn<QString>("eventError");
    QTest::addColumn<int>("cancels");

    QTest::newRow("quick tap: cancel waits for the start") << RigStep([](DictationRig& rig) {
        rig.send(HotkeySignal::keyDown);
        rig.scheduler.advance(0.1);
        rig.send(HotkeySignal::cancel);
    }) << QStringList{QStringLiteral("update Cancelled error"), QStringLiteral("hide 0.8")}
                                                           << QStringList() << QStringLiteral("Cancelled")
                                                           << 1;
    QTest::newRow("short hold: release waits for the start") << RigStep([](DictationRig& rig) {
        rig.capture.nextRecording.durationMs = 40;
        rig.send(HotkeySignal::keyDown);
        rig.scheduler.advance(0.2);
        rig.send(HotkeySignal::keyUp);
    }) << QStringList{shownRecording, transcribing} + failed(QStringLiteral("No speech detected"))
                                                             << QStringList()
                                                             << QStringLiteral("Recording too short") << 0;
    QTest::newRow("double tap: the latch takes the start over") << RigStep([](DictationRig& rig) {
        rig.send(HotkeySignal::keyDown);
        rig.scheduler.advance(0.05);
        rig.send(HotkeySignal::cancel);
        rig.scheduler.advance(0.1);
        rig.send(HotkeySignal::toggleOn);
        rig.scheduler.advance(3);
        QCOMPARE(rig.capture.state(), IAudioCaptureService::State::capturing);
        rig.send(HotkeySignal::toggleOff);
    }) << QStringList{QStringLiteral("show Toggle recording recording"), transcribing} + done
                                                                << QStringList{QStringLiteral("hello world")}
                                                                << QString() << 0;
    QTest::newRow("a second press is refused while starting") << RigStep([](DictationRig& rig) {
        rig.send(HotkeySignal::keyDown);
        rig.scheduler.advance(0.1);
        rig.send(HotkeySignal::keyDown);
        rig.send(HotkeySignal::toggleOn);
        rig.scheduler.advance(2);
        rig.send(HotkeySignal::keyUp);
    }) << QStringList{shownRecording, transcribing} + done << QStringList{QStringLiteral("hello world")}
                                                              << QString() << 0;
}

void tst_PTTAppState::signalsWhileTheMicrophoneOpens() {
    QFETCH(RigStep, act);
    QFETCH(QStringList, overlay);
    QFETCH(QStringList, pasted);
    QFETCH(QString, eventError);
    QFETCH(int, cancels);

    DictationRig rig;
    rig.capture.startDelay = 0.3;
    rig.start();
    act(rig);
    rig.scheduler.advance(5);

    QCOMPARE(rig.overlay.calls, overlay);
    QCOMPARE(rig.paste.pasted, pasted);
    QCOMPARE(rig.capture.startCount, 1);
    QCOMPARE(rig.paste.selectionReads, 1);
    QCOMPARE(rig.capture.cancelCount, cancels);
    // The microphone is never left open once the gesture is over.
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::idle);
    QCOMPARE(rig.controller().lastEvent()->error.value_or(QString()), eventError);
    QVERIFY(!rig.controller().isProcessing());
}

void tst_PTTAppState::signalsWhileProcessingLeaveThePipelineAlone() {
    DictationRig rig;
    rig.paste.selection = QStringLiteral("selected words");
    rig.backend.latency = 2;
    PTTAppState& state = rig.start();
    rig.scheduler.advance(3); // the launch health check
    rig.hold();
    QVERIFY(state.isProcessing());
    rig.overlay.calls.clear();
    rig.paste.selection.reset();

    // A double tap and a hold while the first dictation is still with the service.
    for (const HotkeySignal signal : {HotkeySignal::keyDown, HotkeySignal::cancel, HotkeySignal::toggleOn,
                                      HotkeySignal::keyUp, HotkeySignal::toggleOff}) {
        rig.send(signal);
        rig.scheduler.advance(0.1);
    }
    QVERIFY(state.isProcessing());
    QCOMPARE(rig.overlay.calls, QStringList());
    QCOMPARE(rig.capture.startCount, 1);
    QCOMPARE(rig.capture.cancelCount, 0);
    QCOMPARE(state.lastEvent()->state, PTTState::transcribing);

    rig.scheduler.advance(10);
    QCOMPARE(rig.paste.pasted, QStringList{QStringLiteral("hello world")});
    QCOMPARE(rig.backend.edits.size(), 1);
    QCOMPARE(rig.backend.edits.front().originalText,
             std::optional<QString>(QStringLiteral("selected words")));
    QCOMPARE(rig.overlay.calls,
             QStringList({QStringLiteral("update Editing\u2026 transcribing"),
                          QStringLiteral("update Done done"), QStringLiteral("hide 0.6")}));
    QVERIFY(!state.isProcessing());

    // Everything is back to normal for the next dictation.
    rig.hold();
    rig.scheduler.advance(10);
    QCOMPARE(rig.paste.pasted.size(), 2);
    QCOMPARE(rig.backend.edits.size(), 1); // no stale selection: not a command
    QCOMPARE(rig.overlay.calls.at(3), shownRecording);
}

void tst_PTTAppState::failedStartThenReleaseDoesNothing() {
    DictationRig rig;
    rig.capture.startError = PTTError{ErrorDomain::audio, 1, QStringLiteral("No input device")};
    rig.paste.selection = QStringLiteral("text");
    PTTAppState& state = rig.start();
    rig.scheduler.advance(1);
    QSignalSpy events(&state, &PTTAppState::lastEventChanged);

    rig.send(HotkeySignal::keyDown);
    QCOMPARE(rig.overlay.calls,
             QStringList({QStringLiteral("update Mic denied error"), QStringLiteral("hide 1.2")}));
    QCOMPARE(state.lastEvent()->error, std::optional<QString>(QStringLiteral("No input device")));
    QVERIFY(rig.backend.warmUps.isEmpty());

    rig.send(HotkeySignal::keyUp);
    rig.scheduler.advance(5);
    QCOMPARE(rig.overlay.calls.size(), 2);
    QCOMPARE(events.size(), 1);
}

void tst_PTTAppState::backtrack_data() {
    QTest::addColumn<double>("delay");
    QTest::addColumn<QString>("firstApp");
    QTest::addColumn<QString>("secondApp");
    QTest::addColumn<QString>("secondText");
    QTest::addColumn<RigStep>("between");
    QTest::addColumn<bool>("requested");
    QTest::addColumn<bool>("replaced");

    const RigStep nothing = [](DictationRig&) {};
    const QString slack = QStringLiteral("Slack");
    const QString correction = QStringLiteral("Actually, meet at six");

    QTest::newRow("same app, 30 s") << 30.0 << slack << slack << correction << nothing << true << true;
    QTest::newRow("exactly 60 s") << 60.0 << slack << slack << correction << nothing << true << true;
    QTest::newRow("61 s") << 61.0 << slack << slack << correction << nothing << false << false;
    QTest::newRow("Spanish, lower case")
        << 5.0 << slack << slack << QStringLiteral("o mejor a las seis") << nothing << true << true;
    QTest::newRow("correction word second")
        << 5.0 << slack << slack << QStringLiteral("I actually meant six") << nothing << false << false;
    QTest::newRow("another application")
        << 5.0 << slack << QStringLiteral("Mail") << correction << nothing << false << false;
    QTest::newRow("notes mode") << 5.0 << slack << slack << correction << RigStep([](DictationRig& rig) {
        PTTSettings settings = rig.controller().settings();
        settings.noteMode = true;
        rig.controller().setSettings(settings);
    }) << false << false;
    QTest::newRow("selection cannot be made")
        << 5.0 << slack << slack << correction
        << RigStep([](DictationRig& rig) { rig.paste.selectionFails = true; }) << true << false;
}

void tst_PTTAppState::backtrack() {
    QFETCH(double, delay);
    QFETCH(QString, firstApp);
    QFETCH(QString, secondApp);
    QFETCH(QString, secondText);
    QFETCH(RigStep, between);
    QFETCH(bool, requested);
    QFETCH(bool, replaced);

    DictationRig rig;
    PTTSettings settings = PTTSettings::defaults();
    settings.polishLevel = PolishLevel::off;
    rig.settingsStore.save(settings);
    rig.backend.editHandler = [](const PTTEditRequest& request) {
        return edited(
            request.originalText.value_or(QString()).replace(QStringLiteral("five"), QStringLiteral("six")));
    };
    rig.start();

    rig.frontApplication.name = firstApp;
    rig.backend.defaultTranscription = FakeBackendClient::transcript(QStringLiteral("Meet at five 👍🏽"));
    rig.hold(1);
    rig.scheduler.advance(delay - 1);
    between(rig);
    rig.frontApplication.name = secondApp;
    rig.backend.defaultTranscription = FakeBackendClient::transcript(secondText);
    rig.log.clear();
    rig.hold(1);
    rig.scheduler.advance(5);

    QCOMPARE(rig.backend.edits.size(), requested ? 1 : 0);
    if (requested) {
        const PTTEditRequest& request = rig.backend.edits.front();
        QCOMPARE(request.mode, PTTEditMode::backtrack);
        QCOMPARE(request.inputText, secondText);
        QCOMPARE(request.originalText, std::optional<QString>(QStringLiteral("Meet at five 👍🏽")));
        QCOMPARE(request.sourceApp, std::optional<QString>(secondApp));
    }
    if (replaced) {
        // The emoji with its skin tone is one character to select over.
        QCOMPARE(rig.log.matching(QStringLiteral("select:")), QStringList{QStringLiteral("select:14")});
        QCOMPARE(rig.paste.pasted.back(), QStringLiteral("Meet at six 👍🏽"));
        QCOMPARE(rig.database.fetchStatsSummary().backtracks, qint64(1));
    } else {
        const bool notes = rig.controller().settings().noteMode;
        QCOMPARE(notes ? rig.notes.saved.back() : rig.paste.pasted.back(), secondText);
        QCOMPARE(rig.database.fetchStatsSummary().backtracks, qint64(0));
    }
}

void tst_PTTAppState::autoSend_data() {
    QTest::addColumn<bool>("autoSend");
    QTest::addColumn<QString>("appAtRelease");
    QTest::addColumn<QString>("appAtPaste");
    QTest::addColumn<bool>("returnPressed");

    const QString slack = QStringLiteral("Slack");
    QTest::newRow("chat still in front") << true << slack << slack << true;
    QTest::newRow("switched to a terminal") << true << slack << QStringLiteral("Terminal") << false;
    QTest::newRow("not a chat") << true << QStringLiteral("Terminal") << QStringLiteral("Terminal") << false;
    QTest::newRow("auto-send off") << false << slack << slack << false;
}

void tst_PTTAppState::autoSend() {
    QFETCH(bool, autoSend);
    QFETCH(QString, appAtRelease);
    QFETCH(QString, appAtPaste);
    QFETCH(bool, returnPressed);

    DictationRig rig;
    PTTSettings settings = PTTSettings::defaults();
    settings.autoSend = autoSend;
    settings.polishLevel = PolishLevel::off;
    rig.settingsStore.save(settings);
    rig.appContext.types.insert(QStringLiteral("Slack"), AppContextType::chat);
    rig.backend.latency = 1;
    rig.start();
    rig.scheduler.advance(2);
    rig.frontApplication.name = appAtRelease;
    rig.hold();
    rig.frontApplication.name = appAtPaste;
    rig.log.clear();
    rig.scheduler.advance(1);

    QStringList expected{QStringLiteral("paste:hello world"), QStringLiteral("sound:Tink")};
    if (returnPressed) {
        QCOMPARE(rig.log.matching(QStringLiteral("key:")), QStringList());
        rig.scheduler.advance(0.049);
        QCOMPARE(rig.log.matching(QStringLiteral("key:")), QStringList());
        expected.append(QStringLiteral("key:36:0"));
    }
    rig.scheduler.advance(1);
    QStringList observed = rig.log.matching(QStringLiteral("paste:")) +
                           rig.log.matching(QStringLiteral("sound:")) +
                           rig.log.matching(QStringLiteral("key:"));
    QCOMPARE(observed, expected);
    const qsizetype pasteAt = rig.log.entries().indexOf(QStringLiteral("paste:hello world"));
    QVERIFY(pasteAt < rig.log.entries().indexOf(QStringLiteral("sound:Tink")));
    QCOMPARE(rig.controller().lastEvent()->sourceApp, std::optional<QString>(appAtRelease));
}

void tst_PTTAppState::promptCondensingKeepsItsSavings() {
    DictationRig rig;
    PTTSettings settings = PTTSettings::defaults();
    settings.polishLevel = PolishLevel::off;
    settings.promptPruningEnabled = true;
    settings.promptPruneLevel = PromptPruneLevel::max;
    settings.promptPruneTarget = PromptPruneTarget::claude;
    rig.settingsStore.save(settings);
    QString answer = QStringLiteral("Summarise thread.");
    rig.backend.editHandler = [&answer](const PTTEditRequest&) { return edited(answer); };
    rig.start();

    rig.backend.defaultTranscription = FakeBackendClient::transcript(QStringLiteral("three words only"));
    holdAndWait(rig);
    QVERIFY(rig.backend.edits.isEmpty());

    const QString prompt = QStringLiteral("please kindly summarise this thread");
    rig.backend.defaultTranscription = FakeBackendClient::transcript(prompt);
    rig.overlay.calls.clear();
    holdAndWait(rig);
    QCOMPARE(rig.backend.edits.size(), 1);
    const PTTEditRequest& request = rig.backend.edits.front();
    QCOMPARE(request.mode, PTTEditMode::promptPrune);
    QCOMPARE(request.inputText, prompt);
    QCOMPARE(request.pruneLevel, std::optional<QString>(QStringLiteral("max")));
    QCOMPARE(request.targetModel, std::optional<QString>(QStringLiteral("claude")));
    QVERIFY(!request.polishLevel && !request.originalText);
    QVERIFY(rig.overlay.calls.contains(QStringLiteral("update Pruning\u2026 transcribing")));
    QCOMPARE(rig.paste.pasted.back(), answer);
    const PruningStatsSummary savings = rig.database.fetchPruningStats();
    QCOMPARE(savings, (PruningStatsSummary{1, 5, 2, prompt.size(), answer.size()}));

    answer = QStringLiteral(" \n");
    holdAndWait(rig);
    QCOMPARE(rig.paste.pasted.back(), prompt);
    QCOMPARE(rig.database.fetchPruningStats().totalPruned, qint64(1));
}

void tst_PTTAppState::serverReachableComesBackAfterAnAnswer() {
    DictationRig rig;
    rig.backend.healthAnswer = FakeBackendClient::transportError(-1004, QStringLiteral("Could not connect"));
    rig.backend.defaultTranscription =
        FakeBackendClient::transportError(-1004, QStringLiteral("Could not connect"));
    PTTAppState& state = rig.start();
    rig.scheduler.runDue();
    QVERIFY(!state.serverReachable());

    rig.backend.defaultTranscription = FakeBackendClient::transcript(QStringLiteral("back online"));
    rig.hold();
    rig.scheduler.advance(5);
    QVERIFY(state.serverReachable());

    rig.backend.defaultTranscription =
        FakeBackendClient::transportError(-1004, QStringLiteral("Could not connect"));
    rig.hold();
    rig.scheduler.advance(5);
    QVERIFY(!state.serverReachable());
    // A time-out says "slow", not "offline".
    rig.backend.defaultTranscription = FakeBackendClient::transcript(QStringLiteral("fine again"));
    rig.hold();
    rig.scheduler.advance(5);
    rig.backend.defaultTranscription =
        FakeBackendClient::transportError(-1001, QStringLiteral("The request timed out."));
    rig.hold();
    rig.scheduler.advance(5);
    QVERIFY(state.serverReachable());
}

void tst_PTTAppState::contextualErrorMessages_data() {
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("unreachable");

    const QString account = QStringLiteral("Account issue \u2014 check Settings");
    QTest::newRow("Invalid, any case")
        << ErrorDomain::backend << QStringLiteral("Token INVALID") << account << false;
    QTest::newRow("expired") << ErrorDomain::backend << QStringLiteral("key expired") << account << false;
    QTest::newRow("transport, account words first")
        << ErrorDomain::network << QStringLiteral("invalid certificate, timed out") << account << false;
    QTest::newRow("transport") << ErrorDomain::network << QStringLiteral("Could not connect to the server.")
                               << QStringLiteral("No connection") << true;
}

void tst_PTTAppState::contextualErrorMessages() {
    QFETCH(QString, domain);
    QFETCH(QString, description);
    QFETCH(QString, message);
    QFETCH(bool, unreachable);

    const ContextualErrorMessage result =
        ErrorMessages::contextualErrorMessage(PTTError{domain, 1, description});
    QCOMPARE(result.message, message);
    QCOMPARE(result.serverUnreachable, unreachable);
}

void tst_PTTAppState::quittingWhileWaiting_data() {
    QTest::addColumn<RigStep>("until");

    QTest::newRow("during the start-up pause") << RigStep([](DictationRig&) {});
    QTest::newRow("while the microphone opens") << RigStep([](DictationRig& rig) {
        rig.capture.startDelay = 1;
        rig.scheduler.advance(1);
        rig.send(HotkeySignal::keyDown);
    });
    QTest::newRow("while the service transcribes") << RigStep([](DictationRig& rig) {
        rig.backend.latency = 3;
        rig.scheduler.advance(4);
        rig.hold();
    });
    QTest::newRow("in the retry pause") << RigStep([](DictationRig& rig) {
        rig.scheduler.advance(1);
        rig.backend.defaultTranscription = FakeBackendClient::serviceError(QStringLiteral("503"));
        rig.hold();
    });
    QTest::newRow("before the Return key") << RigStep([](DictationRig& rig) {
        PTTSettings settings = rig.controller().settings();
        settings.autoSend = true;
        rig.controller().setSettings(settings);
        rig.appContext.types.insert(QStringLiteral("TextEdit"), AppContextType::chat);
        rig.scheduler.advance(1);
        rig.hold();
    });
}

void tst_PTTAppState::quittingWhileWaiting() {
    QFETCH(RigStep, until);

    DictationRig rig;
    rig.settingsStore.markSetupCompleted();
    rig.start();
    until(rig);
    const qsizetype overlayCalls = rig.overlay.calls.size();
    const qsizetype pastes = rig.paste.pasted.size();
    const int monitorStarts = rig.monitor.startCount;
    rig.quit();

    rig.scheduler.advance(30);
    QCOMPARE(rig.overlay.calls.size(), overlayCalls);
    QCOMPARE(rig.paste.pasted.size(), pastes);
    QVERIFY(rig.paste.keystrokes.isEmpty());
    QCOMPARE(rig.monitor.startCount, monitorStarts);
    QVERIFY(!rig.monitor.hasHandler());
    QVERIFY(!rig.capture.hasLevelHandler());
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::idle);
}

QTEST_GUILESS_MAIN(tst_PTTAppState)
#include "tst_PTTAppState.moc"
