#include "qt_prompter.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <condition_variable>
#include <mutex>

#include "text.h"

namespace ui {
namespace {

QMessageBox::Icon icon_of(core::Message::Icon icon) {
    switch (icon) {
    case core::Message::Icon::Information:
        return QMessageBox::Information;
    case core::Message::Icon::Question:
        return QMessageBox::Question;
    case core::Message::Icon::Exclamation:
        return QMessageBox::Warning;
    case core::Message::Icon::Critical:
        return QMessageBox::Critical;
    case core::Message::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

struct Choice {
    const char* caption;
    QMessageBox::ButtonRole role;
    core::Answer answer;
};

std::vector<Choice> choices_of(core::Message::Buttons buttons) {
    using B = core::Message::Buttons;
    using A = core::Answer;
    switch (buttons) {
    case B::Ok:
        return {{"OK", QMessageBox::AcceptRole, A::Ok}};
    case B::OkCancel:
        return {{"OK", QMessageBox::AcceptRole, A::Ok},
                {"Cancel", QMessageBox::RejectRole, A::Cancel}};
    case B::YesNo:
        return {{"&Yes", QMessageBox::YesRole, A::Yes}, {"&No", QMessageBox::NoRole, A::No}};
    case B::YesNoCancel:
        return {{"&Yes", QMessageBox::YesRole, A::Yes},
                {"&No", QMessageBox::NoRole, A::No},
                {"Cancel", QMessageBox::RejectRole, A::Cancel}};
    case B::RetryCancel:
        return {{"&Retry", QMessageBox::AcceptRole, A::Retry},
                {"Cancel", QMessageBox::RejectRole, A::Cancel}};
    case B::ReplaceSkipCancel:
        return {{"&Replace", QMessageBox::AcceptRole, A::Replace},
                {"&Skip", QMessageBox::ActionRole, A::Skip},
                {"Skip &All", QMessageBox::ActionRole, A::SkipAll},
                {"Cancel", QMessageBox::RejectRole, A::Cancel}};
    }
    return {{"OK", QMessageBox::AcceptRole, A::Ok}};
}

} // namespace

QString message_text(const std::string& text) {
    return QString::fromStdString(core::with_line_feeds(text));
}

core::Answer show_message(QWidget* parent, const core::Message& message) {
    QMessageBox box(icon_of(message.icon), QString::fromStdString(message.title),
                    message_text(message.text), QMessageBox::NoButton, parent);
    const auto choices = choices_of(message.buttons);
    std::vector<QPushButton*> buttons;
    for (const auto& choice : choices)
        buttons.push_back(box.addButton(QString::fromUtf8(choice.caption), choice.role));
    box.setDefaultButton(buttons.front());
    // Escape gives the last button's answer: Cancel, No or the only OK.
    box.setEscapeButton(buttons.back());
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i])
            return choices[i].answer;
    return choices.back().answer;
}

struct QtPrompter::Shared {
    std::mutex mutex;
    std::condition_variable answered;
    bool closing = false;
    QPointer<QWidget> parent;
    Answerer answerer;

    core::Answer show(const core::Message& message) {
        return answerer ? answerer(message) : show_message(parent.data(), message);
    }
};

QtPrompter::QtPrompter(QWidget* parent) : m_shared(std::make_shared<Shared>()) {
    m_shared->parent = parent;
}

QtPrompter::~QtPrompter() {
    close();
}

void QtPrompter::set_answerer(Answerer answerer) {
    m_shared->answerer = std::move(answerer);
}

void QtPrompter::close() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->closing = true;
    m_shared->answered.notify_all();
}

core::Answer QtPrompter::ask(const core::Message& message) {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->closing)
            return core::Answer::Cancel;
    }
    auto* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread())
        return m_shared->show(message);

    struct Request {
        bool done = false;
        core::Answer answer = core::Answer::Cancel;
    };
    auto request = std::make_shared<Request>();
    // The box is shown by the UI thread's event loop; the shared state outlives this
    // prompter, so a question still queued when the window has gone does no harm.
    QMetaObject::invokeMethod(
        app,
        [shared = m_shared, request, message] {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->closing)
                    return;
            }
            const core::Answer answer = shared->show(message);
            std::lock_guard lock(shared->mutex);
            request->answer = answer;
            request->done = true;
            shared->answered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_shared->mutex);
    m_shared->answered.wait(lock, [&] { return request->done || m_shared->closing; });
    return request->done ? request->answer : core::Answer::Cancel;
}

} // namespace ui
