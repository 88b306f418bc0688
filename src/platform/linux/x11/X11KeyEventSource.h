#pragma once

#include "core/ports/Clock.h"
#include "core/ports/KeyEventSource.h"
#include "platform/linux/input/EventTimeMapper.h"
#include "platform/linux/input/KeyEventTranslator.h"

#include <QSet>
#include <QString>

#include <memory>

class SyntheticKeyLedger;
class X11Connection;
union _XEvent;

// Every key press of the X session, through XInput2 raw events on a connection of its own: listen
// only, no grab, whatever window has the focus. Right Control is reported as fn. Our own
// synthesised presses (see SyntheticKeyLedger) are dropped; everything else typed through the
// server's synthetic-input device is kept.
class X11KeyEventSource final : public KeyEventSource {
public:
    // `clock` stamps the events; `ledger` is shared with the key synthesiser.
    X11KeyEventSource(const Clock& clock, std::shared_ptr<SyntheticKeyLedger> ledger);
    ~X11KeyEventSource() override;
    X11KeyEventSource(const X11KeyEventSource&) = delete;
    X11KeyEventSource& operator=(const X11KeyEventSource&) = delete;

    bool start(Handler handler) override;
    void stop() override;
    bool isEnabled() const override;
    bool enable() override;
    void setOnDisabled(std::function<void()> handler) override { m_onDisabled = std::move(handler); }

    // Why the last start() or enable() failed, for diagnostics.
    QString lastError() const { return m_lastError; }

    // The X resource-id base of the listening connection (0 when there is none); tells the server
    // which client it is, e.g. to cut it off in a test.
    unsigned long connectionResourceBase() const;

private:
    bool connectToServer();
    void disconnectFromServer();
    void handleEvent(_XEvent& event);
    void handleKey(int xKeyCode, bool press, int sourceDevice, unsigned long serverTime, bool repeat);
    void findSyntheticDevices();
    bool readCapsLockState();
    void calibrateServerTime();
    void handleConnectionLost();

    const Clock& m_clock;
    std::shared_ptr<SyntheticKeyLedger> m_ledger;
    Handler m_handler;
    std::function<void()> m_onDisabled;
    std::unique_ptr<X11Connection> m_connection;
    int m_eventHandlerId = 0;
    int m_inputOpcode = 0;
    int m_xkbEventBase = -1;
    QSet<int> m_syntheticDevices;
    KeyEventTranslator m_translator;
    EventTimeMapper m_timeMapper;
    QString m_lastError;
};
