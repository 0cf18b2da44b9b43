// How far apart two sRGB colours look: CIEDE2000 by LittleCMS, for the
// end-to-end tests ("r g b" "r g b", 0 to 255 each).
#include <lcms2.h>

#include <cstdio>

int main(int argc, char** argv)
{
    double c[2][3];
    if (argc != 3 || std::sscanf(argv[1], "%lf %lf %lf", &c[0][0], &c[0][1], &c[0][2]) != 3
        || std::sscanf(argv[2], "%lf %lf %lf", &c[1][0], &c[1][1], &c[1][2]) != 3) {
        std::fprintf(stderr, "usage: kv-delta-e \"R G B\" \"R G B\"\n");
        return 2;
    }
    cmsHPROFILE srgb = cmsCreate_sRGBProfile(), lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsCIELab l[2];
    for (int i = 0; i < 2; ++i) {
        const double rgb[3] = {c[i][0] / 255, c[i][1] / 255, c[i][2] / 255};
        cmsDoTransform(t, rgb, &l[i], 1);
    }
    std::printf("%.2f\n", cmsCIE2000DeltaE(&l[0], &l[1], 1, 1, 1));
    cmsDeleteTransform(t);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    return 0;
}
