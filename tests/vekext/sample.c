/* A sample extension in plain C. Variants come from the same source:
 *   SAMPLE_AUTO      load type 4 (loaded at start-up), no command word
 *   SAMPLE_NOHELP    no GetExtensionHelp
 *   SAMPLE_UNDEFINED refers to a name vek does not export
 *   SAMPLE_ABI2      built for another version of the interface
 *   SAMPLE_INITZERO  InitExtension refuses
 * Its command word (io) takes "io run" (StartTargetCode from a thread of
 * its own, waiting for the breakpoint), "io insert" (a menu item through its
 * command function), "io records" (prints what the debug records say) and
 * any other line, which it prints. */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "vek/shell/vekext.h"

#ifdef SAMPLE_ABI2
VEK_EXPORT int VekExtensionAbi(void) { return 2; }
#else
VEK_EXTENSION_ABI()
#endif

#ifdef SAMPLE_UNDEFINED
extern int NoSuchVekExport(void);
VEK_EXPORT int SampleUndefined(void) { return NoSuchVekExport(); }
#endif

static int menuid;
static int lastcommand;

static void say(const char* what, const char* text) {
    printf("sample %s: %s\n", what, text);
    fflush(stdout);
}

static void menucommand(int id) { lastcommand = id; }

VEK_EXPORT int InitExtension(void* mainwindow, void* program, void* library) {
    (void)mainwindow;
    if (!program || !library) return 0;
    say("init", GetTargetProcessor());
    RegisterMenuCommandFunction(menucommand);
#ifdef SAMPLE_INITZERO
    return 0;
#else
    return 1;
#endif
}

VEK_EXPORT int CheckExtension(const char* processor, int exectype) {
    return strcmp(processor, "PPC") == 0 && exectype == 1;
}

VEK_EXPORT const char* GetExtensionDescription(void) {
#ifdef SAMPLE_AUTO
    return "Auto sample";
#else
    return "IO sample";
#endif
}

VEK_EXPORT int GetExtensionLoadType(void) {
#ifdef SAMPLE_AUTO
    return 4;
#else
    return 0;
#endif
}

#ifndef SAMPLE_NOHELP
VEK_EXPORT const char* GetExtensionHelp(void) { return "Prints the io lines it gets"; }
#endif

VEK_EXPORT const char* GetCommandName(void) { return "io"; }
#ifndef SAMPLE_AUTO
VEK_EXPORT const char* GetCommandOptions(void) { return "io <anything>"; }
VEK_EXPORT const char* GetExtensionVersion(void) { return "1.2"; }
#endif

/* The thread's findings. */
static volatile int sawrunning, stepidle;
static void* runner(void* arg) {
    (void)arg;
    StartTargetCode();
    sawrunning = IsTargetRunning();
    StepCode(3); /* the target runs: nothing happens */
    while (IsTargetRunning()) {
        struct timespec t = {0, 1000000};
        nanosleep(&t, NULL);
    }
    stepidle = 1;
    return NULL;
}

/* Walks the debug records as an extension reads them. */
static void records(void) {
    const VekFileRecord* f;
    const VekFunctionRecord* fn;
    const VekCallFrame* c;
    const VekLineRecord* r;
    uint32_t address = 0;
    int n = 0;
    for (f = GetFileChain(); f; f = f->next) {
        printf("sample file %s:", f->name);
        for (fn = f->functions; fn; fn = fn->next)
            printf(" %s(%u-%u)", fn->name, (unsigned)fn->firstline, (unsigned)fn->lastline);
        printf("\n");
    }
    printf("sample stack:");
    for (c = GetCurrentStack(); c; c = c->caller) printf(" %s:%u", c->function->name, (unsigned)c->line);
    printf("\n");
    for (r = GetDebugList(); r; r = r->next) ++n;
    printf("sample lines %d\n", n);
    if (GetFunctionStartAddress("fact", NULL, &address)) {
        r = GetDebugSymbol(address + 2);
        fn = GetFunctionInfo("fact", NULL);
        printf("sample symbol %s %s %s\n", r && r->owner ? r->owner->name : "-", r ? r->text : "-",
               fn && GetStartDebugSymbol(r) == fn->start ? "start" : "other");
    }
    fflush(stdout);
}

VEK_EXPORT void CallExtension(const char* line) {
    if (strcmp(line, "io run") == 0) {
        pthread_t t;
        if (pthread_create(&t, NULL, runner, NULL) == 0) pthread_detach(t);
        return;
    }
    if (strcmp(line, "io insert") == 0) {
        menuid = AllocateMenuIDs(1);
        VekMenuCommand(menuid, 0);
        printf("sample menu %d reached %d\n", menuid, lastcommand);
        fflush(stdout);
        return;
    }
    if (strcmp(line, "io records") == 0) {
        records();
        return;
    }
    say("got", line);
}

/* Read by the in-process tests. */
VEK_EXPORT int SampleSawRunning(void) { return sawrunning; }
VEK_EXPORT int SampleRunDone(void) { return stepidle; }

VEK_EXPORT void CloseExtension(void) { say("close", GetExtensionDescription()); }

VEK_EXPORT const char* ICONDEF[] = {"2 2 2 1", "a c #000000", "b c #FFFFFF", "ab", "ba"};
