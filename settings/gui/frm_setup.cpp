#include "frm_setup.h"

namespace settings {

frmSetup::frmSetup(ui::JobContext& context, QWidget* parent) : QDialog(parent), m_context(context) {
    setObjectName(QStringLiteral("frmSetup"));
}

} // namespace settings
