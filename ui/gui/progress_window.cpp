#include "progress_window.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "qt_progress.h"

namespace ui {

ProgressPicture::ProgressPicture(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void ProgressPicture::set_progress(std::size_t done, std::size_t total) {
    if (done == m_done && total == m_total)
        return;
    m_done = done;
    m_total = total;
    update();
}

int ProgressPicture::filled_width() const {
    if (m_total == 0)
        return 0;
    const std::size_t done = std::min(m_done, m_total);
    return static_cast<int>(static_cast<double>(width()) * static_cast<double>(done) /
                            static_cast<double>(m_total));
}

QSize ProgressPicture::sizeHint() const {
    return {300, 18};
}

void ProgressPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, filled_width(), height()), QColor(0, 0, 192));
}

frmProgress::frmProgress(QWidget* parent)
    : QDialog(parent), m_label(new QLabel(this)), m_picture(new ProgressPicture(this)) {
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("Zelkon"));
    m_label->setObjectName(QStringLiteral("lblStatus"));
    m_picture->setObjectName(QStringLiteral("picProgress"));
    m_label->setMinimumWidth(320);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_picture);
}

void frmProgress::follow(QtProgress& progress) {
    connect(&progress, &QtProgress::updated, this, [this, &progress] {
        m_label->setText(progress.status_text());
        m_picture->set_progress(progress.done(), progress.total());
    });
}

} // namespace ui
