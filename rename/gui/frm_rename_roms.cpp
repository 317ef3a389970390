#include "frm_rename_roms.h"

namespace renaming {

frmRenameROMs::frmRenameROMs(ui::JobContext& context, QWidget* parent) : QDialog(parent), m_context(context) {
    setObjectName(QStringLiteral("frmRenameROMs"));
}

} // namespace renaming
