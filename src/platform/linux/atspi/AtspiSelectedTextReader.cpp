#include "platform/linux/atspi/AtspiSelectedTextReader.h"

#include <QCoroDBusPendingCall>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>

namespace {

const QString registryService = QStringLiteral("org.a11y.atspi.Registry");
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
// The state bit of an object that has the keyboard focus (ATSPI_STATE_FOCUSED).
constexpr int focusedState = 12;

// A method call that answers within what is left of the time limit, or an error reply.
class TimedCall {
public:
    TimedCall(QDBusConnection bus, int timeoutMs)
        : m_bus(std::move(bus))
        , m_timeoutMs(timeoutMs) {
        m_clock.start();
    }

    QDBusPendingCall call(const QString& service, const QString& path, const QString& interface,
                          const QString& method, const QVariantList& arguments = {}) const {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        const int left = std::max<qint64>(1, m_timeoutMs - m_clock.elapsed());
        return m_bus.asyncCall(message, left);
    }

private:
    QDBusConnection m_bus;
    int m_timeoutMs;
    QElapsedTimer m_clock;
};

// What RegisterEvent takes: the event, the properties wanted with it, and all applications.
QVariantList focusEventRegistration() {
    return {QString::fromLatin1("object:state-changed:focused"), QStringList(), QString()};
}

bool answered(const QDBusMessage& reply, int arguments) {
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() >= arguments;
}

} // namespace

AtspiSelectedTextReader::AtspiSelectedTextReader(ActiveProcess activeProcess, int timeoutMs)
    : m_activeProcess(std::move(activeProcess))
    , m_timeoutMs(timeoutMs)
    , m_connectionName(QStringLiteral("orlavo-a11y-%1").arg(reinterpret_cast<quintptr>(this))) {
    connectToBus();
}

AtspiSelectedTextReader::~AtspiSelectedTextReader() {
    if (m_bus) {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
}

QCoro::Task<> AtspiSelectedTextReader::connectToBus() {
    const QPointer<AtspiSelectedTextReader> self(this);
    // The session bus says where the accessibility bus is; without either there is no selection.
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) {
        co_return;
    }
    const TimedCall addressCall(session, 5000);
    const QDBusMessage address =
        co_await addressCall.call(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                  QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    if (!self || !answered(address, 1) || address.arguments().constFirst().toString().isEmpty()) {
        co_return;
    }
    QDBusConnection bus =
        QDBusConnection::connectToBus(address.arguments().constFirst().toString(), m_connectionName);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        co_return;
    }
    m_bus = bus;
    bus.connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Object"),
                QStringLiteral("StateChanged"), this, SLOT(stateChanged(QDBusMessage)));
    // Applications send focus events only while someone has asked for them.
    const TimedCall registration(bus, 5000);
    const QDBusMessage registered = co_await registration.call(
        registryService, QStringLiteral("/org/a11y/atspi/registry"),
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"), focusEventRegistration());
    if (!self || registered.type() != QDBusMessage::ReplyMessage) {
        co_return;
    }
    m_isListening = true;
    emit listening();
}

void AtspiSelectedTextReader::stateChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments.at(0).toString() != QLatin1String("focused")) {
        return;
    }
    const bool gained = arguments.at(1).toInt() != 0;
    if (gained) {
        m_focus = Focus{message.service(), message.path()};
    } else if (m_focus && m_focus->service == message.service() && m_focus->path == message.path()) {
        m_focus.reset();
    }
}

QCoro::Task<std::optional<QString>> AtspiSelectedTextReader::selectedText() {
    if (!m_bus || !m_focus) {
        co_return std::nullopt;
    }
    co_return co_await readSelection(*m_focus);
}

QCoro::Task<std::optional<QString>> AtspiSelectedTextReader::readSelection(Focus focus) {
    // Everything the steps need is copied: the reader may go away while they wait.
    const TimedCall calls(*m_bus, m_timeoutMs);
    const std::optional<qint64> activeProcess = m_activeProcess ? m_activeProcess() : std::nullopt;
    if (!activeProcess) {
        co_return std::nullopt;
    }

    // Focus events are not always sent on the way out (a window closed, an application hung), so
    // the object must still say it has the focus, and be in the window the user is typing into.
    const QDBusMessage owner =
        co_await calls.call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                            QStringLiteral("org.freedesktop.DBus"),
                            QStringLiteral("GetConnectionUnixProcessID"), QVariantList() << focus.service);
    if (!answered(owner, 1) || owner.arguments().constFirst().toLongLong() != *activeProcess) {
        co_return std::nullopt;
    }
    const QDBusMessage state =
        co_await calls.call(focus.service, focus.path, accessibleInterface, QStringLiteral("GetState"));
    if (!answered(state, 1)) {
        co_return std::nullopt;
    }
    const auto states = qdbus_cast<QList<uint>>(state.arguments().constFirst());
    if (states.isEmpty() || (states.constFirst() & (1u << focusedState)) == 0) {
        co_return std::nullopt;
    }

    const QDBusMessage count =
        co_await calls.call(focus.service, focus.path, textInterface, QStringLiteral("GetNSelections"));
    if (!answered(count, 1) || count.arguments().constFirst().toInt() < 1) {
        co_return std::nullopt;
    }
    const QDBusMessage range = co_await calls.call(focus.service, focus.path, textInterface,
                                                   QStringLiteral("GetSelection"), QVariantList() << 0);
    if (!answered(range, 2)) {
        co_return std::nullopt;
    }
    const int start = range.arguments().at(0).toInt();
    const int end = range.arguments().at(1).toInt();
    if (start < 0 || end <= start) {
        co_return std::nullopt;
    }
    const QDBusMessage text = co_await calls.call(focus.service, focus.path, textInterface,
                                                  QStringLiteral("GetText"), QVariantList() << start << end);
    if (!answered(text, 1)) {
        co_return std::nullopt;
    }
    const QString selected = text.arguments().constFirst().toString();
    if (selected.isEmpty()) {
        co_return std::nullopt;
    }
    co_return selected;
}
