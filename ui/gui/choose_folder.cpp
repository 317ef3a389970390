#include "choose_folder.h"

#include "app_home.h"
#include "folder_tree.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

QString chosen_folder;

namespace {

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* made = new QPushButton(caption, parent);
    made->setObjectName(name);
    made->setAutoDefault(false);
    return made;
}

QString app_home_folder() {
    return QFile::decodeName(QByteArray::fromStdString(core::app_home().string()));
}

} // namespace

frmChooseFolder::frmChooseFolder(QWidget* parent)
    : QDialog(parent), exTree1(new FolderTree(this)),
      cmdOK(button(QStringLiteral("cmdOK"), QStringLiteral("OK"), this)),
      cmdCancel(button(QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), this)),
      cmdNewFolder(button(QStringLiteral("cmdNewFolder"), QStringLiteral("New..."), this)) {
    setObjectName(QStringLiteral("frmChooseFolder"));
    setWindowTitle(QStringLiteral("Choose Folder..."));
    exTree1->setObjectName(QStringLiteral("exTree1"));
    cmdOK->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdNewFolder);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(exTree1);
    layout->addLayout(buttons);
    resize(360, 420);

    connect(cmdOK, &QPushButton::clicked, this, &frmChooseFolder::on_ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdNewFolder, &QPushButton::clicked, this, &frmChooseFolder::on_new_folder);
}

// The caller may set chosen_folder after making the window, so it is read when first shown.
void frmChooseFolder::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_loaded)
        load();
    m_loaded = true;
}

void frmChooseFolder::load() {
    if (!exTree1->open_folder(chosen_folder) && !exTree1->open_folder(app_home_folder()))
        exTree1->open_folder(QDir::homePath());
    chosen_folder.clear();
}

void frmChooseFolder::on_ok() {
    QString folder = exTree1->selected_folder();
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    chosen_folder = folder;
    accept();
}

void frmChooseFolder::on_new_folder() {
    QString error;
    if (!exTree1->new_folder(&error))
        QMessageBox::warning(this, windowTitle(), error);
}

std::optional<QString> choose_folder(QWidget* parent, const QString& start) {
    chosen_folder = start;
    frmChooseFolder chooser(parent);
    chooser.exec();
    if (chosen_folder.isEmpty())
        return std::nullopt;
    return chosen_folder;
}

} // namespace ui
