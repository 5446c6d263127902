// LOB locators driven as a C client drives them: CLOB, NCLOB and BLOB columns defined into
// locators, RETURNING ... INTO locators, temporary LOBs, reads and writes with their units,
// piecewise modes and the errors Oracle gives.
#include "ocisim/tests/OciFixture.h"

#include <cstring>
#include <string>
#include <vector>

using namespace ocitest;

namespace {

class Lobs : public Db {
protected:
    void SetUp() override {
        Db::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(Exec("create table docs (id number(4) primary key, c clob, b blob, n nclob)"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("insert into docs values (1, 'hello', hextoraw('0102'), 'мир')"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("insert into docs values (2, empty_clob(), empty_blob(), empty_clob())"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("insert into docs values (3, null, null, null)"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(OCITransCommit(svc, err, 0), OCI_SUCCESS);
    }

    OCILobLocator* NewLocator(ub4 type = OCI_DTYPE_LOB) {
        OCILobLocator* l = nullptr;
        EXPECT_EQ(OCIDescriptorAlloc(env, (void**)&l, type, 0, nullptr), OCI_SUCCESS);
        return l;
    }

    // Selects one row's LOB column into `loc` and returns the fetch status.
    sword SelectInto(const std::string& sql, OCILobLocator* loc, ub2 dty, sb2* ind, OCIStmt** keep = nullptr) {
        OCIStmt* st = Prepare(sql);
        OCIDefine* def = nullptr;
        sword r = OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIDefineByPos(st, &def, err, 1, &loc, sizeof loc, dty, ind, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        if (keep) *keep = st;
        else OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }

    // Reads `count` units from 1-based `offset` as bytes of the given character set.
    std::string Read(OCILobLocator* loc, ub4 offset, ub4 count, ub2 csid = 0, ub4* amount = nullptr, sword* status = nullptr) {
        std::vector<char> buf(count * 4 + 4, 0);
        ub4 amt = count;
        sword r = OCILobRead(svc, err, loc, &amt, offset, buf.data(), (ub4)buf.size(), nullptr, nullptr, csid, SQLCS_IMPLICIT);
        if (amount) *amount = amt;
        if (status) *status = r;
        if (r != OCI_SUCCESS) return "<" + std::to_string(r) + " " + ErrText(err) + ">";
        return std::string(buf.data());
    }

    sword Write(OCILobLocator* loc, ub4 offset, const std::string& bytes, ub2 csid = 0, ub4* amount = nullptr) {
        ub4 amt = (ub4)bytes.size();
        sword r = OCILobWrite(svc, err, loc, &amt, offset, (void*)bytes.data(), (ub4)bytes.size(), OCI_ONE_PIECE, nullptr,
                              nullptr, csid, SQLCS_IMPLICIT);
        if (amount) *amount = amt;
        return r;
    }

    ub4 Length(OCILobLocator* loc) {
        ub4 len = 9999;
        EXPECT_EQ(OCILobGetLength(svc, err, loc, &len), OCI_SUCCESS) << ErrText(err);
        return len;
    }
};

TEST_F(Lobs, SelectedLocatorsReadTheirValue) {
    OCILobLocator* loc = NewLocator();
    sb2 ind = 0;
    boolean init = 0;
    // a CLOB with text, an empty one, and NULL
    ASSERT_EQ(SelectInto("select c from docs where id = 1", loc, SQLT_CLOB, &ind), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(ind, 0);
    ASSERT_EQ(OCILobLocatorIsInit(env, err, loc, &init), OCI_SUCCESS);
    EXPECT_TRUE(init);
    EXPECT_EQ(Length(loc), 5u);
    ub4 amt = 0;
    EXPECT_EQ(Read(loc, 1, 10, 0, &amt), "hello");
    EXPECT_EQ(amt, 5u);
    EXPECT_EQ(Read(loc, 2, 3), "ell");
    sword st = 0;
    Read(loc, 6, 1, 0, &amt, &st);
    EXPECT_EQ(st, OCI_NO_DATA);   // beyond the end
    EXPECT_EQ(amt, 0u);

    ASSERT_EQ(SelectInto("select c from docs where id = 2", loc, SQLT_CLOB, &ind), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(ind, 0);
    OCILobLocatorIsInit(env, err, loc, &init);
    EXPECT_TRUE(init);
    EXPECT_EQ(Length(loc), 0u);

    ASSERT_EQ(SelectInto("select c from docs where id = 3", loc, SQLT_CLOB, &ind), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(ind, -1);
    OCILobLocatorIsInit(env, err, loc, &init);
    EXPECT_FALSE(init);
    ub4 len = 0;
    EXPECT_EQ(OCILobGetLength(svc, err, loc, &len), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 22275);

    // a BLOB counts bytes
    OCILobLocator* blob = NewLocator();
    ASSERT_EQ(SelectInto("select b from docs where id = 1", blob, SQLT_BLOB, &ind), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Length(blob), 2u);
    unsigned char bytes[8] = {0};
    amt = 8;
    ASSERT_EQ(OCILobRead(svc, err, blob, &amt, 1, bytes, sizeof bytes, nullptr, nullptr, 0, 0), OCI_SUCCESS);
    EXPECT_EQ(amt, 2u);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 2);
    ub1 form = 9;
    OCILobCharSetForm(env, err, blob, &form);
    EXPECT_EQ(form, 0);
    // the empty strings and lengths as the server sees them
    EXPECT_EQ(Scalar("select count(*) from docs where c is null"), "1");
    EXPECT_EQ(Scalar("select length(c) from docs where id = 2"), "0");
}

TEST_F(Lobs, ClobTextByCharacterSet) {
    OCILobLocator* loc = NewLocator();
    sb2 ind = 0;
    ASSERT_EQ(SelectInto("select n from docs where id = 1", loc, SQLT_CLOB, &ind), OCI_SUCCESS) << ErrText(err);
    ub1 form = 0;
    ub2 csid = 0;
    OCILobCharSetForm(env, err, loc, &form);
    OCILobCharSetId(env, err, loc, &csid);
    EXPECT_EQ(form, SQLCS_NCHAR);
    EXPECT_EQ(csid, 2000);
    EXPECT_EQ(Length(loc), 3u);   // characters
    // UTF-8 reports bytes read, UTF-16 characters; both take whole characters only
    struct Case { ub2 csid; ub4 offset, count; std::string bytes; ub4 amount; };
    std::u16string mir = u"мир";
    std::string utf16(reinterpret_cast<const char*>(mir.data()), mir.size() * 2);
    for (const Case& c : {Case{0, 1, 3, "мир", 6}, Case{0, 2, 1, "и", 2}, Case{1000, 1, 3, utf16, 3},
                          Case{1000, 3, 5, utf16.substr(4), 1}}) {
        std::vector<char> buf(32, 0);
        ub4 amt = c.count;
        ASSERT_EQ(OCILobRead(svc, err, loc, &amt, c.offset, buf.data(), (ub4)buf.size(), nullptr, nullptr, c.csid, SQLCS_NCHAR),
                  OCI_SUCCESS) << ErrText(err);
        EXPECT_EQ(amt, c.amount) << "csid " << c.csid << " offset " << c.offset;
        EXPECT_EQ(std::string(buf.data(), c.bytes.size()), c.bytes);
    }
}

TEST_F(Lobs, WritingNeedsTheRowLocked) {
    OCILobLocator* loc = NewLocator();
    sb2 ind = 0;
    ASSERT_EQ(SelectInto("select c from docs where id = 1", loc, SQLT_CLOB, &ind), OCI_SUCCESS);
    EXPECT_EQ(Write(loc, 1, "HE"), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-22920: row containing the LOB value is not locked");
    EXPECT_EQ(Read(loc, 1, 5), "hello");   // the locator's value is unchanged

    OCIStmt* st = nullptr;
    ASSERT_EQ(SelectInto("select c from docs where id = 1 for update", loc, SQLT_CLOB, &ind, &st), OCI_SUCCESS) << ErrText(err);
    ub4 amt = 0;
    ASSERT_EQ(Write(loc, 1, "HE", 0, &amt), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(amt, 2u);
    EXPECT_EQ(Read(loc, 1, 10), "HEllo");
    // past the end the gap is filled with blanks
    ASSERT_EQ(Write(loc, 8, "!"), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Read(loc, 1, 10), "HEllo  !");
    ub4 erase = 2;
    ASSERT_EQ(OCILobErase(svc, err, loc, &erase, 2), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(erase, 2u);
    EXPECT_EQ(Read(loc, 1, 10), "H  lo  !");
    EXPECT_EQ(OCILobTrim(svc, err, loc, 20), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 22926);
    ASSERT_EQ(OCILobTrim(svc, err, loc, 5), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Length(loc), 5u);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(Scalar("select c from docs where id = 1"), "H  lo");
    // the change belongs to the transaction
    ASSERT_EQ(OCITransRollback(svc, err, 0), OCI_SUCCESS);
    EXPECT_EQ(Scalar("select c from docs where id = 1"), "hello");

    // a row changed by the transaction is locked too
    ASSERT_EQ(Exec("update docs set id = id where id = 2"), OCI_SUCCESS);
    ASSERT_EQ(SelectInto("select c from docs where id = 2", loc, SQLT_CLOB, &ind), OCI_SUCCESS);
    ASSERT_EQ(Write(loc, 1, "new"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCITransCommit(svc, err, 0), OCI_SUCCESS);
    EXPECT_EQ(Scalar("select c from docs where id = 2"), "new");
    // an expression has no row to write to
    ASSERT_EQ(SelectInto("select to_clob('x') from dual", loc, SQLT_CLOB, &ind), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Write(loc, 1, "y"), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 22920);
}

TEST_F(Lobs, ReturningLocatorsOfNewRows) {
    OCIStmt* st = Prepare("insert into docs (id, c, b) values (7, empty_clob(), empty_blob()) returning c, b into :c, :b");
    OCILobLocator* c = NewLocator();
    OCILobLocator* b = NewLocator();
    OCIBind* bc = nullptr;
    OCIBind* bb = nullptr;
    sb2 ic = 0, ib = 0;
    ASSERT_EQ(OCIBindByName(st, &bc, err, (const OraText*)":c", 2, &c, sizeof c, SQLT_CLOB, &ic, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByName(st, &bb, err, (const OraText*)":b", 2, &b, sizeof b, SQLT_BLOB, &ib, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(Length(c), 0u);
    // "abc" written to an empty BLOB reads back as 3 bytes when 10 are asked for
    ASSERT_EQ(Write(b, 1, "abc"), OCI_SUCCESS) << ErrText(err);
    char buf[10] = {0};
    ub4 amt = 10;
    ASSERT_EQ(OCILobRead(svc, err, b, &amt, 1, buf, sizeof buf, nullptr, nullptr, 0, 0), OCI_SUCCESS);
    EXPECT_EQ(amt, 3u);
    ASSERT_EQ(Write(c, 1, "text of seven"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCITransCommit(svc, err, 0), OCI_SUCCESS);
    EXPECT_EQ(Scalar("select c from docs where id = 7"), "text of seven");
    EXPECT_EQ(Scalar("select length(b) from docs where id = 7"), "3");
    // after the commit the row is no longer locked
    EXPECT_EQ(Write(c, 1, "x"), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 22920);
}

TEST_F(Lobs, TemporaryAndEmptyLocatorsAreBound) {
    OCILobLocator* t = NewLocator();
    boolean temp = 0;
    ASSERT_EQ(OCILobCreateTemporary(svc, err, t, 0, SQLCS_IMPLICIT, OCI_TEMP_CLOB, 0, OCI_DURATION_SESSION), OCI_SUCCESS);
    ASSERT_EQ(OCILobIsTemporary(env, err, t, &temp), OCI_SUCCESS);
    EXPECT_TRUE(temp);
    ASSERT_EQ(Write(t, 1, "temporary text"), OCI_SUCCESS) << ErrText(err);
    OCILobLocator* e = NewLocator();
    ub4 zero = 0;
    ASSERT_EQ(OCIAttrSet(e, OCI_DTYPE_LOB, &zero, 0, OCI_ATTR_LOBEMPTY, err), OCI_SUCCESS);
    OCIStmt* st = Prepare("insert into docs (id, c, b) values (8, :t, :e)");
    OCIBind* b1 = nullptr;
    OCIBind* b2 = nullptr;
    ASSERT_EQ(OCIBindByPos(st, &b1, err, 1, &t, sizeof t, SQLT_CLOB, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByPos(st, &b2, err, 2, &e, sizeof e, SQLT_BLOB, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(Scalar("select c from docs where id = 8"), "temporary text");
    EXPECT_EQ(Scalar("select count(*) from docs where id = 8 and b is not null and length(b) = 0"), "1");   // empty, not NULL
    // an assigned copy of a temporary LOB is a value of its own
    OCILobLocator* copy = NewLocator();
    ASSERT_EQ(OCILobAssign(env, err, t, &copy), OCI_SUCCESS);
    ASSERT_EQ(Write(copy, 1, "T"), OCI_SUCCESS);
    EXPECT_EQ(Read(t, 1, 4), "temp");
    EXPECT_EQ(Read(copy, 1, 4), "Temp");
    ASSERT_EQ(OCILobFreeTemporary(svc, err, t), OCI_SUCCESS);
    boolean init = 1;
    OCILobLocatorIsInit(env, err, t, &init);
    EXPECT_FALSE(init);
    EXPECT_EQ(OCILobFreeTemporary(svc, err, t), OCI_ERROR);   // not temporary any more
    // append and copy between temporary LOBs
    OCILobLocator* a = NewLocator();
    ASSERT_EQ(OCILobCreateTemporary(svc, err, a, 0, SQLCS_IMPLICIT, OCI_TEMP_CLOB, 0, OCI_DURATION_SESSION), OCI_SUCCESS);
    Write(a, 1, "ab");
    ASSERT_EQ(OCILobAppend(svc, err, a, copy), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Read(a, 1, 40), "abTemporary text");
    ASSERT_EQ(OCILobCopy(svc, err, a, copy, 4, 2, 1), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Read(a, 1, 40), "aTempporary text");
}

TEST_F(Lobs, PiecewiseWriteAndPollingRead) {
    OCILobLocator* t = NewLocator();
    ASSERT_EQ(OCILobCreateTemporary(svc, err, t, 0, SQLCS_IMPLICIT, OCI_TEMP_BLOB, 0, OCI_DURATION_SESSION), OCI_SUCCESS);
    const char* parts[] = {"aaaa", "bbbb", "cc"};
    ub1 pieces[] = {OCI_FIRST_PIECE, OCI_NEXT_PIECE, OCI_LAST_PIECE};
    for (int k = 0; k < 3; ++k) {
        ub4 amt = 10;
        sword r = OCILobWrite(svc, err, t, &amt, 1, (void*)parts[k], (ub4)strlen(parts[k]), pieces[k], nullptr, nullptr, 0, 0);
        EXPECT_EQ(r, k < 2 ? OCI_NEED_DATA : OCI_SUCCESS) << ErrText(err);
        if (k == 2) EXPECT_EQ(amt, 10u);
    }
    EXPECT_EQ(Length(t), 10u);
    // a read larger than the buffer is polled for piece by piece
    std::string got;
    char buf[4];
    ub4 amt = 10;
    sword r;
    do {
        r = OCILobRead(svc, err, t, &amt, 1, buf, sizeof buf, nullptr, nullptr, 0, 0);
        ASSERT_TRUE(r == OCI_SUCCESS || r == OCI_NEED_DATA) << ErrText(err);
        got.append(buf, amt);
    } while (r == OCI_NEED_DATA);
    EXPECT_EQ(got, "aaaabbbbcc");
}

TEST_F(Lobs, BadArgumentsAndHandles) {
    OCILobLocator* loc = NewLocator();
    sb2 ind = 0;
    ub4 amt = 1;
    char buf[4];
    // an unselected locator
    EXPECT_EQ(OCILobRead(svc, err, loc, &amt, 1, buf, sizeof buf, nullptr, nullptr, 0, 0), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-22275: invalid LOB locator specified");
    ASSERT_EQ(SelectInto("select c from docs where id = 1", loc, SQLT_CLOB, &ind), OCI_SUCCESS);
    EXPECT_EQ(OCILobRead(svc, err, loc, &amt, 0, buf, sizeof buf, nullptr, nullptr, 0, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 24801);
    EXPECT_EQ(OCILobRead(svc, err, loc, nullptr, 1, buf, sizeof buf, nullptr, nullptr, 0, 0), OCI_ERROR);
    // wrong, null and freed handles
    EXPECT_EQ(OCILobGetLength(svc, err, (OCILobLocator*)err, &amt), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCILobGetLength(nullptr, err, loc, &amt), OCI_INVALID_HANDLE);
    OCILobLocator* gone = NewLocator();
    OCIDescriptorFree(gone, OCI_DTYPE_LOB);
    EXPECT_EQ(OCILobGetLength(svc, err, gone, &amt), OCI_INVALID_HANDLE);
    // a LOB define on a column of another type
    EXPECT_EQ(SelectInto("select id from docs where id = 1", loc, SQLT_CLOB, &ind), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-00932: inconsistent datatypes: expected CLOB got NUMBER");
    EXPECT_EQ(SelectInto("select c from docs where id = 1", loc, SQLT_BLOB, &ind), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 932);
    // a NULL LOB without an indicator
    EXPECT_EQ(SelectInto("select c from docs where id = 3", loc, SQLT_CLOB, nullptr), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1405);
    EXPECT_EQ(OCILobCreateTemporary(svc, err, loc, 0, SQLCS_IMPLICIT, 7, 0, OCI_DURATION_SESSION), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 24801);
}

TEST_F(Lobs, FileNamesOfBfileLocators) {
    OCILobLocator* f = NewLocator(OCI_DTYPE_FILE);
    ASSERT_EQ(OCILobFileSetName(env, err, &f, (const OraText*)"DIR", 3, (const OraText*)"file.txt", 8), OCI_SUCCESS);
    OraText dir[31], file[256];
    ub2 dl = sizeof dir, fl = sizeof file;
    ASSERT_EQ(OCILobFileGetName(env, err, f, dir, &dl, file, &fl), OCI_SUCCESS);
    EXPECT_EQ(std::string((char*)dir, dl), "DIR");
    EXPECT_EQ(std::string((char*)file, fl), "file.txt");
    boolean open = 1;
    ASSERT_EQ(OCILobFileIsOpen(svc, err, f, &open), OCI_SUCCESS);
    EXPECT_FALSE(open);
    // a directory the database does not know
    boolean exists = 1;
    EXPECT_EQ(OCILobFileExists(svc, err, f, &exists), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 22285);
    EXPECT_EQ(OCILobFileOpen(svc, err, f, OCI_FILE_READONLY), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 22285);
    // a BFILE is read only; a BLOB locator has no file name
    ub4 amt = 1;
    EXPECT_EQ(OCILobWrite(svc, err, f, &amt, 1, (void*)"x", 1, OCI_ONE_PIECE, nullptr, nullptr, 0, 0), OCI_ERROR);
    OCILobLocator* blob = NewLocator();
    EXPECT_EQ(OCILobFileSetName(env, err, &blob, (const OraText*)"DIR", 3, (const OraText*)"f", 1), OCI_INVALID_HANDLE);
}

} // namespace
