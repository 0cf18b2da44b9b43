// inotify, non-blocking.
#include "app/kvFileWatcher.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

namespace Korvell {

namespace {
void split(const std::string& path, std::string& folder, std::string& name)
{
    const size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

kvFileWatcher::kvFileWatcher() : fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), pending(false), lastChange(0) {}

kvFileWatcher::~kvFileWatcher()
{
    if (fd >= 0) close(fd);
}

bool kvFileWatcher::watch(const std::set<std::string>& files)
{
    if (fd < 0) return false;
    for (const auto& f : folders) inotify_rm_watch(fd, f.first);
    folders.clear();
    names.clear();
    std::map<std::string, int> byFolder;
    for (const std::string& file : files) {
        std::string folder, name;
        split(file, folder, name);
        names.insert(std::make_pair(folder, name));
        if (byFolder.count(folder)) continue;
        const int wd = inotify_add_watch(fd, folder.c_str(),
                                         IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM);
        byFolder[folder] = wd;
        if (wd >= 0) folders[wd] = folder;
    }
    return true;
}

bool kvFileWatcher::changed(uint32_t nowMs, uint32_t quietMs)
{
    if (fd < 0) return false;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const inotify_event* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            auto folder = folders.find(e->wd);
            if (folder == folders.end() || e->len == 0) continue;
            if (!names.count(std::make_pair(folder->second, std::string(e->name)))) continue;
            pending = true;
            lastChange = nowMs;
        }
    }
    if (!pending || nowMs - lastChange < quietMs) return false;
    pending = false;
    return true;
}

} // namespace Korvell
