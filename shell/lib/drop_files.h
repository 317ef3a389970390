#pragma once

// clsDropFiles: the file paths of a data object's file-drop list, kept when their extension
// is the one asked for.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "com.h"

namespace zelshell {

/// The paths of a file-drop list, filtered by extension; what clsDropFiles and the other
/// classes keep.
class DropFileList {
public:
    /// Reads the data object's file-drop list and keeps, in order, the non-empty paths that
    /// end in `extension` (letter case aside), or all of them when it is empty. A data
    /// object without a file-drop list gives its error code and an empty list.
    HRESULT get_drop_files(IDataObject* data, std::string_view extension);

    std::size_t count() const { return m_files.size(); }
    /// The kept path at 0-based `index`; "" outside 0 .. count() - 1.
    const std::string& file(std::ptrdiff_t index) const;
    /// The first kept path; "" when none is kept.
    const std::string& selected_file() const { return file(0); }
    const std::vector<std::string>& files() const { return m_files; }

private:
    std::vector<std::string> m_files;
};

/// The interface of clsDropFiles, which has no shell interface of its own.
inline constexpr IID IID_IDropFiles = {
    0x6B1E5A10, 0x3C2D, 0x4F7A, {0x9E, 0x41, 0x5A, 0x7C, 0x12, 0xD0, 0x02, 0x05}};

struct IDropFiles : IUnknown {
    virtual HRESULT GetDropFiles(IDataObject* pDataObj, const char* sExtension) = 0;
    virtual std::uint32_t Count() = 0;
    /// The path stays valid until the next GetDropFiles or the object's end.
    virtual const char* Files(std::int32_t nIndex) = 0;
    virtual const char* SelectedFile() = 0;

protected:
    ~IDropFiles() = default;
};

} // namespace zelshell
