#include "cli_prompter.h"

#include <ostream>
#include <string>

#include "text.h"

namespace cli {

core::Answer CliPrompter::ask(const core::Message& message) {
    m_err << message.title << ": " << core::with_line_feeds(message.text) << '\n';
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
