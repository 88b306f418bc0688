#include "EventJournal.h"
#include "InMemoryPasteboard.h"
#include "RecordingKeySynthesizer.h"
#include "ScriptedFrontApplication.h"
#include "ScriptedSelectedTextReader.h"
#include "VirtualScheduler.h"
#include "core/hotkey/KeyCodes.h"
#include "core/paste/PasteService.h"

#include <QTest>

namespace {

template <typename T>
QCoro::Task<> into(QCoro::Task<T> task, std::optional<T>& outcome) {
    outcome = co_await std::move(task);
}

const QString plain = QStringLiteral("text/plain;charset=utf-8");

// The user has "abc" on the clipboard.
struct Rig {
    Rig()
        : journal(scheduler.clock())
        , pasteboard(journal)
        , synthesizer(&journal)
        , service(pasteboard, synthesizer, selection, front, scheduler) {
        pasteboard.userCopiesText(QStringLiteral("abc"));
    }

    // Starts a paste now; its outcome arrives once the paste delay has run.
    std::optional<Result<void>>& paste(const QString& text) {
        outcomes.emplace_back(std::make_unique<std::optional<Result<void>>>());
        tasks.push_back(into(service.insertViaClipboard(text), *outcomes.back()));
        return *outcomes.back();
    }
    void advanceTo(double time) { scheduler.advance(time - scheduler.now()); }
    QString clipboard() const { return pasteboard.text().value_or(QStringLiteral("(none)")); }
    PasteboardSnapshot content(PasteboardSelection which = PasteboardSelection::clipboard) {
        return QCoro::waitFor(pasteboard.snapshot(which));
    }

    VirtualScheduler scheduler;
    EventJournal journal;
    InMemoryPasteboard pasteboard;
    RecordingKeySynthesizer synthesizer;
    ScriptedSelectedTextReader selection;
    ScriptedFrontApplication front;
    PasteService service;
    std::vector<std::unique_ptr<std::optional<Result<void>>>> outcomes;
    std::vector<QCoro::Task<>> tasks;
};

} // namespace

class tst_PasteService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pasteChord_data();
    void pasteChord();
    void whatReachesTheWindow_data();
    void whatReachesTheWindow();
    void restoreKeepsWhatTheUserHad_data();
    void restoreKeepsWhatTheUserHad();
    void pastesInsideTheRestoreWindow_data();
    void pastesInsideTheRestoreWindow();
    void keystrokesAndSelection();
    void typedWhereTheClipboardCannotReach_data();
    void typedWhereTheClipboardCannotReach();
};

void tst_PasteService::pasteChord_data() {
    QTest::addColumn<std::optional<FrontApplicationInfo>>("front");
    QTest::addColumn<QStringList>("journal");

    const auto row = [](const char* name, const std::optional<FrontApplicationInfo>& front, const char* keys,
                        bool primary = false) {
        QStringList journal{"0.00 clipboard \"hello\""};
        if (primary) {
            journal << "0.00 primary \"hello\"";
        }
        journal << QStringLiteral("0.05 key ") + QLatin1String(keys)
                << "1.05 clipboard restored [text/plain;charset=utf-8]";
        if (primary) {
            journal << "1.05 primary restored [text/plain;charset=utf-8]";
        }
        QTest::newRow(name) << front << journal;
    };
    const auto app = [](const char* windowClass, const char* instance, bool declaredTerminal = false) {
        return std::optional(FrontApplicationInfo{windowClass, windowClass, instance, declaredTerminal});
    };
    row("editor", app("Gedit", "gedit"), "ctrl+V");
    row("no focused window", std::nullopt, "ctrl+V");
    row("terminal by class", app("Gnome-terminal", "gnome-terminal-server"), "ctrl+shift+V");
    // The desktop knows it as a terminal although its class is on no list.
    row("declared terminal", app("Zzterm", "zzterm", true), "ctrl+shift+V");
    // xterm's desktop file calls it a terminal too; it still pastes the primary selection only.
    row("xterm, declared", app("XTerm", "xterm", true), "shift+Insert", true);
    // Control+V scrolls there; the yank takes the clipboard.
    row("GUI Emacs", app("Emacs", "emacs"), "ctrl+Y");
}

void tst_PasteService::pasteChord() {
    QFETCH(std::optional<FrontApplicationInfo>, front);
    QFETCH(QStringList, journal);

    Rig rig;
    rig.front.application = front;
    rig.pasteboard.restore({{{plain, "selected before"}}}, PasteboardSelection::primary);
    rig.journal.clear();
    auto& outcome = rig.paste(QStringLiteral("hello"));
    rig.advanceTo(0.049);
    QVERIFY(!outcome.has_value()); // the chord waits for the clipboard to settle
    rig.advanceTo(0.05);
    QVERIFY(outcome.has_value() && outcome->ok());
    rig.advanceTo(2);
    QCOMPARE(rig.journal.entries(), journal);
    QCOMPARE(rig.clipboard(), QStringLiteral("abc"));
    QCOMPARE(rig.content(PasteboardSelection::primary).text(), QStringLiteral("selected before"));
}

void tst_PasteService::whatReachesTheWindow_data() {
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pasted");
    QTest::newRow("escape sequences, editor") << "Gedit"
                                              << QString::fromUtf8("a\x1b]0;t\x07"
                                                                   "b\u009b2J\r\nc\td\n")
                                              << QString::fromUtf8("a]0;tb2J\nc\td\n");
    QTest::newRow("trailing line feeds, terminal") << "Gnome-terminal"
                                                   << "rm -rf build\n\n"
                                                   << "rm -rf build";
    QTest::newRow("inner line feed, terminal") << "Gnome-terminal"
                                               << "one\ntwo\r\n"
                                               << "one\ntwo";
}

void tst_PasteService::whatReachesTheWindow() {
    QFETCH(QString, windowClass);
    QFETCH(QString, text);
    QFETCH(QString, pasted);
    Rig rig;
    rig.front.application = FrontApplicationInfo{windowClass, windowClass, windowClass.toLower(), false};
    auto& outcome = rig.paste(text);
    rig.advanceTo(0.05);
    QVERIFY(outcome.has_value() && outcome->ok());
    QCOMPARE(rig.clipboard(), pasted);
}

void tst_PasteService::typedWhereTheClipboardCannotReach_data() {
    QTest::addColumn<bool>("keyboardWorks");
    QTest::addColumn<QStringList>("typed");
    QTest::newRow("typed") << true << QStringList{QStringLiteral("a]0;tb\nc")};
    QTest::newRow("keyboard refused") << false << QStringList{};
}

// The user's clipboard is never touched, whether the typing works or not.
void tst_PasteService::typedWhereTheClipboardCannotReach() {
    QFETCH(bool, keyboardWorks);
    QFETCH(QStringList, typed);
    Rig rig;
    rig.service.setTypesText(true);
    rig.synthesizer.setAvailable(keyboardWorks);
    auto& outcome = rig.paste(QString::fromUtf8("a\x1b]0;t\x07"
                                                "b\nc"));
    rig.advanceTo(2.0);
    QVERIFY(outcome.has_value());
    QCOMPARE(outcome->ok(), keyboardWorks);
    QCOMPARE(rig.synthesizer.typed(), typed);
    QVERIFY(rig.synthesizer.taps().isEmpty());
    QCOMPARE(rig.clipboard(), QStringLiteral("abc"));
}

void tst_PasteService::restoreKeepsWhatTheUserHad_data() {
    QTest::addColumn<PasteboardSnapshot>("before");
    QTest::addColumn<bool>("restored");

    QTest::newRow("an image only") << PasteboardSnapshot{{{QStringLiteral("image/png"),
                                                           QByteArray("\x89PNG", 4)}}}
                                   << true;
    QTest::newRow("rich text with plain")
        << PasteboardSnapshot{{{QStringLiteral("text/html"), "<b>abc</b>"},
                               {plain, "abc"},
                               {QStringLiteral("text/uri-list"), "file:///a"}}}
        << true;
    QTest::newRow("empty clipboard") << PasteboardSnapshot{} << false;
    QTest::newRow("empty string") << PasteboardSnapshot{{{plain, QByteArray()}}} << false;
}

void tst_PasteService::restoreKeepsWhatTheUserHad() {
    QFETCH(PasteboardSnapshot, before);
    QFETCH(bool, restored);

    Rig rig;
    rig.pasteboard.userCopies(before);
    rig.paste(QStringLiteral("dictated"));
    rig.advanceTo(0.999);
    QCOMPARE(rig.clipboard(), QStringLiteral("dictated"));
    rig.advanceTo(1.1);
    QCOMPARE(rig.content(), (restored ? before : PasteboardSnapshot{{{plain, "dictated"}}}));
    QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
}

void tst_PasteService::pastesInsideTheRestoreWindow_data() {
    // Steps "time:paste:TEXT", "time:copy:TEXT" (the user copies), "time:refuse" (no more key posts),
    // "time:quit" (the application quits).
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("journal");
    QTest::addColumn<bool>("lastPasted");

    const auto row = [](const char* name, const char* script, const char* clipboard,
                        const QStringList& journal, bool lastPasted = true) {
        QTest::newRow(name) << QString(script) << QString(clipboard) << journal << lastPasted;
    };
    const QStringList two{"0.00 clipboard \"one\"", "0.05 key ctrl+V", "0.50 clipboard \"two\"",
                          "0.55 key ctrl+V", "1.55 clipboard restored [text/plain;charset=utf-8]"};
    row("the user copies inside the window: theirs stays", "0:paste:one 0.5:copy:mine", "mine",
        {"0.00 clipboard \"one\"", "0.05 key ctrl+V"});
    row("two dictations: one restore, of what the user had before the first", "0:paste:one 0.5:paste:two",
        "abc", two);
    row("the user copied between the two: that is restored", "0:paste:one 0.3:copy:mine 0.5:paste:two",
        "mine", two);
    // A paste that could not be posted leaves the dictation on the clipboard for a paste by hand.
    row("refused", "0:refuse 0:paste:dictated", "dictated",
        {"0.00 clipboard \"dictated\"", "0.05 key refused ctrl+V"}, false);
    row("refused, then the application quits: what the user had comes back",
        "0:refuse 0:paste:dictated 2:quit", "abc",
        {"0.00 clipboard \"dictated\"", "0.05 key refused ctrl+V",
         "2.00 clipboard restored [text/plain;charset=utf-8]"},
        false);
    row("quit inside the window: restored at once", "0:paste:one 0.5:quit", "abc",
        {"0.00 clipboard \"one\"", "0.05 key ctrl+V", "0.50 clipboard restored [text/plain;charset=utf-8]"});
    row("refused in the window of the same text", "0:paste:one 0.3:refuse 0.3:paste:one", "one",
        {"0.00 clipboard \"one\"", "0.05 key ctrl+V", "0.30 clipboard \"one\"", "0.35 key refused ctrl+V"},
        false);
}

void tst_PasteService::pastesInsideTheRestoreWindow() {
    QFETCH(QString, script);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, journal);
    QFETCH(bool, lastPasted);

    Rig rig;
    for (const QString& step : script.split(QLatin1Char(' '))) {
        rig.advanceTo(step.section(QLatin1Char(':'), 0, 0).toDouble());
        const QString action = step.section(QLatin1Char(':'), 1, 1);
        const QString text = step.section(QLatin1Char(':'), 2);
        if (action == QLatin1String("paste")) {
            rig.paste(text);
        } else if (action == QLatin1String("quit")) {
            rig.service.restoreNow();
        } else if (action == QLatin1String("copy")) {
            rig.pasteboard.userCopiesText(text);
        } else {
            rig.synthesizer.setAvailable(false);
        }
    }
    rig.advanceTo(3);
    QCOMPARE(rig.clipboard(), clipboard);
    QCOMPARE(rig.journal.entries(), journal);
    QVERIFY(rig.outcomes.back()->has_value());
    QCOMPARE(rig.outcomes.back()->value().ok(), lastPasted);
}

void tst_PasteService::keystrokesAndSelection() {
    Rig rig;
    QVERIFY(rig.service.selectPreviousText(0).ok());
    QVERIFY(rig.service.selectPreviousText(-2).ok());
    QVERIFY(rig.service.selectPreviousText(3).ok());
    QVERIFY(rig.service.sendKeystroke(quint16(KeyCodes::returnKey), 0).ok());
    QCOMPARE(rig.journal.entries(), (QStringList{"0.00 key shift+Left", "0.00 key shift+Left",
                                                 "0.00 key shift+Left", "0.00 key Return"}));

    // A press that cannot be posted stops the run and is reported.
    rig.journal.clear();
    rig.synthesizer.failAfter(1);
    QVERIFY(!rig.service.selectPreviousText(3).ok());
    QCOMPARE(rig.journal.entries(), (QStringList{"0.00 key shift+Left", "0.00 key refused shift+Left"}));
    QVERIFY(!rig.service.sendKeystroke(quint16(KeyCodes::returnKey), 0).ok());

    // A selection of nothing but white space is no selection; any other is kept as read.
    const auto selected = [&rig](std::optional<QString> selection) {
        rig.selection.selection = std::move(selection);
        std::optional<std::optional<QString>> outcome;
        auto task = into(rig.service.selectedText(), outcome);
        return outcome.value_or(QStringLiteral("(pending)"));
    };
    QCOMPARE(selected(std::nullopt), std::nullopt);
    QCOMPARE(selected(QString()), std::nullopt);
    QCOMPARE(selected(QStringLiteral(" \n\t \r\n")), std::nullopt);
    QCOMPARE(selected(QStringLiteral("  word ")), std::optional<QString>(QStringLiteral("  word ")));
}

QTEST_GUILESS_MAIN(tst_PasteService)
#include "tst_PasteService.moc"
