// The two packaged face detectors that need no downloaded model, on the
// same real photographs, each copy reduced to the finder's 800 pixels:
// dlib's HOG detector (what Korvell uses, with its one doubling and its
// margin) and OpenCV's frontal Haar cascade (opencv-data). Prints a bench
// row each for what they found and for their time.
// Usage: face-detectors CASCADE ROWS-FILE PHOTO:FACES...
#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/image_transforms.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: face-detectors CASCADE ROWS-FILE PHOTO:FACES...\n");
        return 2;
    }
    cv::CascadeClassifier haar(argv[1]);
    if (haar.empty()) return 1;
    const dlib::frontal_face_detector built = dlib::get_frontal_face_detector();
    int dlibMissed = 0, dlibFalse = 0, haarMissed = 0, haarFalse = 0, photos = 0;
    std::vector<double> dlibMs, haarMs;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t colon = arg.rfind(':');
        const int faces = std::atoi(arg.c_str() + colon + 1);
        cv::Mat grey = cv::imread(arg.substr(0, colon), cv::IMREAD_GRAYSCALE);
        if (grey.empty()) continue;
        const double s = std::min(1.0, 800.0 / std::max(grey.cols, grey.rows));
        if (s < 1.0) cv::resize(grey, grey, cv::Size(), s, s, cv::INTER_AREA);
        ++photos;
        dlib::frontal_face_detector detector = built;
        double t0 = nowMs();
        dlib::array2d<unsigned char> image(grey.rows, grey.cols);
        for (int y = 0; y < grey.rows; ++y)
            for (int x = 0; x < grey.cols; ++x) image[y][x] = grey.at<unsigned char>(y, x);
        dlib::pyramid_up(image);
        std::vector<dlib::rect_detection> d;
        detector(image, d, 0.3);
        dlibMs.push_back(nowMs() - t0);
        t0 = nowMs();
        cv::Mat equal;
        cv::equalizeHist(grey, equal);
        std::vector<cv::Rect> h;
        haar.detectMultiScale(equal, h, 1.1, 5, 0, cv::Size(24, 24));
        haarMs.push_back(nowMs() - t0);
        const int nd = static_cast<int>(d.size()), nh = static_cast<int>(h.size());
        dlibMissed += std::max(0, faces - nd);
        dlibFalse += std::max(0, nd - faces);
        haarMissed += std::max(0, faces - nh);
        haarFalse += std::max(0, nh - faces);
        std::fprintf(stderr, "  %s: %d faces; dlib found %d, the cascade %d\n", arg.substr(0, colon).c_str(), faces, nd,
                     nh);
    }
    FILE* out = std::fopen(argv[2], "a");
    if (!out) return 1;
    std::fprintf(out,
                 "| face detectors on %d real photographs: faces missed + found where there is none | dlib (HOG): "
                 "%d + %d | OpenCV (Haar cascade): %d + %d | - |\n",
                 photos, dlibMissed, dlibFalse, haarMissed, haarFalse);
    std::fprintf(out, "| face detectors, median time per photograph (800 px) | dlib: %.1f ms | OpenCV: %.1f ms | %.2f |\n",
                 median(dlibMs), median(haarMs), median(haarMs) > 0 ? median(dlibMs) / median(haarMs) : 0.0);
    std::fclose(out);
    return 0;
}
