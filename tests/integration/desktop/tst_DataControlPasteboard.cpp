// The clipboard through the data-control protocol on a real sway: another client's content read
// in every type byte for byte, our text written, and the content put back as another client
// (wl-paste) reads it.
#include "DesktopTestSupport.h"
#include "platform/linux/wayland/DataControlPasteboard.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandDataControl.h"

#include <QCoroTask>
#include <QTest>

#include <csignal>

namespace {

constexpr std::chrono::milliseconds connectTimeout{5000};

using Formats = QList<QPair<QString, QByteArray>>;

QStringList typesOf(const Formats& formats) {
    QStringList types;
    for (const auto& [type, bytes] : formats) {
        types << type;
    }
    return types;
}

QByteArray pasted(const QString& type, const QStringList& options = {}) {
    QByteArray output;
    DesktopTest::run(QStringLiteral("wl-paste"),
                     options + QStringList{QStringLiteral("--no-newline"), QStringLiteral("--type"), type},
                     &output);
    return output;
}

// One side of the clipboard: a connection of its own, as another process would have.
struct Client {
    std::unique_ptr<WaylandConnection> connection;
    WaylandDataControl* dataControl = nullptr;
    std::unique_ptr<DataControlPasteboard> pasteboard;

    bool open(std::chrono::milliseconds timeout = DataControlPasteboard::defaultTimeout) {
        Result<std::unique_ptr<WaylandConnection>> connected = WaylandConnection::connect({}, connectTimeout);
        if (!connected) {
            qWarning("%s", qPrintable(connected.error().description));
            return false;
        }
        connection = std::move(connected).value();
        std::unique_ptr<WaylandDataControl> made = WaylandDataControl::create(*connection);
        dataControl = made.get();
        pasteboard = made ? std::make_unique<DataControlPasteboard>(std::move(made), timeout) : nullptr;
        return pasteboard != nullptr;
    }
};

} // namespace

class tst_DataControlPasteboard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void snapshotAndRestoreKeepEveryType_data();
    void snapshotAndRestoreKeepEveryType();
    void anOwnerThatHangsYieldsNothingInTime();
    void aPrimarySelectionTakenMeanwhileIsLeftAlone();

private:
    Client m_owner;
    Client m_ours;
};

void tst_DataControlPasteboard::initTestCase() {
    DESKTOP_TEST_REQUIRE_WAYLAND();
    QVERIFY(m_owner.open());
    QVERIFY(m_ours.open());
}

void tst_DataControlPasteboard::snapshotAndRestoreKeepEveryType_data() {
    QTest::addColumn<Formats>("formats");
    QByteArray binary;
    for (int index = 0; index < 1024; ++index) {
        binary.append(static_cast<char>(index % 256));
    }
    // Several times what a pipe holds at once, so both sides wait on each other.
    QByteArray large;
    for (int index = 0; large.size() < 3 * 1024 * 1024; ++index) {
        large.append(QByteArray::number(qint64(index) * 7919));
    }
    QTest::newRow("text, rich text and a file list")
        << Formats{{QStringLiteral("text/plain;charset=utf-8"), QByteArray("héllo wörld")},
                   {QStringLiteral("text/html"), QByteArray("<b>héllo</b> wörld")},
                   {QStringLiteral("x-special/gnome-copied-files"), QByteArray("copy\nfile:///tmp/a%20b")}};
    QTest::newRow("binary with NUL bytes, and an empty type")
        << Formats{{QStringLiteral("image/png"), binary}, {QStringLiteral("text/plain"), QByteArray()}};
    QTest::newRow("larger than a pipe holds") << Formats{{QStringLiteral("application/octet-stream"), large},
                                                         {QStringLiteral("TEXT"), QByteArray("x")}};
    QTest::newRow("nothing") << Formats{};
}

void tst_DataControlPasteboard::snapshotAndRestoreKeepEveryType() {
    QFETCH(Formats, formats);
    m_owner.pasteboard->restore(PasteboardSnapshot{formats}, PasteboardSelection::clipboard);
    QTRY_COMPARE(m_ours.dataControl->offeredTypes(PasteboardSelection::clipboard), typesOf(formats));

    const PasteboardSnapshot snapshot =
        QCoro::waitFor(m_ours.pasteboard->snapshot(PasteboardSelection::clipboard));
    QCOMPARE(snapshot.formats, formats);

    m_ours.pasteboard->setText(QStringLiteral("dictated ✓"));
    QCOMPARE(pasted(QStringLiteral("text/plain;charset=utf-8")), QStringLiteral("dictated ✓").toUtf8());
    QCOMPARE(m_ours.pasteboard->text(), std::optional<QString>(QStringLiteral("dictated ✓")));
    QTRY_VERIFY(!m_owner.dataControl->ownContent(PasteboardSelection::clipboard));

    m_ours.pasteboard->restore(snapshot, PasteboardSelection::clipboard);
    QTRY_COMPARE(m_owner.dataControl->offeredTypes(PasteboardSelection::clipboard), typesOf(formats));
    for (const auto& [type, bytes] : formats) {
        QCOMPARE(pasted(type), bytes);
    }
    QCOMPARE(m_ours.pasteboard->text(), snapshot.text());
}

void tst_DataControlPasteboard::anOwnerThatHangsYieldsNothingInTime() {
    QProcess owner;
    owner.start(QStringLiteral("wl-copy"),
                {QStringLiteral("--foreground"), QStringLiteral("held by a hung owner")});
    QVERIFY(owner.waitForStarted());
    QTRY_VERIFY(m_ours.dataControl->offeredTypes(PasteboardSelection::clipboard)
                    .contains(QStringLiteral("text/plain;charset=utf-8")));
    ::kill(static_cast<pid_t>(owner.processId()), SIGSTOP);

    auto read = m_ours.pasteboard->snapshot(PasteboardSelection::clipboard);
    const PasteboardSnapshot snapshot = QCoro::waitFor(read);
    QVERIFY(snapshot.isEmpty());

    ::kill(static_cast<pid_t>(owner.processId()), SIGCONT);
    owner.kill();
    owner.waitForFinished();
}

void tst_DataControlPasteboard::aPrimarySelectionTakenMeanwhileIsLeftAlone() {
    const QStringList primary{QStringLiteral("--primary")};
    const QString text = QStringLiteral("text/plain;charset=utf-8");
    const PasteboardSnapshot before{{{text, QByteArray("selected before")}}};
    m_ours.pasteboard->setPrimaryText(QStringLiteral("dictated"));
    QCOMPARE(pasted(text, primary), QByteArray("dictated"));
    m_ours.pasteboard->restore(before, PasteboardSelection::primary);
    QCOMPARE(pasted(text, primary), QByteArray("selected before"));

    m_ours.pasteboard->setPrimaryText(QStringLiteral("dictated again"));
    QProcess user;
    user.start(QStringLiteral("wl-copy"), {QStringLiteral("--foreground"), QStringLiteral("--primary"),
                                           QStringLiteral("selected meanwhile")});
    QVERIFY(user.waitForStarted());
    QTRY_VERIFY(!m_ours.dataControl->ownContent(PasteboardSelection::primary));
    m_ours.pasteboard->restore(before, PasteboardSelection::primary);
    QCOMPARE(pasted(text, primary), QByteArray("selected meanwhile"));
    user.kill();
    user.waitForFinished();
}

QTEST_MAIN(tst_DataControlPasteboard)
#include "tst_DataControlPasteboard.moc"
