#pragma once

#include <QDialog>

#include "job_context.h"

namespace lists {

/// `frmROMCollectionTree`: the wizard that scans a collection and shows what it has and lacks.
class frmROMCollectionTree final : public QDialog {
    Q_OBJECT
public:
    explicit frmROMCollectionTree(ui::JobContext& context, QWidget* parent = nullptr);

private:
    ui::JobContext& m_context;
};

} // namespace lists
