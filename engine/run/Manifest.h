#pragma once
// A jar's META-INF/MANIFEST.MF as the Java launcher reads it to start the jar: the attributes of
// its main section (everything before the first empty line), lines ended by CR LF, LF or CR,
// a line that begins with one space continuing the one before it (the space dropped), names
// matched without regard to case.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cl::run {

// The name of the manifest entry in a jar.
inline constexpr std::string_view kManifestEntry = "META-INF/MANIFEST.MF";

// The value of the main section's attribute `name`, spaces and tabs around it removed; empty
// optional when the main section has none.
std::optional<std::string> MainAttribute(std::string_view manifest, std::string_view name);

// Main-Class with '/' read as '.', as the launcher reads it; empty when there is none.
std::string ManifestMainClass(std::string_view manifest);

// The entries of Class-Path, as written (relative URLs, separated by spaces).
std::vector<std::string> ManifestClassPath(std::string_view manifest);

}  // namespace cl::run
