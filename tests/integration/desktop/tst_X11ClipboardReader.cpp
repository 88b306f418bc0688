// Reading another application's clipboard on the real X server: what is kept of what an owner
// offers, and that an owner who is slow or never answers neither blocks the event loop nor
// loses what arrived in time.
#include "DesktopTestSupport.h"
#include "platform/linux/x11/X11ClipboardReader.h"
#include "platform/linux/x11/X11ConnectionProvider.h"

#include <QCoroTask>
#include <QMutex>
#include <QTest>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <atomic>
#include <poll.h>
#include <thread>

Q_DECLARE_METATYPE(PasteboardSnapshot)

namespace {

// Owns CLIPBOARD from a connection and thread of its own, as another application would: answers
// TARGETS with the offered formats and each format with its bytes, except the `silent` ones,
// which it never answers. Records what it was asked.
class ScriptedOwner final {
public:
    ScriptedOwner(QList<QPair<QByteArray, QByteArray>> offered, QByteArrayList silent)
        : m_offered(std::move(offered))
        , m_silent(std::move(silent)) {
        m_display = XOpenDisplay(nullptr);
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(m_display, XInternAtom(m_display, "CLIPBOARD", False), m_window, CurrentTime);
        XSync(m_display, False);
        m_thread = std::thread([this] { serve(); });
    }
    ~ScriptedOwner() {
        m_stop = true;
        m_thread.join();
        XCloseDisplay(m_display);
    }

    QByteArrayList asked() const {
        QMutexLocker lock(&m_mutex);
        return m_asked;
    }

private:
    void serve() {
        pollfd descriptor{ConnectionNumber(m_display), POLLIN, 0};
        while (!m_stop) {
            if (!XPending(m_display)) {
                ::poll(&descriptor, 1, 20);
                continue;
            }
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == SelectionRequest) {
                answer(event.xselectionrequest);
            }
        }
    }

    void answer(const XSelectionRequestEvent& request) {
        char* name = XGetAtomName(m_display, request.target);
        const QByteArray target(name);
        XFree(name);
        {
            QMutexLocker lock(&m_mutex);
            m_asked.append(target);
        }
        if (m_silent.contains(target)) {
            return;
        }
        if (target == "TARGETS") {
            std::vector<Atom> atoms;
            for (const auto& [format, bytes] : m_offered) {
                atoms.push_back(XInternAtom(m_display, format.constData(), False));
            }
            XChangeProperty(m_display, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(atoms.data()), int(atoms.size()));
        } else {
            for (const auto& [format, bytes] : m_offered) {
                if (format == target) {
                    XChangeProperty(
                        m_display, request.requestor, request.property, request.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size()));
                }
            }
        }
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.property = request.property;
        reply.xselection.time = request.time;
        XSendEvent(m_display, request.requestor, False, 0, &reply);
        XFlush(m_display);
    }

    QList<QPair<QByteArray, QByteArray>> m_offered;
    QByteArrayList m_silent;
    Display* m_display = nullptr;
    Window m_window = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop = false;
    mutable QMutex m_mutex;
    QByteArrayList m_asked;
};

const QString utf8 = QStringLiteral("text/plain;charset=utf-8");

} // namespace

class tst_X11ClipboardReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void keepsWhatArrivesInTime_data();
    void keepsWhatArrivesInTime();
};

void tst_X11ClipboardReader::initTestCase() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
}

void tst_X11ClipboardReader::keepsWhatArrivesInTime_data() {
    QTest::addColumn<QByteArrayList>("offered"); // "format=bytes"; empty: xclip owns a UTF-8 text
    QTest::addColumn<QByteArrayList>("silent");
    QTest::addColumn<PasteboardSnapshot>("kept");
    QTest::addColumn<QByteArrayList>("asked");

    QTest::newRow("a text copied with xclip") << QByteArrayList{} << QByteArrayList{}
                                              << PasteboardSnapshot{{{utf8, "Grüße ✓"}}} << QByteArrayList{};
    QByteArrayList encodings{"TARGETS=", "image/png=PNG"};
    for (const char* other :
         {"image/bmp", "image/jpeg", "image/tiff", "image/gif", "image/webp", "image/avif", "image/x-icon",
          "image/x-ico", "image/x-bmp", "image/x-tga", "image/ppm"}) {
        encodings.append(QByteArray(other) + "=other");
    }
    QTest::newRow("an image in a dozen encodings: PNG only")
        << encodings << QByteArrayList{} << PasteboardSnapshot{{{"image/png", "PNG"}}}
        << QByteArrayList{"TARGETS", "image/png"};
    QTest::newRow("a rich text without aliases")
        << QByteArrayList{"TARGETS=",
                          "UTF8_STRING=abc",
                          "STRING=abc",
                          "TEXT=abc",
                          "text/html=<b>abc</b>",
                          "text/uri-list=file:///tmp/a",
                          "application/x-qt-image=x"}
        << QByteArrayList{}
        << PasteboardSnapshot{{{utf8, "abc"},
                               {"text/html", "<b>abc</b>"},
                               {"text/uri-list", "file:///tmp/a"}}}
        << QByteArrayList{"TARGETS", "UTF8_STRING", "text/html", "text/uri-list"};
    QTest::newRow("the owner hangs on the HTML: the text is kept")
        << QByteArrayList{"TARGETS=", "UTF8_STRING=abc", "text/html=<b>abc</b>"}
        << QByteArrayList{"text/html"} << PasteboardSnapshot{{{utf8, "abc"}}}
        << QByteArrayList{"TARGETS", "UTF8_STRING", "text/html"};
    QTest::newRow("an owner that never answers")
        << QByteArrayList{"TARGETS=", "UTF8_STRING=abc"} << QByteArrayList{"TARGETS"} << PasteboardSnapshot{}
        << QByteArrayList{"TARGETS"};
}

void tst_X11ClipboardReader::keepsWhatArrivesInTime() {
    QFETCH(QByteArrayList, offered);
    QFETCH(QByteArrayList, silent);
    QFETCH(PasteboardSnapshot, kept);
    QFETCH(QByteArrayList, asked);

    std::unique_ptr<DesktopTest::SelectionOwner> xclip;
    std::unique_ptr<ScriptedOwner> scripted;
    if (offered.isEmpty()) {
        xclip = std::make_unique<DesktopTest::SelectionOwner>(
            QStringLiteral("clipboard"), QStringLiteral("UTF8_STRING"), kept.formats[0].second);
    } else {
        QList<QPair<QByteArray, QByteArray>> formats;
        for (const QByteArray& entry : offered) {
            formats.append({entry.left(entry.indexOf('=')), entry.mid(entry.indexOf('=') + 1)});
        }
        scripted = std::make_unique<ScriptedOwner>(formats, silent);
    }

    constexpr double timeLimit = 0.3;
    X11ClipboardReader reader(std::make_shared<X11ConnectionProvider>(), timeLimit);
    // The event loop keeps turning while the owner is waited for.
    int turns = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&turns] { ++turns; });
    ticker.start(10);
    // Without the time limit a silent owner would keep this waiting for ever.
    const PasteboardSnapshot snapshot = QCoro::waitFor(reader.read(PasteboardSelection::clipboard));

    QCOMPARE(snapshot, kept);
    if (scripted) {
        QCOMPARE(scripted->asked(), asked);
    }
    if (!silent.isEmpty()) {
        QVERIFY(turns > 0);
    }
}

QTEST_MAIN(tst_X11ClipboardReader)
#include "tst_X11ClipboardReader.moc"
