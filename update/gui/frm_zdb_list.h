#pragma once

#include <QDialog>

#include "job_context.h"

namespace update {

/// `frmZDBList`: the databases the update server offers, and their download.
class frmZDBList final : public QDialog {
    Q_OBJECT
public:
    explicit frmZDBList(ui::JobContext& context, QWidget* parent = nullptr);

private:
    ui::JobContext& m_context;
};

} // namespace update
