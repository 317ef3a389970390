#include "folder_tree.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <filesystem>
#include <system_error>

namespace ui {
namespace {

constexpr int kSettleMs = 3000;

bool taken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Why `name` cannot become a folder of `parent`; "" when it can.
QString name_problem(const QString& parent, const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("A folder name cannot be empty.");
    if (name.contains(u'/') || name.contains(QChar(0)))
        return QStringLiteral("A folder name cannot contain \"/\".");
    if (name == u"." || name == u"..")
        return QStringLiteral("\"%1\" cannot be used as a folder name.").arg(name);
    if (QFile::encodeName(name).size() > 255)
        return QStringLiteral("The name \"%1\" is too long.").arg(name);
    if (taken(QDir(parent).filePath(name)))
        return QStringLiteral("\"%1\" already holds something named \"%2\".").arg(parent, name);
    return {};
}

// Checks a name typed in place before the folder is renamed, so that a taken or unusable
// name is explained and the folder keeps the name it had.
class FolderModel final : public QFileSystemModel {
public:
    explicit FolderModel(QWidget* owner) : QFileSystemModel(owner), m_owner(owner) {}

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::EditRole || index.column() != 0)
            return QFileSystemModel::setData(index, value, role);
        const QString name = value.toString().trimmed();
        if (name == index.data().toString())
            return true;
        QString problem = name_problem(filePath(index.parent()), name);
        if (problem.isEmpty() && QFileSystemModel::setData(index, name, role))
            return true;
        if (problem.isEmpty())
            problem = QStringLiteral("Could not rename \"%1\" to \"%2\".")
                          .arg(index.data().toString(), name);
        tell(problem);
        return false;
    }

private:
    // Not exec(): the editor is still closing when this runs.
    void tell(const QString& text) const {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Rename Folder"), text,
                                    QMessageBox::Ok, m_owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }

    QPointer<QWidget> m_owner;
};

QFileSystemModel* make_model(QWidget* owner) {
    auto* model = new FolderModel(owner);
    model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot);
    model->setReadOnly(false); // for renaming a new folder in place
    model->setRootPath(QDir::rootPath());
    return model;
}

QString free_name(const QString& parent) {
    QString name = QStringLiteral("New Folder");
    for (int n = 2; taken(QDir(parent).filePath(name)); ++n)
        name = QStringLiteral("New Folder (%1)").arg(n);
    return name;
}

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

} // namespace

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent), m_settle_timer(new QTimer(this)) {
    m_settle_timer->setInterval(100);
    connect(m_settle_timer, &QTimer::timeout, this, &FolderTree::apply_settle);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers); // names are edited only right after "New..."
    attach(make_model(this));
}

void FolderTree::attach(QFileSystemModel* model) {
    QItemSelectionModel* old_selection = selectionModel();
    m_model = model;
    setModel(model);
    delete old_selection;
    for (int column = 1; column < model->columnCount(); ++column)
        hideColumn(column);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit folder_selected(selected_folder()); });
    // The renamed folder stays the selected one.
    connect(model, &QFileSystemModel::fileRenamed, this,
            [this](const QString& folder, const QString&, const QString& new_name) {
                // The model replaces the renamed row as it reads the folder again, which
                // can take the selection with it: it is followed for a moment.
                m_follow = QDir::cleanPath(QDir(folder).filePath(new_name));
                open_folder(m_follow);
            });
}

bool FolderTree::open_folder(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return false;
    const QString path = QDir::cleanPath(info.absoluteFilePath());
    const QModelIndex index = m_model->index(path);
    if (!index.isValid())
        return false;
    if (path != m_follow)
        m_follow.clear();
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
        expand(above);
    setCurrentIndex(index);
    scrollTo(index, PositionAtCenter);
    settle(-1);
    return true;
}

void FolderTree::showEvent(QShowEvent* event) {
    QTreeView::showEvent(event);
    // A folder opened before the tree had a size is brought into view once it has one.
    QTimer::singleShot(0, this, [this] {
        if (currentIndex().isValid())
            scrollTo(currentIndex(), PositionAtCenter);
    });
}

QString FolderTree::selected_folder() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : QDir::cleanPath(m_model->filePath(rows.first()));
}

bool FolderTree::new_folder(QString* error) {
    const QString parent = selected_folder();
    if (parent.isEmpty())
        return fail(error, QStringLiteral("Select the folder to make the new folder in."));
    const QString path = QDir(parent).filePath(free_name(parent));
    std::error_code code;
    if (!std::filesystem::create_directory(QFile::encodeName(path).toStdString(), code))
        return fail(error, QStringLiteral("Could not make \"%1\": %2")
                               .arg(path, QString::fromLocal8Bit(code.message())));
    const QModelIndex made = m_model->index(path);
    if (!made.isValid() || !open_folder(path))
        return fail(error, QStringLiteral("Made \"%1\" but cannot show it.").arg(path));
    edit(made);
    return true;
}

void FolderTree::refresh() {
    const QString selected = selected_folder();
    const int scroll = verticalScrollBar()->value();
    QStringList expanded;
    add_expanded(rootIndex(), expanded);
    QFileSystemModel* old = m_model;
    attach(make_model(this));
    old->deleteLater();
    for (const QString& folder : expanded) {
        if (const QModelIndex index = m_model->index(folder); index.isValid())
            expand(index);
    }
    if (!open_folder(selected) && !selected.isEmpty())
        emit folder_selected(QString());
    // The rows stay where the user had them, not centred on the selection.
    verticalScrollBar()->setValue(scroll);
    settle(scroll);
}

// Folders are read in the background and shift the rows as they arrive: for a moment after
// the program set the view, it is set again a few times a second, until the user takes over.
void FolderTree::settle(int scroll) {
    m_keep_scroll = scroll;
    m_settling.start();
    m_settle_timer->start();
}

void FolderTree::apply_settle() {
    if (m_settling.hasExpired(kSettleMs)) {
        m_settle_timer->stop();
        m_follow.clear();
        return;
    }
    if (!m_follow.isEmpty() && selected_folder() != m_follow) {
        const QModelIndex index = m_model->index(m_follow);
        if (index.isValid())
            setCurrentIndex(index);
    }
    if (m_keep_scroll >= 0)
        verticalScrollBar()->setValue(m_keep_scroll);
    else if (currentIndex().isValid())
        scrollTo(currentIndex(), PositionAtCenter);
}

bool FolderTree::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::Wheel:
    case QEvent::MouseButtonPress:
        m_settle_timer->stop();
        m_follow.clear();
        break;
    default:
        break;
    }
    return QTreeView::viewportEvent(event);
}

// Only branches already read: the walk never makes the model read a folder.
void FolderTree::add_expanded(const QModelIndex& parent, QStringList& folders) const {
    for (int row = 0; row < m_model->rowCount(parent); ++row) {
        const QModelIndex child = m_model->index(row, 0, parent);
        if (!isExpanded(child))
            continue;
        folders << m_model->filePath(child);
        add_expanded(child, folders);
    }
}

} // namespace ui
