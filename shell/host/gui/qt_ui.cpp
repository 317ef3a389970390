#include "qt_ui.h"

#include <QInputDialog>
#include <cstdio>
#include <QStringList>

#include "property_dialog.h"
#include "qt_prompter.h"

namespace zelshell {

core::Answer QtUi::ask(const core::Message& message) {
    return ui::show_message(nullptr, message);
}

void QtUi::report_error(const std::string& text) {
    std::fprintf(stderr, "zelshell: %s\n", text.c_str());
    ui::show_message(nullptr, {text, "Zelkon", core::Message::Icon::Critical,
                               core::Message::Buttons::Ok});
}

void QtUi::show_page(HPROPSHEETPAGE page) {
    PropertyDialog dialog;
    if (!open_page_dialog(page, &dialog))
        return;
    dialog.exec();
    close_page_dialog(page, &dialog);
}

std::optional<std::filesystem::path>
QtUi::choose_database(const std::vector<DatabaseChoice>& choices) {
    QStringList names;
    for (const auto& choice : choices)
        names << QString::fromStdString(choice.long_name);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        nullptr, QStringLiteral("Rename with Zelkon Database"),
        QStringLiteral("Give the files the names of this database:"), names, 0, false, &ok);
    if (!ok)
        return std::nullopt;
    const auto at = names.indexOf(chosen);
    return at < 0 ? std::nullopt : std::optional(choices[static_cast<std::size_t>(at)].file);
}

} // namespace zelshell
