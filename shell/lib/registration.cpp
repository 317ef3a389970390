#include "registration.h"

#include <numeric>

#include "app_home.h"
#include "module_state.h"
#include "platform_xdg.h"
#include "registration_caches.h"
#include "registration_embedded.h"
#include "registration_shims.h"
#include "registration_text.h"
#include "registration_thunar.h"
#include "site.h"
#include "text.h"

#ifndef ZELSHELL_PROGRAM_FROM_LIBRARY
#define ZELSHELL_PROGRAM_FROM_LIBRARY "../../bin"
#endif

// Registration for the current user, in their XDG folders: a self-registering server's
// class registry, the .zdb type, and each file manager's commands, which run the host
// program zelshell. A ledger of ours records what was made; unregistration removes exactly
// that. What the user should know but does not stop the registration (a file kept, Thunar
// running) makes the call return S_FALSE with the text as the thread's error text.

namespace zelshell {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHostName = "zelshell";

bool is_program(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    return fs::is_regular_file(status) &&
           (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
}

// The host program the commands run: the one the host named, else zelshell beside this
// library (a build), else in the install's program folder.
core::Result<fs::path> find_host(const fs::path& library_folder) {
    if (const char* named = current_site().host_program; named && *named) {
        std::error_code ec;
        const fs::path host = fs::absolute(named, ec);
        if (is_program(host))
            return host;
        return core::Error::not_found("the program " + core::quoted(host) + " does not exist");
    }
    const fs::path beside = library_folder / kHostName;
    const fs::path installed =
        (library_folder / ZELSHELL_PROGRAM_FROM_LIBRARY / kHostName).lexically_normal();
    for (const fs::path& host : {beside, installed})
        if (is_program(host))
            return host;
    return core::Error::not_found("cannot find the program zelshell that the file managers' "
                                  "commands run: it is neither " +
                                  core::quoted(beside) + " nor " + core::quoted(installed));
}

core::Result<RegistrationPlaces> find_places() {
    auto data = platform::data_home();
    auto config = platform::config_home();
    if (!data || !config)
        return data ? config.error() : data.error();
    const fs::path folder = library_folder();
    if (folder.empty())
        return core::Error::failed("cannot find the folder of the file-manager library");
    auto host = find_host(folder);
    if (!host)
        return host.error();
    RegistrationPlaces places{*data, *config, *host, folder / "libzelshell.so"};
    for (const fs::path& path : {places.data, places.config, places.host, places.library})
        if (has_control_character(path.string()))
            return core::Error::bad_input(core::quoted(path) +
                                          " holds a line break, which no file manager's "
                                          "settings can hold");
    return places;
}

fs::path ledger_file(const fs::path& data) {
    return data / "zelkon" / "zelshell" / "manifest";
}

HRESULT failure(const core::Error& error) {
    const HRESULT hr = error.code == core::Error::Code::NotFound   ? kFileNotFound
                       : error.code == core::Error::Code::BadInput ? E_INVALIDARG
                                                                   : E_FAIL;
    return fail_with(hr, error.message);
}

// S_OK, or S_FALSE with what the user should know.
HRESULT done(const std::vector<std::string>& notices) {
    if (notices.empty())
        return S_OK;
    return fail_with(S_FALSE, std::accumulate(std::next(notices.begin()), notices.end(),
                                              notices.front(), [](std::string all, const auto& n) {
                                                  return std::move(all) + "\n" + n;
                                              }));
}

// The launchers, when the host named a folder for them: one per database of the home.
core::Result<std::vector<WantedFile>> launchers(FileKeeper& keeper,
                                                const RegistrationPlaces& places) {
    const char* named = current_site().launcher_folder;
    if (!named || !*named)
        return std::vector<WantedFile>{};
    std::error_code ec;
    const fs::path folder = fs::absolute(named, ec);
    if (has_control_character(folder.string()))
        return core::Error::bad_input("the launcher folder " + core::quoted(folder) +
                                      " holds a line break");
    const fs::path databases = fs::absolute(core::resolve_app_home(std::nullopt), ec) / "databases";
    std::vector<std::string> notices;
    auto files = launcher_files(places, folder, databases, notices);
    for (std::string& notice : notices)
        keeper.notice(std::move(notice));
    return files;
}

core::Status register_files(FileKeeper& keeper, const RegistrationPlaces& places) {
    std::vector<WantedFile> wanted = shim_files(places);
    auto launched = launchers(keeper, places);
    if (!launched)
        return launched.error();
    wanted.insert(wanted.end(), launched->begin(), launched->end());
    bool mime_changed = false;
    bool applications_changed = false;
    for (const WantedFile& file : wanted) {
        auto written = keeper.place(file);
        if (!written)
            return written.error();
        mime_changed = mime_changed || (*written && file.path == places.data / kMimePackage);
        applications_changed =
            applications_changed || (*written && file.path == places.data / kApplicationEntry);
    }
    // Files of an earlier registration that this one no longer makes (a launcher of a
    // database since deleted, say) go.
    auto removed = keeper.remove_others(wanted);
    if (!removed)
        return removed.error();
    if (auto merged = register_thunar_actions(keeper, places.config, thunar_actions(places));
        !merged)
        return merged;
    rebuild_cache(keeper, Cache::MimeTypes, places.data, mime_changed || *removed);
    rebuild_cache(keeper, Cache::Applications, places.data, applications_changed || *removed);
    keeper.remove_empty_folders();
    return core::Status::success();
}

core::Status unregister_files(FileKeeper& keeper, const fs::path& data, const fs::path& config) {
    for (const fs::path& path : keeper.ledger().files())
        if (auto removed = keeper.remove(path); !removed)
            return removed.error();
    // Only the ids and names of the actions matter to take them out.
    if (auto taken = unregister_thunar_actions(keeper, config, embedded_file("thunar-actions.xml"));
        !taken)
        return taken;
    restore_cache(keeper, Cache::MimeTypes, data);
    restore_cache(keeper, Cache::Applications, data);
    return core::Status::success();
}

// The ledger is saved even after a failed step, so that what was made is not forgotten.
core::Status save_ledger(FileKeeper& keeper) {
    if (!keeper.ledger().empty())
        if (auto made = keeper.make_folder(keeper.ledger().file().parent_path()); !made)
            return made;
    return keeper.ledger().save();
}

} // namespace

HRESULT register_server() {
    auto places = find_places();
    if (!places)
        return failure(places.error());
    auto ledger = Ledger::load(ledger_file(places->data));
    if (!ledger)
        return failure(ledger.error());
    std::vector<std::string> notices;
    FileKeeper keeper(*ledger, notices);
    const core::Status registered = register_files(keeper, *places);
    const core::Status saved = save_ledger(keeper);
    if (!registered || !saved)
        return failure(registered ? saved.error() : registered.error());
    return done(notices);
}

HRESULT unregister_server() {
    auto data = platform::data_home();
    auto config = platform::config_home();
    if (!data || !config)
        return failure(data ? config.error() : data.error());
    auto ledger = Ledger::load(ledger_file(*data));
    if (!ledger)
        return failure(ledger.error());
    if (ledger->empty())
        return S_OK;
    std::vector<std::string> notices;
    FileKeeper keeper(*ledger, notices);
    const core::Status unregistered = unregister_files(keeper, *data, *config);
    if (unregistered) {
        // The ledger's own file goes first so that its folder can go with the others; the
        // folders that stay hold something else now and are no longer ours.
        std::error_code ec;
        fs::remove(ledger->file(), ec);
        keeper.remove_empty_folders();
        for (const fs::path& folder : std::vector(ledger->folders()))
            ledger->forget_folder(folder);
    }
    const core::Status saved = save_ledger(keeper);
    if (!unregistered || !saved)
        return failure(unregistered ? saved.error() : unregistered.error());
    return done(notices);
}

} // namespace zelshell
