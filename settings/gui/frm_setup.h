#pragma once

#include <QDialog>

#include "job_context.h"

namespace settings {

/// `frmSetup`: the settings of the selected system.
class frmSetup final : public QDialog {
    Q_OBJECT
public:
    explicit frmSetup(ui::JobContext& context, QWidget* parent = nullptr);

private:
    ui::JobContext& m_context;
};

} // namespace settings
