#pragma once

#include "core/ports/SelectedTextReader.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QDBusMessage;

// The selection of the focused text field, read over the accessibility bus (AT-SPI) at the
// moment it is asked for. The focused object is tracked from the focus events the applications
// send (what screen readers do), not found by walking the active window's tree, which can take
// thousands of calls in a browser. An answer counts only when the object still says it has the
// focus and belongs to the process of the active window; every other case, and every call that
// does not answer within the time limit, reads as no selection. Nothing here blocks: every call
// is asynchronous.
//
// A selection left in the PRIMARY clipboard after the highlight is gone is not a selection here.
class AtspiSelectedTextReader final
    : public QObject
    , public SelectedTextReader {
    Q_OBJECT

public:
    // The process id of the window that has the keyboard focus; absent when unknown.
    using ActiveProcess = std::function<std::optional<qint64>()>;

    static constexpr int defaultTimeoutMs = 300;

    explicit AtspiSelectedTextReader(ActiveProcess activeProcess, int timeoutMs = defaultTimeoutMs);
    ~AtspiSelectedTextReader() override;
    AtspiSelectedTextReader(const AtspiSelectedTextReader&) = delete;
    AtspiSelectedTextReader& operator=(const AtspiSelectedTextReader&) = delete;

    QCoro::Task<std::optional<QString>> selectedText() override;

    // Connected to the accessibility bus and told about focus changes from now on.
    bool isListening() const { return m_isListening; }

Q_SIGNALS:
    void listening();

private Q_SLOTS:
    void stateChanged(const QDBusMessage& message);

private:
    struct Focus {
        QString service;
        QString path;
    };

    QCoro::Task<> connectToBus();
    QCoro::Task<std::optional<QString>> readSelection(Focus focus);

    ActiveProcess m_activeProcess;
    int m_timeoutMs;
    QString m_connectionName;
    std::optional<QDBusConnection> m_bus;
    bool m_isListening = false;
    std::optional<Focus> m_focus;
};
