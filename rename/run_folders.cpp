#include "rename_parts.h"

#include "placement.h"
#include "platform.h"
#include "prompter.h"
#include "rename_engine.h"
#include "settings.h"
#include "text.h"

namespace renaming {
namespace {

using core::Message;

class FolderChoice {
public:
    FolderChoice(const RenameJob& job, core::Prompter& prompter)
        : m_job(job), m_s(job.settings), m_prompter(prompter) {}
    RunFolders choose();

private:
    bool choose_target();
    bool choose_unrecognized();
    bool choose_dupes();
    bool apply_cdrom_rule();
    bool given_folder_ready(const std::string& folder);
    bool usable(std::string_view key, const std::string& folder, bool given);
    void not_found(const std::string& folder, std::string what);
    void inform(std::string title, std::string text) {
        m_prompter.ask(
            {std::move(text), std::move(title), Message::Icon::Information, Message::Buttons::Ok});
    }

    const RenameJob& m_job;
    const RenameSettings& m_s;
    core::Prompter& m_prompter;
    RunFolders m_out;
};

RunFolders FolderChoice::choose() {
    m_out.op = m_s.copy_instead ? core::BatchOp::Copy : core::BatchOp::Move;
    m_out.source = core::add_backslash(m_job.source_folder);
    if (!core::is_existing_folder(m_out.source)) {
        inform("Folder not Found",
               "The folder " + core::quoted(m_job.source_folder) + " was not found.");
        m_out.refused = true;
    }
    m_out.refused = m_out.refused || !choose_target() || !choose_unrecognized() ||
                    !choose_dupes() || !apply_cdrom_rule();
    return std::move(m_out);
}

// A folder given for this run is made once the user says yes; a No refuses the run.
bool FolderChoice::given_folder_ready(const std::string& folder) {
    if (core::is_existing_folder(folder))
        return true;
    auto answer = m_prompter.ask(
        {"The folder " + core::quoted(folder) + " does not exist.\r\nDo you want to create it?",
         "Confirm Folder Create", Message::Icon::Question, Message::Buttons::YesNo});
    if (answer != core::Answer::Yes) {
        m_out.refused_by = folder;
        return false;
    }
    m_out.to_make.push_back(folder);
    return true;
}

// A stored folder that is relative or not text would land files under whatever the
// working folder is: the run is refused before anything moves.
bool FolderChoice::usable(std::string_view key, const std::string& folder, bool given) {
    if (given)
        return true;
    auto checked = core::check_folder_setting(m_job.system.id, key, folder);
    if (!checked)
        m_prompter.ask({checked.error().message + "\r\rNothing was moved.",
                        "Folder Setting Cannot Be Used", Message::Icon::Exclamation,
                        Message::Buttons::Ok});
    return checked.ok();
}

void FolderChoice::not_found(const std::string& folder, std::string what) {
    m_out.problems.push_back(
        {folder, std::move(what), "the folder " + core::quoted(folder) + " was not found"});
}

bool FolderChoice::choose_target() {
    // An unset rename folder keeps the files where they are; it never means the root.
    const bool elsewhere = m_s.move_renamed && !core::is_unset_folder(m_s.rename_folder);
    if (elsewhere && !usable("RenameFolder", m_s.rename_folder, m_s.given_for_run.rename_folder))
        return false;
    m_out.target = elsewhere ? core::add_backslash(m_s.rename_folder) : m_out.source;
    return !elsewhere || !m_s.given_for_run.rename_folder || given_folder_ready(m_out.target);
}

bool FolderChoice::choose_unrecognized() {
    if (!m_s.move_unrecognized)
        return true;
    if (!usable("UnrecognizedFolder", m_s.unrecognized_folder,
                m_s.given_for_run.unrecognized_folder))
        return false;
    m_out.unrecognized = core::add_backslash(m_s.unrecognized_folder);
    if (m_s.given_for_run.unrecognized_folder)
        return given_folder_ready(m_out.unrecognized);
    if (!core::is_existing_folder(m_out.unrecognized)) {
        inform("Folder not Found", "The 'unrecognized' folder was not found.\r"
                                   "Unrecognized files will be ignored");
        not_found(m_out.unrecognized, "Unrecognized files were not moved");
        m_out.unrecognized.clear();
    }
    return true;
}

bool FolderChoice::choose_dupes() {
    if (!m_s.move_dupes) {
        if (m_s.delete_dupes)
            m_out.dupes = std::string(core::kDeleteDupes);
        return true;
    }
    if (!usable("DupeFolder", m_s.dupe_folder, m_s.given_for_run.dupe_folder))
        return false;
    m_out.dupes = core::add_backslash(m_s.dupe_folder);
    if (m_s.given_for_run.dupe_folder)
        return given_folder_ready(m_out.dupes);
    if (!core::is_existing_folder(m_out.dupes)) {
        inform("Dupe Folder not Found",
               "\"" + m_out.dupes + "\" was not found.\r\rDupes will be ignored.");
        not_found(m_out.dupes, "Duplicates were not moved");
        m_out.dupes.clear();
    }
    return true;
}

bool FolderChoice::apply_cdrom_rule() {
    if (!core::is_cdrom(m_out.source))
        return true;
    if (m_out.target.empty() || core::is_cdrom(m_out.target)) {
        inform("Sorry", "When using a CD-ROM, you must specify a folder to copy the ROM files "
                        "to.\rTo do that, close the 'Rename ROMs' window and click on the "
                        "'Setup' button.");
        return false;
    }
    if (m_out.op == core::BatchOp::Move) {
        auto answer = m_prompter.ask(
            {"Your current settings tell Zelkon to move the renamed files to: \r\r" + m_out.target +
                 "\r\rSince you are using a CD-ROM, you must copy the files instead.\rDo you "
                 "want to proceed?",
             "Confirmation", Message::Icon::Question, Message::Buttons::YesNo});
        if (answer != core::Answer::Yes)
            return false;
    }
    if (m_out.dupes == core::kDeleteDupes)
        m_out.dupes.clear(); // nothing is deleted on a CD-ROM
    m_out.op = core::BatchOp::Copy;
    return true;
}

} // namespace

RunFolders prepare_folders(const RenameJob& job, core::Prompter& prompter) {
    return FolderChoice(job, prompter).choose();
}

} // namespace renaming
