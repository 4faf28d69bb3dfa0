// Creates a benchmark tree of sparse files: FOLDERS folders of FILES files each, sizes lognormal
// with a median of about 100 KiB. Usage: make_tree ROOT FOLDERS FILES

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_tree ROOT FOLDERS FILES\n");
        return 2;
    }
    std::string root = argv[1];
    long folders = std::atol(argv[2]);
    long files = std::atol(argv[3]);
    std::mt19937_64 rng(7);
    std::lognormal_distribution<double> bytes(std::log(100.0 * 1024), 1.5);
    ::mkdir(root.c_str(), 0755);
    for (long d = 0; d < folders; ++d) {
        std::string dir = root + "/" + std::to_string(d / 100);
        ::mkdir(dir.c_str(), 0755);
        dir += "/album " + std::to_string(d);
        ::mkdir(dir.c_str(), 0755);
        for (long f = 0; f < files; ++f) {
            std::string path = dir + "/IMG_" + std::to_string(100000 + f) + ".jpg";
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(std::min(bytes(rng), 4e9) + 1)) != 0) {
                std::perror(path.c_str());
                return 1;
            }
            ::close(fd);
        }
    }
    return 0;
}
