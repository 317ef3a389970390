#pragma once

#include <string>
#include <vector>

#include "com.h"
#include "com_ptr.h"

namespace zelshell {

/// The data object of a selection or a drop: hands out its paths as a file-drop list
/// (CF_HDROP in global memory), as a file manager's data object does.
ComPtr<IDataObject> make_file_drop_object(std::vector<std::string> paths);

/// A data object without a file-drop list (text dragged from an editor, say).
ComPtr<IDataObject> make_empty_data_object();

} // namespace zelshell
