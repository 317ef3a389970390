#include "drop_files.h"

#include "class_table.h"
#include "module_state.h"
#include "object.h"
#include "shell_api.h"
#include "text.h"
#include "zelshell.h"

namespace zelshell {
namespace {

bool has_extension(std::string_view path, std::string_view extension) {
    return extension.empty() ||
           (path.size() >= extension.size() &&
            core::iequals(path.substr(path.size() - extension.size()), extension));
}

} // namespace

HRESULT DropFileList::get_drop_files(IDataObject* data, std::string_view extension) {
    m_files.clear();
    if (!data)
        return fail_with(E_INVALIDARG, "no files were handed over");
    const FORMATETC format = hdrop_format();
    STGMEDIUM medium{};
    if (const HRESULT hr = data->GetData(&format, &medium); failed(hr))
        return fail_with(hr, "what was handed over holds no list of files");
    const std::uint32_t count = DragQueryFileA(medium.hGlobal, 0xFFFFFFFFu, nullptr, 0);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string path = drag_query_path(medium.hGlobal, i);
        if (!path.empty() && has_extension(path, extension))
            m_files.push_back(std::move(path));
    }
    ReleaseStgMedium(&medium);
    return S_OK;
}

const std::string& DropFileList::file(std::ptrdiff_t index) const {
    static const std::string none;
    if (index < 0 || static_cast<std::size_t>(index) >= m_files.size())
        return none;
    return m_files[static_cast<std::size_t>(index)];
}

namespace {

class clsDropFiles final : public IDropFiles, private ObjectBase {
public:
    HRESULT QueryInterface(const IID& riid, void** ppv) override {
        return query_interface({{&IID_IDropFiles, this}}, riid, ppv);
    }
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release(); }

    HRESULT GetDropFiles(IDataObject* pDataObj, const char* sExtension) override {
        return m_list.get_drop_files(pDataObj, sExtension ? sExtension : "");
    }
    std::uint32_t Count() override { return static_cast<std::uint32_t>(m_list.count()); }
    const char* Files(std::int32_t nIndex) override { return m_list.file(nIndex).c_str(); }
    const char* SelectedFile() override { return m_list.selected_file().c_str(); }

private:
    DropFileList m_list;
};

IUnknown* create() {
    return new clsDropFiles;
}

const ClassRegistration registration{CLSID_clsDropFiles, "clsDropFiles", &create};

} // namespace
} // namespace zelshell
