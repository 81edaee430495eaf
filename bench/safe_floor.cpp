// The least a safe merge must do, to time quillmar-cli merge against: read the template and the
// translation to their ends, write BYTES bytes to a new file in the output's folder, fdatasync
// it and rename it over OUTPUT.
// Usage: safe_floor TEMPLATE TRANSLATION OUTPUT BYTES
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "safe_floor: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

// Reads path to its end into buffer, piece by piece.
void ReadAll(const char* path, std::vector<char>& buffer)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        Fail(path);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            Fail(path);
        if (got == 0)
            break;
    }
    ::close(fd);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: safe_floor TEMPLATE TRANSLATION OUTPUT BYTES\n");
        return 2;
    }
    std::vector<char> buffer(1 << 20);
    ReadAll(argv[1], buffer);
    ReadAll(argv[2], buffer);
    long long left = std::atoll(argv[4]);

    const std::string output = argv[3];
    const std::string::size_type slash = output.rfind('/');
    std::string temporary =
        (slash == std::string::npos ? std::string() : output.substr(0, slash + 1)) +
        ".safe_floor.XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        Fail(temporary);
    while (left > 0) {
        const size_t piece = left < static_cast<long long>(buffer.size())
                                 ? static_cast<size_t>(left)
                                 : buffer.size();
        const ssize_t put = ::write(fd, buffer.data(), piece);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            Fail(temporary);
        left -= put;
    }
    if (::fdatasync(fd) != 0 || ::close(fd) != 0)
        Fail(temporary);
    if (::rename(temporary.c_str(), output.c_str()) != 0)
        Fail(output);
    return 0;
}
