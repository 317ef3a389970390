#include "log_box.h"

#include <QScrollBar>
#include <QTextCursor>

namespace renaming {
namespace {

// The engine ends its lines with CR LF; the box shows plain line breaks.
QString shown(QString text) {
    text.remove(QLatin1Char('\r'));
    return text;
}

} // namespace

LogBox::LogBox(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("txtLog"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

void LogBox::append_log(const QString& text) {
    if (text.isEmpty())
        return;
    m_text += text;
    if (m_text.size() >= kLimit) {
        m_text = m_text.right(kKeep);
        setPlainText(shown(m_text));
    } else {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(shown(text));
    }
    show_end();
}

void LogBox::show_end() {
    QTextCursor end = textCursor();
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

} // namespace renaming
