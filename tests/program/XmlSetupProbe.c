/* Preloaded into the program by its tests: notes each call that sets libxml2
 * up (one line per call, in the file $KL_XML_SETUP_PROBE_OUT), then passes it
 * on to libxml2. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

static void note(const char* name) {
    const char* path = getenv("KL_XML_SETUP_PROBE_OUT");
    if (!path) return;
    FILE* f = fopen(path, "a");
    if (!f) return;
    fprintf(f, "%s\n", name);
    fclose(f);
}

void xmlInitParser(void) {
    note("xmlInitParser");
    void (*real)(void) = (void (*)(void))dlsym(RTLD_NEXT, "xmlInitParser");
    if (real) real();
}

typedef void (*ErrorHandler)(void*, void*);

void xmlThrDefSetStructuredErrorFunc(void* context, ErrorHandler handler) {
    note("xmlThrDefSetStructuredErrorFunc");
    void (*real)(void*, ErrorHandler) =
        (void (*)(void*, ErrorHandler))dlsym(RTLD_NEXT, "xmlThrDefSetStructuredErrorFunc");
    if (real) real(context, handler);
}
