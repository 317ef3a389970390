#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "prompter.h"

class QWidget;

namespace ui {

/// An engine's message box as a window shows it: the exact text (its carriage returns as
/// line breaks), title, icon and buttons. UI thread only.
core::Answer show_message(QWidget* parent, const core::Message& message);

/// The engine's text with its line ends made the window's.
QString message_text(const std::string& text);

/// Answers an engine's questions in a window.
///
/// ask() may be called from a worker thread: the question is shown on the UI thread and
/// only the worker waits for the answer, never the window. Called on the UI thread it shows
/// the box at once. Once close() has been called (the window is going), every question,
/// also one already waiting, is answered Cancel without being shown, so a worker never waits
/// for a window that no longer exists.
class QtPrompter final : public core::Prompter {
public:
    /// What shows a question on the UI thread; show_message by default, a recorder in tests.
    using Answerer = std::function<core::Answer(const core::Message&)>;

    explicit QtPrompter(QWidget* parent = nullptr);
    ~QtPrompter() override;
    QtPrompter(const QtPrompter&) = delete;
    QtPrompter& operator=(const QtPrompter&) = delete;

    core::Answer ask(const core::Message& message) override;

    void set_answerer(Answerer answerer);
    void close();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace ui
