#include "frm_rom_collection_tree.h"

namespace lists {

frmROMCollectionTree::frmROMCollectionTree(ui::JobContext& context, QWidget* parent) : QDialog(parent), m_context(context) {
    setObjectName(QStringLiteral("frmROMCollectionTree"));
}

} // namespace lists
