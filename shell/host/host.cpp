#include "host.h"

#include <algorithm>
#include <ostream>

#include <nlohmann/json.hpp>

#include "app_home.h"
#include "data_object.h"
#include "recorded_page.h"
#include "text.h"
#include "zdb.h"

namespace zelshell {
namespace {

std::vector<std::string> absolute_paths(const std::vector<std::string>& files) {
    std::vector<std::string> out;
    for (const auto& f : files) {
        std::error_code ec;
        auto full = std::filesystem::absolute(f, ec);
        out.push_back(ec ? f : full.lexically_normal().string());
    }
    return out;
}

bool is_database(const std::string& path) {
    return core::lower_extension(path) == "zdb";
}

std::string json_text(const nlohmann::json& j) {
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

core::Message::Icon icon_of(std::uint32_t type) {
    switch (type & 0xF0) {
    case MB_ICONERROR:
        return core::Message::Icon::Critical;
    case MB_ICONQUESTION:
        return core::Message::Icon::Question;
    case MB_ICONEXCLAMATION:
        return core::Message::Icon::Exclamation;
    case MB_ICONINFORMATION:
        return core::Message::Icon::Information;
    default:
        return core::Message::Icon::None;
    }
}

// What the library adds is kept in the list the host passed as lParam.
bool take_page(HPROPSHEETPAGE page, std::intptr_t pages) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(pages)->push_back(page);
    return true;
}

std::uint64_t digits_of(const std::string& text) {
    std::uint64_t n = 0;
    for (const char c : text)
        if (c >= '0' && c <= '9')
            n = n * 10 + static_cast<std::uint64_t>(c - '0');
    return n;
}

// A handler as a file manager makes one for a selection: by its class factory, initialised
// with the selection's data object, then asked for the interface it is used through.
template <class I>
HRESULT handler_for_selection(const ShellLibrary& shell, const CLSID& clsid, const IID& iid,
                              const std::vector<std::string>& paths, ComPtr<I>& out) {
    auto data = make_file_drop_object(paths);
    ComPtr<IShellExtInit> init;
    HRESULT hr = shell.create(clsid, IID_IShellExtInit, init.put());
    if (succeeded(hr))
        hr = init->Initialize(nullptr, data.get(), nullptr);
    if (succeeded(hr))
        hr = init->QueryInterface(iid, out.put());
    return hr;
}

// A handler for one file (a tip, a drop target): made, loaded with the file's path, then
// asked for the interface it is used through.
template <class I>
HRESULT handler_for_file(const ShellLibrary& shell, const CLSID& clsid, const IID& iid,
                         const std::string& path, ComPtr<I>& out) {
    ComPtr<IPersistFile> persist;
    HRESULT hr = shell.create(clsid, IID_IPersistFile, persist.put());
    if (succeeded(hr))
        hr = persist->Load(path.c_str(), 0);
    if (succeeded(hr))
        hr = persist->QueryInterface(iid, out.put());
    return hr;
}

} // namespace

int host_message_box(void* ui, const char* text, const char* title, std::uint32_t type) {
    core::Message message{text ? text : "", title ? title : "", icon_of(type),
                          (type & 0x0F) == MB_OKCANCEL ? core::Message::Buttons::OkCancel
                                                       : core::Message::Buttons::Ok};
    const auto answer = static_cast<HostUi*>(ui)->ask(message);
    return answer == core::Answer::Cancel ? IDCANCEL : IDOK;
}

TipFields parse_tip(const std::string& tip) {
    TipFields fields;
    std::string* targets[] = {&fields.system, &fields.credit, &fields.version};
    const char* labels[] = {"System: ", "Credit To: ", "Version: "};
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        const auto end = tip.find("\r\n", at);
        std::string line = tip.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.starts_with(labels[i]))
            line.erase(0, std::string_view(labels[i]).size());
        *targets[i] = line;
        if (end == std::string::npos)
            return fields;
        at = end + 2;
    }
    if (tip.compare(at, 2, "\r\n") == 0)
        at += 2;
    fields.notes = tip.substr(std::min(at, tip.size()));
    return fields;
}

Host::Host(const ShellLibrary& shell, HostUi& ui, std::ostream& out, std::ostream& err)
    : m_shell(shell), m_ui(ui), m_out(out), m_err(err),
      m_program((core::executable_folder() / "zelshell").string()) {
    set_site(nullptr);
}

Host::~Host() {
    m_shell.set_site(nullptr);
}

void Host::set_site(const char* launcher_folder) {
    const ZelshellSite site{sizeof(ZelshellSite), &host_message_box, &m_ui, m_program.c_str(),
                            launcher_folder};
    m_shell.set_site(&site);
}

int Host::failure(HRESULT hr) {
    m_ui.report_error(m_shell.error_text(hr));
    return kExitFailed;
}

int Host::usage(const std::string& text) {
    m_ui.report_error(text);
    return kExitUsage;
}

int Host::update(const std::vector<std::string>& files) {
    ComPtr<IContextMenu> menu;
    HRESULT hr = handler_for_selection(m_shell, CLSID_clsContextMenu, IID_IContextMenu,
                                       absolute_paths(files), menu);
    MenuModel model;
    if (succeeded(hr))
        hr = menu->QueryContextMenu(&model, 0, 1, 0x7FFF, 0);
    if (failed(hr))
        return failure(hr);
    // The user picks the one item the handler added: command offset 0.
    CMINVOKECOMMANDINFO invoke{sizeof(CMINVOKECOMMANDINFO), 0, nullptr, make_int_verb(0),
                               nullptr, nullptr, 1, 0, nullptr};
    hr = menu->InvokeCommand(&invoke);
    return failed(hr) ? failure(hr) : kExitOk;
}

int Host::tip(const std::string& file, bool machine) {
    const std::string path = absolute_paths({file}).front();
    ComPtr<IQueryInfo> info;
    HRESULT hr = handler_for_file(m_shell, CLSID_clsQueryInfo, IID_IQueryInfo, path, info);
    OLECHAR* text = nullptr;
    if (succeeded(hr))
        hr = info->GetInfoTip(0, &text);
    if (failed(hr))
        return failure(hr);
    const std::string tip = text ? text : "";
    CoTaskMemFree(text);
    if (!machine) {
        m_out << core::with_line_feeds(tip) << "\n";
        return kExitOk;
    }
    const TipFields f = parse_tip(tip);
    m_out << json_text({{"file", path},
                        {"system", f.system},
                        {"credit", f.credit},
                        {"version", f.version},
                        {"notes", f.notes},
                        {"tip", tip}})
          << "\n";
    return kExitOk;
}

int Host::properties(const std::vector<std::string>& files, bool machine) {
    const auto paths = absolute_paths(files);
    if (std::none_of(paths.begin(), paths.end(), is_database))
        return usage("none of the files is a ROM database (.zdb)");
    ComPtr<IShellPropSheetExt> sheet;
    HRESULT hr = handler_for_selection(m_shell, CLSID_clsPropertySheet, IID_IShellPropSheetExt,
                                       paths, sheet);
    std::vector<HPROPSHEETPAGE> pages;
    if (succeeded(hr))
        hr = sheet->AddPages(&take_page, reinterpret_cast<std::intptr_t>(&pages));
    if (failed(hr))
        return failure(hr);
    if (pages.empty()) {
        m_ui.report_error("the database's page could not be made");
        return kExitFailed;
    }
    if (machine)
        print_machine_page(first_database(paths), pages.front());
    else
        m_ui.show_page(pages.front());
    for (auto* page : pages)
        DestroyPropertySheetPage(page);
    return kExitOk;
}

void Host::print_machine_page(const std::string& file, HPROPSHEETPAGE page) {
    RecordedPage recorded;
    fill_page(page, recorded);
    const std::string count = recorded.item(kCountBox);
    m_out << json_text({{"file", file},
                        {"title", page->pszTitle ? page->pszTitle : ""},
                        {"credit", recorded.item(kCreditBox)},
                        {"count", digits_of(count)},
                        {"count_text", count},
                        {"version", recorded.item(kVersionBox)}})
          << "\n";
}

int Host::drop(const std::string& database, const std::vector<std::string>& files) {
    const std::string target = absolute_paths({database}).front();
    auto data = make_file_drop_object(absolute_paths(files));
    ComPtr<IDropTarget> drop_target;
    HRESULT hr = handler_for_file(m_shell, CLSID_clsDropHandler, IID_IDropTarget, target,
                                  drop_target);
    std::uint32_t effect = DROPEFFECT_COPY;
    const POINTL point{0, 0};
    if (succeeded(hr))
        hr = drop_target->DragEnter(data.get(), 0, point, &effect);
    if (succeeded(hr))
        hr = drop_target->Drop(data.get(), 0, point, &effect);
    return failed(hr) ? failure(hr) : kExitOk;
}

int Host::drop_choosing(const std::vector<std::string>& files) {
    std::vector<std::string> roms;
    std::string database;
    for (const auto& f : files) {
        if (database.empty() && is_database(f))
            database = f;
        else
            roms.push_back(f);
    }
    if (roms.empty())
        return usage("no files to rename were given");
    if (!database.empty())
        return drop(database, roms);
    auto choices = home_databases();
    if (choices.empty())
        return usage("no ROM database to rename by: put .zdb files into " +
                     core::quoted(core::resolve_app_home(std::nullopt) / "databases") +
                     " or select one with the files");
    auto chosen = m_ui.choose_database(choices);
    if (!chosen)
        return kExitOk; // the user changed their mind: nothing to do
    return drop(chosen->string(), roms);
}

int Host::register_server(const std::optional<std::filesystem::path>& launcher_folder) {
    std::string folder;
    if (launcher_folder)
        folder = absolute_paths({launcher_folder->string()}).front();
    set_site(launcher_folder ? folder.c_str() : nullptr);
    const HRESULT hr = m_shell.register_server();
    set_site(nullptr);
    return registration_done(hr, "Zelkon's commands, tips and file type are registered for the "
                                 "file managers; a file manager that is running shows them once "
                                 "it is started again.");
}

int Host::unregister_server() {
    return registration_done(m_shell.unregister_server(),
                             "Zelkon's commands, tips and file type are removed from the file "
                             "managers.");
}

// A registration that could not do everything (S_FALSE) says what is left to the user.
int Host::registration_done(HRESULT hr, const char* done) {
    if (failed(hr))
        return failure(hr);
    m_out << done << "\n";
    if (hr == S_FALSE)
        m_err << "zelshell: " << m_shell.error_text(hr) << "\n";
    return kExitOk;
}

std::string first_database(const std::vector<std::string>& paths) {
    const auto it = std::find_if(paths.begin(), paths.end(), is_database);
    return it == paths.end() ? std::string() : *it;
}

std::vector<DatabaseChoice> home_databases() {
    std::vector<DatabaseChoice> out;
    const auto folder = core::resolve_app_home(std::nullopt) / "databases";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file(ec) || !is_database(entry.path().string()))
            continue;
        const auto header = core::load_zdb(entry.path(), core::kZdbHeaderOnly);
        if (header.usable())
            out.push_back({entry.path(), header.long_name});
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return core::compare_lower(a.long_name, b.long_name) < 0;
    });
    return out;
}

} // namespace zelshell
