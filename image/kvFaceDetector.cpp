// dlib's frontal face detector (its HOG model is built into the library:
// nothing to download), on the grey copy doubled once, so faces of some
// 40 pixels in the copy are found; measured against OpenCV's Haar cascade
// on the same photographs it missed none the cascade found and found no
// face in a cat (bench/RESULTS.md).
#include "image/kvFaceDetector.h"

#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/image_transforms.h>

namespace Korvell {

std::vector<kvRegion> detectFaces(const std::vector<uint8_t>& grey, int w, int h)
{
    std::vector<kvRegion> faces;
    if (w < 1 || h < 1 || grey.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) return faces;
    // Each thread its own detector (its scratch is not shared), copied in
    // a millisecond from one built once: building one reads its model, a
    // third of a second.
    static const dlib::frontal_face_detector built = dlib::get_frontal_face_detector();
    thread_local dlib::frontal_face_detector detector = built;
    dlib::array2d<unsigned char> image(h, w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image[y][x] = grey[static_cast<size_t>(y) * w + x];
    dlib::pyramid_up(image);
    // Above the model's own threshold by a margin: real faces in the
    // measured photographs scored 1.1 to 2.1, the near misses (a shoulder
    // patch, a cameraman's profile) -0.3 to 0.
    std::vector<dlib::rect_detection> detections;
    detector(image, detections, 0.3);
    for (const dlib::rect_detection& d : detections) {
        const dlib::rectangle& f = d.rect;
        kvRegion face;
        face.x = static_cast<float>(f.left()) / (2.0f * w);
        face.y = static_cast<float>(f.top()) / (2.0f * h);
        face.width = static_cast<float>(f.width()) / (2.0f * w);
        face.height = static_cast<float>(f.height()) / (2.0f * h);
        faces.push_back(face);
    }
    return faces;
}

} // namespace Korvell
