#include "ui/settings/SettingsWindow.h"

#include "core/dictation/PTTAppState.h"
#include "ui/settings/DictionaryListModel.h"
#include "ui/settings/EnginePanel.h"
#include "ui/settings/PruningSavingsPanel.h"
#include "ui/settings/SettingsForm.h"
#include "ui/settings/SnippetListModel.h"

#include <QPointer>
#include <QQuickItem>
#include <QQuickView>

SettingsWindow::SettingsWindow(QQmlEngine& engine, Services services, AccountPanel::Links links,
                               AccountPanel::About about, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
    , m_services(std::move(services))
    , m_links(std::move(links))
    , m_about(std::move(about)) {}

SettingsWindow::~SettingsWindow() {
    m_services.account.scheduler.cancel(m_raiseTimer);
    m_view.reset();
    delete m_closing.data();
}

QQuickWindow* SettingsWindow::window() const {
    return m_view.get();
}

bool SettingsWindow::isOpen() const {
    return m_view && m_view->isVisible();
}

void SettingsWindow::create() {
    m_view = std::make_unique<QQuickView>(&m_engine, nullptr);
    QQuickView* view = m_view.get();
    view->setTitle(title);
    view->setFlag(Qt::Dialog, false);
    view->setMinimumSize(QSize(width, height));
    view->setMaximumSize(QSize(width, height));
    view->setResizeMode(QQuickView::SizeRootObjectToView);
    view->resize(width, height);

    m_form = new SettingsForm(m_services.account.controller, m_services.notes, view);
    m_dictionary = new DictionaryListModel(m_services.account.controller, view);
    m_snippets = new SnippetListModel(m_services.account.controller, view);
    m_savings = new PruningSavingsPanel(m_services.database, m_services.account.scheduler.clock(), view);
    m_account = new AccountPanel(m_services.account, m_links, m_about, view);
    PTTAppState& controller = m_services.account.controller;
    m_enginePanel =
        new EnginePanel({.backend = m_services.account.backend,
                         .serviceAddress = [&controller] { return controller.settings().backendBaseURL; },
                         .configFile = m_services.serverConfigFile},
                        view);
    // The About line names the recogniser that answers.
    connect(m_enginePanel, &EnginePanel::applied, m_account, &AccountPanel::refreshService);
    view->setInitialProperties({
        {QStringLiteral("form"), QVariant::fromValue(m_form)},
        {QStringLiteral("dictionary"), QVariant::fromValue(m_dictionary)},
        {QStringLiteral("snippets"), QVariant::fromValue(m_snippets)},
        {QStringLiteral("savings"), QVariant::fromValue(m_savings)},
        {QStringLiteral("account"), QVariant::fromValue(m_account)},
        {QStringLiteral("engine"), QVariant::fromValue(m_enginePanel)},
    });
    view->setSource(QUrl(viewUrl));
    connect(view, &QWindow::visibleChanged, this, [this](bool visible) {
        if (!visible) {
            release();
        }
    });
}

void SettingsWindow::release() {
    if (!m_view) {
        return;
    }
    m_services.account.scheduler.cancel(m_raiseTimer);
    m_form = nullptr;
    m_dictionary = nullptr;
    m_snippets = nullptr;
    m_savings = nullptr;
    m_account = nullptr;
    m_enginePanel = nullptr;
    // Not from inside its own signal: the view goes once the event loop is back.
    delete m_closing.data();
    m_closing = m_view.release();
    m_closing->deleteLater();
    emit closed();
}

void SettingsWindow::present() {
    if (!m_view) {
        create();
    }
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
    // A window manager may put a new window behind the one that had the focus; asking again once
    // the window is mapped brings it forward.
    m_services.account.scheduler.cancel(m_raiseTimer);
    const QPointer<QQuickView> view(m_view.get());
    m_raiseTimer = m_services.account.scheduler.after(0.1, [this, view] {
        m_raiseTimer = Scheduler::invalidTimer;
        if (view && view->isVisible()) {
            view->raise();
            view->requestActivate();
        }
    });
}

void SettingsWindow::close() {
    if (m_view) {
        m_view->close();
    }
}
