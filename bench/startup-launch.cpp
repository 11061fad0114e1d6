// Runs one program and prints its processor time and peak memory, as
// /usr/bin/time does: a small process of its own, because a child's peak
// counts the memory of the process that started it.
// Usage: startup-launch PROGRAM [ARGS...]; prints "cpu SECONDS peak KB exit CODE".
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execv(argv[1], argv + 1);
        _exit(127);
    }
    if (pid < 0)
        return 2;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("cpu %.4f peak %ld exit %d\n", cpu, long(usage.ru_maxrss),
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
