// Runs a fuzz target over saved inputs (files, or every file of a folder),
// so the corpora and any crash found serve as regression tests in every
// build, with or without libFuzzer.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
int runFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        struct stat st;
        if (stat(argv[i], &st) != 0) continue;
        if (!S_ISDIR(st.st_mode)) {
            count += runFile(argv[i]);
            continue;
        }
        std::vector<std::string> files;
        if (DIR* d = opendir(argv[i])) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') files.push_back(std::string(argv[i]) + "/" + e->d_name);
            closedir(d);
        }
        std::sort(files.begin(), files.end());
        for (const std::string& f : files) count += runFile(f);
    }
    std::printf("%d inputs replayed\n", count);
    return count > 0 ? 0 : 1;
}
