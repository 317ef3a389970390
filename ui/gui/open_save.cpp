#include "open_save.h"

#include "open_save_filter.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace ui {
namespace {

QStringList name_filters(const std::string& stored) {
    QStringList list;
    for (const auto& filter : filter_to_name_filters(filter_from_stored(stored)))
        list << QString::fromStdString(filter);
    return list;
}

// "C:\" was where a user's files start; here that is the home folder, which is also where
// Qt's own dialog starts. "/" would show system folders first.
QString start_folder(const QString& init_dir) {
    if (!init_dir.isEmpty() && QFileInfo(init_dir).isDir())
        return init_dir;
    return QDir::homePath();
}

// Position just after the dot of the file name's extension, counted from the start of the
// path; 0 when the name has none (a leading dot only marks a hidden file).
std::int16_t extension_position(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const auto dot = name.lastIndexOf(u'.');
    if (dot <= 0 || dot + 1 == name.size())
        return 0;
    return static_cast<std::int16_t>(path.size() - name.size() + dot + 1);
}

} // namespace

clsOpenSave::clsOpenSave()
    : InitDir(QDir::homePath()), m_filter(filter_to_stored("All Files (*.*)|*.*")) {}

QString clsOpenSave::Filter() const {
    return QString::fromStdString(filter_from_stored(m_filter));
}

void clsOpenSave::setFilter(const QString& filter) {
    m_filter = filter_to_stored(filter.toStdString());
}

OpenSaveResult clsOpenSave::ShowOpen() {
    return show(false);
}

OpenSaveResult clsOpenSave::ShowSave() {
    return show(true);
}

OpenSaveResult clsOpenSave::show(bool save) {
    QFileDialog dialog(hWnd);
    set_up(dialog, save);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        take_choice(dialog);
        return {.chosen = true};
    }
    if (!CancelError)
        return {};
    if (!save) {
        FileName = QStringLiteral("?error?");
        return {};
    }
    return {.error = kCancelErrorNumber,
            .source = QStringLiteral("Run-time error"),
            .description = QStringLiteral("Cancel was selected")};
}

void clsOpenSave::set_up(QFileDialog& dialog, bool save) const {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const bool must_exist = !save && (Flags & kFileMustExist);
    dialog.setFileMode(must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(Flags & kOverwritePrompt));
    if (Flags & kForceShowHidden)
        dialog.setFilter(dialog.filter() | QDir::Hidden);
    if (!DialogTitle.isEmpty())
        dialog.setWindowTitle(DialogTitle);
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setDirectory(start_folder(InitDir));

    const QStringList filters = name_filters(m_filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.value(FilterIndex - 1, filters.first()));
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
}

void clsOpenSave::take_choice(const QFileDialog& dialog) {
    FileName = dialog.selectedFiles().first();
    FileTitle = QFileInfo(FileName).fileName();
    FileExt = extension_position(FileName);
    if (const auto index = dialog.nameFilters().indexOf(dialog.selectedNameFilter()); index >= 0)
        FilterIndex = static_cast<std::int16_t>(index + 1);

    Flags &= ~kExtensionDifferent;
    QString wanted = DefaultExt.startsWith(u'.') ? DefaultExt.mid(1) : DefaultExt;
    if (!wanted.isEmpty() && QFileInfo(FileName).suffix().compare(wanted, Qt::CaseInsensitive))
        Flags |= kExtensionDifferent;
}

} // namespace ui
