#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace renaming {

/// `txtLog`: the run's log. It keeps the text as the engine wrote it (CR LF line ends) and
/// shows it with plain line breaks. Appending is cheap: a block goes in at the end, the
/// whole text is set again only when it is cut.
class LogBox final : public QPlainTextEdit {
    Q_OBJECT
public:
    /// The box's limit: a log that reaches it keeps only its newest kKeep characters.
    static constexpr qsizetype kLimit = 65535;
    static constexpr qsizetype kKeep = 32768;

    explicit LogBox(QWidget* parent = nullptr);

    /// Appends `text`, shows the end of the log, and when the log then holds kLimit
    /// characters or more, keeps only its last kKeep characters (the newest text is never
    /// the part that is lost).
    void append_log(const QString& text);
    /// The log as the engine wrote it.
    const QString& log_text() const { return m_text; }

private:
    void show_end();

    QString m_text;
};

} // namespace renaming
