#pragma once

#include <QDialog>
#include <string>
#include <utility>
#include <vector>

#include "shell_api.h"

class QLineEdit;
class QTreeView;

namespace zelshell {

class RomListModel;

/// The "ROM Database" page in a window of its own: the credit, the ROM count, the version
/// and every ROM's CRC32 and title. The library's dialog procedure fills it through
/// DialogControls; the list is a model over the rows, so a hundred thousand show at once.
class PropertyDialog final : public QDialog, public DialogControls {
    Q_OBJECT
public:
    explicit PropertyDialog(QWidget* parent = nullptr);
    ~PropertyDialog() override;

    void set_item_text(int id, const char* text) override;
    void insert_column(int list_id, int column, const char* title, int width) override;
    void insert_rows(int list_id, const Row* rows, std::size_t count) override;
    void size_columns_to_contents(int list_id) override;
    void set_busy(bool busy) override;

    QLineEdit* credit() const { return m_credit; }
    QLineEdit* count() const { return m_count; }
    QLineEdit* version() const { return m_version; }
    QTreeView* list() const { return m_list; }

private:
    QLineEdit* m_credit;
    QLineEdit* m_count;
    QLineEdit* m_version;
    QTreeView* m_list;
    RomListModel* m_model;
    bool m_busy = false;
};

} // namespace zelshell
