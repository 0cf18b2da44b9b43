// Tells when any of a set of files changes on disk (inotify). It watches
// their folders rather than the files, since editors save by writing a new
// file and renaming it over the old one. A burst of changes (one save
// writes several times) is reported once, when it has been quiet for a
// moment.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace Korvell {

class kvFileWatcher {
public:
    kvFileWatcher();
    ~kvFileWatcher();

    // The files to watch from now on (paths as given, relative to the
    // working folder or absolute); false when inotify is not available.
    bool watch(const std::set<std::string>& files);
    // Polled once a frame, without waiting: true once when a watched file
    // has changed and nothing has changed since for `quietMs`.
    bool changed(uint32_t nowMs, uint32_t quietMs = 150);

private:
    kvFileWatcher(const kvFileWatcher&) = delete;
    kvFileWatcher& operator=(const kvFileWatcher&) = delete;

    int fd;
    std::map<int, std::string> folders;            // watch descriptor -> folder
    std::set<std::pair<std::string, std::string>> names; // (folder, file name)
    bool pending;
    uint32_t lastChange;
};

} // namespace Korvell
