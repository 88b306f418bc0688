#pragma once

#include "core/wizard/SetupWizardModel.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

class QQmlEngine;
class QQuickView;
class QQuickWindow;

// The window of the first-run setup: its view and the model that decides what it shows. Made
// when setup opens and thrown away when it closes, so a later setup starts at the welcome screen.
class SetupWizardWindow final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetupWizardWindow)

public:
    static inline const QString viewUrl = QStringLiteral("qrc:/qt/qml/Orlavo/Ui/SetupWizardView.qml");
    static inline const QString title = QStringLiteral("Brevant Orlavo Setup");
    static constexpr QSize contentSize{540, 520};
    static constexpr QSize minimumSize{440, 320};
    // The window manager may not give the focus to a window that is still being mapped.
    static constexpr int activationDelayMs = 150;

    SetupWizardWindow(QQmlEngine& engine, SetupWizardModel::Ports ports, QObject* parent = nullptr);
    ~SetupWizardWindow() override;

    // Shows it centred on the screen under the pointer and brings it to the front.
    void present();
    // As the window's close button does.
    void close();
    bool isOpen() const;
    QQuickWindow* window() const;
    SetupWizardModel& model() { return m_model; }

Q_SIGNALS:
    // Closed by the user, by the window manager or by close().
    void closed();

private:
    SetupWizardModel m_model;
    std::unique_ptr<QQuickView> m_view;
    int m_shownStep = 0;
};
