#pragma once
// Runs work in a child process of its own and measures what it costs: the
// peak resident memory it adds to an idle child. A child that hangs is
// killed by an alarm and fails the test.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

// Peak resident memory, in MiB, that a child adds to an idle one while it
// runs the work; the work's answer comes back as the child's exit code.
template <typename Work>
double PeakMiBOfChild(Work work, int& answer) {
  const auto peak = [](auto childWork, int& exitCode) {
    const pid_t child = fork();
    if (child == 0) {
      alarm(60);  // a child that hangs dies and fails the test
      std::_Exit(childWork() + 10);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) - 10 : 100;
    return static_cast<double>(usage.ru_maxrss) / 1024;
  };
  int idleAnswer = 0;
  const double idle = peak([] { return 0; }, idleAnswer);
  return peak(work, answer) - idle;
}
