/* Preloaded into the guest's 32-bit Wine before the 32-bit libfaketime: Wine
 * reads the clock through glibc's 64-bit-time entry points, which libfaketime
 * 0.9.10 does not replace. Each asks the next library's 32-bit-time function
 * (libfaketime's) and widens the result. Built by run-lane.sh without an i686
 * C library: no headers, the i386 ABI's types, dlsym from glibc at run time. */

typedef int clockid_t;
typedef long long time64_t;
struct timespec32 { long tv_sec; long tv_nsec; };
struct timespec64 { time64_t tv_sec; long tv_nsec; int padding; };
struct timeval32 { long tv_sec; long tv_usec; };
struct timeval64 { time64_t tv_sec; long long tv_usec; };

extern void *dlsym(void *handle, const char *name);
#define RTLD_NEXT ((void *)-1L)

/* The next library's NAME into the function pointer F, looked up once. */
#define NEXT(f, name) ((f) ? (f) : ((f) = (__typeof__(f))dlsym(RTLD_NEXT, name)))

int __clock_gettime64(clockid_t clock, struct timespec64 *ts) {
    static int (*clock_gettime32)(clockid_t, struct timespec32 *);
    struct timespec32 t;
    int r = NEXT(clock_gettime32, "clock_gettime")(clock, &t);
    if (r == 0 && ts) { ts->tv_sec = t.tv_sec; ts->tv_nsec = t.tv_nsec; }
    return r;
}

int __gettimeofday64(struct timeval64 *tv, void *tz) {
    static int (*gettimeofday32)(struct timeval32 *, void *);
    struct timeval32 t;
    int r = NEXT(gettimeofday32, "gettimeofday")(&t, tz);
    if (r == 0 && tv) { tv->tv_sec = t.tv_sec; tv->tv_usec = t.tv_usec; }
    return r;
}

time64_t __time64(time64_t *out) {
    static long (*time32)(long *);
    long t = NEXT(time32, "time")(0);
    if (out) *out = t;
    return t;
}
