#include "main_menus.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <filesystem>

#include "frm_zelkon.h"
#include "undo_journal.h"

namespace mainwindow {

MainMenus::MainMenus(frmZelkon& window, QMenuBar& bar, QToolBar& toolbar)
    : QObject(&window), m_window(window) {
    build_file_menu(bar);
    build_edit_menu(bar);
    build_view_menu(bar);
    build_help_menu(bar);
    build_toolbar(toolbar);
}

QAction* MainMenus::action(const QString& name) const {
    return m_window.findChild<QAction*>(name);
}

QMenu* MainMenus::menu(const QString& name) const {
    return m_window.findChild<QMenu*>(name);
}

QMenu* MainMenus::add_menu(QMenuBar& bar, const char* name, const char* caption) {
    QMenu* menu = bar.addMenu(QString::fromUtf8(caption));
    menu->setObjectName(QString::fromUtf8(name));
    return menu;
}

QAction* MainMenus::add_item(QMenu* menu, const char* name, const char* caption) {
    auto* action = new QAction(QString::fromUtf8(caption), &m_window);
    action->setObjectName(QString::fromUtf8(name));
    menu->addAction(action);
    return action;
}

void MainMenus::build_file_menu(QMenuBar& bar) {
    QMenu* file = add_menu(bar, "mnuFile", "&File");
    connect(add_item(file, "mnuFileRenameROMs", "&Rename ROMs..."), &QAction::triggered, &m_window,
            [this] { m_window.open_job_window(QStringLiteral("Rename ROMs")); });
    connect(add_item(file, "mnuFilesortROMs", "&Sort ROMs"), &QAction::triggered, &m_window,
            [this] { m_window.sort_roms(); });
    connect(add_item(file, "mnuFileUnsortROMs", "&Unsort ROMs"), &QAction::triggered, &m_window,
            [this] { m_window.unsort_roms(); });
    file->addSeparator()->setObjectName(QStringLiteral("mnuFileB1"));
    connect(add_item(file, "mnuFileReadNews", "Read &News"), &QAction::triggered, &m_window,
            [this] { m_window.read_news(); });
    connect(add_item(file, "mnuFileUpdateDatabases", "Update All &Databases"), &QAction::triggered,
            &m_window,
            [this] { m_window.open_job_window(QStringLiteral("Update All Databases")); });
    file->addSeparator()->setObjectName(QStringLiteral("mnuFileB2"));
    connect(add_item(file, "mnuFileExit", "E&xit"), &QAction::triggered, &m_window,
            [this] { m_window.close(); });
    connect(file, &QMenu::aboutToShow, this, &MainMenus::enable_file_menu);
}

void MainMenus::build_edit_menu(QMenuBar& bar) {
    QMenu* edit = add_menu(bar, "mnuEdit", "&Edit");
    QAction* undo = add_item(edit, "mnuEditUndo", "&Undo Last Run");
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(undo, &QAction::triggered, &m_window, [this] { m_window.undo_last_run(); });
    edit->addSeparator();
    connect(add_item(edit, "mnuEditGeneralSettings", "General &Settings..."), &QAction::triggered,
            &m_window, [this] {
                m_window.settings_tab = 1;
                m_window.open_job_window(QStringLiteral("General Settings"));
            });
    connect(add_item(edit, "mnuEditSystemSettings", "S&ystem Settings..."), &QAction::triggered,
            &m_window, [this] {
                m_window.settings_tab = 0;
                m_window.open_job_window(QStringLiteral("System Settings"));
            });
    connect(edit, &QMenu::aboutToShow, this, &MainMenus::enable_edit_menu);
}

void MainMenus::build_view_menu(QMenuBar& bar) {
    QMenu* view = add_menu(bar, "mnuView", "&View");
    connect(add_item(view, "mnuViewROMCollectionTree", "&ROM Lists..."), &QAction::triggered,
            &m_window, [this] { m_window.open_job_window(QStringLiteral("ROM Lists")); });
    view->addSeparator()->setObjectName(QStringLiteral("mnuViewB1"));
    QAction* toolbar = add_item(view, "mnuViewToolbars", "&Toolbar");
    QAction* statusbar = add_item(view, "mnuViewStatusBar", "Status&bar");
    for (QAction* bar_item : {toolbar, statusbar}) {
        bar_item->setCheckable(true);
        bar_item->setChecked(true);
    }
    connect(toolbar, &QAction::toggled, &m_window, [this](bool on) {
        m_window.toolbar()->setVisible(on);
        m_window.resize_handler();
    });
    connect(statusbar, &QAction::toggled, &m_window, [this](bool on) {
        m_window.status_bar()->setVisible(on);
        m_window.resize_handler();
    });
    view->addSeparator()->setObjectName(QStringLiteral("mnuViewB2"));
    auto* styles = new QActionGroup(this);
    const char* captions[] = {"Lar&ge Icons", "S&mall Icons", "&List", "&Details"};
    for (int i = 0; i < 4; ++i) {
        QAction* style = add_item(view, "mnuViewFileStyle", captions[i]);
        style->setObjectName(QStringLiteral("mnuViewFileStyle%1").arg(i));
        style->setCheckable(true);
        style->setChecked(i == 2);
        styles->addAction(style);
        connect(style, &QAction::triggered, &m_window, [this, i] { m_window.set_file_style(i); });
    }
    view->addSeparator()->setObjectName(QStringLiteral("mnuViewB3"));
    QAction* refresh = add_item(view, "mnuViewRefresh", "R&efresh");
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    connect(refresh, &QAction::triggered, &m_window, [this] { m_window.refresh_views(); });
    connect(view, &QMenu::aboutToShow, this, &MainMenus::enable_view_menu);
}

void MainMenus::build_help_menu(QMenuBar& bar) {
    QMenu* help = add_menu(bar, "mnuHelp", "&Help");
    connect(add_item(help, "mnuHelpAboutZelkon", "&About Zelkon..."), &QAction::triggered,
            &m_window, [this] { m_window.show_about(); });
    connect(add_item(help, "mnuHelpWhatsNew", "&Whats New?"), &QAction::triggered, &m_window,
            [this] { m_window.whats_new(); });
}

void MainMenus::build_toolbar(QToolBar& toolbar) {
    struct Button {
        const char* caption;
        const char* key;
        const char* image;
    };
    // The captions keep their trailing blanks: they size the buttons alike.
    const Button buttons[] = {{"ZDB Setup", "db", "db"},
                              {"Set Folders", "folders", "folder"},
                              {"ROM Lists ", "lists", "lists"},
                              {"Rename    ", "rename", "green"}};
    for (const Button& b : buttons) {
        QAction* action = toolbar.addAction(
            QIcon(QStringLiteral(":/toolbar/%1.svg").arg(QString::fromUtf8(b.image))),
            QString::fromUtf8(b.caption));
        action->setObjectName(QString::fromUtf8(b.key));
        action->setData(QString::fromUtf8(b.key));
        connect(action, &QAction::triggered, &m_window,
                [this, key = QString::fromUtf8(b.key)] { m_window.toolbar_click(key); });
    }
}

void MainMenus::enable_file_menu() {
    const bool online = m_window.online();
    const bool system = m_window.current_system() != 0 && !m_window.busy();
    action(QStringLiteral("mnuFileReadNews"))->setEnabled(online);
    action(QStringLiteral("mnuFileUpdateDatabases"))->setEnabled(online);
    for (const char* name : {"mnuFileRenameROMs", "mnuFilesortROMs", "mnuFileUnsortROMs"})
        action(QString::fromUtf8(name))->setEnabled(system);
}

void MainMenus::enable_edit_menu() {
    std::error_code ec;
    action(QStringLiteral("mnuEditUndo"))
        ->setEnabled(!m_window.busy() && std::filesystem::exists(core::undo_journal_path(), ec));
    action(QStringLiteral("mnuEditSystemSettings"))->setEnabled(m_window.current_system() != 0);
}

void MainMenus::enable_view_menu() {
    action(QStringLiteral("mnuViewROMCollectionTree"))->setEnabled(m_window.current_system() != 0);
}

void MainMenus::enable_all() {
    enable_file_menu();
    enable_edit_menu();
    enable_view_menu();
}

} // namespace mainwindow
