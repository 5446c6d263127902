// Statements: array binds, defines, fetching, describe, conversions, errors, scrolling,
// piecewise LONG fetch and the statement cache.
#include "ocisim/tests/OciFixture.h"

#include <cstring>
#include <vector>

using namespace ocitest;

namespace {

struct Stmt : Db {
    void SetUp() override {
        Db::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(Exec("create table t (id number(9) not null, name varchar2(30), d date, amount number(12,2))"), OCI_SUCCESS)
            << ErrText(err);
    }
    // Inserts rows 1..n with one array-bound execution.
    void Fill(ub4 n) {
        OCIStmt* st = Prepare("insert into t (id, name, d, amount) values (:id, :name, :d, :amount)");
        std::vector<sb4> ids(n);
        std::vector<char> names(n * 31);
        std::vector<ub1> dates(n * 7);
        std::vector<double> amounts(n);
        std::vector<sb2> nameInd(n, 0);
        for (ub4 i = 0; i < n; ++i) {
            ids[i] = sb4(i + 1);
            snprintf(&names[i * 31], 31, "name %u", i + 1);
            ub1 d[7] = {120, 126, 1, ub1(i % 28 + 1), 11, 31, 1};  // 2026-01-dd 10:30:00
            memcpy(&dates[i * 7], d, 7);
            amounts[i] = (i + 1) * 1.25;
            if (i % 5 == 4) nameInd[i] = -1;
        }
        OCIBind* b[4] = {};
        ASSERT_EQ(OCIBindByName(st, &b[0], err, (const OraText*)":id", -1, ids.data(), 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
        ASSERT_EQ(OCIBindByName(st, &b[1], err, (const OraText*)":NAME", -1, names.data(), 31, SQLT_STR, nameInd.data(), nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
        ASSERT_EQ(OCIBindByPos(st, &b[2], err, 3, dates.data(), 7, SQLT_DAT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
        ASSERT_EQ(OCIBindByPos(st, &b[3], err, 4, amounts.data(), 8, SQLT_FLT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
        ASSERT_EQ(OCIStmtExecute(svc, st, err, n, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
        ub4 count = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, err);
        EXPECT_EQ(count, n);
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
};

TEST_F(Stmt, ArrayInsertAndArrayFetch) {
    Fill(12);
    OCIStmt* st = Prepare("select id, name, d, amount from t order by id");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    sb4 ids[5];
    char names[5][31];
    sb2 nameInd[5];
    ub2 nameLen[5];
    ub1 dates[5][7];
    char amounts[5][41];
    ub2 amountLen[5];
    OCIDefine* d[4] = {};
    ASSERT_EQ(OCIDefineByPos(st, &d[0], err, 1, ids, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d[1], err, 2, names, 31, SQLT_CHR, nameInd, nameLen, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d[2], err, 3, dates, 7, SQLT_DAT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d[3], err, 4, amounts, 41, SQLT_CHR, nullptr, amountLen, nullptr, 0), OCI_SUCCESS);
    std::vector<int> seen;
    sword r;
    do {
        r = OCIStmtFetch2(st, err, 5, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
        ASSERT_TRUE(r == OCI_SUCCESS || r == OCI_NO_DATA) << ErrText(err);
        ub4 got = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &got, nullptr, OCI_ATTR_ROWS_FETCHED, err);
        for (ub4 i = 0; i < got; ++i) {
            int id = ids[i];
            seen.push_back(id);
            if (id % 5 == 0) EXPECT_EQ(nameInd[i], -1) << id;
            else EXPECT_EQ(std::string(names[i], nameLen[i]), "name " + std::to_string(id));
            EXPECT_EQ(dates[i][3], ub1((id - 1) % 28 + 1));
            EXPECT_EQ(dates[i][4], 11);
            char want[32];
            snprintf(want, sizeof want, "%g", id * 1.25);
            std::string text(amounts[i], amountLen[i]);
            if (text[0] == '.') text = "0" + text;
            EXPECT_EQ(text, want);
        }
    } while (r == OCI_SUCCESS);
    EXPECT_EQ(seen.size(), 12u);
    ub4 rows = 0;
    OCIAttrGet(st, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, err);
    EXPECT_EQ(rows, 12u);
    EXPECT_EQ(ErrCode(err), 0);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Stmt, DescribeOnlyReportsColumns) {
    OCIStmt* st = Prepare("select id, name, d, amount from t");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), OCI_SUCCESS) << ErrText(err);
    ub4 count = 0;
    ASSERT_EQ(OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err), OCI_SUCCESS);
    ASSERT_EQ(count, 4u);
    struct Want { const char* name; ub2 type; ub2 size; sb2 prec; sb1 scale; ub1 nullable; } want[] = {
        {"ID", SQLT_NUM, 22, 9, 0, 0}, {"NAME", SQLT_CHR, 30, 0, 0, 1}, {"D", SQLT_DAT, 7, 0, 0, 1}, {"AMOUNT", SQLT_NUM, 22, 12, 2, 1}};
    for (ub4 i = 1; i <= 4; ++i) {
        OCIParam* p = nullptr;
        ASSERT_EQ(OCIParamGet(st, OCI_HTYPE_STMT, err, (void**)&p, i), OCI_SUCCESS);
        ub2 type = 0, size = 0;
        sb2 prec = -1;
        sb1 scale = -1;
        ub1 nullable = 9;
        char* name = nullptr;
        ub4 nameLen = 0;
        OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &prec, nullptr, OCI_ATTR_PRECISION, err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &nameLen, OCI_ATTR_NAME, err);
        const Want& w = want[i - 1];
        EXPECT_EQ(std::string(name, nameLen), w.name);
        EXPECT_EQ(type, w.type) << w.name;
        EXPECT_EQ(size, w.size) << w.name;
        EXPECT_EQ(prec, w.prec) << w.name;
        EXPECT_EQ(scale, w.scale) << w.name;
        EXPECT_EQ(nullable, w.nullable) << w.name;
        ub1 form = 9;
        ub2 csid = 0, charSize = 0;
        OCIAttrGet(p, OCI_DTYPE_PARAM, &form, nullptr, OCI_ATTR_CHARSET_FORM, err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &csid, nullptr, OCI_ATTR_CHARSET_ID, err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &charSize, nullptr, OCI_ATTR_CHAR_SIZE, err);
        EXPECT_EQ(form, w.type == SQLT_CHR ? SQLCS_IMPLICIT : 0) << w.name;
        if (w.type == SQLT_CHR) {
            EXPECT_EQ(csid, 873) << w.name;
            EXPECT_EQ(charSize, 30) << w.name;
        }
        EXPECT_EQ(OCIDescriptorFree(p, OCI_DTYPE_PARAM), OCI_SUCCESS);
    }
    OCIParam* p = nullptr;
    EXPECT_EQ(OCIParamGet(st, OCI_HTYPE_STMT, err, (void**)&p, 5), OCI_ERROR);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Stmt, TruncationNullsAndConversions) {
    ASSERT_EQ(Exec("insert into t (id, name, amount) values (1, 'a long enough name', -12.5)"), OCI_SUCCESS) << ErrText(err);
    OCIStmt* st = Prepare("select name, d, amount, amount, id from t");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    char small[4];
    sb2 ind = 0;
    ub2 len = 0, rcode = 0;
    ub1 date[7];
    OCINumber num;
    char text[10];
    ub2 textLen = 0;
    float f = 0;
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, small, sizeof small, SQLT_CHR, &ind, &len, &rcode, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 2, date, 7, SQLT_DAT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);  // NULL, no indicator
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 3, &num, sizeof num, SQLT_VNU, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 4, text, sizeof text, SQLT_CHR, nullptr, &textLen, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 5, &f, 4, SQLT_FLT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-01405: fetched column value is NULL");

    // with an indicator for the date the row arrives, the name truncated
    sb2 dateInd = 0;
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 2, date, 7, SQLT_DAT, &dateInd, nullptr, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(ErrText(err), "ORA-01406: fetched column value was truncated");
    EXPECT_EQ(std::string(small, 4), "a lo");
    EXPECT_EQ(rcode, 1406);
    EXPECT_EQ(ind, 18);   // the full length
    EXPECT_EQ(len, 18);
    EXPECT_EQ(dateInd, -1);
    // -12.5 in Oracle's NUMBER format: length, exponent, base-100 digits, terminator
    const ub1 want[] = {4, 0x3E, 101 - 12, 101 - 50, 102};
    EXPECT_EQ(memcmp(num.OCINumberPart, want, sizeof want), 0);
    EXPECT_EQ(std::string(text, textLen), "-12.5");
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_NO_DATA);
    EXPECT_EQ(ErrCode(err), 1403);
    OCIHandleFree(st, OCI_HTYPE_STMT);

    EXPECT_EQ(Scalar("select 0.5 from dual"), ".5");
    EXPECT_EQ(Scalar("select hextoraw('0AFF') from dual"), "0AFF");
    EXPECT_EQ(Scalar("select to_date('2026-03-04','YYYY-MM-DD') from dual"), "04-MAR-26");
    ASSERT_EQ(Exec("alter session set nls_date_format = 'YYYY-MM-DD HH24:MI:SS'"), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Scalar("select to_date('2026-03-04','YYYY-MM-DD') from dual"), "2026-03-04 00:00:00");
}

TEST_F(Stmt, BindErrors) {
    OCIStmt* st = Prepare("insert into t (id, name) values (:id, :name)");
    OCIBind* b = nullptr;
    sb4 v = 1;
    EXPECT_EQ(OCIBindByName(st, &b, err, (const OraText*)":nope", -1, &v, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-01036: illegal variable name/number");
    EXPECT_EQ(OCIBindByPos(st, &b, err, 3, &v, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1036);
    EXPECT_EQ(OCIBindByName(st, &b, err, (const OraText*)":id", -1, &v, 3, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 3115);
    EXPECT_EQ(OCIBindByName(st, &b, err, (const OraText*)":id", -1, &v, 4, 9999, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_ERROR);
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":id", -1, &v, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-01008: not all variables bound");
    // text that is not a number into a NUMBER column
    const char* bad = "abc";
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":id", -1, (void*)bad, 3, SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":name", -1, (void*)bad, 3, SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1722);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Stmt, OneBindByNameServesEveryOccurrence) {
    ASSERT_EQ(Exec("create table pair (a number, b number)"), OCI_SUCCESS) << ErrText(err);
    OCIStmt* st = Prepare("insert into pair values (:v, :v + 1)");
    OCIBind* b = nullptr;
    sb4 v = 7;
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":v", -1, &v, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(Scalar("select count(*) from pair where a = 7 and b = 8"), "1");
    // by position every occurrence is bound on its own
    st = Prepare("insert into pair values (:v, :v)");
    ASSERT_EQ(OCIBindByPos(st, &b, err, 1, &v, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1008);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Stmt, MalformedSqlReportsTheParseOffset) {
    struct Case { const char* sql; sb4 code; ub2 offset; } cases[] = {
        {"select * from no_such_table", 942, 14},
        {"select id from t where", 936, 22},
        {"selec id from t", 900, 0},
    };
    for (const auto& c : cases) {
        OCIStmt* st = Prepare(c.sql);
        EXPECT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR) << c.sql;
        EXPECT_EQ(ErrCode(err), c.code) << c.sql << ": " << ErrText(err);
        ub2 offset = 999;
        OCIAttrGet(st, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, err);
        EXPECT_EQ(offset, c.offset) << c.sql;
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
}

TEST_F(Stmt, ScrollableFetch) {
    Fill(10);
    OCIStmt* st = Prepare("select id from t order by id");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_STMT_SCROLLABLE_READONLY), OCI_SUCCESS) << ErrText(err);
    sb4 ids[3] = {};
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, ids, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    struct Step { ub2 orientation; sb4 offset; ub4 rows; sb4 first; ub4 position; sword status; } steps[] = {
        {OCI_FETCH_NEXT, 0, 3, 1, 3, OCI_SUCCESS},
        {OCI_FETCH_LAST, 0, 3, 10, 10, OCI_SUCCESS},
        {OCI_FETCH_ABSOLUTE, 4, 3, 4, 6, OCI_SUCCESS},
        {OCI_FETCH_PRIOR, 0, 1, 5, 5, OCI_SUCCESS},
        {OCI_FETCH_RELATIVE, 2, 1, 7, 7, OCI_SUCCESS},
        {OCI_FETCH_FIRST, 0, 2, 1, 2, OCI_SUCCESS},
        {OCI_FETCH_ABSOLUTE, 9, 3, 9, 10, OCI_NO_DATA},
        {OCI_FETCH_ABSOLUTE, 11, 1, 0, 10, OCI_NO_DATA},
    };
    for (const auto& s : steps) {
        ids[0] = 0;
        EXPECT_EQ(OCIStmtFetch2(st, err, s.rows, s.orientation, s.offset, OCI_DEFAULT), s.status) << s.orientation << " " << s.offset;
        ub4 pos = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &pos, nullptr, OCI_ATTR_CURRENT_POSITION, err);
        EXPECT_EQ(pos, s.position) << s.orientation << " " << s.offset;
        if (s.first) EXPECT_EQ(ids[0], s.first) << s.orientation << " " << s.offset;
    }
    OCIHandleFree(st, OCI_HTYPE_STMT);
    // a forward-only statement refuses other orientations
    st = Prepare("select id from t");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, ids, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch2(st, err, 1, OCI_FETCH_LAST, 0, OCI_DEFAULT), OCI_ERROR);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

struct Pieces {
    std::vector<std::vector<char>> buffers;
    std::vector<ub4> sizes;
    sb2 ind = 0;
};

sb4 Piece(dvoid* ctx, OCIDefine*, ub4, dvoid** bufpp, ub4** alenp, ub1* piecep, dvoid** indp, ub2** rcodep) {
    auto* p = static_cast<Pieces*>(ctx);
    p->buffers.emplace_back(1000);
    p->sizes.push_back(1000);
    *bufpp = p->buffers.back().data();
    *alenp = &p->sizes.back();
    *indp = &p->ind;
    *rcodep = nullptr;
    return OCI_CONTINUE;
}

TEST_F(Stmt, PiecewiseLongFetch) {
    ASSERT_EQ(Exec("create table l (id number, txt long)"), OCI_SUCCESS) << ErrText(err);
    std::string big(4500, 'x');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char('a' + i % 26);
    OCIStmt* st = Prepare("insert into l values (1, :t)");
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByPos(st, &b, err, 1, big.data(), (sb4)big.size(), SQLT_LNG, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    OCIHandleFree(st, OCI_HTYPE_STMT);

    st = Prepare("select txt from l");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, nullptr, 2147483647, SQLT_LNG, nullptr, nullptr, nullptr, OCI_DYNAMIC_FETCH), OCI_SUCCESS);
    Pieces pieces;
    ASSERT_EQ(OCIDefineDynamic(d, err, &pieces, Piece), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_SUCCESS) << ErrText(err);
    std::string got;
    for (size_t i = 0; i < pieces.buffers.size(); ++i) got.append(pieces.buffers[i].data(), pieces.sizes[i]);
    EXPECT_EQ(pieces.buffers.size(), 5u);
    EXPECT_EQ(got, big);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Stmt, StatementCacheAndRowid) {
    const char* sql = "insert into t (id) values (42)";
    OCIStmt* a = nullptr;
    ASSERT_EQ(OCIStmtPrepare2(svc, &a, err, (const OraText*)sql, (ub4)strlen(sql), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, a, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    OCIRowid* rid = nullptr;
    ASSERT_EQ(OCIDescriptorAlloc(env, (void**)&rid, OCI_DTYPE_ROWID, 0, nullptr), OCI_SUCCESS);
    EXPECT_EQ(OCIAttrGet(a, OCI_HTYPE_STMT, rid, nullptr, OCI_ATTR_ROWID, err), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCIStmtRelease(a, err, nullptr, 0, OCI_DEFAULT), OCI_SUCCESS);
    // a released statement is no longer the caller's
    EXPECT_EQ(OCIStmtExecute(svc, a, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_INVALID_HANDLE);
    OCIStmt* b = nullptr;
    ASSERT_EQ(OCIStmtPrepare2(svc, &b, err, (const OraText*)sql, (ub4)strlen(sql), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(a, b);  // the cached statement comes back
    ASSERT_EQ(OCIStmtExecute(svc, b, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtRelease(b, err, (const OraText*)"k", 1, OCI_DEFAULT), OCI_SUCCESS);
    OCIStmt* c = nullptr;
    ASSERT_EQ(OCIStmtPrepare2(svc, &c, err, nullptr, 0, (const OraText*)"k", 1, OCI_NTV_SYNTAX, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(c, b);
    ASSERT_EQ(OCIStmtRelease(c, err, nullptr, 0, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtPrepare2(svc, &c, err, nullptr, 0, (const OraText*)"missing", 7, OCI_NTV_SYNTAX, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(Scalar("select count(*) from t where id = 42"), "2");
    OCIDescriptorFree(rid, OCI_DTYPE_ROWID);
}

TEST_F(Stmt, PlsqlOutBindsAndTables) {
    OCIStmt* st = Prepare("begin :o := :i * 2; end;");
    sb4 in = 21, out = 0;
    sb2 outInd = -1;
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":i", -1, &in, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":o", -1, &out, 4, SQLT_INT, &outInd, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    sword r = OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    if (r == OCI_ERROR && ErrCode(err) == 3001) GTEST_SKIP() << "the engine runs no PL/SQL yet";
    ASSERT_EQ(r, OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(out, 42);
    EXPECT_EQ(outInd, 0);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

} // namespace

namespace {

// A client in the Windows Cyrillic code page, as a Russian workstation runs it.
struct Cyrillic : Db {
    void SetUp() override {
        setenv("NLS_LANG", "RUSSIAN_RUSSIA.CL8MSWIN1251", 1);
        Db::SetUp();
    }
    void TearDown() override {
        Db::TearDown();
        unsetenv("NLS_LANG");
    }
};

TEST_F(Cyrillic, TextIsConvertedByCharacterSet) {
    ASSERT_EQ(Exec("create table c (s varchar2(20))"), OCI_SUCCESS) << ErrText(err);
    const char cp1251[] = "\xcf\xf0\xe8\xe2\xe5\xf2";  // "Привет" in code page 1251
    OCIStmt* st = Prepare("insert into c values (:s)");
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByPos(st, &b, err, 1, (void*)cp1251, 6, SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    // the database holds the text in its own set: six characters, twelve UTF-8 bytes
    EXPECT_EQ(Scalar("select length(s) || ',' || lengthb(s) from c"), "6,12");
    EXPECT_EQ(Scalar("select s from c"), std::string(cp1251));

    st = Prepare("select s, s from c");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    char utf8[32];
    char16_t utf16[16];
    ub2 len8 = 0, len16 = 0;
    OCIDefine* d1 = nullptr;
    OCIDefine* d2 = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d1, err, 1, utf8, sizeof utf8, SQLT_CHR, nullptr, &len8, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d2, err, 2, utf16, sizeof utf16, SQLT_CHR, nullptr, &len16, nullptr, 0), OCI_SUCCESS);
    ub2 csUtf8 = 873, csUtf16 = OCI_UTF16ID;
    ASSERT_EQ(OCIAttrSet(d1, OCI_HTYPE_DEFINE, &csUtf8, 2, OCI_ATTR_CHARSET_ID, err), OCI_SUCCESS);
    ASSERT_EQ(OCIAttrSet(d2, OCI_HTYPE_DEFINE, &csUtf16, 2, OCI_ATTR_CHARSET_ID, err), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(std::string(utf8, len8), "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82");
    ASSERT_EQ(len16, 12);
    EXPECT_EQ(std::u16string(utf16, 6), u"\u041f\u0440\u0438\u0432\u0435\u0442");
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Stmt, RowOffsetAndCommitOnSuccess) {
    OCIStmt* st = Prepare("insert into t (id) values (:1)");
    sb4 ids[5] = {10, 20, 30, 40, 50};
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByPos(st, &b, err, 1, ids, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    // iterations 4 from offset 1: elements 1, 2 and 3
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 4, 1, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS) << ErrText(err);
    ub4 rows = 0;
    OCIAttrGet(st, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, err);
    EXPECT_EQ(rows, 3u);
    EXPECT_EQ(Scalar("select sum(id) from t"), "90");
    ASSERT_EQ(OCITransRollback(svc, err, 0), OCI_SUCCESS);
    EXPECT_EQ(Scalar("select count(*) from t"), "3");  // committed with the execution
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

} // namespace

namespace {

// One value bound with each external type, stored, and read back as text and as the same type.
TEST_F(Stmt, ExternalTypesRoundTrip) {
    ASSERT_EQ(Exec("create table x (k number, n number, s varchar2(40), c char(6), r raw(8), d date)"), OCI_SUCCESS) << ErrText(err);
    struct Case {
        const char* column;
        ub2 dty;
        std::vector<unsigned char> bytes;
        const char* text;
    };
    auto le = [](auto v) {
        std::vector<unsigned char> b(sizeof v);
        memcpy(b.data(), &v, sizeof v);
        return b;
    };
    OCIDate od{};
    od.OCIDateYYYY = 1999;
    od.OCIDateMM = 12;
    od.OCIDateDD = 31;
    od.OCIDateTime.OCITimeHH = 23;
    od.OCIDateTime.OCITimeMI = 59;
    od.OCIDateTime.OCITimeSS = 58;
    std::vector<unsigned char> odBytes(sizeof od);
    memcpy(odBytes.data(), &od, sizeof od);
    const Case cases[] = {
        {"n", SQLT_INT, le(sb2(-7)), "-7"},
        {"n", SQLT_INT, le(sb8(9007199254740993LL)), "9007199254740993"},
        {"n", SQLT_UIN, le(ub4(4000000000u)), "4000000000"},
        {"n", SQLT_FLT, le(0.25), ".25"},
        {"n", SQLT_BDOUBLE, le(-1.5), "-1.5"},
        {"n", SQLT_NUM, {0xC2, 2, 24, 46}, "123.45"},
        {"n", SQLT_VNU, {2, 0xC1, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "7"},
        {"s", SQLT_STR, {'a', 'b', 'c', 0, 'x'}, "abc"},
        {"s", SQLT_VCS, {2, 0, 'h', 'i', 'x'}, "hi"},
        {"s", SQLT_LVC, {3, 0, 0, 0, 'o', 'n', 'e'}, "one"},
        {"c", SQLT_AFC, {'a', 'b'}, "ab    "},
        {"r", SQLT_BIN, {0x0A, 0xFF}, "0AFF"},
        {"r", SQLT_LVB, {1, 0, 0, 0, 0x7F}, "7F"},
        {"d", SQLT_DAT, {119, 126, 2, 28, 13, 14, 15}, "1926-02-28 12:13:14"},
        {"d", SQLT_ODT, odBytes, "1999-12-31 23:59:58"},
    };
    ASSERT_EQ(Exec("alter session set nls_date_format = 'YYYY-MM-DD HH24:MI:SS'"), OCI_SUCCESS);
    int key = 0;
    for (const auto& c : cases) {
        ++key;
        std::string sql = std::string("insert into x (k, ") + c.column + ") values (:k, :v)";
        OCIStmt* st = Prepare(sql);
        OCIBind* b = nullptr;
        std::vector<unsigned char> value = c.bytes;
        ub2 len = (ub2)value.size();
        ASSERT_EQ(OCIBindByPos(st, &b, err, 1, &key, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
        ASSERT_EQ(OCIBindByPos(st, &b, err, 2, value.data(), (sb4)value.size(), c.dty, nullptr, &len, nullptr, 0, nullptr, 0), OCI_SUCCESS)
            << c.dty << ": " << ErrText(err);
        ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << c.dty << ": " << ErrText(err);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        EXPECT_EQ(Scalar(std::string("select ") + c.column + " from x where k = " + std::to_string(key)), c.text) << "type " << c.dty;

        // read back into the same external type
        st = Prepare(std::string("select ") + c.column + " from x where k = " + std::to_string(key));
        ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
        std::vector<unsigned char> out(c.dty == SQLT_AFC ? 6 : std::max<size_t>(value.size(), 22), 0xEE);
        ub2 outLen = 0;
        OCIDefine* d = nullptr;
        sb4 size = c.dty == SQLT_AFC || c.dty == SQLT_INT || c.dty == SQLT_UIN || c.dty == SQLT_FLT || c.dty == SQLT_BDOUBLE ||
                           c.dty == SQLT_DAT || c.dty == SQLT_ODT
                       ? (sb4)(c.dty == SQLT_AFC ? 6 : value.size())
                       : (sb4)out.size();
        ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, out.data(), size, c.dty, nullptr, &outLen, nullptr, 0), OCI_SUCCESS);
        ASSERT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_SUCCESS) << c.dty << ": " << ErrText(err);
        std::vector<unsigned char> want = value;
        if (c.dty == SQLT_STR) want = {'a', 'b', 'c', 0};
        if (c.dty == SQLT_VCS) want = {2, 0, 'h', 'i'};
        if (c.dty == SQLT_AFC) want = {'a', 'b', ' ', ' ', ' ', ' '};
        if (c.dty == SQLT_VNU) want.resize(1 + want[0]);  // the bytes past the length are not defined
        out.resize(want.size());
        EXPECT_EQ(out, want) << "type " << c.dty;
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
}

} // namespace

namespace {

TEST_F(Stmt, RowidDescriptorsAndExecuteWithFetch) {
    Fill(3);
    // defines made before the execution receive the first rows of a query executed with iters
    OCIStmt* st = Prepare("select rowid, id from t where id = 2");
    OCIRowid* rid = nullptr;
    ASSERT_EQ(OCIDescriptorAlloc(env, (void**)&rid, OCI_DTYPE_ROWID, 0, nullptr), OCI_SUCCESS);
    sb4 id = 0;
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, &rid, sizeof rid, SQLT_RDD, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 2, &id, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(id, 2);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    // the descriptor binds back into a lookup by rowid
    st = Prepare("select id from t where rowid = :r");
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":r", -1, &rid, sizeof rid, SQLT_RDD, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    id = 0;
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, &id, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(id, 2);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    // a query without rows executed with iters answers no data
    st = Prepare("select id from t where id < 0");
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, &id, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_NO_DATA);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    OCIDescriptorFree(rid, OCI_DTYPE_ROWID);
}

} // namespace
