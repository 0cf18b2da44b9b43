// Gathering a folder show: names sorted into a script or pictures, folders
// listed (into subfolders with -r, each folder once however linked), each
// picture's first 64 KiB read to tell its kind and shape, its metadata
// read by Exiv2.
#include "app/kvShowSource.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <map>
#include <set>

#include "base/kvFiles.h"
#include "base/kvQuote.h"
#include "image/kvClipHeaders.h"
#include "image/kvExifReader.h"
#include "image/kvMotionPhoto.h"
#include "image/kvPhotoMetadata.h"
#include "image/kvPictureInfo.h"
#include "script/kvFolderShow.h"

namespace Korvell {

namespace {

const size_t kHeaderBytes = 64 * 1024;
const long long kMaxPictureBytes = 256ll << 20;
// A clip may be long (an hour of 4K is some 25 GiB); its headers alone are read.
const long long kMaxClipBytes = 64ll << 30;

enum NameKind { MISSING, FOLDER, PICTURE, OTHER };

NameKind kindOf(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return MISSING;
    if (S_ISDIR(st.st_mode)) return FOLDER;
    return isShowFile(path) ? PICTURE : OTHER;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joined(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

class Gatherer {
public:
    explicit Gatherer(const kvGatherOptions& o) : options(o) {}

    // One picture file; `named`: given by the user, so a problem is told.
    void addFile(const std::string& path, const std::string& name, bool named)
    {
        std::string why;
        long long size = 0;
        double modified = 0;
        const int fd = openRegularFile(path, kMaxClipBytes, &size, &why, &modified);
        if (fd < 0) {
            if (named) problem(path, why);
            return;
        }
        // One buffer for every file: a roll is thousands of them.
        head.resize(kHeaderBytes);
        const ssize_t got = size == 0 ? 0 : pread(fd, head.data(), std::min<size_t>(head.size(), static_cast<size_t>(size)), 0);
        const kvPictureInfo info =
            got > 0 ? inspectPicture(head.data(), static_cast<size_t>(got)) : kvPictureInfo();
        if (info.kind == PICTURE_UNKNOWN) {
            if (got >= 12 && clipKindOf(head.data(), static_cast<size_t>(got)) != CLIP_NONE) {
                addClip(fd, path, name, size, modified, static_cast<size_t>(got), named);
            } else if (named) {
                problem(path, "not a picture or a clip Korvell reads");
            }
            close(fd);
            return;
        }
        if (size > kMaxPictureBytes) {
            close(fd);
            if (named) problem(path, "larger than " + std::to_string(kMaxPictureBytes >> 20) + " MB");
            return;
        }
        // The whole file read and its headers unsound: it cannot be shown.
        // A larger file's headers may lie past what was read: the show
        // names it if it fails.
        if (!info.sound && got == size) {
            close(fd);
            problem(path, std::string("a damaged ") + pictureKindName(info.kind) + " picture");
            return;
        }
        const std::string unwritable = unwritableName(path);
        if (!unwritable.empty()) {
            close(fd);
            problem(path, unwritable);
            return;
        }
        kvPhoto photo;
        photo.path = path;
        photo.name = name;
        photo.width = info.sound ? info.shownWidth() : 0;
        photo.height = info.sound ? info.shownHeight() : 0;
        photo.fileTime = modified;
        // A Motion Photo: its moment's length, from the clip inside it.
        uint64_t at = 0, bytes = 0;
        kvClipHeaders moment;
        if (findMotionPhotoClip(head.data(), static_cast<size_t>(got), static_cast<uint64_t>(size), &at, &bytes)
            && readClipHeaders(readerOf(fd, at, bytes, static_cast<size_t>(got)), bytes, &moment) && moment.video) {
            photo.motionPhoto = true;
            photo.seconds = moment.seconds;
        }
        // The date read by hand from the headers already here; Exiv2 (slow
        // on thousands) for what that cannot tell, and for the captions.
        kvExifDate date;
        kvPhotoMetadata meta;
        if (!options.captions
            && readPhotoDate(fd, head.data(), static_cast<size_t>(got), static_cast<uint64_t>(size), &date)) {
            photo.taken = date.taken;
            photo.subSeconds = date.subSeconds;
            photo.offset = date.offset;
            photo.contentId = date.contentId;
        } else if (readPhotoMetadata(fd, meta)) {
            photo.taken = meta.taken;
            photo.subSeconds = meta.subSeconds;
            photo.offset = meta.offset;
            photo.contentId = meta.contentId;
            if (options.captions) photo.caption = meta.caption;
        }
        close(fd);
        if (seen.insert(photo.path).second) photos.push_back(std::move(photo));
    }

    // Reads `fd` from `offset` on, `length` bytes of it (0: all); what
    // lies in the first `held` bytes of the file from the head read.
    kvReadAt readerOf(int fd, uint64_t offset = 0, uint64_t length = 0, size_t held = 0) const
    {
        const uint8_t* known = head.data();
        return [fd, offset, length, held, known](uint64_t at, size_t n, uint8_t* into) {
            if (length && at + n > length) return false;
            if (offset + at + n <= held) {
                std::memcpy(into, known + offset + at, n);
                return true;
            }
            size_t done = 0;
            while (done < n) {
                const ssize_t r = pread(fd, into + done, n - done, static_cast<off_t>(offset + at + done));
                if (r <= 0) return false;
                done += static_cast<size_t>(r);
            }
            return true;
        };
    }

    // A clip, told by its headers alone; one whose headers cannot be read
    // is left out with a line, as a damaged picture is.
    void addClip(int fd, const std::string& path, const std::string& name, long long size, double modified, size_t held,
                 bool named)
    {
        kvClipHeaders h;
        if (!readClipHeaders(readerOf(fd, 0, 0, held), static_cast<uint64_t>(size), &h)) {
            problem(path, "a clip whose headers cannot be read");
            return;
        }
        if (!h.video) { // sound alone (music, a voice memo): not for the show
            if (named) problem(path, "sound alone, no pictures");
            return;
        }

        const std::string unwritable = unwritableName(path);
        if (!unwritable.empty()) {
            problem(path, unwritable);
            return;
        }
        kvPhoto clip;
        clip.path = path;
        clip.name = name;
        clip.clip = true;
        clip.width = h.width;
        clip.height = h.height;
        clip.seconds = h.seconds;
        clip.sound = h.sound;
        clip.taken = h.taken;
        clip.subSeconds = h.subSeconds;
        clip.offset = h.offset;
        clip.contentId = h.contentId;
        clip.fileTime = modified;
        if (seen.insert(clip.path).second) photos.push_back(std::move(clip));
    }

    // A Live Photo: a still and a short clip of the same name in one folder
    // (and, where both say, of one content identifier) are one moment: the
    // clip goes into the still's slide.
    void pairLivePhotos()
    {
        const double kMostLiveSeconds = 5.0;
        std::map<std::string, size_t> stills;
        auto stem = [](const std::string& path) {
            const size_t slash = path.rfind('/'), dot = path.rfind('.');
            return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path : path.substr(0, dot);
        };
        for (size_t i = 0; i < photos.size(); ++i)
            if (!photos[i].clip && !photos[i].motionPhoto) stills[stem(photos[i].path)] = i;
        std::vector<kvPhoto> kept;
        std::set<size_t> paired;
        for (size_t i = 0; i < photos.size(); ++i) {
            const kvPhoto& c = photos[i];
            if (!c.clip || c.seconds <= 0.0 || c.seconds > kMostLiveSeconds) continue;
            auto s = stills.find(stem(c.path));
            if (s == stills.end() || !photos[s->second].moment.empty()) continue;
            kvPhoto& still = photos[s->second];
            if (!still.contentId.empty() && !c.contentId.empty() && still.contentId != c.contentId) continue;
            still.moment = c.path;
            still.seconds = c.seconds;
            paired.insert(i);
        }
        for (size_t i = 0; i < photos.size(); ++i)
            if (!paired.count(i)) kept.push_back(std::move(photos[i]));
        photos.swap(kept);
    }

    // A folder's pictures; `under` is the name prefix for the name order.
    void addFolder(const std::string& folder, const std::string& under)
    {
        struct stat st;
        if (stat(folder.c_str(), &st) != 0) return;
        // Each folder once: a link back up would otherwise never end.
        if (!folders.insert({st.st_dev, st.st_ino}).second) return;
        DIR* d = opendir(folder.c_str());
        if (!d) {
            problem(folder, "the folder cannot be read");
            return;
        }
        // The kind the listing tells (where the file system tells it)
        // saves a stat of every file; the file is checked once opened.
        std::vector<std::pair<std::string, unsigned char>> names;
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name, e->d_type); // hidden files stay hidden
        closedir(d);
        std::sort(names.begin(), names.end());
        photos.reserve(photos.size() + names.size());
        for (const auto& n : names) {
            const std::string path = joined(folder, n.first);
            bool folderHere = n.second == DT_DIR, file = n.second == DT_REG;
            if (!folderHere && !file) {
                struct stat entry;
                if (stat(path.c_str(), &entry) != 0) continue;
                folderHere = S_ISDIR(entry.st_mode);
                file = S_ISREG(entry.st_mode);
            }
            if (folderHere) {
                if (options.recursive) addFolder(path, under + n.first + "/");
            } else if (file) {
                addFile(path, under + n.first, false);
            }
        }
    }

    void problem(const std::string& path, const std::string& why)
    {
        std::fprintf(stderr, "korvell: %s is left out: %s\n", quoted(path).c_str(), why.c_str());
    }

    const kvGatherOptions& options;
    std::vector<kvPhoto> photos;
    std::vector<uint8_t> head;
    std::set<std::string> seen;
    std::set<std::pair<dev_t, ino_t>> folders;
};

} // namespace

bool isShowFile(const std::string& path)
{
    const int fd = openRegularFile(path, kMaxClipBytes, nullptr, nullptr);
    if (fd < 0) return false;
    uint8_t head[64];
    const ssize_t got = pread(fd, head, sizeof head, 0);
    close(fd);
    // The kind is told by the first bytes alone; the rest is not needed.
    return got > 0
           && (inspectPicture(head, static_cast<size_t>(got)).kind != PICTURE_UNKNOWN
               || clipKindOf(head, static_cast<size_t>(got)) != CLIP_NONE);
}

kvShowSource gatherShow(const std::vector<std::string>& names, const kvGatherOptions& options)
{
    kvShowSource source;
    std::vector<std::string> scripts, pictures, folders;
    for (const std::string& n : names) {
        switch (kindOf(n)) {
        case FOLDER: folders.push_back(n); break;
        case PICTURE: pictures.push_back(n); break;
        default: scripts.push_back(n); break; // a missing name is told by the show
        }
    }
    if (!scripts.empty()) {
        if (scripts.size() == names.size() && scripts.size() == 1) {
            source.script = scripts[0];
            return source;
        }
        source.kind = kvShowSource::BAD;
        source.code = 2;
        source.error = scripts.size() == names.size()
                           ? "one SCRIPT to play, not " + std::to_string(scripts.size())
                           : quoted(scripts[0]) + " is neither a picture nor a folder: give one script, or pictures and folders";
        return source;
    }
    Gatherer g(options);
    std::string first;
    if (folders.empty() && pictures.size() == 1) {
        // One picture: its folder, starting with it (a file manager's
        // "Open with").
        const std::string folder = realFolder(folderOf(pictures[0]));
        first = joined(folder, baseName(pictures[0]));
        g.addFolder(folder, "");
        if (g.seen.count(first) == 0) g.addFile(first, baseName(first), true);
    } else {
        for (const std::string& f : folders) g.addFolder(realFolder(f), "");
        for (const std::string& p : pictures) {
            const std::string path = joined(realFolder(folderOf(p)), baseName(p));
            g.addFile(path, p, true);
        }
    }
    g.pairLivePhotos();
    orderPhotos(g.photos, options.order, options.seed);
    if (!first.empty()) {
        auto at = std::find_if(g.photos.begin(), g.photos.end(), [&](const kvPhoto& p) { return p.path == first; });
        std::rotate(g.photos.begin(), at, g.photos.end());
    }
    if (g.photos.empty()) {
        source.kind = kvShowSource::BAD;
        std::string where;
        for (const std::string& n : names) where += (where.empty() ? "" : ", ") + quoted(n);
        source.error = "no pictures or clips to show in " + where;
        source.code = 1;
        return source;
    }
    source.kind = kvShowSource::PHOTOS;
    source.photos = std::move(g.photos);
    return source;
}

} // namespace Korvell
