/* The yardstick of the copy phase: the least any download over TCP can cost. One GET over HTTP/1.0
 * to 127.0.0.1, recv() into one 256 KiB buffer, write() that buffer to the file; no library, no
 * event loop, no per-block work. Prints the seconds from the first body byte to the last on disk.
 *
 * Usage: pomvex_bench_bare PORT PATH OUTFILE */
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

static double Now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static int WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t k = write(fd, p, n);
        if (k <= 0) return -1;
        p += k;
        n -= (size_t)k;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s PORT PATH OUTFILE\n", argv[0]);
        return 2;
    }
    static char buf[256 * 1024];
    struct sockaddr_in addr = {0};
    addr.sin_family = AF_INET;
    addr.sin_port = htons((unsigned short)atoi(argv[1]));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0 || connect(s, (struct sockaddr*)&addr, sizeof addr) != 0) return perror("connect"), 1;
    int n = snprintf(buf, sizeof buf, "GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", argv[2]);
    if (WriteAll(s, buf, (size_t)n) != 0) return perror("send"), 1;
    int out = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) return perror("open"), 1;
    int inBody = 0;
    double first = 0;
    long long total = 0;
    for (;;) {
        ssize_t k = recv(s, buf, sizeof buf, 0);
        if (k < 0) return perror("recv"), 1;
        if (k == 0) break;
        char* p = buf;
        if (!inBody) {
            char* end = memmem(buf, (size_t)k, "\r\n\r\n", 4);
            if (!end) return fprintf(stderr, "header larger than one read\n"), 1;
            p = end + 4;
            inBody = 1;
            first = Now();
        }
        if (WriteAll(out, p, (size_t)(buf + k - p)) != 0) return perror("write"), 1;
        total += buf + k - p;
    }
    if (close(out) != 0) return perror("close"), 1;
    printf("ok=1 bytes=%lld copy_s=%.3f\n", total, Now() - first);
    return 0;
}
