#pragma once

#include "core/backend/ServerEngineChoice.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>

class IBackendClient;

// The recogniser choice of the Account tab: this computer's offline recogniser or an
// OpenAI-compatible service (its URL, key and models). The choice is written to orlavo-server's
// server.json, the one place the key is kept, and the running server is asked to apply it at once.
//
// The key is a draft until Save: masked in the field, never shown back, never in a message. A key
// saved for one service is not sent to another: changing the service's address without typing a
// new key removes the old one.
class EnginePanel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window")
    Q_DISABLE_COPY_MOVE(EnginePanel)
    Q_PROPERTY(bool available READ available CONSTANT)
    Q_PROPERTY(QString unavailableText READ unavailableText CONSTANT)
    Q_PROPERTY(bool useService READ useService WRITE setUseService NOTIFY changed)
    Q_PROPERTY(QString serviceUrl READ serviceUrl WRITE setServiceUrl NOTIFY changed)
    Q_PROPERTY(QString keyDraft READ keyDraft WRITE setKeyDraft NOTIFY changed)
    Q_PROPERTY(bool hasStoredKey READ hasStoredKey NOTIFY changed)
    Q_PROPERTY(QString transcribeModel READ transcribeModel WRITE setTranscribeModel NOTIFY changed)
    Q_PROPERTY(QString editModel READ editModel WRITE setEditModel NOTIFY changed)
    Q_PROPERTY(QString problem READ problem NOTIFY changed)
    Q_PROPERTY(bool canSave READ canSave NOTIFY changed)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY changed)
    Q_PROPERTY(QString status READ status NOTIFY changed)
    Q_PROPERTY(bool statusIsError READ statusIsError NOTIFY changed)

public:
    struct Ports {
        IBackendClient& backend;
        // The address of the service the app uses (the settings' backendBaseURL), asked each time.
        std::function<QString()> serviceAddress;
        QString configFile; // server.json
    };

    explicit EnginePanel(Ports ports, QObject* parent = nullptr);

    // Only the server on this computer reads this computer's server.json.
    bool available() const;
    QString unavailableText() const;

    bool useService() const { return m_edit.useService; }
    void setUseService(bool on);
    QString serviceUrl() const { return m_edit.serviceUrl; }
    void setServiceUrl(const QString& url);
    QString keyDraft() const { return m_keyDraft; }
    void setKeyDraft(const QString& draft);
    // A key is saved and goes with the service's address as it now stands.
    bool hasStoredKey() const;
    // The stored key is removed at the next save.
    Q_INVOKABLE void removeKey();
    QString transcribeModel() const { return m_edit.transcribeModel; }
    void setTranscribeModel(const QString& model);
    QString editModel() const { return m_edit.editModel; }
    void setEditModel(const QString& model);

    // Why the form cannot be saved as it is; empty when it can.
    QString problem() const;
    bool canSave() const;
    bool isSaving() const { return m_isSaving; }
    // Writes server.json and asks the running server to apply it.
    Q_INVOKABLE void save();
    QString status() const { return m_status; }
    bool statusIsError() const { return m_statusIsError; }

    // What would be written: trimmed, with the key that goes with the service's address.
    ServerEngineChoice pending() const;

Q_SIGNALS:
    void changed();
    // The server took the new choice (the About line may say something else now).
    void applied();

private:
    QCoro::Task<> run();
    bool keyDropped() const;
    template <typename Edit>
    void edit(Edit&& change);
    void setStatus(const QString& text, bool isError);
    QUrl serviceAddress() const;

    IBackendClient& m_backend;
    std::function<QString()> m_serviceAddress;
    QString m_configFile;
    ServerEngineChoice m_saved;
    ServerEngineChoice m_edit;
    QString m_keyDraft;
    bool m_readable = true;
    bool m_isSaving = false;
    QString m_status;
    bool m_statusIsError = false;
};
