/* Can this kernel run 32-bit code inside a 64-bit process, as WoW64 needs?
 * Without 32-bit support the kernel has no 32-bit user code segment, and a
 * far jump into it faults. A child jumps into it (selector 0x23) at 32-bit
 * code in the low 4 GiB that sets EAX and jumps back to the 64-bit segment
 * (0x33), where it exits with EAX. Status 0 when the child came back with the
 * value, else 1 and what ended it on standard error.
 *   probe32 [SELECTOR]   another selector, to see the probe fail */
#define _GNU_SOURCE
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

enum { kValue = 42 };

static void child(unsigned selector) {
    unsigned char* page = mmap(NULL, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (page == MAP_FAILED) _exit(100);
    uint32_t base = (uint32_t)(uintptr_t)page, back = base + 64;
    /* 32-bit: mov eax, kValue; jmp far 0x33:base+64 (the offset at byte 6) */
    static const unsigned char in32[] = {0xB8, kValue, 0, 0, 0, 0xEA, 0, 0, 0, 0, 0x33, 0x00};
    /* 64-bit, at base+64: mov edi, eax; mov eax, 60 (exit); syscall */
    static const unsigned char out64[] = {0x89, 0xC7, 0xB8, 60, 0, 0, 0, 0x0F, 0x05};
    memcpy(page, in32, sizeof in32);
    memcpy(page + 6, &back, 4);
    memcpy(page + 64, out64, sizeof out64);
    struct __attribute__((packed)) { uint32_t offset; uint16_t selector; } target = {base, (uint16_t)selector};
    __asm__ volatile("ljmpl *%0" : : "m"(target) : "memory");
    _exit(101); /* not reached */
}

int main(int argc, char** argv) {
    unsigned selector = argc > 1 ? (unsigned)strtoul(argv[1], NULL, 0) : 0x23;
    pid_t pid = fork();
    if (pid < 0) { perror("probe32: fork"); return 1; }
    if (pid == 0) child(selector);
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) { perror("probe32: waitpid"); return 1; }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kValue) return 0;
    if (WIFSIGNALED(status))
        fprintf(stderr, "probe32: 32-bit code (selector 0x%x) ended with signal %d (%s)\n", selector,
                WTERMSIG(status), strsignal(WTERMSIG(status)));
    else
        fprintf(stderr, "probe32: 32-bit code (selector 0x%x) ended with status %d\n", selector,
                WEXITSTATUS(status));
    return 1;
}
