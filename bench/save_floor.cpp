// The least a program must do to change an image file with the guarantee tolven-cli's save gives:
// read the file, write a new file beside it, flush it to the disk and put it in the old one's
// place. scripts/bench-cli.sh times a short command (rm) against it.
// Usage: tolven_save_floor IMAGE
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tolven_save_floor IMAGE\n");
        return 2;
    }
    std::string path = argv[1], temp = path + ".floor-partial";
    int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (in < 0 || ::fstat(in, &st) != 0) return 1;
    size_t size = static_cast<size_t>(st.st_size);
    std::unique_ptr<char[]> bytes(new char[size]);  // not cleared: the read fills it
    ssize_t got = ::read(in, bytes.get(), size);
    ::close(in);
    if (got != static_cast<ssize_t>(size)) return 1;
    int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) return 1;
    bool ok = ::write(out, bytes.get(), size) == static_cast<ssize_t>(size) && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return 1;
    }
    return 0;
}
