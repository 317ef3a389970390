#include "frm_zelkon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <cmath>

#include "app_home.h"
#include "engine_run.h"
#include "file_list.h"
#include "folder_tree.h"
#include "main_menus.h"
#include "news.h"
#include "platform.h"
#include "progress_window.h"
#include "services.h"
#include "settings.h"
#include "splitter_bar.h"

namespace mainwindow {
namespace {

// The window's size before any is stored, in pixels.
constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 560;

int to_pixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
double to_twips(int pixels) {
    return static_cast<double>(pixels) * kTwipsPerPixel;
}

// Places a control in twips, as the layout was drawn, shown in pixels.
void place(QWidget& w, double left, double top, double width, double height) {
    w.setGeometry(to_pixels(left), to_pixels(top), std::max(0, to_pixels(width)),
                  std::max(0, to_pixels(height)));
}

// One pane: a control of its own height at the top, another filling the rest 30 twips below
// it, both `left` from the pane's edge and `cut` narrower than the pane.
void lay_out_pane(const QWidget& pane, QWidget& top, QWidget& rest, double left, double cut) {
    const double width = to_twips(pane.width()) - cut;
    const double top_height = to_twips(top.sizeHint().height());
    place(top, left, 0, width, top_height);
    place(rest, left, top_height + 30, width, to_twips(pane.height()) - top_height - 30);
}

QFrame* plain_frame(QWidget* parent, const char* name) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromUtf8(name));
    frame->setFrameShape(QFrame::NoFrame);
    return frame;
}

} // namespace

frmZelkon::frmZelkon(core::Services& services, MainWindowHooks hooks)
    : m_services(services), m_hooks(std::move(hooks)), m_prompter(this) {
    setObjectName(QStringLiteral("frmZelkon"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/icons/zelkon.svg")));
    setAcceptDrops(true);
    resize(kDesignWidth, kDesignHeight);
    if (m_hooks.answerer)
        m_prompter.set_answerer(m_hooks.answerer);
    build_controls();
    m_auto_news =
        std::make_unique<update::AutoNewsOnce>(update::NewsClient::for_home(m_services.home()));
}

frmZelkon::~frmZelkon() = default;

std::string frmZelkon::current_system_id() const {
    return m_current_system == 0 ? std::string() : m_systems[m_current_system - 1].id;
}

void frmZelkon::build_controls() {
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);
    m_frame1 = plain_frame(m_client, "Frame1");
    m_frame2 = plain_frame(m_client, "Frame2");
    m_bar = plain_frame(m_client, "fraSplitter");

    m_systems_box = new QComboBox(m_frame1);
    m_systems_box->setObjectName(QStringLiteral("cmbSystems"));
    m_tree = new ui::FolderTree(m_frame1);
    m_tree->setObjectName(QStringLiteral("PTxShTree1"));
    m_folder_text = new QLineEdit(m_frame2);
    m_folder_text->setObjectName(QStringLiteral("txtFolder"));
    m_folder_text->setReadOnly(true);
    m_list = new FileList(m_frame2);
    m_list->setObjectName(QStringLiteral("FileList"));

    // The bars sit inside the client area, as the panes' Top and HeightOffset expect.
    m_toolbar = new QToolBar(m_client);
    m_toolbar->setObjectName(QStringLiteral("Toolbar"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setMovable(false);
    m_status = new QStatusBar(m_client);
    m_status->setObjectName(QStringLiteral("StatusBar"));
    m_status->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(m_status);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        m_panels[i]->setMinimumWidth(i == 0 ? 0 : 110);
    }
    m_panels[0]->setText(QStringLiteral("Ready"));
    m_status->addWidget(m_panels[0], 1);
    // Stop, shown while a sort, unsort or undo runs: the run ends within one file.
    m_stop = new QToolButton(m_status);
    m_stop->setObjectName(QStringLiteral("cmdStop"));
    m_stop->setText(QStringLiteral("Stop"));
    m_stop->hide();
    m_status->addPermanentWidget(m_stop);
    m_status->addPermanentWidget(m_panels[1]);
    m_status->addPermanentWidget(m_panels[2]);

    m_menus = new MainMenus(*this, *menuBar(), *m_toolbar);
    m_client->installEventFilter(this);

    connect(m_systems_box, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { select_system(static_cast<std::size_t>(index)); });
}

// ---- start-up -----------------------------------------------------------------------

void frmZelkon::load() {
    // The folder tree drives the file list; the list reports each change.
    connect(m_tree, &ui::FolderTree::folder_selected, this, &frmZelkon::on_folder_selected);
    connect(m_list, &FileList::changed, this, &frmZelkon::update_rom_label);

    load_databases();
    for (const auto& system : m_systems)
        m_systems_box->addItem(QString::fromStdString(system.long_name));
    if (auto index = start_system(m_systems))
        select_system(*index);

    const std::string home = core::app_home().string();
    const std::string start = core::read_setting("general", "StartupFolder", home).text();
    if (core::is_existing_folder(start))
        m_tree->open_folder(QString::fromStdString(start));

    if (about_due(kCaption))
        show_about();
    restore_window();
    const bool toolbar = bar_shown("Toolbar");
    const bool statusbar = bar_shown("Statusbar");
    m_menus->action(QStringLiteral("mnuViewToolbars"))->setChecked(toolbar);
    m_menus->action(QStringLiteral("mnuViewStatusBar"))->setChecked(statusbar);
    m_toolbar->setVisible(toolbar);
    m_status->setVisible(statusbar);
    set_up_layout();
    m_menus->enable_all();
}

void frmZelkon::load_databases() {
    ui::EngineRun run(this);
    if (m_hooks.answerer)
        run.prompter().set_answerer(m_hooks.answerer);
    ui::frmProgress window(this);
    window.follow(run.progress());
    window.show();
    std::vector<core::SystemEntry> systems;
    QEventLoop loop;
    connect(&run, &ui::EngineRun::finished, &loop, &QEventLoop::quit);
    run.start([&systems](core::Progress& progress, core::Prompter& prompter) {
        systems = core::load_rdbs(core::databases_folder(), prompter, progress);
    });
    // The window is not shown yet: waiting here keeps the start-up in its order while the
    // progress window paints and a missing folder's message box can be answered.
    loop.exec();
    m_systems = std::move(systems);
}

void frmZelkon::restore_window() {
    QSize screen = m_hooks.screen.value_or(this->screen()->geometry().size());
    const Placement design{to_twips(x()), to_twips(y()), to_twips(width()), to_twips(height())};
    const Placement p =
        restore_placement(design, to_twips(screen.width()), to_twips(screen.height()));
    move(to_pixels(p.left), to_pixels(p.top));
    resize(to_pixels(p.width), to_pixels(p.height));
}

void frmZelkon::set_up_layout() {
    layout()->activate(); // the panes are measured before the window is first shown
    m_bar->setAutoFillBackground(true);
    m_splitter = new ui::SplitterBar(this);
    QString error;
    if (!m_splitter->set_controls(
            m_client, m_frame1, m_frame2, m_bar, [this] { Resize_Splitter(); }, &error)) {
        ask({error.toStdString(), "Zelkon", core::Message::Icon::None, core::Message::Buttons::Ok});
        return;
    }
    m_splitter->set_left(
        static_cast<int>(std::lround((m_client->width() - m_splitter->width()) * 0.3)));
    m_splitter->set_top(0);
    m_splitter->set_track_split(true);
    resize_handler();
}

// ---- layout -------------------------------------------------------------------------

void frmZelkon::place_bars() {
    const int w = m_client->width();
    const int tb = m_toolbar->sizeHint().height();
    const int sb = m_status->sizeHint().height();
    m_toolbar->setGeometry(0, 0, w, tb);
    m_status->setGeometry(0, m_client->height() - sb, w, sb);
}

void frmZelkon::resize_handler() {
    m_toolbar->setEnabled(m_current_system != 0);
    if (++m_resize_nesting == 1 && m_splitter != nullptr) {
        place_bars();
        if (m_splitter->track_split()) {
            m_splitter->set_top(!m_toolbar->isHidden() ? m_toolbar->height() + 3 : 3);
            m_splitter->set_height_offset(!m_status->isHidden() ? m_status->height() + 1 : 1);
        }
        Resize_Splitter();
    }
    --m_resize_nesting;
}

void frmZelkon::Resize_Splitter() {
    lay_out_pane(*m_frame1, *m_systems_box, *m_tree, 15, 15);
    lay_out_pane(*m_frame2, *m_folder_text, *m_list, 0, 32);
}

bool frmZelkon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize)
        resize_handler();
    return QMainWindow::eventFilter(watched, event);
}

void frmZelkon::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        activation_handler();
}

// ---- system selection and folder view -----------------------------------------------

void frmZelkon::select_system(std::size_t index) {
    if (index >= m_systems.size())
        return;
    m_systems_box->setCurrentIndex(static_cast<int>(index));
    m_current_system = index + 1;
    const std::string id = current_system_id();
    if (core::read_setting(id, "UseDefaultFolder", 0) == "1") {
        const std::string folder = core::read_setting(id, "DefaultFolder", "").text();
        if (core::is_existing_folder(folder))
            m_tree->open_folder(QString::fromStdString(folder));
    }
    update_file_pattern();
    update_rom_label();
    m_toolbar->setEnabled(true);
}

void frmZelkon::update_file_pattern() {
    m_list->set_filter(QString::fromStdString(core::file_filter(m_systems[m_current_system - 1])));
    m_file_filter = m_list->filter().toStdString();
}

void frmZelkon::update_rom_label() {
    const std::string text = folder_text(m_list->folder().toStdString());
    m_folder_text->setText(QString::fromStdString(text));
    m_current_folder = text.empty() ? std::string() : text.substr(1);
    m_panels[1]->setText(
        QString::fromStdString(file_count_text(static_cast<std::size_t>(m_list->count()))));
    m_panels[2]->setText(m_list->filter());
}

void frmZelkon::on_folder_selected(const QString& folder) {
    if (folder.isEmpty())
        m_folder_text->clear();
    m_list->set_folder(folder);
}

void frmZelkon::set_file_style(int index) {
    m_list->set_style(static_cast<FileList::Style>(index));
    m_menus->action(QStringLiteral("mnuViewFileStyle%1").arg(index))->setChecked(true);
}

void frmZelkon::refresh_views() {
    m_tree->refresh();
    m_list->refresh();
}

// ---- shut-down ----------------------------------------------------------------------

void frmZelkon::closeEvent(QCloseEvent* event) {
    ShutdownState state;
    if (m_current_system != 0)
        state.last_system = current_system_id();
    state.window_state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    // The normal window's place, also while maximised: its frame's corner and its size.
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    const QPoint frame_offset = geometry().topLeft() - frameGeometry().topLeft();
    state.normal = {to_twips(normal.x() - frame_offset.x()),
                    to_twips(normal.y() - frame_offset.y()), to_twips(normal.width()),
                    to_twips(normal.height())};
    state.toolbar = m_menus->action(QStringLiteral("mnuViewToolbars"))->isChecked();
    state.statusbar = m_menus->action(QStringLiteral("mnuViewStatusBar"))->isChecked();
    (void)save_shutdown(state); // shut-down goes on whatever could not be saved
    m_prompter.close();
    event->accept();
}

} // namespace mainwindow
