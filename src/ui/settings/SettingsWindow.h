#pragma once

#include "core/paths/AppPaths.h"
#include "ui/settings/AccountPanel.h"

#include <QObject>
#include <QPointer>
#include <QQuickView>

#include <memory>

class DictionaryListModel;
class EnginePanel;
class INotesService;
class LocalDatabase;
class PruningSavingsPanel;
class QQmlEngine;
class QQuickWindow;
class SettingsForm;
class SnippetListModel;

// The five-tab settings window: made when it is first presented, at most one at a time, and let go
// when it closes (its tabs start fresh the next time, and its memory is returned).
class SettingsWindow final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsWindow)

public:
    static inline const QString viewUrl = QStringLiteral("qrc:/qt/qml/Orlavo/Ui/settings/SettingsView.qml");
    static inline const QString title = QStringLiteral("Orlavo Settings");
    static constexpr int width = 520;
    static constexpr int height = 560;

    struct Services {
        AccountPanel::Ports account;
        const INotesService& notes;
        LocalDatabase& database;
        // orlavo-server's configuration, where the recogniser is chosen.
        QString serverConfigFile = AppPaths::serverConfigFile();
    };

    SettingsWindow(QQmlEngine& engine, Services services, AccountPanel::Links links,
                   AccountPanel::About about, QObject* parent = nullptr);
    ~SettingsWindow() override;

    // Shows it (made when none is open), brings it to the front and gives it the focus.
    void present();
    void close();
    bool isOpen() const;
    QQuickWindow* window() const;

    // For the tests: what the open window's tabs are bound to.
    SettingsForm* form() const { return m_form; }
    DictionaryListModel* dictionary() const { return m_dictionary; }
    SnippetListModel* snippets() const { return m_snippets; }
    PruningSavingsPanel* savings() const { return m_savings; }
    AccountPanel* account() const { return m_account; }
    EnginePanel* enginePanel() const { return m_enginePanel; }

Q_SIGNALS:
    void closed();

private:
    void create();
    void release();

    QQmlEngine& m_engine;
    Services m_services;
    AccountPanel::Links m_links;
    AccountPanel::About m_about;
    std::unique_ptr<QQuickView> m_view;
    // A closed view waiting for its deletion; deleted with the window at the latest, while the
    // services its panels refer to still exist.
    QPointer<QQuickView> m_closing;
    // Owned by the view, gone with it.
    SettingsForm* m_form = nullptr;
    DictionaryListModel* m_dictionary = nullptr;
    SnippetListModel* m_snippets = nullptr;
    PruningSavingsPanel* m_savings = nullptr;
    AccountPanel* m_account = nullptr;
    EnginePanel* m_enginePanel = nullptr;
    Scheduler::TimerId m_raiseTimer = Scheduler::invalidTimer;
};
