#include "property_dialog.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

namespace zelshell {

/// The two columns of the ROM list, kept as the library's UTF-8 texts and turned into
/// QStrings only for the rows on screen.
class RomListModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_titles.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const auto& row = m_rows[static_cast<std::size_t>(index.row())];
        return QString::fromStdString(index.column() == 0 ? row.first : row.second);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= static_cast<int>(m_titles.size()))
            return {};
        return m_titles[static_cast<std::size_t>(section)];
    }

    void insert_column(int column, const QString& title) {
        const int at = std::min(column, static_cast<int>(m_titles.size()));
        beginInsertColumns({}, at, at);
        m_titles.insert(m_titles.begin() + at, title);
        endInsertColumns();
    }
    void append(const DialogControls::Row* rows, std::size_t count) {
        if (count == 0)
            return;
        const int first = static_cast<int>(m_rows.size());
        beginInsertRows({}, first, first + static_cast<int>(count) - 1);
        m_rows.reserve(m_rows.size() + count);
        for (std::size_t i = 0; i < count; ++i)
            m_rows.emplace_back(rows[i].column0 ? rows[i].column0 : "",
                                rows[i].column1 ? rows[i].column1 : "");
        endInsertRows();
    }

private:
    std::vector<QString> m_titles;
    std::vector<std::pair<std::string, std::string>> m_rows;
};

namespace {

QLineEdit* read_only_box(QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setReadOnly(true);
    return box;
}

} // namespace

PropertyDialog::PropertyDialog(QWidget* parent)
    : QDialog(parent), m_credit(read_only_box(this)), m_count(read_only_box(this)),
      m_version(read_only_box(this)), m_list(new QTreeView(this)), m_model(new RomListModel(this)) {
    setWindowTitle(QStringLiteral("ROM Database"));
    setObjectName(QStringLiteral("RomDatabasePage"));
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_count->setAlignment(Qt::AlignRight);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Credit To:"), this), 0, 0);
    grid->addWidget(m_credit, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("ROM Count:"), this), 1, 0);
    grid->addWidget(m_count, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Version:"), this), 1, 2);
    grid->addWidget(m_version, 1, 3);
    grid->addWidget(m_list, 2, 0, 1, 4);
    grid->setColumnStretch(3, 2);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 3, 0, 1, 4);
    resize(420, 460);
}

PropertyDialog::~PropertyDialog() {
    set_busy(false);
}

void PropertyDialog::set_item_text(int id, const char* text) {
    const QString value = QString::fromUtf8(text ? text : "");
    QLineEdit* box = id == 1001 ? m_credit : id == 1002 ? m_count : id == 1003 ? m_version : nullptr;
    if (box) {
        box->setText(value);
        box->setCursorPosition(0);
    }
}

void PropertyDialog::insert_column(int, int column, const char* title, int width) {
    m_model->insert_column(column, QString::fromUtf8(title ? title : ""));
    m_list->setColumnWidth(column, width);
}

void PropertyDialog::insert_rows(int, const Row* rows, std::size_t count) {
    m_model->append(rows, count);
}

void PropertyDialog::size_columns_to_contents(int) {
    for (int c = 0; c < m_model->columnCount(); ++c)
        m_list->resizeColumnToContents(c);
}

void PropertyDialog::set_busy(bool busy) {
    if (busy == m_busy || !qApp)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace zelshell
