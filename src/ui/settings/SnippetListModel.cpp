#include "ui/settings/SnippetListModel.h"

#include "core/dictation/PTTAppState.h"

SnippetListModel::SnippetListModel(PTTAppState& controller, QObject* parent)
    : QAbstractListModel(parent)
    , m_controller(controller) {
    connect(&controller, &PTTAppState::snippetsChanged, this, &SnippetListModel::reload);
}

int SnippetListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_controller.snippets().size());
}

QVariant SnippetListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const SnippetEntry& entry = m_controller.snippets()[static_cast<std::size_t>(index.row())];
    switch (role) {
    case IdRole:
        return entry.id;
    case TriggerRole:
        return entry.trigger;
    case BodyRole:
        return entry.body;
    default:
        return {};
    }
}

QHash<int, QByteArray> SnippetListModel::roleNames() const {
    return {{IdRole, "entryId"}, {TriggerRole, "trigger"}, {BodyRole, "body"}};
}

bool SnippetListModel::add(const QString& trigger, const QString& body) {
    const auto saved = m_controller.saveSnippet(trigger, body);
    setError(saved ? QString() : QStringLiteral("Not saved: ") + saved.error().description);
    return saved.ok();
}

void SnippetListModel::remove(qint64 id) {
    m_controller.deleteSnippet(id);
}

void SnippetListModel::reload() {
    // The lists are short and change a row at a time: a reset is simpler than diffing.
    beginResetModel();
    endResetModel();
    emit countChanged();
}

void SnippetListModel::setError(const QString& error) {
    if (error != m_error) {
        m_error = error;
        emit errorChanged();
    }
}
