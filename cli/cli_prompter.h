#pragma once

#include <iosfwd>

#include "prompter.h"

namespace cli {

/// Shows message boxes as lines on stderr. Questions take the safe answer (No, Cancel)
/// unless the user said --yes.
class CliPrompter final : public core::Prompter {
public:
    CliPrompter(std::ostream& err, bool assume_yes) : m_err(err), m_yes(assume_yes) {}
    core::Answer ask(const core::Message& message) override;

private:
    std::ostream& m_err;
    bool m_yes;
};

} // namespace cli
