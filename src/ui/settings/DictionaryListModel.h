#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QtQml/qqmlregistration.h>

class PTTAppState;

// The personal corrections, in the controller's order, and the form that adds one.
class DictionaryListModel final : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window")
    Q_DISABLE_COPY_MOVE(DictionaryListModel)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // Why the last add failed; empty after a success.
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)

public:
    enum Role { IdRole = Qt::UserRole + 1, WrongRole, CorrectRole, WholeWordRole };

    explicit DictionaryListModel(PTTAppState& controller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return rowCount(); }
    QString error() const { return m_error; }

    // True when stored: only then may the form forget what was typed.
    Q_INVOKABLE bool add(const QString& wrong, const QString& correct, bool wholeWord);
    Q_INVOKABLE void remove(qint64 id);
    // Reads the corrections and snippets from the database again.
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void countChanged();
    void errorChanged();

private:
    void reload();
    void setError(const QString& error);

    PTTAppState& m_controller;
    QString m_error;
};
