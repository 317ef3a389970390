#pragma once

#include <QString>
#include <cstdint>
#include <string>

class QFileDialog;
class QWidget;

namespace ui {

/// How a file dialog ended. The caller must look at it: `chosen` says a file was picked;
/// `error` is non-zero only when `CancelError` turned a cancelled save into an error.
struct [[nodiscard]] OpenSaveResult {
    bool chosen = false;
    int error = 0;       ///< 32755 after a cancelled ShowSave with CancelError
    QString source;      ///< "Run-time error" with an error
    QString description; ///< "Cancel was selected" with an error

    explicit operator bool() const { return chosen; }
};

/// The open and save file dialogs, set up through properties and shown with ShowOpen or
/// ShowSave. Both show Qt's own dialog (never the desktop's), so they look and behave the
/// same everywhere.
///
/// Usage:
///     ui::clsOpenSave dialog;
///     dialog.setFilter("ROM Collection Lists (*.rcl)|*.rcl|All Files|*.*");
///     dialog.InitDir = folder;
///     dialog.hWnd = this;
///     if (dialog.ShowSave()) write_to(dialog.FileName);
///
/// UI thread only.
class clsOpenSave final {
public:
    /// Flags with a meaning here; every other flag is kept and handed back unchanged.
    static constexpr std::int32_t kOverwritePrompt = 0x2;        ///< save: confirm a replace
    static constexpr std::int32_t kExtensionDifferent = 0x400;   ///< out: not DefaultExt
    static constexpr std::int32_t kFileMustExist = 0x1000;       ///< open: only existing files
    static constexpr std::int32_t kForceShowHidden = 0x10000000; ///< list hidden files too
    static constexpr int kCancelErrorNumber = 32755;

    clsOpenSave();

    /// A cancelled ShowSave returns error 32755; a cancelled ShowOpen sets FileName to
    /// "?error?". When false both leave every property as it was.
    bool CancelError = false;
    /// Added to a name typed without an extension (without the dot: "rcl").
    QString DefaultExt;
    /// The caption; empty gives Qt's own ("Open", "Save As").
    QString DialogTitle;
    /// In: the proposed name (a bare name or a path); out: the chosen path.
    QString FileName;
    /// Out: the chosen file's name without its folder.
    QString FileTitle;
    /// In: the filter shown first (1-based); out: the filter the user left selected.
    std::int16_t FilterIndex = 1;
    /// In: the options (see the constants above); out: the same with kExtensionDifferent
    /// set when the chosen file's extension is not DefaultExt.
    std::int32_t Flags = 0;
    /// The folder shown first. Starts as the user's home folder; a folder that does not
    /// exist shows the home folder too.
    QString InitDir;
    /// Kept for callers that set it. Paths are never cut to it: a path longer than the
    /// limit is returned whole rather than failing the choice.
    int MaxFileSize = 260;
    /// The owner window; the dialog is modal to it.
    QWidget* hWnd = nullptr;
    /// Out: the position of the extension (after the dot) within FileName; 0 without one.
    std::int16_t FileExt = 0;

    /// The filter in the "|" notation; initially "All Files (*.*)|*.*".
    QString Filter() const;
    void setFilter(const QString& filter);
    /// The filter as kept: "|" replaced by NUL and two NULs at the end.
    const std::string& stored_filter() const { return m_filter; }

    /// Show the dialog modally and copy the choice into the properties.
    OpenSaveResult ShowOpen();
    OpenSaveResult ShowSave();

private:
    OpenSaveResult show(bool save);
    void set_up(QFileDialog& dialog, bool save) const;
    void take_choice(const QFileDialog& dialog);

    std::string m_filter;
};

} // namespace ui
