#pragma once

#include <QString>

#include "job_context.h"
#include "prompter.h"

class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// The controls both settings dialogs are made of, named as the design names them.
namespace settings::parts {

QPushButton* button(const char* name, const char* caption, QWidget* parent);
/// A folder button "...", as narrow as its caption.
QPushButton* browse_button(const char* name, QWidget* parent);
QCheckBox* check(const char* name, const char* caption, QWidget* parent);
QRadioButton* option(const char* name, const char* caption, QWidget* parent);
/// A read-only folder box: it changes only through its folder button.
QLineEdit* folder_box(const char* name, QWidget* parent);
QLineEdit* text_box(const char* name, QWidget* parent);
/// OK, Cancel and Apply at the right of one row.
QHBoxLayout* button_row(QPushButton* ok, QPushButton* cancel, QPushButton* apply);

/// Shows a message through the context's answerer, or as a message box over `parent`.
void tell(ui::JobContext& context, QWidget* parent, const core::Message& message);

/// The folder chooser over `parent`, starting at `start`; the chosen folder, or "" when the
/// user cancelled.
QString choose(QWidget* parent, const QString& start);

QString qt(const std::string& text);
std::string std_text(const QString& text);

} // namespace settings::parts
