#include "DictationRig.h"
#include "core/common/ErrorDomain.h"

#include <QTest>

#include <functional>

using RigStep = std::function<void(DictationRig&)>;
Q_DECLARE_METATYPE(RigStep)

namespace {

using Transcription = Result<PTTTranscribeResponse>;

const QString recording = "show Recording recording";
const QString transcribing = "update Transcribing\u2026 transcribing";
const QStringList dictated{recording, transcribing};
const QStringList retried{recording, transcribing, "update Reconnecting\u2026 transcribing"};
const QStringList polished{recording, transcribing, "update Polishing\u2026 transcribing"};
const QStringList command{"show Command Mode commandMode", transcribing, "update Editing\u2026 transcribing"};
const QStringList done{"update Done done", "hide 0.6"};
const QStringList cancelled{"update Cancelled error", "hide 0.8"};
const QString hello = "hello world";

QStringList failed(const QString& message) {
    return {"update " + message + " error", "hide 1.5"};
}

Transcription said(const QString& text) {
    return FakeBackendClient::transcript(text);
}
PTTError serviceError(const QString& body) {
    return FakeBackendClient::serviceError(body);
}
PTTError transportError(int code, const QString& description) {
    return FakeBackendClient::transportError(code, description);
}
PTTEditResponse edited(const QString& text) {
    return PTTEditResponse{text, "edit"};
}

// The service answers these in turn, the last one from then on.
RigStep answers(QList<Transcription> results) {
    return [results](DictationRig& rig) {
        for (qsizetype i = 0; i + 1 < results.size(); ++i) {
            rig.backend.transcriptions.push_back(results[i]);
        }
        rig.backend.defaultTranscription = results.constLast();
    };
}
// Every edit answers `answer`.
RigStep edits(Result<PTTEditResponse> answer) {
    return [answer](DictationRig& rig) {
        rig.backend.editHandler = [answer](const PTTEditRequest&) { return answer; };
    };
}
RigStep stored(std::function<void(PTTSettings&)> change) {
    return [change](DictationRig& rig) {
        PTTSettings settings = rig.settingsStore.load();
        change(settings);
        rig.settingsStore.save(settings);
    };
}
const RigStep polishOff = stored([](PTTSettings& settings) { settings.polishLevel = PolishLevel::off; });
RigStep lasting(int ms) {
    return [ms](DictationRig& rig) { rig.capture.nextRecording.durationMs = ms; };
}
RigStep selecting(const QString& text, double answerDelay = 0) {
    return [text, answerDelay](DictationRig& rig) {
        rig.paste.selection = text;
        rig.paste.selectionDelay = answerDelay;
    };
}

// "down 0.1 cancel": each signal of the monitor, then the virtual seconds that pass after it.
RigStep gesture(const QString& script) {
    return [script](DictationRig& rig) {
        static const QHash<QString, HotkeySignal> names{{"down", HotkeySignal::keyDown},
                                                        {"up", HotkeySignal::keyUp},
                                                        {"cancel", HotkeySignal::cancel},
                                                        {"on", HotkeySignal::toggleOn},
                                                        {"off", HotkeySignal::toggleOff}};
        for (const QString& word : script.split(' ')) {
            bool isTime = false;
            const double seconds = word.toDouble(&isTime);
            QVERIFY2(isTime || names.contains(word), qPrintable(word));
            isTime ? rig.scheduler.advance(seconds) : rig.send(names.value(word));
        }
    };
}
const RigStep holdAndWait = gesture("down 1.5 up 5");

// A hold-to-talk dictation of `text`, to its end.
void dictate(DictationRig& rig, const Transcription& text) {
    rig.backend.defaultTranscription = text;
    holdAndWait(rig);
}

} // namespace

class tst_PTTAppState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dictationScenarios_data();
    void dictationScenarios();
    void signalsWhileProcessingLeaveThePipelineAlone();
    void aCommandTheServiceCannotApplyLeavesTheSelection();
    void backtrack_data();
    void backtrack();
    void autoSend_data();
    void autoSend();
    void promptCondensingKeepsItsSavings();
    void serverReachableComesBackAfterAnAnswer();
    void quittingWhileWaiting_data();
    void quittingWhileWaiting();
};

void tst_PTTAppState::dictationScenarios_data() {
    QTest::addColumn<RigStep>("arrange");
    QTest::addColumn<RigStep>("act");
    QTest::addColumn<QStringList>("overlay");
    QTest::addColumn<QString>("delivered"); // pasted or saved to notes; empty: nothing
    QTest::addColumn<QString>("error");     // of the last event; empty: none
    QTest::addColumn<int>("uploads");
    QTest::addColumn<int>("rows"); // of statistics

    const auto row = [](const char* name, QList<RigStep> arrange, const RigStep& act,
                        const QStringList& overlay, const QString& delivered, const QString& error,
                        int uploads, int rows) {
        const RigStep all = [arrange](DictationRig& rig) {
            for (const RigStep& step : arrange) {
                step(rig);
            }
        };
        QTest::newRow(name) << all << act << overlay << delivered << error << uploads << rows;
    };
    const QStringList noSpeech = dictated + failed("No speech detected");
    const RigStep notesOn = stored([](PTTSettings& settings) { settings.noteMode = true; });
    const RigStep slowMicrophone = [](DictationRig& rig) { rig.capture.startDelay = 0.3; };
    const RigStep hold = holdAndWait;
    const QString account = "Account issue \u2014 check Settings";

    row("199 ms is too short", {lasting(199)}, hold, noSpeech, "", "Recording too short", 0, 0);
    row("200 ms is pasted", {lasting(200)}, hold, dictated + done, hello, "", 1, 1);
    row("silence", {[](DictationRig& rig) { rig.capture.voiceActivity = false; }}, hold, noSpeech, "",
        "No speech detected", 0, 0);
    row("blank transcript", {answers({said(" \n\t ")})}, hold, noSpeech, "", "No speech detected", 1, 0);
    row("escape cancels", {}, gesture("down 1 cancel 5"), QStringList{recording} + cancelled, "", "Cancelled",
        0, 0);
    row("double tap latches", {}, gesture("down 0.05 cancel 0.2 on 3 off 5"),
        QStringList{recording} + cancelled + QStringList{"show Toggle recording recording", transcribing} +
            done,
        hello, "", 1, 1);
    row("command on the selection",
        {selecting("teh quick fox"), answers({said("fix the typo")}), edits(edited(" the quick fox\n"))},
        hold, command + done, "the quick fox", "", 1, 1);
    // The microphone opens at the press; the selection read then may still be on its way.
    row("a slow selection turns the recording into a command",
        {selecting("teh quick fox", 0.3), edits(edited("the quick fox"))}, gesture("down 1.5 up 5"),
        QStringList{recording, "show Command Mode commandMode", transcribing,
                    "update Editing\u2026 transcribing"} +
            done,
        "the quick fox", "", 1, 1);
    row("a selection that answers after the release is still a command",
        {selecting("teh quick fox", 3), edits(edited("the quick fox"))}, gesture("down 1.5 up 5"),
        QStringList{recording, transcribing, "update Editing\u2026 transcribing"} + done, "the quick fox", "",
        1, 1);
    row("blank command answer keeps the selection", {selecting("keep me"), edits(edited("  "))}, hold,
        command + failed("Try again"), "", "Command mode returned empty text", 1, 0);
    row("snippet",
        {answers({said("My address.")}),
         [](DictationRig& rig) { rig.text.snippets.insert("my address", "1 Main St"); }},
        hold, dictated + done, "1 Main St", "", 1, 0);
    row("local clean-up, then app formatting",
        {polishOff, answers({said("um ship orlavo period")}),
         [](DictationRig& rig) {
             rig.text.dictionary = {{"orlavo", "Orlavo"}};
             rig.appContext.formatter = [](const QString& text, const std::optional<QString>& app) {
                 return text + '@' + app.value_or(QString());
             };
         }},
        hold, dictated + done, "ship Orlavo.@TextEdit", "", 1, 1);
    // Nothing left after the clean-up is no speech: no empty paste, note or statistics row.
    const RigStep onlyFillers = [](DictationRig& rig) {
        rig.backend.defaultTranscription = said("um");
        rig.text.dictionary = {{"um", ""}};
    };
    row("only fillers", {polishOff, onlyFillers}, hold, noSpeech, "", "No speech detected", 1, 0);
    row("only fillers, notes mode", {polishOff, notesOn, onlyFillers}, hold, noSpeech, "",
        "No speech detected", 1, 0);
    row("polish", {answers({said("so we ship friday")}), edits(edited("We ship Friday."))}, hold,
        polished + done, "We ship Friday.", "", 1, 1);
    row("polish fails, dictation goes on",
        {answers({said("so we ship friday")}), edits(serviceError("no chat engine"))}, hold, polished + done,
        "so we ship friday", "", 1, 1);
    row("notes mode", {polishOff, notesOn}, hold,
        QStringList{recording, transcribing, "update Note saved done", "hide 0.9"}, hello,
        "Saved to PTT-Notes.md (1 notes)", 1, 1);
    row("notes file fails",
        {notesOn,
         [](DictationRig& rig) {
             rig.notes.saveError = PTTError{ErrorDomain::file, 513, "Permission denied"};
         }},
        hold, dictated + failed("Try again"), "", "Permission denied", 1, 0);
    row("paste fails", {[](DictationRig& rig) {
            rig.paste.pasteError = PTTError{ErrorDomain::platform, 1, "Keys cannot be posted"};
        }},
        hold, dictated + failed("Try again"), "", "Keys cannot be posted", 1, 0);
    row("401", {answers({serviceError("401: bad token")})}, hold, dictated + failed(account), "",
        "401: bad token", 1, 0);
    // Checked before the transport and the time-out, in any case: a certificate problem is not "offline".
    row("a bad certificate is an account issue",
        {answers({transportError(-1202, "INVALID certificate, timed out")})}, hold, retried + failed(account),
        "", "INVALID certificate, timed out", 2, 0);
    row("503 then success", {answers({serviceError("503 busy"), said(hello)})}, hold, retried + done, hello,
        "", 2, 1);
    row("time-out", {answers({transportError(-1001, "The request timed out.")})}, hold,
        retried + failed("Server slow \u2014 try again"), "", "The request timed out.", 2, 0);
    row("no connection", {answers({transportError(-1004, "Could not connect to the server.")})}, hold,
        retried + failed("No connection"), "", "Could not connect to the server.", 2, 0);
    // Retried: status codes and the service's word, as written.
    row("502", {answers({serviceError("502 bad gateway")})}, hold, retried + failed("Try again"), "",
        "502 bad gateway", 2, 0);
    row("timeout in the text", {answers({serviceError("upstream timeout")})}, hold,
        retried + failed("Server slow \u2014 try again"), "", "upstream timeout", 2, 0);
    row("Timeout is another word", {answers({serviceError("Timeout")})}, hold,
        dictated + failed("Server slow \u2014 try again"), "", "Timeout", 1, 0);
    row("a bad answer is not retried", {answers({PTTError{ErrorDomain::json, 1, "not in the format"}})}, hold,
        dictated + failed("Try again"), "", "not in the format", 1, 0);

    // Signals that come while the microphone opens are applied once it is open; the microphone is
    // never left on.
    row("quick tap: the cancel waits for the start", {slowMicrophone}, gesture("down 0.1 cancel 5"),
        cancelled, "", "Cancelled", 0, 0);
    row("short hold: the release waits for the start", {slowMicrophone, lasting(40)},
        gesture("down 0.2 up 5"), noSpeech, "", "Recording too short", 0, 0);
    row("double tap: the latch takes the start over", {slowMicrophone},
        gesture("down 0.05 cancel 0.1 on 3 off 5"),
        QStringList{"show Toggle recording recording", transcribing} + done, hello, "", 1, 1);
    row("a second press is refused while starting", {slowMicrophone}, gesture("down 0.1 down on 2 up 5"),
        dictated + done, hello, "", 1, 1);
    row("the microphone fails: the release does nothing",
        {slowMicrophone,
         [](DictationRig& rig) {
             rig.capture.startError = PTTError{ErrorDomain::audio, 1, "No input device"};
         }},
        gesture("down 0.5 up 5"), QStringList{"update Mic denied error", "hide 1.2"}, "", "No input device",
        0, 0);
}

void tst_PTTAppState::dictationScenarios() {
    QFETCH(RigStep, arrange);
    QFETCH(RigStep, act);
    QFETCH(QStringList, overlay);
    QFETCH(QString, delivered);
    QFETCH(QString, error);
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
    QCOMPARE(rig.paste.pasted + rig.notes.saved,
             delivered.isEmpty() ? QStringList() : QStringList{delivered});
    QCOMPARE(rig.backend.uploads.size(), uploads);
    QCOMPARE(rig.database.fetchStatsSummary().totalSessions, qint64(rows));
    const PTTEvent& event = state.lastEvent().value();
    QCOMPARE(event.state, PTTState::idle);
    QCOMPARE(event.transcript.value_or(QString()), delivered);
    QCOMPARE(event.error.value_or(QString()), error);
    QVERIFY(!state.isProcessing());
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::idle);
    for (const FakeBackendClient::Upload& upload : rig.backend.uploads) {
        QCOMPARE(QStringList({upload.filename, upload.mimeType}), QStringList({"ptt.wav", "audio/wav"}));
        QCOMPARE(upload.audioData, rig.capture.nextRecording.wavData);
    }
    // Only a delivered dictation carries its length; one that was recorded keeps the front application.
    QCOMPARE(event.durationMs.has_value(), !delivered.isEmpty());
    QCOMPARE(event.sourceApp,
             overlay.contains(transcribing) ? std::optional<QString>("TextEdit") : std::nullopt);
}

void tst_PTTAppState::signalsWhileProcessingLeaveThePipelineAlone() {
    DictationRig rig;
    rig.paste.selection = "selected words";
    rig.backend.latency = 2;
    PTTAppState& state = rig.start();
    gesture("3 down 1.5 up")(rig); // after the launch health check
    QVERIFY(state.isProcessing());
    rig.overlay.calls.clear();
    rig.paste.selection.reset();

    // A double tap and a hold while the first dictation is still with the service.
    gesture("down 0.1 cancel 0.1 on 0.1 up 0.1 off 0.1")(rig);
    QVERIFY(state.isProcessing());
    QCOMPARE(rig.overlay.calls, QStringList());
    QCOMPARE(rig.capture.startCount, 1);
    QCOMPARE(rig.capture.cancelCount, 0);
    QCOMPARE(state.lastEvent()->state, PTTState::transcribing);

    rig.scheduler.advance(10);
    QCOMPARE(rig.paste.pasted, QStringList{hello});
    QCOMPARE(rig.backend.edits.size(), 1);
    QCOMPARE(rig.backend.edits.front().originalText, "selected words");
    QCOMPARE(rig.overlay.calls, QStringList{"update Editing\u2026 transcribing"} + done);
    QVERIFY(!state.isProcessing());

    // Everything is back to normal for the next dictation: no stale selection makes it a command.
    holdAndWait(rig);
    QCOMPARE(rig.paste.pasted.size(), 2);
    QCOMPARE(rig.backend.edits.size(), 1);
    QCOMPARE(rig.overlay.calls.at(3), recording);
}

void tst_PTTAppState::aCommandTheServiceCannotApplyLeavesTheSelection() {
    DictationRig rig;
    rig.settingsStore.markSetupCompleted();
    selecting("keep me")(rig);
    answers({said("make it formal")})(rig);
    // What the offline service answers to every edit.
    edits(PTTError{ErrorDomain::backend, 1, "edits need an upstream chat engine", 501})(rig);
    PTTAppState& state = rig.start();
    rig.scheduler.advance(1);
    rig.overlay.calls.clear();

    holdAndWait(rig);
    QCOMPARE(rig.overlay.calls, command + failed("Commands need an AI service"));
    QCOMPARE(rig.paste.pasted, QStringList());
    QCOMPARE(rig.database.fetchStatsSummary().totalSessions, 0);
    const PTTEvent& event = state.lastEvent().value();
    QVERIFY2(event.error->contains("need an AI service") && event.error->contains("upstream chat engine"),
             qPrintable(*event.error));
    // The words are not lost.
    QCOMPARE(event.transcript, std::optional<QString>("make it formal"));
}

void tst_PTTAppState::backtrack_data() {
    QTest::addColumn<double>("delay");
    QTest::addColumn<QString>("secondApp");
    QTest::addColumn<QString>("secondText");
    QTest::addColumn<bool>("notes");
    QTest::addColumn<bool>("selectionFails");
    QTest::addColumn<bool>("requested");
    QTest::addColumn<bool>("replaced");

    const QString slack = "Slack";
    const QString correction = "Actually, meet at six";
    QTest::newRow("exactly 60 s") << 60.0 << slack << correction << false << false << true << true;
    QTest::newRow("61 s") << 61.0 << slack << correction << false << false << false << false;
    QTest::newRow("Spanish, lower case")
        << 5.0 << slack << "o mejor a las seis" << false << false << true << true;
    QTest::newRow("correction word second")
        << 5.0 << slack << "I actually meant six" << false << false << false << false;
    QTest::newRow("another application") << 5.0 << "Mail" << correction << false << false << false << false;
    QTest::newRow("notes mode") << 5.0 << slack << correction << true << false << false << false;
    QTest::newRow("selection cannot be made") << 5.0 << slack << correction << false << true << true << false;
}

void tst_PTTAppState::backtrack() {
    QFETCH(double, delay);
    QFETCH(QString, secondApp);
    QFETCH(QString, secondText);
    QFETCH(bool, notes);
    QFETCH(bool, selectionFails);
    QFETCH(bool, requested);
    QFETCH(bool, replaced);

    DictationRig rig;
    polishOff(rig);
    rig.backend.editHandler = [](const PTTEditRequest& request) {
        return edited(request.originalText.value_or(QString()).replace("five", "six"));
    };
    rig.start();
    const QString first = "Meet at five 👍🏽";
    rig.frontApplication.show("Slack");
    rig.backend.defaultTranscription = said(first);
    gesture("down 1 up")(rig);
    rig.scheduler.advance(delay - 1);
    PTTSettings settings = rig.controller().settings();
    settings.noteMode = notes;
    rig.controller().setSettings(settings);
    rig.paste.selectionFails = selectionFails;
    rig.frontApplication.show(secondApp);
    rig.backend.defaultTranscription = said(secondText);
    rig.log.clear();
    gesture("down 1 up 5")(rig);

    QCOMPARE(rig.backend.edits.size(), requested ? 1 : 0);
    if (requested) {
        const PTTEditRequest& request = rig.backend.edits.front();
        QCOMPARE(request.mode, PTTEditMode::backtrack);
        QCOMPARE(QStringList({request.inputText, request.originalText.value(), request.sourceApp.value()}),
                 QStringList({secondText, first, secondApp}));
    }
    // The emoji with its skin tone is one character to select over.
    QCOMPARE(rig.log.matching("select:"), requested ? QStringList{"select:14"} : QStringList());
    QCOMPARE(notes ? rig.notes.saved.back() : rig.paste.pasted.back(),
             replaced ? "Meet at six 👍🏽" : secondText);
    QCOMPARE(rig.database.fetchStatsSummary().backtracks, qint64(replaced ? 1 : 0));
}

void tst_PTTAppState::autoSend_data() {
    QTest::addColumn<bool>("autoSend");
    QTest::addColumn<QString>("appAtRelease");
    QTest::addColumn<QString>("appAtPaste");
    QTest::addColumn<bool>("returnPressed");

    const QString slack = "Slack";
    const QString terminal = "Terminal";
    QTest::newRow("chat still in front") << true << slack << slack << true;
    QTest::newRow("switched to a terminal") << true << slack << terminal << false;
    QTest::newRow("not a chat") << true << terminal << terminal << false;
    QTest::newRow("auto-send off") << false << slack << slack << false;
}

void tst_PTTAppState::autoSend() {
    QFETCH(bool, autoSend);
    QFETCH(QString, appAtRelease);
    QFETCH(QString, appAtPaste);
    QFETCH(bool, returnPressed);

    DictationRig rig;
    stored([&](PTTSettings& settings) {
        settings.autoSend = autoSend;
        settings.polishLevel = PolishLevel::off;
    })(rig);
    rig.appContext.types.insert("Slack", AppContextType::chat);
    rig.backend.latency = 1;
    rig.start();
    rig.frontApplication.show(appAtRelease);
    gesture("2 down 1.5 up")(rig);
    rig.frontApplication.show(appAtPaste);
    rig.log.clear();
    const auto observed = [&rig] {
        return rig.log.matching("paste:") + rig.log.matching("sound:") + rig.log.matching("key:");
    };
    // Pasted after a second, with its sound; Return only 50 ms later.
    rig.scheduler.advance(1.049);
    QCOMPARE(observed(), QStringList({"paste:hello world", "sound:Tink"}));
    QVERIFY(rig.log.entries().indexOf("paste:hello world") < rig.log.entries().indexOf("sound:Tink"));
    rig.scheduler.advance(1);
    QCOMPARE(observed(), QStringList({"paste:hello world", "sound:Tink"}) +
                             (returnPressed ? QStringList{"key:36:0"} : QStringList()));
    QCOMPARE(rig.controller().lastEvent()->sourceApp, appAtRelease);
}

void tst_PTTAppState::promptCondensingKeepsItsSavings() {
    DictationRig rig;
    stored([](PTTSettings& settings) {
        settings.polishLevel = PolishLevel::off;
        settings.promptPruningEnabled = true;
        settings.promptPruneLevel = PromptPruneLevel::max;
        settings.promptPruneTarget = PromptPruneTarget::claude;
    })(rig);
    QString answer = "Summarise thread.";
    rig.backend.editHandler = [&answer](const PTTEditRequest&) { return edited(answer); };
    rig.start();

    dictate(rig, said("three words only"));
    QVERIFY(rig.backend.edits.isEmpty());

    const QString prompt = "please kindly summarise this thread";
    rig.overlay.calls.clear();
    dictate(rig, said(prompt));
    QCOMPARE(rig.backend.edits.size(), 1);
    const PTTEditRequest& request = rig.backend.edits.front();
    QCOMPARE(request.mode, PTTEditMode::promptPrune);
    QCOMPARE(QStringList({request.inputText, request.pruneLevel.value(), request.targetModel.value()}),
             QStringList({prompt, "max", "claude"}));
    QVERIFY(!request.polishLevel && !request.originalText);
    QVERIFY(rig.overlay.calls.contains("update Pruning\u2026 transcribing"));
    QCOMPARE(rig.paste.pasted.back(), answer);
    QCOMPARE(rig.database.fetchPruningStats(), (PruningStatsSummary{1, 5, 2, prompt.size(), answer.size()}));

    // A blank answer pastes the prompt as it was said, and saves nothing.
    answer = " \n";
    holdAndWait(rig);
    QCOMPARE(rig.paste.pasted.back(), prompt);
    QCOMPARE(rig.database.fetchPruningStats().totalPruned, qint64(1));
}

void tst_PTTAppState::serverReachableComesBackAfterAnAnswer() {
    DictationRig rig;
    const PTTError offline = transportError(-1004, "Could not connect");
    rig.backend.healthAnswer = offline;
    PTTAppState& state = rig.start();
    rig.scheduler.runDue();
    QVERIFY(!state.serverReachable());

    dictate(rig, said("back online"));
    QVERIFY(state.serverReachable());
    dictate(rig, offline);
    QVERIFY(!state.serverReachable());
    // A time-out says "slow", not "offline".
    dictate(rig, said("fine again"));
    dictate(rig, transportError(-1001, "The request timed out."));
    QVERIFY(state.serverReachable());

    // The setup window's check keeps the last error; a good answer clears it.
    state.checkBackendHealth();
    QCOMPARE(state.property("setupStatus").toMap().value("lastBackendError").toString(), "Could not connect");
    rig.backend.healthAnswer = PTTHealthResponse{true, "s", true, true, "1"};
    state.checkBackendHealth();
    QVERIFY(state.setupStatus().backendReachable && !state.setupStatus().lastBackendError);
    rig.backend.healthAnswer = serviceError("bad");
    state.checkServerHealth();
    QVERIFY(!state.serverReachable());
}

void tst_PTTAppState::quittingWhileWaiting_data() {
    QTest::addColumn<RigStep>("until");

    QTest::newRow("during the start-up pause") << RigStep([](DictationRig&) {});
    QTest::newRow("while the microphone opens") << RigStep([](DictationRig& rig) {
        rig.capture.startDelay = 1;
        gesture("1 down")(rig);
    });
    QTest::newRow("while the service transcribes") << RigStep([](DictationRig& rig) {
        rig.backend.latency = 3;
        gesture("4 down 1.5 up")(rig);
    });
    QTest::newRow("in the retry pause") << RigStep([](DictationRig& rig) {
        rig.backend.defaultTranscription = serviceError("503");
        gesture("1 down 1.5 up")(rig);
    });
    QTest::newRow("before the Return key") << RigStep([](DictationRig& rig) {
        PTTSettings settings = rig.controller().settings();
        settings.autoSend = true;
        rig.controller().setSettings(settings);
        rig.appContext.types.insert("TextEdit", AppContextType::chat);
        gesture("1 down 1.5 up")(rig);
    });
}

void tst_PTTAppState::quittingWhileWaiting() {
    QFETCH(RigStep, until);

    DictationRig rig;
    rig.settingsStore.markSetupCompleted();
    rig.start();
    until(rig);
    rig.quit();
    const QStringList calls = rig.log.entries();

    // Nothing that was waiting calls a service once the controller is gone.
    rig.scheduler.advance(30);
    QCOMPARE(rig.log.entries(), calls);
    QVERIFY(!rig.monitor.hasHandler());
    QVERIFY(!rig.capture.hasLevelHandler());
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::idle);
}

QTEST_GUILESS_MAIN(tst_PTTAppState)
#include "tst_PTTAppState.moc"
