// TLOBLocator against bare OCILob calls of the same work on the same stand-in database, in one
// run on one machine, through the real client loader:
//  - writing a temporary BLOB of `size` bytes in 64 KB pieces, then reading it back in 64 KB
//    pieces (TLOBLocator::Write / Read versus OCILobWrite / OCILobRead at the same offsets);
//  - reading a temporary CLOB of `size` / 2 characters as UTF-16 text (AsWideString versus one
//    OCILobRead with character set 1000 into a buffer of the same size).
// Each side runs five rounds, taking turns going first; the best round of each side is compared.
// Usage: bench_lob [size]   (default 8388608)
#include "bench/LibraryBenchSupport.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleLob.h"
#include "oracle/query/Variables.h"
#include "oracle/session/OracleSession.h"

using namespace quorvel;

namespace {

constexpr int kPiece = 65536;


void Check(sword status, void* err, const char* what) {
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO || status == OCI_NO_DATA) return;
    text buf[1024] = {0};
    sb4 code = 0;
    OCI.OCIErrorGet(err, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR);
    std::fprintf(stderr, "%s failed: %s\n", what, reinterpret_cast<char*>(buf));
    std::exit(1);
}

// One round of the bare calls: a new temporary BLOB written and read in pieces.
double BareBlob(TOracleSession& s, const std::vector<char>& data) {
    auto* svc = static_cast<OCISvcCtx*>(s.ServiceContext());
    void* err = nullptr;
    void* loc = nullptr;
    OCI.OCIHandleAlloc(s.EnvHandle(), &err, OCI_HTYPE_ERROR, 0, nullptr);
    OCI.OCIDescriptorAlloc(s.EnvHandle(), &loc, OCI_DTYPE_LOB, 0, nullptr);
    auto* e = static_cast<OCIError*>(err);
    auto* l = static_cast<OCILobLocator*>(loc);
    Check(OCI.OCILobCreateTemporary(svc, e, l, 0, 1, OCI_TEMP_BLOB, 1, OCI_DURATION_SESSION), err, "create");
    const auto start = Clock::now();
    for (size_t at = 0; at < data.size(); at += kPiece) {
        ub4 amount = ub4(std::min<size_t>(kPiece, data.size() - at));
        Check(OCI.OCILobWrite(svc, e, l, &amount, ub4(at + 1), const_cast<char*>(data.data() + at), amount,
                              OCI_ONE_PIECE, nullptr, nullptr, 0, 1),
              err, "write");
    }
    std::vector<char> buf(kPiece);
    size_t total = 0;
    for (size_t at = 0; at < data.size(); at += kPiece) {
        ub4 amount = kPiece;
        Check(OCI.OCILobRead(svc, e, l, &amount, ub4(at + 1), buf.data(), kPiece, nullptr, nullptr, 0, 1), err, "read");
        total += amount;
    }
    const double t = Seconds(start);
    if (total != data.size()) std::exit(2);
    OCI.OCILobFreeTemporary(svc, e, l);
    OCI.OCIDescriptorFree(loc, OCI_DTYPE_LOB);
    OCI.OCIHandleFree(err, OCI_HTYPE_ERROR);
    return t;
}

double LibraryBlob(TOracleSession& s, const std::vector<char>& data) {
    auto lob = TLOBLocator::CreateTemporary(&s, otBLOB, true);
    const auto start = Clock::now();
    for (size_t at = 0; at < data.size(); at += kPiece)
        lob->Write(data.data() + at, int64_t(std::min<size_t>(kPiece, data.size() - at)));
    lob->Seek(0, soBeginning);
    std::vector<char> buf(kPiece);
    int64_t total = 0;
    for (int64_t n; (n = lob->Read(buf.data(), kPiece)) > 0;) total += n;
    const double t = Seconds(start);
    if (size_t(total) != data.size()) std::exit(2);
    return t;
}

// The CLOB read as UTF-16 text.
double BareClob(TOracleSession& s, TLOBLocator& clob, size_t chars) {
    void* err = nullptr;
    OCI.OCIHandleAlloc(s.EnvHandle(), &err, OCI_HTYPE_ERROR, 0, nullptr);
    const auto start = Clock::now();
    std::u16string text(chars, u'\0');
    ub4 amount = ub4(chars);
    Check(OCI.OCILobRead(static_cast<OCISvcCtx*>(s.ServiceContext()), static_cast<OCIError*>(err),
                         static_cast<OCILobLocator*>(clob.Locator()), &amount, 1, text.data(), ub4(chars * 2), nullptr,
                         nullptr, 1000, 1),
          err, "read clob");
    const double t = Seconds(start);
    OCI.OCIHandleFree(err, OCI_HTYPE_ERROR);
    if (amount != chars) std::exit(3);
    return t;
}

double LibraryClob(TLOBLocator& clob, size_t chars) {
    const auto start = Clock::now();
    const std::u16string text = clob.AsWideString();
    const double t = Seconds(start);
    if (text.size() < chars) std::exit(3);
    return t;
}

} // namespace

int main(int argc, char** argv) {
    const size_t size = argc > 1 ? size_t(std::max(2L, std::atol(argv[1]))) : size_t(8) << 20;
    const std::string dir = StandInWorkspace("lob");
    if (dir.empty()) return 1;

    double bareBlob = 1e9, libBlob = 1e9, bareClob = 1e9, libClob = 1e9;
    const size_t chars = size / 2;
    try {
        TOracleSession session;
        session.SetLogonUsername("scott/tiger@" + dir + "/db");
        session.LogOn();
        std::vector<char> data(size);
        for (size_t i = 0; i < size; ++i) data[i] = char(i * 31 % 251);
        // Text without line breaks, so the line-break pass has nothing to change.
        auto clob = TLOBLocator::CreateTemporary(&session, otCLOB, true);
        std::u16string text(chars, u'x');
        for (size_t i = 0; i < chars; ++i) text[i] = char16_t(i % 7 == 0 ? u'Ж' : u'a' + i % 26);
        clob->SetAsWideString(text);
        for (int round = 0; round < 5; ++round) {
            if (round % 2 == 0) {
                bareBlob = std::min(bareBlob, BareBlob(session, data));
                libBlob = std::min(libBlob, LibraryBlob(session, data));
                bareClob = std::min(bareClob, BareClob(session, *clob, chars));
                libClob = std::min(libClob, LibraryClob(*clob, chars));
            } else {
                libBlob = std::min(libBlob, LibraryBlob(session, data));
                bareBlob = std::min(bareBlob, BareBlob(session, data));
                libClob = std::min(libClob, LibraryClob(*clob, chars));
                bareClob = std::min(bareClob, BareClob(session, *clob, chars));
            }
        }
        clob.reset();
        session.LogOff();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    std::filesystem::remove_all(dir);
    std::printf("BLOB write+read %zu bytes in 64 KB pieces: bare %.4f s, TLOBLocator %.4f s, ratio %.2f\n", size,
                bareBlob, libBlob, libBlob / bareBlob);
    std::printf("CLOB %zu characters as UTF-16: bare %.4f s, AsWideString %.4f s, ratio %.2f\n", chars, bareClob,
                libClob, libClob / bareClob);
    return 0;
}
