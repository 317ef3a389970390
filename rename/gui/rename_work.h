#pragma once

// What the rename window runs on its worker thread: planning, carrying out, or both.

#include "rename_engine.h"

namespace core {
class Progress;
class Prompter;
class Services;
} // namespace core

namespace ui {
struct JobContext;
}

namespace renaming {

/// The run the window's context asks for: its system, its current folder and the
/// settings stored for them, read now.
RenameJob job_for(const ui::JobContext& context);

/// Plans the run (the first-load notice shown through `prompter`); changes no file.
RenamePlan plan_in_window(RenameJob job, core::Services& services, core::Progress& progress,
                          core::Prompter& prompter);

/// Carries out `plan` with the real executor: every batch is written to the undo journal
/// before it acts, and a taken target is skipped and reported.
RenameReport carry_out_in_window(RenamePlan plan, const RenameJob& job, core::Services& services,
                                 core::Progress& progress, core::Prompter& prompter);

} // namespace renaming
