#include "ui/settings/EnginePanel.h"

#include "core/backend/BackendUrl.h"
#include "core/backend/IBackendClient.h"
#include "core/backend/ServerConfigFile.h"
#include "core/backend/ServiceDescription.h"
#include "core/backend/UpstreamAddress.h"

#include <QPointer>

EnginePanel::EnginePanel(Ports ports, QObject* parent)
    : QObject(parent)
    , m_backend(ports.backend)
    , m_serviceAddress(std::move(ports.serviceAddress))
    , m_configFile(std::move(ports.configFile)) {
    auto stored = ServerConfigFile::read(m_configFile);
    if (stored) {
        m_saved = stored.value();
    } else {
        m_readable = false;
        m_status = stored.error().description;
        m_statusIsError = true;
    }
    m_edit = m_saved;
}

QUrl EnginePanel::serviceAddress() const {
    return QUrl(m_serviceAddress ? m_serviceAddress() : QString());
}

bool EnginePanel::available() const {
    return BackendUrl::isLoopback(serviceAddress());
}

QString EnginePanel::unavailableText() const {
    if (available()) {
        return {};
    }
    return QStringLiteral("Orlavo uses the service at %1. Its recogniser is chosen where that service runs.")
        .arg(serviceAddress().host());
}

template <typename Edit>
void EnginePanel::edit(Edit&& change) {
    change(m_edit);
    emit changed();
}

void EnginePanel::setUseService(bool on) {
    if (on != m_edit.useService) {
        edit([on](ServerEngineChoice& choice) { choice.useService = on; });
    }
}

void EnginePanel::setServiceUrl(const QString& url) {
    if (url != m_edit.serviceUrl) {
        edit([&url](ServerEngineChoice& choice) { choice.serviceUrl = url; });
    }
}

void EnginePanel::setKeyDraft(const QString& draft) {
    if (draft != m_keyDraft) {
        m_keyDraft = draft;
        emit changed();
    }
}

void EnginePanel::removeKey() {
    if (!m_edit.key.isEmpty()) {
        edit([](ServerEngineChoice& choice) { choice.key.clear(); });
    }
}

void EnginePanel::setTranscribeModel(const QString& model) {
    if (model != m_edit.transcribeModel) {
        edit([&model](ServerEngineChoice& choice) { choice.transcribeModel = model; });
    }
}

void EnginePanel::setEditModel(const QString& model) {
    if (model != m_edit.editModel) {
        edit([&model](ServerEngineChoice& choice) { choice.editModel = model; });
    }
}

bool EnginePanel::hasStoredKey() const {
    return !m_edit.key.isEmpty() && !keyDropped();
}

bool EnginePanel::keyDropped() const {
    return m_keyDraft.trimmed().isEmpty() && !m_edit.key.isEmpty() &&
           UpstreamAddress::host(m_edit.serviceUrl.trimmed())
                   .compare(UpstreamAddress::host(m_saved.serviceUrl), Qt::CaseInsensitive) != 0;
}

ServerEngineChoice EnginePanel::pending() const {
    ServerEngineChoice choice = m_edit;
    choice.serviceUrl = choice.serviceUrl.trimmed();
    choice.transcribeModel = choice.transcribeModel.trimmed();
    choice.editModel = choice.editModel.trimmed();
    if (const QString key = m_keyDraft.trimmed(); !key.isEmpty()) {
        choice.key = key;
    } else if (keyDropped()) {
        choice.key.clear();
    }
    return choice;
}

QString EnginePanel::problem() const {
    return ServerConfigFile::problem(pending()).value_or(QString());
}

bool EnginePanel::canSave() const {
    return m_readable && available() && !m_isSaving && problem().isEmpty() && pending() != m_saved;
}

void EnginePanel::save() {
    if (canSave()) {
        run();
    }
}

QCoro::Task<> EnginePanel::run() {
    const ServerEngineChoice choice = pending();
    const QString droppedFrom = keyDropped() ? UpstreamAddress::host(m_saved.serviceUrl) : QString();
    if (auto failure = ServerConfigFile::write(m_configFile, choice)) {
        setStatus(QStringLiteral("Not saved. ") + failure->description, true);
        co_return;
    }
    m_saved = choice;
    m_edit = choice;
    m_keyDraft.clear();
    m_isSaving = true;
    setStatus(QStringLiteral("Saved. Asking the server to switch…"), false);

    const QPointer<EnginePanel> self(this);
    const auto answer = co_await m_backend.reloadService();
    if (!self) {
        co_return;
    }
    m_isSaving = false;
    const QString removed =
        droppedFrom.isEmpty()
            ? QString()
            : QStringLiteral(" The key saved for %1 was removed: it belongs to that service.")
                  .arg(droppedFrom);
    if (answer) {
        QString text = QStringLiteral("Saved. Now transcribing with: ") +
                       ServiceDescription::text(answer.value(), serviceAddress()) + QLatin1Char('.');
        if (answer->engine && *answer->engine != QLatin1String(choice.useService ? "openai" : "local")) {
            text += QStringLiteral(" The server's environment (ORLAVO_ENGINE or ORLAVO_UPSTREAM_URL) "
                                   "overrides server.json.");
        }
        setStatus(text + removed, false);
        emit applied();
    } else if (answer.error().httpStatus == 422) {
        setStatus(QStringLiteral("Saved, but the server did not apply it: ") + answer.error().description +
                      removed,
                  true);
    } else {
        setStatus(
            QStringLiteral("Saved. The server could not apply it now (%1); it will when it next starts.")
                    .arg(answer.error().description) +
                removed,
            false);
    }
}

void EnginePanel::setStatus(const QString& text, bool isError) {
    m_status = text;
    m_statusIsError = isError;
    emit changed();
}
