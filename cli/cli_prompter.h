#pragma once

#include <iosfwd>
#include <string>

#include "prompter.h"

namespace cli {

/// What the user said on the command line about questions.
enum class Said { Nothing, Yes, No };

/// Shows message boxes as lines on stderr. A user at a terminal answers the questions;
/// otherwise they take --yes or --no, or the safe answer (No, Cancel) when neither was said.
class CliPrompter final : public core::Prompter {
public:
    /// `in` null: nobody is there to answer.
    CliPrompter(std::ostream& err, Said said, std::istream* in = nullptr)
        : m_err(err), m_said(said), m_in(in) {}
    core::Answer ask(const core::Message& message) override;

    /// True once a question got the safe answer only because neither --yes nor --no was
    /// given, so a command can tell the user how to go on.
    bool declined_by_default() const { return m_declined_by_default; }

private:
    core::Answer answer_unasked(const core::Message& message);
    core::Answer answer_asked(const core::Message& message);

    std::ostream& m_err;
    Said m_said;
    std::istream* m_in;
    bool m_declined_by_default = false;
};

/// A message box as one text: warnings and errors prefixed "zelkon-cli: ", the title
/// only where it says more than the text.
std::string message_line(const core::Message& message);

} // namespace cli
