#pragma once

#include <QByteArray>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct _XDisplay;

// Helpers for the tests that run on the headless desktop of scripts/desktop.
namespace DesktopTest {

// Why the desktop is not there; empty when it is.
QString missingDesktop();
// A desktop test outside the headless desktop fails rather than skips: a group that passes by not
// running would hide every fault it guards.
#define DESKTOP_TEST_REQUIRE_DESKTOP()                                                                       \
    if (const QString missing = DesktopTest::missingDesktop(); !missing.isEmpty())                           \
    QFAIL(qPrintable(missing))
// The same for the Wayland desktop (scripts/desktop run --wayland).
QString missingWaylandDesktop();
#define DESKTOP_TEST_REQUIRE_WAYLAND()                                                                       \
    if (const QString missing = DesktopTest::missingWaylandDesktop(); !missing.isEmpty())                    \
    QFAIL(qPrintable(missing))

// A client of our own on the test display, independent of the code under test: it types through
// XTest like a remote desktop or xdotool would, and reads and writes window properties.
class XClient final {
public:
    XClient();
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool isOpen() const { return m_display != nullptr; }
    _XDisplay* display() const { return m_display; }

    // The key code of a physical key by its XKB name ("AC01" is the key right of Caps Lock, "FK13"
    // is F13): positions, whatever the layout.
    int keyCodeOfPosition(const QByteArray& xkbKeyName) const;
    // Presses or releases; the server applies it `delayMs` after the previous request.
    void key(int keyCode, bool press, unsigned long delayMs = 0);
    // Presses and releases the key that types this key symbol ("b", "Caps_Lock") in the server's layout.
    void tap(const char* keySymbolName);
    void sync();

    unsigned long activeWindow() const;
    // Writes _NET_ACTIVE_WINDOW on the root window directly, as a window manager would.
    void setActiveWindowProperty(unsigned long window);
    // Asks the window manager to activate the window.
    void activate(unsigned long window);

    // A top-level window of this client with the given WM_CLASS; an unmapped one stays unknown
    // to the window manager.
    unsigned long createWindow(const QByteArray& instance, const QByteArray& className, bool mapped = true);
    void destroyWindow(unsigned long window);
    void ownPrimarySelection(unsigned long window);

    // Cuts another client off the server, as xkill does.
    void killClient(unsigned long resource);

private:
    _XDisplay* m_display = nullptr;
};

// The text window helper as a child process: orlavo_test_window (a Qt text editor), or
// orlavo_gtk_field.py (a GTK entry) with the same protocol.
class TestWindow final {
public:
    enum class Toolkit { qt, gtk };

    TestWindow() = default;
    explicit TestWindow(Toolkit toolkit)
        : m_toolkit(toolkit) {}
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    // Starts it and waits until it is shown, has the focus and (on X11) is the window manager's
    // active window.
    bool start(const QString& windowClass, const QString& instance, const QString& text = {});
    // Where the next start() asks the window manager to put the window.
    void setPosition(const QPoint& topLeft) { m_position = topLeft; }
    bool waitForText(const QString& expected, int timeoutMs = 5000);
    bool selectAll();
    // Clears the selection; the text and the focus stay (and a Qt window keeps owning PRIMARY).
    bool deselect();
    // The window stops answering anyone for that long; returns at once.
    bool freeze(double seconds);
    void close();
    qint64 processId() const { return m_process ? m_process->processId() : 0; }

    unsigned long windowId() const { return m_windowId; }
    QString text() const { return m_text; }
    // Since the start: the times the window lost the focus, and the mouse presses it received.
    int focusLosses() const { return m_focusLosses; }
    int presses() const { return m_presses; }

private:
    void readOutput();

    bool command(const QByteArray& line, const QByteArray& acknowledgement);

    Toolkit m_toolkit = Toolkit::qt;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_buffer;
    QByteArray m_lastAcknowledgement;
    unsigned long m_windowId = 0;
    QString m_text;
    bool m_active = false;
    bool m_selected = false;
    std::optional<QPoint> m_position;
    int m_focusLosses = 0;
    int m_presses = 0;
};

// Runs a program to its end (at most `timeoutMs`), with the event loop running; its exit status,
// or -1 when it did not finish.
int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
        int timeoutMs = 15000);

// Sets an environment variable (unsets it for nullopt) while the object lives.
class EnvironmentOverride final {
public:
    EnvironmentOverride(const char* name, const std::optional<QByteArray>& value);
    ~EnvironmentOverride();
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_saved;
};

// Another program (xclip) owning a selection ("clipboard" or "primary") with the content, as a copy
// in another application would, while the object lives.
class SelectionOwner final {
public:
    SelectionOwner(const QString& selection, const QString& target, const QByteArray& content);
    ~SelectionOwner();
    SelectionOwner(const SelectionOwner&) = delete;
    SelectionOwner& operator=(const SelectionOwner&) = delete;

private:
    QProcess m_process;
};

// What another client reads from the selection as `target`.
QByteArray readSelection(const QString& selection, const QString& target = QStringLiteral("UTF8_STRING"));

// Makes the sound server's source the default microphone; by default the desktop's fake one.
void setDefaultSource(const QString& source = {});

// Speaks the text into a WAV file with espeak-ng; false when that fails.
bool makeSpeech(const QString& text, const QString& wavPath);

// Plays a WAV into the desktop's fake microphone and waits until it has been played.
bool speakIntoMicrophone(const QString& wavPath);

// The duration of a WAV file in seconds, read from its header.
std::optional<double> wavDuration(const QString& wavPath);

} // namespace DesktopTest
