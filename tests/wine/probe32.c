// probe32 COMMAND...: runs COMMAND when this kernel runs 32-bit user code, as
// Wine's 32-bit programs need; else exits 77, ctest's skip. A child switches
// to the 32-bit code segment 0x23 and back; a kernel without it kills it.
#define _GNU_SOURCE
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef ENTRY_CS  // the check of the way back enters the 64-bit stub directly
#define ENTRY_CS 0x23
#define ENTRY_AT 0
#endif

int main(int argc, char** argv) {
    // Below 2 GiB, where 32-bit code reaches. At 0, 32-bit: ljmp $0x33,
    // page+8. At 8, 64-bit: reload rsp from page+32 (32-bit code leaves
    // the upper halves undefined), jump to the address at page+40.
    unsigned char* page = mmap(NULL, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    unsigned int stub = (unsigned int)(unsigned long)page + 8;
    memcpy(page, "\xEA....\x33\x00\x90\x48\x8B\x25\x11\0\0\0\xFF\x25\x13\0\0\0", 21);
    memcpy(page + 1, &stub, 4);
    int status = 1;
    pid_t child = fork();
    if (child == 0) {
        signal(SIGSEGV, SIG_DFL);  // a sanitizer's handler would report the refusal
        __asm__ volatile("sub $128, %%rsp\n\t"  // the pushes spare the red zone
                         "mov %%rsp, 32(%0)\n\tlea 1f(%%rip), %%rax\n\tmov %%rax, 40(%0)\n\t"
                         "pushq %1\n\tpush %2\n\tlretq\n1:\n\tadd $128, %%rsp"
                         : : "r"(page), "i"(ENTRY_CS), "r"(page + ENTRY_AT) : "rax", "memory");
        _exit(0);
    }
    if (child < 0 || waitpid(child, &status, 0) != child || status != 0) {
        printf("SKIPPED: this kernel runs no 32-bit code, so Wine runs no 32-bit program\n");
        return 77;
    }
    if (argc < 2) return 0;
    execvp(argv[1], argv + 1);
    perror(argv[1]);
    return 127;
}
