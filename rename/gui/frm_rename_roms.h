#pragma once

#include <QDialog>

#include "job_context.h"

namespace renaming {

/// `frmRenameROMs`: the window that renames the ROM files of the current folder.
class frmRenameROMs final : public QDialog {
    Q_OBJECT
public:
    explicit frmRenameROMs(ui::JobContext& context, QWidget* parent = nullptr);

private:
    ui::JobContext& m_context;
};

} // namespace renaming
