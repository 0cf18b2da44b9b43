// Container names.
#include "export/kvEncoder.h"

namespace Korvell {

std::string containerFor(const std::string& fileName)
{
    const size_t dot = fileName.rfind('.');
    const size_t slash = fileName.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    std::string ext = fileName.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == "mp4" || ext == "mkv" || ext == "webm" ? ext : std::string();
}

} // namespace Korvell
