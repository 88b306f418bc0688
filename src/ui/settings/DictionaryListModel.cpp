#include "ui/settings/DictionaryListModel.h"

#include "core/dictation/PTTAppState.h"

DictionaryListModel::DictionaryListModel(PTTAppState& controller, QObject* parent)
    : QAbstractListModel(parent)
    , m_controller(controller) {
    connect(&controller, &PTTAppState::dictionaryEntriesChanged, this, &DictionaryListModel::reload);
}

int DictionaryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_controller.dictionaryEntries().size());
}

QVariant DictionaryListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const DictionaryEntry& entry = m_controller.dictionaryEntries()[static_cast<std::size_t>(index.row())];
    switch (role) {
    case IdRole:
        return entry.id;
    case WrongRole:
        return entry.wrong;
    case CorrectRole:
        return entry.correct;
    case WholeWordRole:
        return entry.wholeWord;
    default:
        return {};
    }
}

QHash<int, QByteArray> DictionaryListModel::roleNames() const {
    return {
        {IdRole, "entryId"}, {WrongRole, "wrong"}, {CorrectRole, "correct"}, {WholeWordRole, "wholeWord"}};
}

bool DictionaryListModel::add(const QString& wrong, const QString& correct, bool wholeWord) {
    const auto saved = m_controller.saveDictionaryEntry(wrong, correct, wholeWord);
    setError(saved ? QString() : QStringLiteral("Not saved: ") + saved.error().description);
    return saved.ok();
}

void DictionaryListModel::remove(qint64 id) {
    m_controller.deleteDictionaryEntry(id);
}

void DictionaryListModel::refresh() {
    m_controller.refreshPersonalizationData();
}

void DictionaryListModel::reload() {
    // The lists are short and change a row at a time: a reset is simpler than diffing.
    beginResetModel();
    endResetModel();
    emit countChanged();
}

void DictionaryListModel::setError(const QString& error) {
    if (error != m_error) {
        m_error = error;
        emit errorChanged();
    }
}
