#pragma once

#include <iosfwd>

#include "prompter.h"

namespace cli {

/// What the user said on the command line about questions.
enum class Said { Nothing, Yes, No };

/// Shows message boxes as lines on stderr. Questions take the safe answer (No, Cancel)
/// unless the user said --yes.
class CliPrompter final : public core::Prompter {
public:
    CliPrompter(std::ostream& err, Said said) : m_err(err), m_said(said) {}
    core::Answer ask(const core::Message& message) override;

    /// True once a question got the safe answer only because neither --yes nor --no was
    /// given, so a command can tell the user how to go on.
    bool declined_by_default() const { return m_declined_by_default; }

private:
    std::ostream& m_err;
    Said m_said;
    bool m_declined_by_default = false;
};

} // namespace cli
