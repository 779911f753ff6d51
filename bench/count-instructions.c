/* Counts the instructions a program executes in user space, by running it
 * under ptrace one instruction at a time: exact, and the same on a busy
 * machine. perf cannot count instructions on machines without a hardware
 * counter for the guest, and valgrind computes the x87's Extended operations
 * in doubles, so that modsin's tabulation takes another course under it.
 * About 20 microseconds an instruction: a modsin run takes some seconds.
 *
 * Usage: modsin_count_instructions PROGRAM [ARGUMENT...]
 * The program inherits the standard streams; the count goes to standard
 * error, and the exit code is the program's. */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s PROGRAM [ARGUMENT...]\n", argv[0]);
    return 2;
  }
  const pid_t child = fork();
  if (child < 0) {
    perror("fork");
    return 1;
  }
  if (child == 0) {
    ptrace(PTRACE_TRACEME, 0, NULL, NULL);
    execv(argv[1], argv + 1);
    perror(argv[1]);
    _exit(127);
  }
  /* The child stops at the start of the new program; each step runs one
   * instruction and stops again, until the program ends. A stop for any other
   * signal passes the signal on. */
  int status;
  unsigned long long count = 0;
  waitpid(child, &status, 0);
  while (WIFSTOPPED(status)) {
    long signal = 0;
    if (WSTOPSIG(status) == SIGTRAP)
      ++count;
    else
      signal = WSTOPSIG(status);
    if (ptrace(PTRACE_SINGLESTEP, child, NULL, (void*)signal) != 0) {
      perror("ptrace");
      return 1;
    }
    waitpid(child, &status, 0);
  }
  fprintf(stderr, "%llu instructions\n", count);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
