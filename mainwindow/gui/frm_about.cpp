#include "frm_about.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace mainwindow {
namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 280;

QLabel* add_label(QWidget* parent, const char* name, const QString& text, QRect where,
                  bool bold = false) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setGeometry(where);
    label->setWordWrap(true);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.6);
        label->setFont(font);
    }
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent), m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Zelkon"));
    setFixedSize(kWidth, kHeight);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picLogo"));
    picture->setPixmap(QIcon(QStringLiteral(":/icons/about.svg")).pixmap(64, 64));
    picture->setGeometry(20, 20, 64, 64);

    add_label(this, "lblName", QStringLiteral("Zelkon"), {100, 18, 300, 34}, true);
    add_label(this, "lblVersion", QStringLiteral("Version 1.30"), {100, 54, 300, 20});
    add_label(this, "lblPurpose",
              QStringLiteral("Names, sorts and lists collections of ROM files by their "
                             "checksums."),
              {100, 78, 300, 36});
    add_label(this, "lblDisclaimer1", QStringLiteral("Zelkon comes with no warranty of any kind."),
              {20, 124, 380, 20});
    add_label(this, "lblDisclaimer2",
              QStringLiteral("Every run can be undone from Edit, Undo Last Run; keep a copy "
                             "of what you cannot replace all the same."),
              {20, 146, 380, 36});
    add_label(this, "lblDisclaimer3",
              QStringLiteral("ROM files are the property of their makers: keep only what "
                             "you may keep."),
              {20, 186, 380, 36});

    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setDefault(true);
    m_ok->resize(90, m_ok->sizeHint().height());
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void frmAbout::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Centred: its left edge at half the window's width less half its own.
    m_ok->move(width() / 2 - m_ok->width() / 2, height() - m_ok->height() - 14);
}

} // namespace mainwindow
