#include "ui/QtFileChooser.h"

#include <QCoroSignal>
#include <QFileDialog>
#include <QPointer>

QCoro::Task<std::optional<QString>> QtFileChooser::chooseSaveFile(SaveFileRequest request) {
    QPointer<QFileDialog> dialog = new QFileDialog(nullptr, request.title, request.directory);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (!request.nameFilters.isEmpty()) {
        dialog->setNameFilters(request.nameFilters);
    }
    dialog->setDefaultSuffix(QStringLiteral("md"));
    if (!request.proposedFileName.isEmpty()) {
        dialog->selectFile(request.proposedFileName);
    }
    dialog->open();
    const int result = co_await qCoro(dialog.data(), &QDialog::finished);
    if (!dialog) {
        co_return std::nullopt;
    }
    const QStringList chosen = dialog->selectedFiles();
    dialog->deleteLater();
    if (result != QDialog::Accepted || chosen.isEmpty()) {
        co_return std::nullopt;
    }
    co_return chosen.first();
}
