#pragma once
// The data areas of the older OCI7 call interface: the logon data area and the cursor data
// area share one layout (the return code sits at byte 12), the host data area is opaque.
// Sizes follow the address width of the build, because the client writes the whole area:
// 64 and 256 bytes for a 32-bit process, 88 and 512 bytes for a 64-bit one.
#include "oracle/ci/OCITypes.h"

extern "C" {

#if UINTPTR_MAX > 0xFFFFFFFFu
#define CDA_SIZE 88
#define HDA_SIZE 512
#else
#define CDA_SIZE 64
#define HDA_SIZE 256
#endif

struct cda_head {
    sb2 v2_rc;
    ub2 ft;
    ub4 rpc;
    ub2 peo;
    ub1 fc;
    ub1 rcs1;
    ub2 rc;
    ub1 wrn;
    ub1 rcs2;
    sword rcs3;
    struct {
        struct {
            ub4 rcs4;
            ub2 rcs5;
            ub1 rcs6;
        } rd;
        ub4 rcs7;
        ub2 rcs8;
    } rid;
    sword ose;
    ub1 chk;
    dvoid* rcsp;
};

struct cda_def {
    sb2 v2_rc;
    ub2 ft;
    ub4 rpc;
    ub2 peo;
    ub1 fc;
    ub1 rcs1;
    ub2 rc;
    ub1 wrn;
    ub1 rcs2;
    sword rcs3;
    struct {
        struct {
            ub4 rcs4;
            ub2 rcs5;
            ub1 rcs6;
        } rd;
        ub4 rcs7;
        ub2 rcs8;
    } rid;
    sword ose;
    ub1 chk;
    dvoid* rcsp;
    ub1 rcs9[CDA_SIZE - sizeof(struct cda_head)];
};

typedef struct cda_def Cda_Def;
typedef struct cda_def Lda_Def;

} // extern "C"

static_assert(sizeof(Cda_Def) == CDA_SIZE, "the cursor data area must have the client's size");
static_assert(offsetof(Cda_Def, rc) == 12, "the return code sits at byte 12");
