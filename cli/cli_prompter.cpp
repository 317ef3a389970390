#include "cli_prompter.h"

#include <ostream>
#include <string>

namespace cli {
namespace {

// Message texts use carriage returns as line breaks; a terminal wants line feeds.
std::string terminal_text(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

core::Answer CliPrompter::ask(const core::Message& message) {
    m_err << message.title << ": " << terminal_text(message.text) << '\n';
    switch (message.buttons) {
    case core::Message::Buttons::Ok:
        return core::Answer::Ok;
    case core::Message::Buttons::OkCancel:
        return m_yes ? core::Answer::Ok : core::Answer::Cancel;
    case core::Message::Buttons::YesNo:
        return m_yes ? core::Answer::Yes : core::Answer::No;
    case core::Message::Buttons::ReplaceSkipCancel:
        // Replacing is never assumed, not even with --yes: the command says so itself.
        return core::Answer::Skip;
    case core::Message::Buttons::YesNoCancel:
    case core::Message::Buttons::RetryCancel:
        return m_yes && message.buttons == core::Message::Buttons::YesNoCancel
                   ? core::Answer::Yes
                   : core::Answer::Cancel;
    }
    return core::Answer::Cancel;
}

} // namespace cli
