/* Counts the presented frames for tools/counted-run.sh: preloaded, it stands in for
 * glfwSwapBuffers and rewrites ./soak-frames (the total so far) at most once a second, so
 * the game itself needs no switch for it. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>

typedef void (*SwapFunction)(void *window);

static unsigned long long frames;
static time_t lastWrite;

static void writeCount(void)
{
    /* Written aside and renamed, so the reader never sees half a number. */
    FILE *out = fopen("soak-frames.tmp", "w");
    if (!out)
        return;
    fprintf(out, "%llu\n", frames);
    fclose(out);
    rename("soak-frames.tmp", "soak-frames");
}

void glfwSwapBuffers(void *window)
{
    static SwapFunction realSwap;
    if (!realSwap)
        realSwap = (SwapFunction)dlsym(RTLD_NEXT, "glfwSwapBuffers");
    realSwap(window);
    ++frames;
    const time_t now = time(NULL);
    if (now != lastWrite) {
        lastWrite = now;
        writeCount();
    }
}
