#pragma once

#include <QAbstractListModel>
#include <QString>

#include <vector>

// The ready-made shortcuts the setup wizard offers, with the one in use marked.
class ShortcutPresetModel final : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ShortcutPresetModel)

public:
    enum Role {
        labelRole = Qt::UserRole + 1,
        detailRole,
        keyCodeRole,
        recommendedRole,
        noteRole,
        selectedRole
    };

    struct Preset {
        QString label;
        QString detail;
        qint64 keyCode = 0;
        bool recommended = false;
        QString note;
    };

    // `functionKeyName` names the key that stands in for fn on this desktop; empty where fn is a
    // key of its own.
    explicit ShortcutPresetModel(const QString& functionKeyName, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const std::vector<Preset>& presets() const { return m_presets; }
    // A preset is selected when its key is the hotkey's, whatever the modifiers.
    void setSelectedKeyCode(qint64 keyCode);

private:
    std::vector<Preset> m_presets;
    qint64 m_selectedKeyCode = -1;
};
