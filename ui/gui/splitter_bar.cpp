#include "splitter_bar.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>

#include <algorithm>
#include <utility>

namespace ui {

namespace {

// The narrowest a desktop lets a window with a title bar be made: room for its buttons and a
// little of the caption. No style reports it, so it is fixed here.
constexpr int kMinWindowWidth = 112;

// A thin border as the style draws it around frames.
int border_width() {
    return std::max(1, QApplication::style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
}

// A window's sizing frame, made so that the bar (the frame less the border) is as wide as the
// style's own splitter handles.
int sizing_frame_width() {
    return std::max(1, QApplication::style()->pixelMetric(QStyle::PM_SplitterWidth)) +
           border_width();
}

QRect to_qrect(const SplitRect& r) {
    return {r.x, r.y, r.width, r.height};
}

// The outline of an outline drag: whatever lies under it is shown inverted.
class OutlineBand final : public QWidget {
public:
    explicit OutlineBand(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("splitterOutline"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Difference);
        painter.fillRect(rect(), Qt::white);
    }
};

bool sunken(const QWidget* pane) {
    const auto* frame = qobject_cast<const QFrame*>(pane);
    return frame && frame->frameShape() != QFrame::NoFrame &&
           frame->frameShadow() == QFrame::Sunken;
}

QString not_a_window(const QWidget* control, const char* role) {
    const QString name = control && !control->objectName().isEmpty() ? control->objectName()
                                                                     : QString::fromUtf8(role);
    return name + QStringLiteral(" must be a window (have a window handle).");
}

} // namespace

class SplitterBar::Host final : public SplitterHost {
public:
    explicit Host(QObject* key_filter) : m_key_filter(key_filter) {}

    QPointer<QWidget> client, left, right;
    QPointer<QWidget> bar; // not QFrame: read while the frame is being destroyed
    QPointer<OutlineBand> band;
    std::function<void()> resize;

    SplitRect client_rect() const override {
        return client ? SplitRect{0, 0, client->width(), client->height()} : SplitRect{};
    }
    bool minimised() const override { return client && client->window()->isMinimized(); }
    int bar_left() const override { return bar ? bar->x() : 0; }
    void move_left_pane(const SplitRect& r) override { place(left, r); }
    void move_right_pane(const SplitRect& r) override { place(right, r); }
    void move_bar(const SplitRect& r) override { place(bar, r); }
    // The bar keeps the mouse by Qt's own grab while a button is down; Escape is watched
    // application-wide only while the drag lasts.
    bool begin_drag() override {
        qApp->installEventFilter(m_key_filter);
        return true;
    }
    void end_drag() override {
        qApp->removeEventFilter(m_key_filter);
        if (band)
            band->hide();
    }
    void invert_outline(const SplitRect& r) override {
        if (!band)
            return;
        if (band->isVisible() && band->geometry() == to_qrect(r)) {
            band->hide();
            return;
        }
        band->setGeometry(to_qrect(r));
        band->raise();
        band->show();
    }
    void resize_splitter() override {
        if (resize)
            resize();
    }

private:
    static void place(QWidget* control, const SplitRect& r) {
        if (control)
            control->setGeometry(to_qrect(r));
    }
    QObject* m_key_filter;
};

SplitterBar::SplitterBar(QObject* parent)
    : QObject(parent), m_host(std::make_unique<Host>(this)),
      m_split(SplitterMetrics{sizing_frame_width(), border_width(), kMinWindowWidth}) {}

SplitterBar::~SplitterBar() = default;

bool SplitterBar::set_controls(QWidget* client, QWidget* left, QWidget* right, QFrame* bar,
                               std::function<void()> resize_splitter, QString* error) {
    if (!client) {
        if (error)
            *error = not_a_window(nullptr, "The client area");
        return false;
    }
    const std::pair<QWidget*, const char*> controls[] = {
        {left, "The left pane"}, {right, "The right pane"}, {bar, "The splitter bar"}};
    for (const auto& [control, role] : controls) {
        if (!control || control->parentWidget() != client) {
            if (error)
                *error = not_a_window(control, role);
            return false;
        }
    }
    m_split.cancel_split();
    if (m_host->client)
        m_host->client->removeEventFilter(this);
    if (m_host->bar)
        m_host->bar->removeEventFilter(this);
    delete m_host->band;
    m_host->client = client;
    m_host->left = left;
    m_host->right = right;
    m_host->bar = bar;
    m_host->band = new OutlineBand(client);
    m_host->resize = std::move(resize_splitter);

    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    bar->setPalette(palette);
    bar->setAutoFillBackground(true);
    bar->setCursor(Qt::SizeHorCursor);
    bar->raise();
    client->installEventFilter(this);
    bar->installEventFilter(this);
    m_split.bind(*m_host, sunken(left));
    return true;
}

bool SplitterBar::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::ShortcutOverride) && splitting() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && m_host->client && widget->window() == m_host->client->window()) {
            event->accept(); // an Escape shortcut must not take the key first
            return type == QEvent::ShortcutOverride || m_split.escape_pressed();
        }
    }
    if (watched == m_host->bar)
        return bar_event(event);
    if (watched == m_host->client && type == QEvent::Resize)
        m_split.owner_resized();
    return QObject::eventFilter(watched, event);
}

bool SplitterBar::bar_event(QEvent* event) {
    auto type = event->type();
    if (type == QEvent::MouseButtonDblClick)
        type = QEvent::MouseButtonPress; // the second press of a double click starts a drag too
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int x = mouse->position().toPoint().x();
    const bool left_button = mouse->button() == Qt::LeftButton;
    if (type == QEvent::MouseButtonPress && left_button)
        m_split.mouse_down(x);
    else if (type == QEvent::MouseMove && splitting())
        m_split.mouse_move(x);
    else if (type == QEvent::MouseButtonRelease && left_button && splitting())
        m_split.mouse_up(x);
    else
        return false;
    return true;
}

} // namespace ui
