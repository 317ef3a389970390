#pragma once

#include <QDialog>

#include "job_context.h"

namespace settings {

/// `frmGeneralSettings`: the settings of the whole program.
class frmGeneralSettings final : public QDialog {
    Q_OBJECT
public:
    explicit frmGeneralSettings(ui::JobContext& context, QWidget* parent = nullptr);

private:
    ui::JobContext& m_context;
};

} // namespace settings
