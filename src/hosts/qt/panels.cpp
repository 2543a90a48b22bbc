#include "hosts/qt/panels.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QUrl>

namespace host::qt {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }

std::string fileUrl(const QString& path) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toStdString();
}

// The texts go in after the modes: changing the accept mode resets the button texts.
void prepare(QFileDialog& dialog, const std::string& title, const std::string& message,
             const std::vector<std::string>& fileTypes, const std::string& buttonText) {
    if (!title.empty()) dialog.setWindowTitle(fromUtf8(title));
    if (!buttonText.empty()) dialog.setLabelText(QFileDialog::Accept, fromUtf8(buttonText));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Abbrechen"));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Ordner:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Dateityp:"));
    const QStringList patterns = nameFilterPatterns(fileTypes);
    if (!patterns.isEmpty()) dialog.setNameFilter(patterns.join(QLatin1Char(' ')));
    // Qt's dialog has no place for a message: it goes in a line of its own below the rest.
    if (!message.empty()) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            auto* label = new QLabel(fromUtf8(message), &dialog);
            label->setWordWrap(true);
            grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
}

}  // namespace

QStringList nameFilterPatterns(const std::vector<std::string>& fileTypes) {
    QStringList patterns;
    for (const std::string& type : fileTypes) {
        QString extension = fromUtf8(type).trimmed();
        while (extension.startsWith(QLatin1Char('*')) || extension.startsWith(QLatin1Char('.'))) extension.remove(0, 1);
        if (extension.isEmpty()) continue;
        const QString pattern = QStringLiteral("*.") + extension;
        if (!patterns.contains(pattern)) patterns << pattern;
    }
    return patterns;
}

std::vector<std::string> runOpenPanel(const host::OpenPanelRequest& request, QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt chooses either files or folders: a request for folders only chooses folders.
    if (request.folders && !request.files) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    prepare(dialog, request.title, request.message, request.fileTypes, request.buttonText);
    if (dialog.exec() != QDialog::Accepted) return {};
    std::vector<std::string> urls;
    for (const QString& path : dialog.selectedFiles()) {
        urls.push_back(fileUrl(path));
        if (!request.multiple) break;
    }
    return urls;
}

std::string runSavePanel(const host::SavePanelRequest& request, QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    prepare(dialog, request.title, request.message, request.fileTypes, request.buttonText);
    if (!request.nameLabel.empty()) dialog.setLabelText(QFileDialog::FileName, fromUtf8(request.nameLabel));
    const QStringList patterns = nameFilterPatterns(request.fileTypes);
    // A name typed without an extension gets the first allowed one.
    if (!patterns.isEmpty()) dialog.setDefaultSuffix(patterns.front().mid(2));
    if (!request.name.empty()) dialog.selectFile(fromUtf8(request.name));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::string() : fileUrl(chosen.front());
}

}  // namespace host::qt
