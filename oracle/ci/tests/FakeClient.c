/* A stand-in client library for the loader tests. It exports the names of the groups it is
 * built with, each as a function that does nothing, and counts the two process-initialisation
 * calls so a test can see which one ran. Variants leave out whole groups (NO_OCI7, NO_OCI8,
 * WITH_MTS adds the support-library group) or single names: the build defines such a name as
 * "omitted_<name>", so the function is exported under that other name instead. */
#include "oracle/ci/OCIEntryNames.h"

#define EXPORT __attribute__((visibility("default")))
#define DEFINE(name) EXPORT int name(void) { return 0; }

static int opinitCalls = 0;
static int initializeCalls = 0;
static unsigned lastInitializeMode = 0xFFFFFFFFu;

/* opinit and OCIInitialize are written out below with their parameters. */
#define opinit generic_opinit_unused
#define OCIInitialize generic_OCIInitialize_unused

#ifndef NO_OCI7
QUORVEL_OCI_GROUP_OCI7(DEFINE)
QUORVEL_OCI_GROUP_OLOG(DEFINE)
QUORVEL_OCI_GROUP_OPINIT(DEFINE)
#endif
#ifndef NO_OCI8
QUORVEL_OCI_GROUP_OCI8(DEFINE)
QUORVEL_OCI_GROUP_EXTPROC(DEFINE)
QUORVEL_OCI_GROUP_OCI81(DEFINE)
QUORVEL_OCI_GROUP_NET9(DEFINE)
QUORVEL_OCI_GROUP_OCI92(DEFINE)
#endif
#ifdef WITH_MTS
QUORVEL_OCI_GROUP_MTS(DEFINE)
#endif

#undef opinit
#undef OCIInitialize

#ifndef NO_OCI7
EXPORT int opinit(unsigned mode)
{
    (void)mode;
    ++opinitCalls;
    return 0;
}
#endif
#ifndef NO_OCI8
EXPORT int OCIInitialize(unsigned mode, void* ctx, void* m, void* r, void* f)
{
    (void)ctx; (void)m; (void)r; (void)f;
    ++initializeCalls;
    lastInitializeMode = mode;
    return 0;
}
#endif

EXPORT int fake_opinit_calls(void) { return opinitCalls; }
EXPORT int fake_initialize_calls(void) { return initializeCalls; }
EXPORT unsigned fake_initialize_mode(void) { return lastInitializeMode; }
