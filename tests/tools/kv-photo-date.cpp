// For the end-to-end tests: kv-photo-date FILE "YYYY:MM:DD HH:MM:SS"
// [OFFSET [DESCRIPTION]] writes a photo's date taken (and its offset and
// description) into a JPEG, PNG or WebP.
#include <cstdio>

#include "support/kvPhotoTags.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kv-photo-date FILE DATE [OFFSET [DESCRIPTION]]\n");
        return 2;
    }
    Korvell::kvPhotoTags tags;
    tags.taken = argv[2];
    if (argc > 3) tags.offset = argv[3];
    if (argc > 4) tags.xmpDescription = argv[4];
    return Korvell::writePhotoTags(argv[1], tags) ? 0 : 1;
}
