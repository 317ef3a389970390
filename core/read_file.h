#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "result.h"

namespace core {

inline constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

/// A kind of text file read whole, and a size no real one of its kind reaches: a larger
/// file is refused before it is read, so a stray huge file costs no time or memory.
struct TextFileKind {
    std::string_view name; ///< said in the refusal: "too large for a <name> file"
    std::uint64_t max_bytes;
};

/// The settings file and any other INI file: one section per system stays far below this.
inline constexpr TextFileKind kSettingsText{"settings", 16 * kMiB};

/// The UTF-8 byte-order mark that editors on other desktops put before a text.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

/// Every byte of a file; nothing when it does not exist. A folder, a path under a plain
/// file or a file that cannot be read is an error naming it: "cannot read 'x': reason".
/// With a kind, a file larger than its cap is an error that says so.
Result<std::optional<std::string>> read_file_if_exists(const std::filesystem::path& file,
                                                       std::optional<TextFileKind> kind = {});

/// A text file the way every text reader here wants it: read_file_if_exists with the
/// kind's cap, and a leading byte-order mark dropped.
Result<std::optional<std::string>> read_text_file_if_exists(const std::filesystem::path& file,
                                                            const TextFileKind& kind);

/// The text without a leading UTF-8 byte-order mark; also for texts that came from a server.
std::string_view without_bom(std::string_view text);

/// Takes the first line off `rest` and gives it without its line end. LF and CR LF end a
/// line; the last line may have none, and a text that ends with a line end has no empty
/// line after it.
std::string_view take_line(std::string_view& rest);

} // namespace core
