#pragma once

#include <QObject>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QToolBar;

namespace mainwindow {

class frmZelkon;

/// The main window's menus and toolbar buttons, with the captions, access keys, order and
/// separators users know, and the rules that enable them as each menu opens. Every item
/// and button is a QAction named as the window's code names it (`mnuFileRenameROMs`,
/// the buttons by their keys "db", "folders", "lists", "rename"). UI thread only.
class MainMenus final : public QObject {
    Q_OBJECT
public:
    MainMenus(frmZelkon& window, QMenuBar& bar, QToolBar& toolbar);

    /// The item or button of that name; null when there is none.
    QAction* action(const QString& name) const;
    QMenu* menu(const QString& name) const;

    /// The rules run as each menu opens; also run after a job so shortcuts follow them.
    void enable_file_menu();
    void enable_edit_menu();
    void enable_view_menu();
    void enable_all();

private:
    QMenu* add_menu(QMenuBar& bar, const char* name, const char* caption);
    QAction* add_item(QMenu* menu, const char* name, const char* caption);
    void build_file_menu(QMenuBar& bar);
    void build_edit_menu(QMenuBar& bar);
    void build_view_menu(QMenuBar& bar);
    void build_help_menu(QMenuBar& bar);
    void build_toolbar(QToolBar& toolbar);

    frmZelkon& m_window;
};

} // namespace mainwindow
