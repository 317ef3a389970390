#include "frm_general_settings.h"

namespace settings {

frmGeneralSettings::frmGeneralSettings(ui::JobContext& context, QWidget* parent) : QDialog(parent), m_context(context) {
    setObjectName(QStringLiteral("frmGeneralSettings"));
}

} // namespace settings
