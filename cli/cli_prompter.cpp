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
    bool yes = m_said == Said::Yes;
    core::Answer answer = core::Answer::Cancel;
    switch (message.buttons) {
    case core::Message::Buttons::Ok:
        return core::Answer::Ok;
    case core::Message::Buttons::ReplaceSkipCancel:
        // Replacing is never assumed, not even with --yes: the command says so itself.
        return core::Answer::Skip;
    case core::Message::Buttons::OkCancel:
        answer = yes ? core::Answer::Ok : core::Answer::Cancel;
        break;
    case core::Message::Buttons::YesNo:
        answer = yes ? core::Answer::Yes : core::Answer::No;
        break;
    case core::Message::Buttons::YesNoCancel:
        answer = yes ? core::Answer::Yes : core::Answer::Cancel;
        break;
    case core::Message::Buttons::RetryCancel:
        return core::Answer::Cancel;
    }
    if (m_said == Said::Nothing)
        m_declined_by_default = true;
    return answer;
}

} // namespace cli
