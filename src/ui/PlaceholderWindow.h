#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QQmlEngine;
class QQuickView;
class QQuickWindow;

// A small ordinary window standing in for one that is not built yet: a heading, a message and
// one button.
class PlaceholderWindow final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlaceholderWindow)

public:
    static inline const QString viewUrl = QStringLiteral("qrc:/qt/qml/Orlavo/Ui/PlaceholderView.qml");

    struct Texts {
        QString title;
        QString heading;
        QString message;
        QString actionText;
    };

    PlaceholderWindow(QQmlEngine& engine, Texts texts, QObject* parent = nullptr);
    ~PlaceholderWindow() override;

    // Shows it (made on first use), brings it to the front and gives it the focus.
    void present();
    void close();
    bool isOpen() const;
    QQuickWindow* window() const;

Q_SIGNALS:
    void actionTriggered();
    // Closed by the user or by close().
    void closed();

private:
    QQmlEngine& m_engine;
    Texts m_texts;
    std::unique_ptr<QQuickView> m_view;
};
