#include "platform/linux/portal/PortalRequest.h"

namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

} // namespace

PortalRequest::PortalRequest(QDBusConnection connection, QString path, QObject* context,
                             PortalClient::Done done)
    : m_connection(std::move(connection))
    , m_path(std::move(path))
    , m_context(context)
    , m_done(std::move(done)) {
    subscribe();
}

PortalRequest::~PortalRequest() {
    unsubscribe();
}

void PortalRequest::subscribe() {
    // Any sender: naming the portal's well-known name would make Qt look its owner up, blocking.
    // The path holds a token of ours, so only our request's answer arrives there.
    m_connection.connect(QString(), m_path, requestInterface, QStringLiteral("Response"), this,
                         SLOT(handleResponse(uint, QVariantMap)));
}

void PortalRequest::unsubscribe() {
    m_connection.disconnect(QString(), m_path, requestInterface, QStringLiteral("Response"), this,
                            SLOT(handleResponse(uint, QVariantMap)));
}

void PortalRequest::moveTo(const QString& path) {
    if (path == m_path || m_finished) {
        return;
    }
    unsubscribe();
    m_path = path;
    subscribe();
}

void PortalRequest::fail(const QString& error) {
    finish(PortalClient::Response{2, {}, error});
}

void PortalRequest::handleResponse(uint code, const QVariantMap& results) {
    finish(PortalClient::Response{code, results, {}});
}

void PortalRequest::finish(const PortalClient::Response& response) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    unsubscribe();
    if (m_context && m_done) {
        m_done(response);
    }
    deleteLater();
}
