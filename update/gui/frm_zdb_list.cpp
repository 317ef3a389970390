#include "frm_zdb_list.h"

namespace update {

frmZDBList::frmZDBList(ui::JobContext& context, QWidget* parent) : QDialog(parent), m_context(context) {
    setObjectName(QStringLiteral("frmZDBList"));
}

} // namespace update
