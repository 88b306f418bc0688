#include "EventJournal.h"
#include "InMemoryPasteboard.h"
#include "RecordingKeySynthesizer.h"
#include "ScriptedFrontApplication.h"
#include "ScriptedSelectedTextReader.h"
#include "VirtualScheduler.h"
#include "hotkey/KeyCodes.h"
#include "paste/PasteService.h"

#include <QTest>

namespace {

template <typename T>
QCoro::Task<> into(QCoro::Task<T> task, std::optional<T>& outcome) {
    outcome = co_await std::move(task);
}

const QString plain = QStringLiteral("text/plain;charset=utf-8");

PasteboardSnapshot textContent(const QString& text) {
    return PasteboardSnapshot{{{plain, text.toUtf8()}}};
}

struct Rig {
    Rig()
        : journal(&scheduler.clock())
        , pasteboard(&journal)
        , synthesizer(&journal)
        , service(pasteboard, synthesizer, selection, front, scheduler) {}

    // Starts a paste now; its outcome arrives once the paste delay has run.
    std::optional<Result<void>>& paste(const QString& text) {
        outcomes.emplace_back(std::make_unique<std::optional<Result<void>>>());
        tasks.push_back(into(service.insertViaClipboard(text), *outcomes.back()));
        return *outcomes.back();
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
    void restoreKeepsWhatTheUserHad_data();
    void restoreKeepsWhatTheUserHad();
    void pastesInsideTheRestoreWindow();
    void failedPasteIsReported();
    void keystrokes();
    void selectedText_data();
    void selectedText();
};

void tst_PasteService::pasteChord_data() {
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<QString>("instance");
    QTest::addColumn<QStringList>("journal");
    QTest::addColumn<bool>("declaredTerminal");

    const QStringList ordinary{"0.00 clipboard \"hello\"", "0.05 key ctrl+V",
                               "1.05 clipboard restored [text/plain;charset=utf-8]"};
    const QStringList terminal{"0.00 clipboard \"hello\"", "0.05 key ctrl+shift+V",
                               "1.05 clipboard restored [text/plain;charset=utf-8]"};
    QTest::newRow("editor") << "Gedit"
                            << "gedit" << ordinary << false;
    QTest::newRow("no focused window") << QString() << QString() << ordinary << false;
    QTest::newRow("terminal by class") << "Gnome-terminal"
                                       << "gnome-terminal-server" << terminal << false;
    QTest::newRow("terminal by app id") << "org.wezfurlong.wezterm" << QString() << terminal << false;
    // The desktop knows it as a terminal although its class is on no list.
    QTest::newRow("declared terminal") << "Zzterm"
                                       << "zzterm" << terminal << true;
    const QStringList primary{"0.00 clipboard \"hello\"", "0.00 primary \"hello\"", "0.05 key shift+Insert",
                              "1.05 clipboard restored [text/plain;charset=utf-8]"};
    QTest::newRow("xterm") << "XTerm"
                           << "xterm" << primary << false;
    // xterm's desktop file calls it a terminal too; it still pastes the primary selection only.
    QTest::newRow("xterm, declared") << "XTerm"
                                     << "xterm" << primary << true;
    QTest::newRow("urxvt") << "URxvt"
                           << "urxvt" << primary << false;
}

void tst_PasteService::pasteChord() {
    QFETCH(QString, windowClass);
    QFETCH(QString, instance);
    QFETCH(QStringList, journal);
    QFETCH(bool, declaredTerminal);

    Rig rig;
    if (!windowClass.isEmpty()) {
        rig.front.application = FrontApplicationInfo{windowClass, windowClass, instance, declaredTerminal};
    }
    rig.pasteboard.userCopiesText(QStringLiteral("abc"));
    auto& outcome = rig.paste(QStringLiteral("hello"));
    rig.scheduler.advance(0.049);
    QVERIFY(!outcome.has_value()); // the chord waits for the clipboard to settle
    rig.scheduler.advance(0.001);
    QVERIFY(outcome.has_value() && outcome->ok());
    rig.scheduler.advance(2);
    QCOMPARE(rig.journal.entries(), journal);
    QCOMPARE(rig.pasteboard.text(), QStringLiteral("abc"));
}

void tst_PasteService::restoreKeepsWhatTheUserHad_data() {
    QTest::addColumn<PasteboardSnapshot>("before");
    QTest::addColumn<bool>("restored");

    QTest::newRow("plain text") << textContent(QStringLiteral("abc")) << true;
    QTest::newRow("an image only") << PasteboardSnapshot{{{QStringLiteral("image/png"),
                                                           QByteArray("\x89PNG", 4)}}}
                                   << true;
    QTest::newRow("rich text with plain")
        << PasteboardSnapshot{{{QStringLiteral("text/html"), "<b>abc</b>"},
                               {plain, "abc"},
                               {QStringLiteral("text/uri-list"), "file:///a"}}}
        << true;
    QTest::newRow("empty clipboard") << PasteboardSnapshot{} << false;
    QTest::newRow("empty string") << textContent(QString()) << false;
}

void tst_PasteService::restoreKeepsWhatTheUserHad() {
    QFETCH(PasteboardSnapshot, before);
    QFETCH(bool, restored);

    Rig rig;
    rig.pasteboard.userCopies(before);
    rig.paste(QStringLiteral("dictated"));
    rig.scheduler.advance(0.999);
    QCOMPARE(rig.pasteboard.text(), QStringLiteral("dictated"));
    rig.scheduler.advance(0.1);
    if (restored) {
        QCOMPARE(rig.pasteboard.snapshot(), before);
    } else {
        QCOMPARE(rig.pasteboard.text(), QStringLiteral("dictated"));
    }
    QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
}

void tst_PasteService::pastesInsideTheRestoreWindow() {
    {
        // The user copies something inside the window: theirs stays.
        Rig rig;
        rig.pasteboard.userCopiesText(QStringLiteral("abc"));
        rig.paste(QStringLiteral("one"));
        rig.scheduler.advance(0.5);
        rig.pasteboard.userCopiesText(QStringLiteral("mine"));
        rig.scheduler.advance(1);
        QCOMPARE(rig.pasteboard.text(), QStringLiteral("mine"));
        QCOMPARE(rig.journal.entries(), (QStringList{"0.00 clipboard \"one\"", "0.05 key ctrl+V"}));
    }
    {
        // Two dictations within a second: one restore, of what the user had before the first.
        Rig rig;
        rig.pasteboard.userCopiesText(QStringLiteral("abc"));
        rig.paste(QStringLiteral("one"));
        rig.scheduler.advance(0.5);
        rig.paste(QStringLiteral("two"));
        rig.scheduler.advance(2);
        QCOMPARE(rig.pasteboard.text(), QStringLiteral("abc"));
        QCOMPARE(rig.journal.entries(),
                 (QStringList{"0.00 clipboard \"one\"", "0.05 key ctrl+V", "0.50 clipboard \"two\"",
                              "0.55 key ctrl+V", "1.55 clipboard restored [text/plain;charset=utf-8]"}));
    }
    {
        // The user copied between the two: the second paste restores that instead.
        Rig rig;
        rig.pasteboard.userCopiesText(QStringLiteral("abc"));
        rig.paste(QStringLiteral("one"));
        rig.scheduler.advance(0.3);
        rig.pasteboard.userCopiesText(QStringLiteral("mine"));
        rig.scheduler.advance(0.2);
        rig.paste(QStringLiteral("two"));
        rig.scheduler.advance(2);
        QCOMPARE(rig.pasteboard.text(), QStringLiteral("mine"));
    }
}

void tst_PasteService::failedPasteIsReported() {
    {
        Rig rig;
        rig.pasteboard.userCopiesText(QStringLiteral("abc"));
        rig.synthesizer.setAvailable(false);
        auto& outcome = rig.paste(QStringLiteral("dictated"));
        rig.scheduler.advance(2);
        QVERIFY(outcome.has_value());
        QVERIFY(!outcome->ok());
        // No restore: the dictation stays on the clipboard for a paste by hand.
        QCOMPARE(rig.pasteboard.text(), QStringLiteral("dictated"));
        QCOMPARE(rig.journal.entries(),
                 (QStringList{"0.00 clipboard \"dictated\"", "0.05 key refused ctrl+V"}));
    }
    {
        // A failure inside the window of an earlier paste keeps the failed text too.
        Rig rig;
        rig.pasteboard.userCopiesText(QStringLiteral("abc"));
        rig.paste(QStringLiteral("one"));
        rig.scheduler.advance(0.3);
        rig.synthesizer.setAvailable(false);
        auto& outcome = rig.paste(QStringLiteral("two"));
        rig.scheduler.advance(2);
        QVERIFY(outcome.has_value() && !outcome->ok());
        QCOMPARE(rig.pasteboard.text(), QStringLiteral("two"));
    }
}

void tst_PasteService::keystrokes() {
    Rig rig;
    QVERIFY(rig.service.selectPreviousText(0).ok());
    QVERIFY(rig.service.selectPreviousText(-2).ok());
    QVERIFY(rig.journal.entries().isEmpty());
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
}

void tst_PasteService::selectedText_data() {
    QTest::addColumn<std::optional<QString>>("selection");
    QTest::addColumn<std::optional<QString>>("expected");
    QTest::newRow("nothing selected") << std::optional<QString>() << std::optional<QString>();
    QTest::newRow("empty") << std::optional<QString>(QString()) << std::optional<QString>();
    QTest::newRow("white space and line breaks")
        << std::optional<QString>(QStringLiteral(" \n\t \r\n")) << std::optional<QString>();
    QTest::newRow("kept as read") << std::optional<QString>(QStringLiteral("  word "))
                                  << std::optional<QString>(QStringLiteral("  word "));
}

void tst_PasteService::selectedText() {
    QFETCH(std::optional<QString>, selection);
    QFETCH(std::optional<QString>, expected);
    Rig rig;
    rig.selection.selection = selection;
    std::optional<std::optional<QString>> outcome;
    auto task = into(rig.service.selectedText(), outcome);
    QVERIFY(outcome.has_value());
    QCOMPARE(*outcome, expected);
}

QTEST_GUILESS_MAIN(tst_PasteService)
#include "tst_PasteService.moc"
