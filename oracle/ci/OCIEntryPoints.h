#pragma once
// The entry-point table: one pointer per client function the library calls, null while the
// client is not loaded or when the client does not export the name. The loader fills it in
// groups (a group is usable only as a whole, see OracleCI.h) and clears it when unloading.
// Every call into the client goes through quorvel::OCI.
#include "oracle/ci/OCIFunctions.h"

#include "oracle/ci/OCIEntryNames.h"

namespace quorvel {

struct TOCIEntryPoints {
#define QUORVEL_OCI_SLOT(name) T##name name = nullptr;
    QUORVEL_OCI_GROUP_OCI7(QUORVEL_OCI_SLOT)
    QUORVEL_OCI_GROUP_OLOG(QUORVEL_OCI_SLOT)
    QUORVEL_OCI_GROUP_OPINIT(QUORVEL_OCI_SLOT)
    QUORVEL_OCI_GROUP_OCI8(QUORVEL_OCI_SLOT)
    QUORVEL_OCI_GROUP_EXTPROC(QUORVEL_OCI_SLOT)
    QUORVEL_OCI_GROUP_OCI81(QUORVEL_OCI_SLOT)
    QUORVEL_OCI_GROUP_NET9(QUORVEL_OCI_SLOT)
    QUORVEL_OCI_GROUP_OCI92(QUORVEL_OCI_SLOT)
    QUORVEL_OCI_GROUP_MTS(QUORVEL_OCI_SLOT)
#undef QUORVEL_OCI_SLOT
};

// The process-wide table. Filled by EnsureOCILoaded (the support-library slots by
// EnsureMTSLoaded), emptied by UnloadOCI; unchanged in between, so it is read without locking.
extern TOCIEntryPoints OCI;

} // namespace quorvel
