#include "cli_prompter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "interrupt.h"
#include "text.h"

namespace cli {
namespace {

using core::Answer;
using Buttons = core::Message::Buttons;

// Titles that add nothing to their text on a terminal.
constexpr std::array kEmptyTitles{"Arg", "Unable to connect...", "Zelkon", "Done", "Confirmation"};

struct Choice {
    char letter;
    const char* word;
    Answer answer;
};

// The buttons of a question, the safe one (taken on a bare Enter) first.
std::vector<Choice> choices(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return {};
    case Buttons::OkCancel:
        return {{'c', "cancel", Answer::Cancel}, {'o', "ok", Answer::Ok}};
    case Buttons::YesNo:
        return {{'n', "no", Answer::No}, {'y', "yes", Answer::Yes}};
    case Buttons::YesNoCancel:
        return {
            {'c', "cancel", Answer::Cancel}, {'y', "yes", Answer::Yes}, {'n', "no", Answer::No}};
    case Buttons::RetryCancel:
        return {{'c', "cancel", Answer::Cancel}, {'r', "retry", Answer::Retry}};
    case Buttons::ReplaceSkipCancel:
        return {{'s', "skip", Answer::Skip},
                {'r', "replace", Answer::Replace},
                {'a', "all", Answer::SkipAll},
                {'c', "cancel", Answer::Cancel}};
    }
    return {};
}

// " [y/N] " for yes or no, else the words too: " (skip, replace, all, cancel) [S/r/a/c] ".
std::string question_tail(const std::vector<Choice>& list) {
    std::string words, letters;
    for (const auto& choice : list) {
        bool safe = &choice == &list.front();
        words += (words.empty() ? "" : ", ") + std::string(choice.word);
        letters += (letters.empty() ? "" : "/");
        letters += safe ? static_cast<char>(std::toupper(choice.letter)) : choice.letter;
    }
    if (list.front().answer == Answer::No)
        return " [" + std::string(letters.rbegin(), letters.rend()) + "] ";
    return " (" + words + ") [" + letters + "] ";
}

const Choice* chosen(const std::vector<Choice>& list, std::string reply) {
    std::erase_if(reply, [](unsigned char c) { return std::isspace(c); });
    std::transform(reply.begin(), reply.end(), reply.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (reply.empty())
        return &list.front();
    for (const auto& choice : list)
        if (reply == std::string(1, choice.letter) || reply == choice.word)
            return &choice;
    return nullptr;
}

} // namespace

std::string message_line(const core::Message& message) {
    using Icon = core::Message::Icon;
    std::string line;
    if (message.icon == Icon::Exclamation || message.icon == Icon::Critical)
        line = "zelkon-cli: ";
    bool empty_title = message.title.empty() || std::find(kEmptyTitles.begin(), kEmptyTitles.end(),
                                                          message.title) != kEmptyTitles.end();
    if (!empty_title) {
        // A heading before a colon: "Missing a file.: ..." reads as "Missing a file: ...".
        std::string_view title = message.title;
        if (title.ends_with('.') && !title.ends_with(".."))
            title.remove_suffix(1);
        line += std::string(title) + ": ";
    }
    return line + core::with_line_feeds(message.text);
}

core::Answer CliPrompter::ask(const core::Message& message) {
    if (m_in && m_said == Said::Nothing && message.buttons != Buttons::Ok)
        return answer_asked(message);
    m_err << message_line(message) << '\n';
    return answer_unasked(message);
}

core::Answer CliPrompter::answer_unasked(const core::Message& message) {
    bool yes = m_said == Said::Yes;
    Answer answer = Answer::Cancel;
    switch (message.buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::ReplaceSkipCancel:
        // Replacing is never assumed, not even with --yes: the command says so itself.
        return Answer::Skip;
    case Buttons::OkCancel:
        answer = yes ? Answer::Ok : Answer::Cancel;
        break;
    case Buttons::YesNo:
        answer = yes ? Answer::Yes : Answer::No;
        break;
    case Buttons::YesNoCancel:
        answer = yes ? Answer::Yes : Answer::Cancel;
        break;
    case Buttons::RetryCancel:
        return Answer::Cancel;
    }
    if (m_said == Said::Nothing)
        m_declined_by_default = true;
    return answer;
}

// Asks until the reply names a button; the end of the input, or a Ctrl-C while the user was
// asked, is the safe answer.
core::Answer CliPrompter::answer_asked(const core::Message& message) {
    const auto list = choices(message.buttons);
    const std::string question = message_line(message) + question_tail(list);
    std::string reply;
    for (;;) {
        m_err << question << std::flush;
        if (!std::getline(*m_in, reply) || interrupted()) {
            m_err << '\n';
            return list.front().answer;
        }
        if (const Choice* choice = chosen(list, reply))
            return choice->answer;
    }
}

} // namespace cli
