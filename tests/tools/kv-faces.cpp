// For the end-to-end tests: kv-faces PICTURE... prints, for each, how many
// faces Korvell's finder sees in it and their region in fractions
// ("2 0.31 0.09 0.25 0.26"), or "unreadable".
#include <cstdio>
#include <string>
#include <vector>

#include "image/kvFocusFinder.h"
#include "image/kvPictureDecoder.h"
#include "image/kvPictureFile.h"
#include "image/kvTexture.h"

int main(int argc, char** argv)
{
    using namespace Korvell;
    for (int i = 1; i < argc; ++i) {
        std::vector<uint8_t> bytes;
        kvTexture picture;
        if (!readPictureFile(argv[i], nullptr, bytes, nullptr) || !decodePicture(bytes, 0, 0, picture, nullptr)) {
            std::printf("unreadable\n");
            continue;
        }
        const kvPictureFocus f = findFocus(picture);
        std::printf("%d %.3f %.3f %.3f %.3f\n", f.faces, static_cast<double>(f.region.x), static_cast<double>(f.region.y),
                    static_cast<double>(f.region.width), static_cast<double>(f.region.height));
    }
    return 0;
}
