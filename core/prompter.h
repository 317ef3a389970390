#pragma once

#include <string>

namespace core {

/// A message box as the engine means it: exact text, title, icon and buttons.
/// Every front end shows it its own way (a dialog, a line on stderr, a test recorder).
struct Message {
    enum class Icon { None, Information, Question, Exclamation, Critical };
    enum class Buttons {
        Ok,
        OkCancel,
        YesNo,
        YesNoCancel,
        RetryCancel,
        ReplaceSkipCancel, ///< a target exists: Replace, Skip, Skip All, Cancel
    };

    std::string text;
    std::string title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
};

enum class Answer { Ok, Cancel, Yes, No, Retry, Replace, Skip, SkipAll };

/// What an engine may ask of whoever runs it. May block the worker thread, never the UI thread.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual Answer ask(const Message& message) = 0;
};

/// Answers Ok, Yes, or Skip for an existing target, and shows nothing.
Prompter& silent_prompter();

} // namespace core
