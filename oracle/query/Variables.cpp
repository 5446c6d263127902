#include "oracle/query/Variables.h"

#include "base/DateTime.h"

#include <cstdlib>

namespace quorvel {

bool IsStringType(int type) {
    return type == otSubst || type == otString || type == otPLSQLString || type == otChar;
}

bool IsTimestampType(int type) {
    return type == otTimestamp || type == otTimestampTZ || type == otTimestampLTZ;
}

bool IsComplexType(int type) {
    switch (type) {
    case otObject: case otReference: case otCursor:
    case otCLOB: case otBLOB: case otBFile:
    case otTimestamp: case otTimestampTZ: case otTimestampLTZ:
        return true;
    default:
        return false;
    }
}

bool IsVariableType(int type) { return DeclaredBufferSize(type, std::string()) >= 0; }

int DeclaredBufferSize(int type, const std::string& normalizedName) {
    switch (type) {
    case otSubst: case otLong: case otLongRaw: return 0;
    case otInteger: return 4;
    case otFloat: return 8;
    case otString:
        return !NoRowIdVariableSizing && normalizedName.find("ROWID") != std::string::npos ? 501 : 4001;
    case otPLSQLString: return 32513;
    case otDate: return 7;
    case otChar: return 4001;
    default: return IsComplexType(type) ? 0 : -1;
    }
}

bool IsUTF8CharSetID(int id) { return id == 870 || id == 871 || id == 873; }
bool IsUTF16CharSetID(int id) { return id == 1000 || id == 2000; }

TVariableData::~TVariableData() { FreeBuffer(); }

void TVariableData::FreeBuffer() {
    if (BufOwner && buf) std::free(buf);
    buf = nullptr;
}

} // namespace quorvel
