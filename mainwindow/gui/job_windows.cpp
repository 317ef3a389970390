// The job windows the main window opens: each gets the program's context, runs its engine
// on a worker thread and tells the main window what changed.

#include <QComboBox>
#include <QDialog>
#include <memory>

#include "frm_general_settings.h"
#include "frm_rename_roms.h"
#include "frm_rom_collection_tree.h"
#include "frm_setup.h"
#include "frm_zdb_list.h"
#include "frm_zelkon.h"
#include "main_menus.h"
#include "news.h"
#include "platform.h"

namespace mainwindow {

ui::JobContext frmZelkon::job_context() {
    ui::JobContext context;
    context.services = &m_services;
    context.systems = &m_systems;
    context.current_system = m_current_system;
    context.current_folder = m_current_folder;
    context.file_filter = m_file_filter;
    context.settings_tab = &settings_tab;
    context.refresh_views = [this] { refresh_views(); };
    context.open_window = [this](const QString& window) { open_job_window(window); };
    context.systems_changed = [this] { reload_system_list(); };
    context.show_text = [this](const std::filesystem::path& file) { return viewer().show(file); };
    context.is_online = [this] { return online(); };
    context.answerer = m_hooks.answerer;
    return context;
}

void frmZelkon::open_job_window(const QString& name) {
    ui::JobContext context = job_context();
    std::unique_ptr<QDialog> window;
    if (name == QLatin1String("Rename ROMs") && context.system() != nullptr)
        window = std::make_unique<renaming::frmRenameROMs>(context, this);
    else if (name == QLatin1String("ROM Lists") && context.system() != nullptr)
        window = std::make_unique<lists::frmROMCollectionTree>(context, this);
    else if (name == QLatin1String("System Settings") && context.system() != nullptr)
        window = std::make_unique<settings::frmSetup>(context, this);
    else if (name == QLatin1String("General Settings"))
        window = std::make_unique<settings::frmGeneralSettings>(context, this);
    else if (name == QLatin1String("Update All Databases"))
        window = std::make_unique<update::frmZDBList>(context, this);
    if (window != nullptr)
        window->exec();
    m_menus->enable_all();
}

// The database list added databases it downloaded: the system list shows them, and the
// selected system stays selected.
void frmZelkon::reload_system_list() {
    const std::string selected = current_system_id();
    m_systems_box->clear();
    for (const auto& system : m_systems)
        m_systems_box->addItem(QString::fromStdString(system.long_name));
    for (std::size_t i = 0; i < m_systems.size(); ++i)
        if (m_systems[i].id == selected)
            m_systems_box->setCurrentIndex(static_cast<int>(i));
}

} // namespace mainwindow
