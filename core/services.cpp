#include "services.h"

#include <utility>

#include "app_home.h"
#include "hash_cache.h"
#include "settings.h"

namespace core {

Result<Services> Services::open(Options options) {
    auto home = resolve_app_home(
        options.home.empty() ? std::nullopt : std::optional<std::filesystem::path>(options.home));
    set_app_home(home);
    auto zelcore = options.zelcore_folder.empty() ? Zelcore::load_beside_executable()
                                                  : Zelcore::load(options.zelcore_folder);
    if (!zelcore)
        return zelcore.error();
    Services services(std::move(home), std::move(zelcore.value()), std::move(options));
    // Said once per program run, not at every setting that falls back to its default.
    if (auto notice = unreadable_settings_notice())
        services.notice(std::move(*notice));
    return services;
}

Services::Services(std::filesystem::path home, Zelcore zelcore, Options options)
    : m_home(std::move(home)), m_zelcore(std::move(zelcore)), m_options(std::move(options)) {}

Services::Services(Services&&) noexcept = default;
Services& Services::operator=(Services&&) noexcept = default;

Services::~Services() {
    close_cache();
}

HashCache* Services::cache() {
    if (!m_options.use_cache)
        return nullptr;
    if (!m_cache)
        m_cache = std::make_unique<HashCache>(
            m_options.cache_file.empty() ? m_home / "checksums.sqlite" : m_options.cache_file);
    collect_cache_problem();
    return m_cache.get();
}

void Services::close_cache() {
    if (!m_cache)
        return;
    m_cache->close();
    collect_cache_problem();
    m_cache.reset();
}

void Services::collect_cache_problem() {
    if (auto problem = m_cache->take_problem())
        notice(std::move(*problem));
}

void Services::notice(std::string text) {
    m_notices.push_back(std::move(text));
}

std::vector<std::string> Services::take_notices() {
    return std::exchange(m_notices, {});
}

} // namespace core
