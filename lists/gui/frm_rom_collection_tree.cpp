#include "frm_rom_collection_tree.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "engine_run.h"
#include "progress_window.h"
#include "services.h"

namespace lists {
namespace {

QLabel* wrapped(const char* name, const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setWordWrap(true);
    return label;
}

template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

// One picture of the legend with what it means.
QWidget* legend_item(std::string_view key, const char* meaning, QWidget* parent) {
    auto* item = new QWidget(parent);
    auto* row = new QHBoxLayout(item);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    auto* picture = new QLabel(item);
    if (!key.empty())
        picture->setPixmap(tree_image(key).pixmap(16, 16));
    else
        picture->setFixedSize(16, 16);
    row->addWidget(picture);
    row->addWidget(new QLabel(QString::fromUtf8(meaning), item));
    return item;
}

QWidget* make_legend(QWidget* parent) {
    auto* legend = named(new QWidget(parent), "legend");
    auto* row = new QHBoxLayout(legend);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    row->addWidget(legend_item("green", "In the database and found", legend));
    row->addWidget(legend_item("red", "In the database, not found", legend));
    row->addWidget(legend_item("yellow", "Found, not in the database", legend));
    row->addWidget(legend_item("", "No picture: hidden by a filter", legend));
    row->addStretch(1);
    return legend;
}

} // namespace

frmROMCollectionTree::frmROMCollectionTree(ui::JobContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_run(new ui::EngineRun(this)),
      m_model(new ResultModel(this)), m_search_timer(new QTimer(this)) {
    setObjectName(QStringLiteral("frmROMCollectionTree"));
    if (const auto* system = context.system())
        m_system = *system;
    if (m_context.answerer)
        m_run->prompter().set_answerer(m_context.answerer);
    setWindowIcon(tree_image("lists"));

    Frame0 = make_setup_page();
    Frame1 = make_results_page();
    cmdNext = named(new QPushButton(QStringLiteral("Next >>"), this), "cmdNext");
    cmdBack = named(new QPushButton(QStringLiteral("<< Back"), this), "cmdBack");
    cmdStop = named(new QPushButton(QStringLiteral("Stop"), this), "cmdStop");
    cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
    cmdNext->setDefault(true);
    cmdStop->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (auto* button : {cmdStop, cmdBack, cmdNext, cmdClose})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame0, 1);
    layout->addWidget(Frame1, 1);
    layout->addLayout(buttons);
    make_popup();

    connect(cmdBaseFolder, &QPushButton::clicked, this, [this] { choose_base_folder(); });
    connect(cmdLoadSession, &QPushButton::clicked, this, [this] { load_session(); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { start_scan(); });
    connect(cmdBack, &QPushButton::clicked, this, [this] { go_back(); });
    connect(cmdStop, &QPushButton::clicked, m_run, &ui::EngineRun::stop);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdSaveSession, &QPushButton::clicked, this, [this] { save_session(); });
    connect(cmdSaveList, &QPushButton::clicked, this, [this] { save_lists(); });
    connect(cmdCopyROMs[1], &QPushButton::clicked, this, [this] { copy_roms(Transfer::Move); });
    connect(cmdCopyROMs[0], &QPushButton::clicked, this, [this] { copy_roms(Transfer::Copy); });
    connect(&m_run->progress(), &ui::QtProgress::updated, this, [this] { show_progress(); });
    connect(m_run, &ui::EngineRun::finished, this, [this] {
        set_running(false);
        if (auto after = std::move(m_after))
            after();
    });
    connect(m_model, &ResultModel::counts_changed, this, [this] { update_counts(); });
    m_search_timer->setSingleShot(true);
    m_search_timer->setInterval(150);
    connect(txtSearch, &QLineEdit::textChanged, m_search_timer, qOverload<>(&QTimer::start));
    connect(m_search_timer, &QTimer::timeout, this, [this] {
        m_model->set_search(txtSearch->text());
        if (!txtSearch->text().isEmpty())
            ROMTree->expandAll();
    });
    open_steps();
}

frmROMCollectionTree::~frmROMCollectionTree() {
    // The run goes first: its worker may still be writing into this window's members.
    const bool running = busy();
    delete m_run;
    m_run = nullptr;
    if (running)
        QApplication::restoreOverrideCursor(); // its end, which gives the cursor back, never comes
}

QWidget* frmROMCollectionTree::make_setup_page() {
    auto* page = named(new QWidget(this), "Frame0");
    txtBaseFolder = named(new QLineEdit(page), "txtBaseFolder");
    txtBaseFolder->setReadOnly(true);
    cmdBaseFolder = named(new QPushButton(page), "cmdBaseFolder");
    cmdBaseFolder->setIcon(tree_image("folder"));
    cmdBaseFolder->setToolTip(QStringLiteral("Choose Folder..."));
    radMatchChecksum =
        named(new QRadioButton(QStringLiteral("Match by Checksum"), page), "radMatchChecksum");
    radMatchFilename =
        named(new QRadioButton(QStringLiteral("Match by Filename"), page), "radMatchFilename");
    txtPreviousSession = named(new QLineEdit(page), "txtPreviousSession");
    txtPreviousSession->setReadOnly(true);
    cmdLoadSession = named(new QPushButton(page), "cmdLoadSession");
    cmdLoadSession->setIcon(tree_image("folder"));
    picProgress = named(new ui::ProgressPicture(page), "picProgress");
    lblProgress = named(new QLabel(QStringLiteral("Waiting..."), page), "lblProgress");

    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setColumnStretch(1, 1);
    grid->addWidget(wrapped("Label1",
                            "To create the ROM lists, you must choose the folder that contains "
                            "your ROMs. By default Zelkon chooses your \"Renamed ROMs\" folder.",
                            page),
                    0, 0, 1, 3);
    grid->addWidget(named(new QLabel(QStringLiteral("ROM Folder:"), page), "Label2"), 1, 0);
    grid->addWidget(txtBaseFolder, 1, 1);
    grid->addWidget(cmdBaseFolder, 1, 2);
    grid->addWidget(
        wrapped("Label3",
                "How do you want to find the matches? Matching by filename is the quicker way, "
                "but it may not be as accurate. If you have recently renamed your ROMs, it should "
                "work fine. If you have not renamed your ROMs or their filenames are outdated (ie, "
                "on an older CD-ROM), then you should choose Checksum.",
                page),
        2, 0, 1, 3);
    auto* options = new QHBoxLayout;
    options->addWidget(radMatchChecksum);
    options->addWidget(radMatchFilename);
    options->addStretch(1);
    grid->addLayout(options, 3, 0, 1, 3);
    grid->addWidget(named(new QLabel(QStringLiteral("Previous Session:"), page), "Label6"), 4, 0);
    grid->addWidget(txtPreviousSession, 4, 1);
    grid->addWidget(cmdLoadSession, 4, 2);
    grid->addWidget(wrapped("Label4",
                            "You can add files from a previous session; this is most useful if "
                            "you store files on multiple CD-ROMs. You must Match by Checksum to do "
                            "this. Just leave this blank if you store all your ROMs in the same "
                            "(sub) folder.",
                            page),
                    5, 0, 1, 3);
    grid->addWidget(wrapped("Label5",
                            "To begin scanning, click 'Next'. Zelkon will then find the ROMs and "
                            "then try to match them against the database. When it is finished, "
                            "you can save the lists to text files for reference. You will also be "
                            "able to move any recognized ROMs to another folder.",
                            page),
                    6, 0, 1, 3);
    grid->setRowStretch(7, 1);
    grid->addWidget(picProgress, 8, 0, 1, 3);
    grid->addWidget(lblProgress, 9, 0, 1, 3);
    return page;
}

QWidget* frmROMCollectionTree::make_results_page() {
    auto* page = named(new QWidget(this), "Frame1");
    cmdSaveSession =
        named(new QPushButton(QStringLiteral("Save Session..."), page), "cmdSaveSession");
    cmdSaveList = named(new QPushButton(QStringLiteral("Save Lists"), page), "cmdSaveList");
    cmdSaveList->setIcon(tree_image("lists"));
    cmdCopyROMs[1] =
        named(new QPushButton(QStringLiteral("Move ROMs to..."), page), "cmdCopyROMs1");
    cmdCopyROMs[0] =
        named(new QPushButton(QStringLiteral("Copy ROMs to..."), page), "cmdCopyROMs0");
    cmdCopyROMs[1]->setIcon(tree_image("rename"));
    auto* buttons = new QHBoxLayout;
    for (auto* button : {cmdSaveSession, cmdSaveList, cmdCopyROMs[1], cmdCopyROMs[0]})
        buttons->addWidget(button);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
    layout->addWidget(make_tree_box(), 1);
    return page;
}

QWidget* frmROMCollectionTree::make_tree_box() {
    auto* box = new QWidget(this);
    txtSearch = named(new QLineEdit(box), "txtSearch");
    txtSearch->setPlaceholderText(QStringLiteral("Search the lists"));
    txtSearch->setClearButtonEnabled(true);
    lblCounts = named(new QLabel(box), "lblCounts");
    ROMTree = named(new QTreeView(box), "ROMTree");
    ROMTree->setModel(m_model);
    ROMTree->setHeaderHidden(true);
    ROMTree->setUniformRowHeights(true); // rows are laid out without asking each one
    ROMTree->header()->setStretchLastSection(true);
    ROMTree->viewport()->installEventFilter(this);

    auto* search = new QHBoxLayout;
    search->addWidget(txtSearch, 1);
    search->addWidget(lblCounts);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(search);
    layout->addWidget(ROMTree, 1);
    txtProblems = named(new QPlainTextEdit(box), "txtProblems");
    txtProblems->setReadOnly(true);
    txtProblems->setMaximumHeight(64);
    txtProblems->hide();
    layout->addWidget(txtProblems);
    layout->addWidget(make_legend(box));
    return box;
}

void frmROMCollectionTree::make_popup() {
    mnuPopup = named(new QMenu(QStringLiteral("Popup"), this), "mnuPopup");
    mnuPopupShowAll = mnuPopup->addAction(QStringLiteral("Show All"));
    mnuPopupShowAll->setObjectName(QStringLiteral("mnuPopupShowAll"));
    mnuPopup->addSeparator()->setObjectName(QStringLiteral("mnuPopupB1"));
    for (std::size_t i = 0; i < mnuFilter.size(); ++i) {
        auto* action = mnuPopup->addAction(QString());
        action->setObjectName(QStringLiteral("mnuFilter%1").arg(i));
        action->setCheckable(true);
        action->setChecked(true);
        action->setVisible(false);
        connect(action, &QAction::triggered, this, [this, i] { filter_clicked(i); });
        mnuFilter[i] = action;
    }
    connect(mnuPopupShowAll, &QAction::triggered, this, [this] { show_all_clicked(); });
}

void frmROMCollectionTree::open_steps() {
    load_filters();
    setWindowTitle(QStringLiteral(" ROM Collection Lists - ") +
                   QString::fromStdString(m_system.long_name));
    Frame0->show();
    Frame1->hide();
    cmdBack->setEnabled(false);
    auto start = read_scan_settings(m_system.id, m_context.current_folder);
    (start.by == MatchBy::Filename ? radMatchFilename : radMatchChecksum)->setChecked(true);
    txtBaseFolder->setText(QString::fromStdString(start.base_folder));
    resize(800, 500);
}

void frmROMCollectionTree::reject() {
    if (busy())
        return; // a scan or a transfer is under way: Stop first
    QDialog::reject();
}

void frmROMCollectionTree::closeEvent(QCloseEvent* event) {
    if (busy()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

// The popup menu comes when the right button is released over the tree.
bool frmROMCollectionTree::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ROMTree->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton && !busy()) {
            mnuPopup->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace lists
