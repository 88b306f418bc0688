// A text window for the desktop tests: a plain text editor that says on standard output what it
// holds and obeys commands on standard input.
//
//   orlavo_test_window --class CLASS --instance INSTANCE [--text INITIAL] [--at X,Y]
//
// Output lines: "window <id>" once shown, "active" / "inactive" as the focus comes and goes,
// "text <percent-encoded content>" after every change, "pressed" for every mouse press. Input lines: "select"
// (select everything: the window then owns the primary selection), "deselect" (clear the selection;
// the window keeps owning PRIMARY, as Qt applications do), "freeze SECONDS" (stop answering anyone
// for that long), "quit".
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray argumentAfter(int argc, char** argv, const char* name) {
    for (int index = 1; index + 1 < argc; ++index) {
        if (qstrcmp(argv[index], name) == 0) {
            return argv[index + 1];
        }
    }
    return {};
}

class PressReporter final : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) {
            say("pressed");
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char* argv[]) {
    // The WM_CLASS instance is read when the application starts; the class is its name.
    const QByteArray instance = argumentAfter(argc, argv, "--instance");
    if (!instance.isEmpty()) {
        qputenv("RESOURCE_NAME", instance);
    }
    QApplication application(argc, argv);
    const QString windowClass = QString::fromLocal8Bit(argumentAfter(argc, argv, "--class"));
    QApplication::setApplicationName(windowClass);
    // On Wayland the window's app id: the class, as WM_CLASS carries it on X11.
    QGuiApplication::setDesktopFileName(windowClass);

    QPlainTextEdit editor;
    editor.setWindowTitle(windowClass + QStringLiteral(" test window"));
    editor.setPlainText(QString::fromLocal8Bit(argumentAfter(argc, argv, "--text")));
    editor.resize(640, 200);
    if (const QList<QByteArray> at = argumentAfter(argc, argv, "--at").split(','); at.size() == 2) {
        editor.move(at[0].toInt(), at[1].toInt());
    }
    PressReporter pressReporter;
    editor.viewport()->installEventFilter(&pressReporter);
    QObject::connect(&editor, &QPlainTextEdit::textChanged,
                     [&editor] { say("text " + QUrl::toPercentEncoding(editor.toPlainText())); });
    QObject::connect(&application, &QApplication::focusChanged,
                     [&editor](QWidget*, QWidget* now) { say(now == &editor ? "active" : "inactive"); });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            QApplication::quit();
            return;
        }
        pending.append(buffer, static_cast<qsizetype>(count));
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray command = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (command == "select") {
                editor.selectAll();
                QGuiApplication::clipboard()->setText(editor.textCursor().selectedText(),
                                                      QClipboard::Selection);
                say("selected");
            } else if (command == "deselect") {
                QTextCursor cursor = editor.textCursor();
                cursor.clearSelection();
                editor.setTextCursor(cursor);
                say("deselected");
            } else if (command.startsWith("freeze ")) {
                say("frozen");
                ::usleep(static_cast<useconds_t>(command.mid(7).toDouble() * 1e6));
            } else if (command == "quit") {
                QApplication::quit();
            }
        }
    });

    editor.show();
    editor.activateWindow();
    say("window " + QByteArray::number(static_cast<qulonglong>(editor.winId())));
    return QApplication::exec();
}
