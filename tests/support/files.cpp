#include "tests/support/files.h"

#include "core/state/failure.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kov::test {

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const fs::path &path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string withoutLine2(const std::string &text)
{
    const std::size_t a = text.find('\n');
    if (a == std::string::npos)
        return text;
    const std::size_t b = text.find('\n', a + 1);
    return text.substr(0, a + 1) + (b == std::string::npos ? std::string() : text.substr(b + 1));
}

std::vector<std::string> crlfLines(const std::string &text)
{
    std::vector<std::string> result;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        result.push_back(text.substr(at, end - at));
    if (at != text.size())
        result.push_back(text.substr(at));
    return result;
}

std::string crossingRecord(int crossings, int headerLines, bool swing)
{
    std::string text;
    for (int h = 1; h <= headerLines; ++h)
        text += "h" + std::to_string(h) + "\n";
    for (int i = 0; i <= 2 * crossings; ++i)
        text += std::to_string(swing && i % 2 == 0 ? -i : i) + (i % 2 ? " 1\n" : " -1\n");
    return text;
}

int failureNumber(const std::function<void()> &body)
{
    try {
        body();
        return 0;
    } catch (const Failure &f) {
        return f.number();
    }
}

ScratchFolder::ScratchFolder()
{
    char pattern[] = "/tmp/kov-test-XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("cannot make a scratch folder");
    m_path = pattern;
}

namespace {
/// Gives the owner every permission on folder and the folders below it, so
/// that a test's read-only folder can be removed.
void openUp(const fs::path &folder)
{
    std::error_code ec;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ec);
    for (const auto &e : fs::directory_iterator(folder, ec))
        if (fs::is_directory(e.symlink_status()))
            openUp(e.path());
}
} // namespace

ScratchFolder::~ScratchFolder()
{
    openUp(m_path);
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::vector<std::string> ScratchFolder::names() const
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(m_path))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

BatchRun runBatch(const fs::path &folder, const std::vector<std::string> &args, bool diskFull, int openFiles,
                  const std::string &limits)
{
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {out[0], out[1], err[0], err[1]})
            ::close(fd);
        const rlimit none{0, 0};
        const auto files = static_cast<rlim_t>(openFiles);
        const rlimit fewFiles{files, files};
        if (::chdir(folder.c_str()) != 0 || (diskFull && ::setrlimit(RLIMIT_FSIZE, &none) != 0) ||
            (openFiles > 0 && ::setrlimit(RLIMIT_NOFILE, &fewFiles) != 0))
            ::_exit(126);
        const std::string script = limits + " && exec \"$0\" \"$@\"";
        std::vector<char *> argv{const_cast<char *>(KOV_BATCH_EXE)};
        if (!limits.empty())
            argv = {const_cast<char *>("/bin/sh"), const_cast<char *>("-c"), const_cast<char *>(script.c_str()),
                    const_cast<char *>(KOV_BATCH_EXE)};
        for (const auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    BatchRun r;
    pollfd fds[] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *texts[] = {&r.out, &r.err};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int open = 2; open > 0;) {
        if (std::chrono::steady_clock::now() > deadline || ::poll(fds, 2, 1000) < 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fds[k].fd, buf, sizeof buf);
            if (n > 0) {
                texts[k]->append(buf, static_cast<std::size_t>(n));
            } else {
                fds[k].fd = -1;
                --open;
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

fs::path dataFolder()
{
    return KOV_TEST_DATA_DIR;
}

fs::path examplesFolder()
{
    return KOV_EXAMPLES_DIR;
}

} // namespace kov::test
