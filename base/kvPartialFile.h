// An output written under a name of its own beside its target
// ("TARGET.partial-PID", made new, never an existing file) and renamed
// over the target only when it is complete: a failure or an interruption
// leaves the target as it was and removes only what this made.
#pragma once

#include <string>

namespace Korvell {

class kvPartialFile {
public:
    kvPartialFile() = default;
    ~kvPartialFile(); // abandons what is not committed

    // Makes the partial file beside `target`; false with the reason.
    bool begin(const std::string& target, std::string* reason);
    // The partial file's name, and a descriptor open for writing on it
    // (closed by commit, abandon or closeDescriptor).
    const std::string& path() const { return partial; }
    int descriptor() const { return fd; }
    void closeDescriptor();
    // Hands the descriptor over (to a stdio stream, say): closing it is
    // the taker's business then.
    int releaseDescriptor();
    // Renames the partial file over the target; false with the reason
    // (the partial file is removed then).
    bool commit(std::string* reason);
    // The same, but only when the target does not exist (else false, the
    // target untouched and the partial file removed).
    bool commitNew(std::string* reason);
    // Removes the partial file, if it is still there.
    void abandon();

private:
    kvPartialFile(const kvPartialFile&) = delete;
    kvPartialFile& operator=(const kvPartialFile&) = delete;
    bool finish(bool onlyNew, std::string* reason);

    std::string target;
    std::string partial;
    int fd = -1;
};

} // namespace Korvell
