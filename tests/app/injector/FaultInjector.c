/* Test helper preloaded into the player: a real processor fault at a chosen point.
 * STARFALL_FAULT_ON_OPEN=<name> faults when a file of that name is opened for reading or
 * writing; STARFALL_FAULT_IN=Mix_HaltChannel faults when the sound is stopped (shut-down);
 * STARFALL_SIGNAL_ON_OPEN=<name> sends the player SIGTERM as that file is opened. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

volatile int starfall_injected_divisor = 0;
volatile int starfall_injected_sink = 0;

/* Kept out of line and visible, so a trace back can name where the fault happened. */
__attribute__((noinline, visibility("default"))) void starfall_injected_fault(void)
{
    starfall_injected_sink = 100 / starfall_injected_divisor;
}

static int Named(const char* variable, const char* path)
{
    const char* name = getenv(variable);
    if (name == NULL || *name == '\0' || path == NULL)
        return 0;
    const char* slash = strrchr(path, '/');
    return strcmp(slash ? slash + 1 : path, name) == 0;
}

static FILE* OpenFile(const char* symbol, const char* path, const char* mode)
{
    if (Named("STARFALL_FAULT_ON_OPEN", path))
        starfall_injected_fault();
    if (Named("STARFALL_SIGNAL_ON_OPEN", path))
        raise(SIGTERM);
    FILE* (*real)(const char*, const char*) = (FILE * (*)(const char*, const char*)) dlsym(RTLD_NEXT, symbol);
    return real ? real(path, mode) : NULL;
}

FILE* fopen(const char* path, const char* mode)
{
    return OpenFile("fopen", path, mode);
}

FILE* fopen64(const char* path, const char* mode)
{
    return OpenFile("fopen64", path, mode);
}

int Mix_HaltChannel(int channel)
{
    const char* in = getenv("STARFALL_FAULT_IN");
    if (in != NULL && strcmp(in, "Mix_HaltChannel") == 0)
        starfall_injected_fault();
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "Mix_HaltChannel");
    return real ? real(channel) : 0;
}
