#include "dialog_parts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "choose_folder.h"
#include "qt_prompter.h"

namespace settings::parts {

QPushButton* button(const char* name, const char* caption, QWidget* parent) {
    auto* made = new QPushButton(QString::fromUtf8(caption), parent);
    made->setObjectName(QString::fromUtf8(name));
    made->setAutoDefault(false);
    return made;
}

QPushButton* browse_button(const char* name, QWidget* parent) {
    QPushButton* made = button(name, "...", parent);
    made->setFixedWidth(made->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    return made;
}

QCheckBox* check(const char* name, const char* caption, QWidget* parent) {
    auto* made = new QCheckBox(QString::fromUtf8(caption), parent);
    made->setObjectName(QString::fromUtf8(name));
    return made;
}

QRadioButton* option(const char* name, const char* caption, QWidget* parent) {
    auto* made = new QRadioButton(QString::fromUtf8(caption), parent);
    made->setObjectName(QString::fromUtf8(name));
    return made;
}

QLineEdit* folder_box(const char* name, QWidget* parent) {
    QLineEdit* made = text_box(name, parent);
    made->setReadOnly(true);
    made->setMinimumWidth(160);
    // A long folder shows its end; the whole path is a hover away.
    QObject::connect(made, &QLineEdit::textChanged, made, &QLineEdit::setToolTip);
    return made;
}

QLineEdit* text_box(const char* name, QWidget* parent) {
    auto* made = new QLineEdit(parent);
    made->setObjectName(QString::fromUtf8(name));
    return made;
}

QHBoxLayout* button_row(QPushButton* ok, QPushButton* cancel, QPushButton* apply) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    row->addWidget(apply);
    ok->setDefault(true);
    return row;
}

void tell(ui::JobContext& context, QWidget* parent, const core::Message& message) {
    if (context.answerer)
        context.answerer(message);
    else
        ui::show_message(parent, message);
}

QString choose(QWidget* parent, const QString& start) {
    return ui::choose_folder(parent, start).value_or(QString());
}

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

std::string std_text(const QString& text) {
    return text.toStdString();
}

} // namespace settings::parts
