#pragma once

#include "async/PendingValue.h"
#include "ports/SelectedTextReader.h"

#include <QTimer>

#include <memory>

class X11Connection;
class X11ConnectionProvider;
union _XEvent;

// The primary selection, but only while the active window's application owns it: a selection
// left behind in another window is not what the user has selected now. Read on our own
// connection, without blocking; an owner that does not answer in time reads as no selection.
class X11SelectedTextReader final : public SelectedTextReader {
public:
    static constexpr double defaultTimeoutSeconds = 0.3;

    explicit X11SelectedTextReader(std::shared_ptr<X11ConnectionProvider> connections,
                                   double timeoutSeconds = defaultTimeoutSeconds);
    ~X11SelectedTextReader() override;
    X11SelectedTextReader(const X11SelectedTextReader&) = delete;
    X11SelectedTextReader& operator=(const X11SelectedTextReader&) = delete;

    // Concurrent calls share one request.
    QCoro::Task<std::optional<QString>> selectedText() override;

private:
    bool prepareRequestor(X11Connection& connection);
    void requestConversion(X11Connection& connection, unsigned long target);
    void handleEvent(_XEvent& event);
    void finish(std::optional<QString> text);

    std::shared_ptr<X11ConnectionProvider> m_connections;
    QTimer m_timeout;
    unsigned long m_requestor = 0;
    int m_eventHandlerId = 0;
    quint64 m_requestorGeneration = 0;
    unsigned long m_target = 0;
    std::optional<PendingValue<std::optional<QString>>> m_pending;
};
