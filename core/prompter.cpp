#include "prompter.h"

#include "progress.h"

namespace core {
namespace {

class SilentPrompter final : public Prompter {
public:
    Answer ask(const Message& message) override {
        switch (message.buttons) {
        case Message::Buttons::YesNo:
        case Message::Buttons::YesNoCancel:
            return Answer::Yes;
        case Message::Buttons::RetryCancel:
            return Answer::Cancel;
        case Message::Buttons::ReplaceSkipCancel:
            return Answer::Skip;
        default:
            return Answer::Ok;
        }
    }
};

class NullProgress final : public Progress {
public:
    void status(std::string_view) override {}
    void log(std::string_view) override {}
    void step(std::size_t, std::size_t) override {}
};

} // namespace

Prompter& silent_prompter() {
    static SilentPrompter instance;
    return instance;
}

Progress& null_progress() {
    static NullProgress instance;
    return instance;
}

} // namespace core
