#include "core/wizard/ShortcutPresetModel.h"

#include "core/hotkey/KeyCodes.h"

namespace {

constexpr qint64 f5 = 96;

} // namespace

ShortcutPresetModel::ShortcutPresetModel(const QString& functionKeyName, QObject* parent)
    : QAbstractListModel(parent)
    , m_presets{
          {functionKeyName.isEmpty() ? QStringLiteral("Fn") : functionKeyName,
           QStringLiteral("Hold to talk"),
           KeyCodes::function,
           true,
           {}},
          {QStringLiteral("Caps Lock"), QStringLiteral("Hold to talk"), KeyCodes::capsLock, false,
           QStringLiteral("Quick tap still toggles Caps Lock")},
          {QStringLiteral("F5"), QStringLiteral("Function key"), f5, false, {}},
      } {}

int ShortcutPresetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_presets.size());
}

QVariant ShortcutPresetModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const Preset& preset = m_presets[static_cast<std::size_t>(index.row())];
    switch (role) {
    case labelRole:
        return preset.label;
    case detailRole:
        return preset.detail;
    case keyCodeRole:
        return preset.keyCode;
    case recommendedRole:
        return preset.recommended;
    case noteRole:
        return preset.note;
    case selectedRole:
        return preset.keyCode == m_selectedKeyCode;
    default:
        return {};
    }
}

QHash<int, QByteArray> ShortcutPresetModel::roleNames() const {
    return {{labelRole, "label"},     {detailRole, "detail"},
            {keyCodeRole, "keyCode"}, {recommendedRole, "recommended"},
            {noteRole, "note"},       {selectedRole, "selected"}};
}

void ShortcutPresetModel::setSelectedKeyCode(qint64 keyCode) {
    if (keyCode == m_selectedKeyCode) {
        return;
    }
    m_selectedKeyCode = keyCode;
    if (!m_presets.empty()) {
        emit dataChanged(index(0), index(rowCount() - 1), {selectedRole});
    }
}
