/*
 * Fixes for 32-bit Wine under qemu-i386 7.2 user-mode emulation, loaded with
 * LD_PRELOAD in front of the C library of Wine's 32-bit processes.
 *
 * 1. mmap and mmap64: qemu takes MAP_FIXED_NOREPLACE as a plain address hint,
 *    so a reservation that Wine expects at an exact address silently lands
 *    elsewhere ("failed to map the shared user data: c0000018"). Here the flag
 *    gets its kernel meaning: map at the hint without the flag, and if the
 *    mapping lands elsewhere, unmap it and fail with EEXIST.
 * 2. sigaction: qemu leaves the trap number of a fault's signal context at -1,
 *    and Wine decides from it what a fault is. Without it every page fault
 *    becomes an illegal instruction: IsBadReadPtr, guarded stack pages and any
 *    __try around a bad pointer crash the process. Wine's handlers for fault
 *    signals are wrapped to fill in the trap number from the signal's code.
 *
 * Built with -m32 -ffreestanding -nostdlib, so no 32-bit C library is needed
 * to build it: system calls use int $0x80, which needs no vDSO, and the two
 * C library functions used (__errno_location, dlsym) are bound by the dynamic
 * linker to the glibc already in the process.
 */

#define VZ_MAP_FIXED 0x10
#define VZ_MAP_FIXED_NOREPLACE 0x100000
#define VZ_EEXIST 17
#define VZ_EINVAL 22
#define VZ_ENOSYS 38
#define VZ_SYS_MUNMAP 91
#define VZ_SYS_MMAP2 192
#define VZ_PAGE_SHIFT 12
#define VZ_PAGE_MASK 0xfffUL

typedef unsigned int vz_size;

/*
 * errno lives in the C library's thread-local storage, at an offset only the
 * library knows; __errno_location is its public way in (the errno macro calls
 * it). The references are weak so that the library still loads into a
 * process without glibc; there the calls fail without setting errno.
 */
extern int *__errno_location(void) __attribute__((weak));
extern void *dlsym(void *handle, const char *name) __attribute__((weak));
#define VZ_RTLD_NEXT ((void *)-1L)

__attribute__((visibility("hidden"))) long vz_syscall6(long nr, long a1, long a2, long a3,
                                                       long a4, long a5, long a6);

/* i386 Linux system call: number in eax, arguments in ebx, ecx, edx, esi,
   edi, ebp; all four callee-saved registers are restored. */
__asm__(".text\n"
        ".p2align 4\n"
        ".hidden vz_syscall6\n"
        ".type vz_syscall6,@function\n"
        "vz_syscall6:\n"
        "  pushl %ebp\n"
        "  pushl %edi\n"
        "  pushl %esi\n"
        "  pushl %ebx\n"
        "  movl 20(%esp), %eax\n"
        "  movl 24(%esp), %ebx\n"
        "  movl 28(%esp), %ecx\n"
        "  movl 32(%esp), %edx\n"
        "  movl 36(%esp), %esi\n"
        "  movl 40(%esp), %edi\n"
        "  movl 44(%esp), %ebp\n"
        "  int $0x80\n"
        "  popl %ebx\n"
        "  popl %esi\n"
        "  popl %edi\n"
        "  popl %ebp\n"
        "  ret\n"
        ".size vz_syscall6, .-vz_syscall6\n");

static void vz_set_errno(int err)
{
    if (__errno_location)
        *__errno_location() = err;
}

static int vz_is_error(unsigned long r) { return r > -4096UL; }

static void *vz_map_failed(int err)
{
    vz_set_errno(err);
    return (void *)-1;
}

static void *vz_mmap(void *addr, vz_size len, int prot, int flags, int fd, long long offset)
{
    /* mmap2 takes the offset in pages, as a 32-bit number. */
    unsigned long long off = (unsigned long long)offset;
    if ((off & VZ_PAGE_MASK) != 0 || (off >> (32 + VZ_PAGE_SHIFT)) != 0)
        return vz_map_failed(VZ_EINVAL);
    long pgoff = (long)(off >> VZ_PAGE_SHIFT);

    if (!(flags & VZ_MAP_FIXED_NOREPLACE)) {
        unsigned long r = (unsigned long)vz_syscall6(VZ_SYS_MMAP2, (long)addr, (long)len, prot,
                                                     flags, fd, pgoff);
        return vz_is_error(r) ? vz_map_failed((int)-(long)r) : (void *)r;
    }

    if (((unsigned long)addr & VZ_PAGE_MASK) != 0)
        return vz_map_failed(VZ_EINVAL);
    int hint_flags = flags & ~(VZ_MAP_FIXED_NOREPLACE | VZ_MAP_FIXED);
    unsigned long r = (unsigned long)vz_syscall6(VZ_SYS_MMAP2, (long)addr, (long)len, prot,
                                                 hint_flags, fd, pgoff);
    if (vz_is_error(r))
        return vz_map_failed((int)-(long)r);
    if (r != (unsigned long)addr) {
        vz_syscall6(VZ_SYS_MUNMAP, (long)r, (long)len, 0, 0, 0, 0);
        return vz_map_failed(VZ_EEXIST);
    }
    return (void *)r;
}

void *mmap64(void *addr, vz_size len, int prot, int flags, int fd, long long offset)
{
    return vz_mmap(addr, len, prot, flags, fd, offset);
}

void *mmap(void *addr, vz_size len, int prot, int flags, int fd, long offset)
{
    return vz_mmap(addr, len, prot, flags, fd, offset);
}

/* --- Trap numbers for fault signals --------------------------------------- */

#define VZ_SIGILL 4
#define VZ_SIGTRAP 5
#define VZ_SIGBUS 7
#define VZ_SIGFPE 8
#define VZ_SIGSEGV 11
#define VZ_NSIG 32
#define VZ_SA_SIGINFO 4

/* glibc's i386 struct sigaction and the parts of siginfo_t and ucontext_t
   that are read here. */
struct vz_sigaction {
    void *handler;
    unsigned long mask[32];
    int flags;
    void *restorer;
};
struct vz_siginfo {
    int signo;
    int errno_value;
    int code;
};
#define VZ_UC_GREGS_OFFSET 20 /* uc_flags, uc_link, uc_stack */
#define VZ_REG_TRAPNO 12

typedef void (*vz_handler)(int, void *, void *);
typedef int (*vz_sigaction_fn)(int, const struct vz_sigaction *, struct vz_sigaction *);

/* The handlers Wine installed, called by vz_fix_trap; indexed by signal. */
static vz_handler vz_handlers[VZ_NSIG];

/* The trap number the kernel would have stored, from the signal and its code
   (as qemu raises them: page faults as SEGV_MAPERR/SEGV_ACCERR, protection
   faults and software interrupts as SI_KERNEL). */
static int vz_trap_number(int sig, int code)
{
    switch (sig) {
    case VZ_SIGSEGV: return code == 1 || code == 2 ? 14 : 13;
    case VZ_SIGBUS: return code == 1 ? 17 : 11;
    case VZ_SIGILL: return 6;
    case VZ_SIGFPE: return code == 1 ? 0 : code == 2 ? 4 : 16;
    case VZ_SIGTRAP: return code == 2 ? 1 : 3;
    default: return -1;
    }
}

static void vz_fix_trap(int sig, void *info, void *ucontext)
{
    long *gregs = (long *)((char *)ucontext + VZ_UC_GREGS_OFFSET);
    const struct vz_siginfo *si = (const struct vz_siginfo *)info;
    if (gregs[VZ_REG_TRAPNO] == -1 && si->code > 0)
        gregs[VZ_REG_TRAPNO] = vz_trap_number(sig, si->code);
    vz_handler handler = __atomic_load_n(&vz_handlers[sig], __ATOMIC_ACQUIRE);
    if (handler)
        handler(sig, info, ucontext);
}

static int vz_is_fault_signal(int sig)
{
    return sig == VZ_SIGSEGV || sig == VZ_SIGBUS || sig == VZ_SIGILL || sig == VZ_SIGFPE ||
           sig == VZ_SIGTRAP;
}

int sigaction(int sig, const struct vz_sigaction *act, struct vz_sigaction *old)
{
    static vz_sigaction_fn next;
    vz_sigaction_fn real = __atomic_load_n(&next, __ATOMIC_ACQUIRE);
    if (!real) {
        real = dlsym ? (vz_sigaction_fn)dlsym(VZ_RTLD_NEXT, "sigaction") : 0;
        if (!real) {
            vz_set_errno(VZ_ENOSYS);
            return -1;
        }
        __atomic_store_n(&next, real, __ATOMIC_RELEASE);
    }
    if (!vz_is_fault_signal(sig))
        return real(sig, act, old);

    vz_handler previous = __atomic_load_n(&vz_handlers[sig], __ATOMIC_ACQUIRE);
    struct vz_sigaction wrapped;
    const struct vz_sigaction *pass = act;
    /* SIG_DFL and SIG_IGN (0 and 1) and handlers without siginfo see no
       context, so they are installed as they are. */
    int wrap = act && (act->flags & VZ_SA_SIGINFO) && (unsigned long)act->handler > 1;
    if (wrap) {
        wrapped = *act;
        wrapped.handler = (void *)vz_fix_trap;
        pass = &wrapped;
        __atomic_store_n(&vz_handlers[sig], (vz_handler)act->handler, __ATOMIC_RELEASE);
    }
    int r = real(sig, pass, old);
    if (r != 0 && wrap)
        __atomic_store_n(&vz_handlers[sig], previous, __ATOMIC_RELEASE);
    if (r == 0 && old && old->handler == (void *)vz_fix_trap)
        old->handler = (void *)previous;
    return r;
}
