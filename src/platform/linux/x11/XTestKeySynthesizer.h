#pragma once

#include "core/ports/Clock.h"
#include "core/ports/KeySynthesizer.h"

#include <memory>

class SyntheticKeyLedger;
class X11Connection;
class X11ConnectionProvider;

// Key presses posted through the XTest extension, as if typed on the keyboard. Every press is
// written to the ledger first, so our own key source does not report it.
class XTestKeySynthesizer final : public KeySynthesizer {
public:
    XTestKeySynthesizer(std::shared_ptr<X11ConnectionProvider> connections,
                        std::shared_ptr<SyntheticKeyLedger> ledger, const Clock& clock);

    Result<void> tapKey(quint16 keyCode, quint64 flags) override;
    bool isAvailable() const override;

private:
    // The connection, once XTest is known to be there.
    X11Connection* readyConnection() const;

    std::shared_ptr<X11ConnectionProvider> m_connections;
    std::shared_ptr<SyntheticKeyLedger> m_ledger;
    const Clock& m_clock;
    mutable quint64 m_checkedGeneration = 0;
    mutable bool m_hasXTest = false;
};
