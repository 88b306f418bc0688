#include "DesktopTestSupport.h"

#include <QFile>
#include <QTest>
#include <QUrl>
#include <QtEndian>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cstring>

namespace DesktopTest {

QString missingDesktop() {
    if (qEnvironmentVariableIsEmpty("ORLAVO_DESKTOP_DIR") || qEnvironmentVariableIsEmpty("DISPLAY")) {
        return QStringLiteral("needs the headless desktop: run under scripts/desktop run -- ...");
    }
    return {};
}

QString missingWaylandDesktop() {
    if (qEnvironmentVariableIsEmpty("ORLAVO_DESKTOP_DIR") || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return QStringLiteral(
            "needs the headless Wayland desktop: run under scripts/desktop run --wayland -- ...");
    }
    return {};
}

XClient::XClient()
    : m_display(XOpenDisplay(nullptr)) {}

XClient::~XClient() {
    if (m_display) {
        XCloseDisplay(m_display);
    }
}

int XClient::keyCodeOfPosition(const QByteArray& xkbKeyName) const {
    XkbDescPtr keyboard = XkbGetMap(m_display, 0, XkbUseCoreKbd);
    if (!keyboard) {
        return 0;
    }
    if (XkbGetNames(m_display, XkbKeyNamesMask, keyboard) != Success) {
        XkbFreeKeyboard(keyboard, 0, True);
        return 0;
    }
    int result = 0;
    for (int code = keyboard->min_key_code; keyboard->names && code <= keyboard->max_key_code; ++code) {
        if (qstrncmp(keyboard->names->keys[code].name, xkbKeyName.constData(), XkbKeyNameLength) == 0 &&
            xkbKeyName.size() <= XkbKeyNameLength) {
            result = code;
            break;
        }
    }
    XkbFreeKeyboard(keyboard, 0, True);
    return result;
}

void XClient::key(int keyCode, bool press, unsigned long delayMs) {
    XTestFakeKeyEvent(m_display, static_cast<unsigned int>(keyCode), press ? True : False, delayMs);
    XFlush(m_display);
}

void XClient::tap(const char* keySymbolName) {
    const int code = XKeysymToKeycode(m_display, XStringToKeysym(keySymbolName));
    key(code, true);
    key(code, false);
}

void XClient::sync() {
    XSync(m_display, False);
}

unsigned long XClient::activeWindow() const {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    unsigned long window = 0;
    if (XGetWindowProperty(m_display, DefaultRootWindow(m_display),
                           XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False), 0, 1, False, XA_WINDOW, &type,
                           &format, &items, &after, &data) == Success &&
        data) {
        if (items == 1) {
            std::memcpy(&window, data, sizeof window);
        }
        XFree(data);
    }
    return window;
}

void XClient::setActiveWindowProperty(unsigned long window) {
    const unsigned long value = window;
    XChangeProperty(m_display, DefaultRootWindow(m_display),
                    XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XSync(m_display, False);
}

void XClient::activate(unsigned long window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // from a pager: the window manager obeys without focus-stealing checks
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, DefaultRootWindow(m_display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(m_display, False);
}

unsigned long XClient::createWindow(const QByteArray& instance, const QByteArray& className, bool mapped) {
    const Window window =
        XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 100, 100, 300, 100, 0, 0, 0xffffff);
    XClassHint hint;
    QByteArray instanceCopy = instance;
    QByteArray classCopy = className;
    hint.res_name = instanceCopy.data();
    hint.res_class = classCopy.data();
    XSetClassHint(m_display, window, &hint);
    if (mapped) {
        XMapWindow(m_display, window);
    }
    XSync(m_display, False);
    return window;
}

void XClient::destroyWindow(unsigned long window) {
    XDestroyWindow(m_display, window);
    XSync(m_display, False);
}

void XClient::ownPrimarySelection(unsigned long window) {
    XSetSelectionOwner(m_display, XA_PRIMARY, window, CurrentTime);
    XSync(m_display, False);
}

void XClient::killClient(unsigned long resource) {
    XKillClient(m_display, resource);
    XSync(m_display, False);
}

TestWindow::~TestWindow() {
    close();
}

bool TestWindow::start(const QString& windowClass, const QString& instance, const QString& text) {
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, m_process.get(),
                     [this] { readOutput(); });
    QStringList arguments{QStringLiteral("--class"), windowClass, QStringLiteral("--instance"), instance,
                          QStringLiteral("--text"),  text};
    if (m_position) {
        arguments << QStringLiteral("--at")
                  << QStringLiteral("%1,%2").arg(m_position->x()).arg(m_position->y());
    }
    m_focusLosses = 0;
    m_presses = 0;
    m_process->start(m_toolkit == Toolkit::qt ? QStringLiteral(ORLAVO_TEST_WINDOW_PATH)
                                              : QStringLiteral(ORLAVO_GTK_FIELD_PATH),
                     arguments);
    if (!m_process->waitForStarted(5000)) {
        return false;
    }
    if (!QTest::qWaitFor([this] { return m_windowId != 0 && m_active; }, 10000)) {
        return false;
    }
    // Wayland tells no client which window is active; the focus the window reports is the answer.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        return true;
    }
    const XClient client;
    return QTest::qWaitFor([&] { return client.activeWindow() == m_windowId; }, 5000);
}

bool TestWindow::waitForText(const QString& expected, int timeoutMs) {
    return QTest::qWaitFor([&] { return m_text == expected; }, timeoutMs);
}

bool TestWindow::selectAll() {
    m_selected = false;
    m_process->write("select\n");
    return QTest::qWaitFor([this] { return m_selected; }, 5000);
}

bool TestWindow::deselect() {
    return command("deselect", "deselected");
}

bool TestWindow::freeze(double seconds) {
    return command("freeze " + QByteArray::number(seconds), "frozen");
}

bool TestWindow::command(const QByteArray& line, const QByteArray& acknowledgement) {
    m_lastAcknowledgement.clear();
    m_process->write(line + '\n');
    return QTest::qWaitFor([&] { return m_lastAcknowledgement == acknowledgement; }, 5000);
}

void TestWindow::close() {
    if (!m_process) {
        return;
    }
    m_process->write("quit\n");
    if (!m_process->waitForFinished(3000)) {
        m_process->kill();
        m_process->waitForFinished(3000);
    }
    m_process.reset();
}

void TestWindow::readOutput() {
    m_buffer.append(m_process->readAllStandardOutput());
    qsizetype end = 0;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (line.startsWith("window ")) {
            m_windowId = line.mid(7).toULong();
        } else if (line == "active") {
            m_active = true;
        } else if (line == "inactive") {
            m_focusLosses += m_active ? 1 : 0;
            m_active = false;
        } else if (line == "pressed") {
            ++m_presses;
        } else if (line == "selected") {
            m_selected = true;
        } else if (line == "deselected" || line == "frozen") {
            m_lastAcknowledgement = line;
        } else if (line.startsWith("text ")) {
            m_text = QUrl::fromPercentEncoding(line.mid(5));
        }
    }
}

int run(const QString& program, const QStringList& arguments, QByteArray* output, int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(output ? QProcess::SeparateChannels : QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    // The event loop keeps running meanwhile: the program may ask this process for the clipboard.
    if (!process.waitForStarted(5000) ||
        !QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    if (output) {
        *output = process.readAllStandardOutput();
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

EnvironmentOverride::EnvironmentOverride(const char* name, const std::optional<QByteArray>& value)
    : m_name(name)
    , m_saved(qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt) {
    value ? qputenv(name, *value) : qunsetenv(name);
}

EnvironmentOverride::~EnvironmentOverride() {
    m_saved ? qputenv(m_name, *m_saved) : qunsetenv(m_name);
}

SelectionOwner::SelectionOwner(const QString& selection, const QString& target, const QByteArray& content) {
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), selection,
                                              QStringLiteral("-target"), target, QStringLiteral("-quiet")});
    m_process.waitForStarted(5000);
    m_process.write(content);
    m_process.closeWriteChannel();
    // Owned once another client can read it; the tests check what they read anyway.
    static_cast<void>(QTest::qWaitFor([&] { return readSelection(selection, target) == content; }, 5000));
}

SelectionOwner::~SelectionOwner() {
    m_process.kill();
    m_process.waitForFinished(2000);
}

QByteArray readSelection(const QString& selection, const QString& target) {
    QByteArray output;
    run(QStringLiteral("xclip"),
        {QStringLiteral("-selection"), selection, QStringLiteral("-target"), target, QStringLiteral("-o")},
        &output);
    return output;
}

void setDefaultSource(const QString& source) {
    run(QStringLiteral("pactl"),
        {QStringLiteral("set-default-source"),
         source.isEmpty() ? qEnvironmentVariable("ORLAVO_TEST_MIC_SINK") + QStringLiteral(".monitor")
                          : source});
}

bool makeSpeech(const QString& text, const QString& wavPath) {
    return run(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wavPath, text}) == 0;
}

bool speakIntoMicrophone(const QString& wavPath) {
    const QString sink = qEnvironmentVariable("ORLAVO_TEST_MIC_SINK", QStringLiteral("micsink"));
    return run(QStringLiteral("paplay"), {QStringLiteral("-d"), sink, wavPath}) == 0;
}

std::optional<double> wavDuration(const QString& wavPath) {
    QFile file(wavPath);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    // espeak-ng writes a streaming header with a huge data size: the samples run to the end.
    const qsizetype data = bytes.indexOf("data");
    if (!bytes.startsWith("RIFF") || bytes.size() < 44 || data < 0) {
        return std::nullopt;
    }
    const auto byteRate = qFromLittleEndian<quint32>(bytes.constData() + 28);
    return byteRate > 0 ? std::optional<double>(double(bytes.size() - data - 8) / byteRate) : std::nullopt;
}

} // namespace DesktopTest
