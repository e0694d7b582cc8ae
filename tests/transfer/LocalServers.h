// Servers the transfer tests start themselves, all on 127.0.0.1, and small file helpers.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake/TestFolders.h"
#include "platform/Internet.h"

extern char** environ;

namespace testsrv {

// Nothing may leave the machine: no proxy variable may send a request elsewhere.
inline void ClearProxyEnvironment() {
    for (const char* v :
         {"http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "no_proxy", "HTTP_PROXY",
          "HTTPS_PROXY", "FTP_PROXY", "ALL_PROXY", "NO_PROXY", "SSL_CERT_FILE", "SSL_CERT_DIR"})
        unsetenv(v);
}

// A fresh folder under the system temp folder, removed with its contents at the end.
using ::TempDir;

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    WriteFileBytes(path, bytes);
}
// The file's bytes, or "<missing>" when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
    return ReadFileBytes(path).value_or("<missing>");
}

// While it lives, no file of this process grows past `bytes`: a write beyond fails with EFBIG,
// as on a full disk, without root. Servers started before it are not bound.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit small = m_saved;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

  private:
    rlimit m_saved{};
};

// Bytes that catch offset mistakes: no period of 1024 and every byte value, CR and LF included.
inline std::string Pattern(size_t n, unsigned seed = 1) {
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>(x >> 16);
    }
    return s;
}

// The byte pattern the HTTP server generates for its /status, /short, /close-mid, /slow routes.
inline std::string ServerPattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + (i >> 10)) & 0xFF);
    return s;
}

// A Python script run as a child process with pipes on its stdin and stdout. It is told to end
// by the close of its stdin; a child that has not ended after `graceMs` is killed.
class PythonChild {
  public:
    // REQUIRES: `script` is a path python3 can run.
    PythonChild(const std::string& script, const std::vector<std::string>& args, int graceMs = 2000)
        : m_graceMs(graceMs) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        std::vector<std::string> all = {"/usr/bin/python3", script};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&m_pid, argv[0], &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(in[0]);
        close(out[1]);
        m_stdin = in[1];
        m_stdout = out[0];
        if (rc != 0) {
            m_pid = -1;
            throw std::runtime_error("cannot start " + script);
        }
    }
    ~PythonChild() {
        close(m_stdin);
        close(m_stdout);
        if (m_pid < 0) return;
        for (int i = 0; i < m_graceMs / 20; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) return;
            usleep(20000);
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    PythonChild(const PythonChild&) = delete;
    PythonChild& operator=(const PythonChild&) = delete;

    // The read end of the child's stdout; owned by this object.
    int stdoutFd() const { return m_stdout; }
    // The child's next line on stdout, without its line end; blocks until it comes.
    std::string ReadLine() {
        std::string line;
        char c;
        while (read(m_stdout, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }

  private:
    const int m_graceMs;
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
};

// A Python server process from POMVEX_TEST_SERVERS_DIR. It prints its port first, and ends
// when its stdin is closed.
class ServerProcess {
  public:
    ServerProcess(const std::string& script, const std::vector<std::string>& args)
        : m_child(std::string(POMVEX_TEST_SERVERS_DIR) + "/" + script, args) {
        const std::string line = m_child.ReadLine();
        m_port = std::atoi(line.c_str());
        if (m_port <= 0)
            throw std::runtime_error(script + " did not report a port: '" + line + "'");
    }
    int port() const { return m_port; }

  private:
    PythonChild m_child;
    int m_port = 0;
};

// A self-signed certificate for 127.0.0.1 and localhost, made now by openssl.
// Returns false when openssl is missing.
inline bool MakeSelfSignedCert(const std::string& certPath, const std::string& keyPath) {
    std::string cmd =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost"
        " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout '" +
        keyPath + "' -out '" + certPath + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// A port on 127.0.0.1 where nothing listens: bound, then released.
inline int UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

}  // namespace testsrv

namespace testsrv {

// One HTTP and one FTP server per test program, both serving the same folder.
struct SharedServers {
    TempDir root;
    ServerProcess http{"http_server.py", {root.path()}};
    ServerProcess ftp{"ftp_server.py", {root.path()}};

    std::string Http(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(http.port()) + path;
    }
    std::string Ftp(const std::string& path) const {
        return "ftp://127.0.0.1:" + std::to_string(ftp.port()) + path;
    }
    // Puts `bytes` in the served folder; returns its HTTP URL.
    std::string Serve(const std::string& name, const std::string& bytes) {
        WriteBytes(root / name, bytes);
        return Http("/files/" + name);
    }
};

inline SharedServers& Servers() {
    static SharedServers servers;
    return servers;
}

// Reads the way the download does: the first bytes, rewind, then 1024-byte views to the end.
inline std::string ReadLikeDownload(CInternetFile& f, size_t readBeforeRewind = 1024) {
    std::string first(readBeforeRewind, '\0');
    size_t got = 0;
    while (got < readBeforeRewind) {
        size_t n = f.Read(first.data() + got, std::min<size_t>(1024, readBeforeRewind - got));
        if (n == 0) break;
        got += n;
    }
    f.SeekToBegin();
    std::string all;
    char block[1024];
    for (auto view = f.ReadView(block, sizeof block); !view.empty();
         view = f.ReadView(block, sizeof block))
        all.append(view.data(), view.size());
    return all;
}

}  // namespace testsrv
