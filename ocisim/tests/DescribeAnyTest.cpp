// OCIDescribeAny of tables, views, synonyms and sequences by name, driven as a C client does:
// the object's parameter, its column list and each column's attributes.
#include "ocisim/tests/OciFixture.h"

#include <cstring>
#include <string>

using namespace ocitest;

namespace {

class DescribeAny : public Db {
protected:
    OCIDescribe* dsc = nullptr;

    void SetUp() override {
        Db::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(OCIHandleAlloc(env, (void**)&dsc, OCI_HTYPE_DESCRIBE, 0, nullptr), OCI_SUCCESS);
        ASSERT_EQ(Exec("create table items (id number(5) not null, name varchar2(20), at date, body clob)"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("create view v_items as select id, name from items"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("create synonym s_items for items"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("create sequence items_seq"), OCI_SUCCESS) << ErrText(err);
    }

    sword Describe(const std::string& name, ub1 type = OCI_PTYPE_UNK) {
        return OCIDescribeAny(svc, err, (void*)name.data(), (ub4)name.size(), OCI_OTYPE_NAME, 0, type, dsc);
    }
    OCIParam* Root() {
        OCIParam* p = nullptr;
        EXPECT_EQ(OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &p, nullptr, OCI_ATTR_PARAM, err), OCI_SUCCESS) << ErrText(err);
        return p;
    }
    ub1 Ptype(OCIParam* p) {
        ub1 t = 99;
        EXPECT_EQ(OCIAttrGet(p, OCI_DTYPE_PARAM, &t, nullptr, OCI_ATTR_PTYPE, err), OCI_SUCCESS);
        return t;
    }
    std::string Text(OCIParam* p, ub4 attr) {
        char* s = nullptr;
        ub4 n = 0;
        if (OCIAttrGet(p, OCI_DTYPE_PARAM, &s, &n, attr, err) != OCI_SUCCESS) return "<" + ErrText(err) + ">";
        return std::string(s, n);
    }
};

TEST_F(DescribeAny, TablesAndViewsListTheirColumns) {
    struct Col { const char* name; ub2 type; ub2 size; sb2 prec; ub1 nullable; };
    struct Case { const char* object; ub1 ptype; std::vector<Col> cols; };
    std::vector<Case> cases = {
        {"items", OCI_PTYPE_TABLE, {{"ID", 2, 22, 5, 0}, {"NAME", 1, 20, 0, 1}, {"AT", 12, 7, 0, 1}, {"BODY", 112, 4000, 0, 1}}},
        {"SCOTT.V_ITEMS", OCI_PTYPE_VIEW, {{"ID", 2, 22, 5, 0}, {"NAME", 1, 20, 0, 1}}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Describe(c.object), OCI_SUCCESS) << c.object << ": " << ErrText(err);
        OCIParam* root = Root();
        EXPECT_EQ(Ptype(root), c.ptype) << c.object;
        EXPECT_EQ(Text(root, OCI_ATTR_OBJ_SCHEMA), "SCOTT");
        ub2 ncols = 0;
        ASSERT_EQ(OCIAttrGet(root, OCI_DTYPE_PARAM, &ncols, nullptr, OCI_ATTR_NUM_COLS, err), OCI_SUCCESS);
        ASSERT_EQ(ncols, c.cols.size()) << c.object;
        OCIParam* list = nullptr;
        ASSERT_EQ(OCIAttrGet(root, OCI_DTYPE_PARAM, &list, nullptr, OCI_ATTR_LIST_COLUMNS, err), OCI_SUCCESS);
        EXPECT_EQ(Ptype(list), OCI_PTYPE_LIST);
        for (ub4 i = 1; i <= ncols; ++i) {
            OCIParam* col = nullptr;
            ASSERT_EQ(OCIParamGet(list, OCI_DTYPE_PARAM, err, (void**)&col, i), OCI_SUCCESS) << ErrText(err);
            const Col& w = c.cols[i - 1];
            ub2 type = 0, size = 0;
            sb2 prec = -1;
            ub1 nullable = 9;
            OCIAttrGet(col, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
            OCIAttrGet(col, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err);
            OCIAttrGet(col, OCI_DTYPE_PARAM, &prec, nullptr, OCI_ATTR_PRECISION, err);
            OCIAttrGet(col, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, err);
            EXPECT_EQ(Text(col, OCI_ATTR_NAME), w.name) << c.object;
            EXPECT_EQ(Ptype(col), OCI_PTYPE_COL);
            EXPECT_EQ(type, w.type) << c.object << "." << w.name;
            EXPECT_EQ(size, w.size) << c.object << "." << w.name;
            EXPECT_EQ(prec, w.prec) << c.object << "." << w.name;
            EXPECT_EQ(nullable, w.nullable) << c.object << "." << w.name;
        }
        OCIParam* none = nullptr;
        EXPECT_EQ(OCIParamGet(list, OCI_DTYPE_PARAM, err, (void**)&none, ncols + 1), OCI_ERROR);
        EXPECT_EQ(ErrCode(err), 24334);
    }
}

TEST_F(DescribeAny, SynonymsAndSequences) {
    ASSERT_EQ(Describe("s_items"), OCI_SUCCESS) << ErrText(err);
    OCIParam* root = Root();
    EXPECT_EQ(Ptype(root), OCI_PTYPE_SYN);
    EXPECT_EQ(Text(root, OCI_ATTR_SCHEMA_NAME), "SCOTT");
    EXPECT_EQ(Text(root, OCI_ATTR_NAME), "ITEMS");
    EXPECT_EQ(Text(root, OCI_ATTR_LINK), "");
    ASSERT_EQ(Describe("items_seq", OCI_PTYPE_SEQ), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Ptype(Root()), OCI_PTYPE_SEQ);
}

TEST_F(DescribeAny, UnknownObjectsAndBadArguments) {
    OCIParam* p = nullptr;
    EXPECT_EQ(OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &p, nullptr, OCI_ATTR_PARAM, err), OCI_ERROR);   // nothing described yet
    EXPECT_EQ(Describe("no_such_thing"), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-04043: object no_such_thing does not exist");
    EXPECT_EQ(Describe("items", OCI_PTYPE_VIEW), OCI_ERROR);   // there, but of another kind
    EXPECT_EQ(ErrCode(err), 4043);
    EXPECT_EQ(Describe("a.b.c"), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 4043);
    const char* n = "items";
    EXPECT_EQ(OCIDescribeAny(svc, err, (void*)n, 5, OCI_OTYPE_REF, 0, OCI_PTYPE_TYPE, dsc), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 3001);
    EXPECT_EQ(OCIDescribeAny(svc, err, (void*)n, 5, OCI_OTYPE_NAME, 0, OCI_PTYPE_UNK, (OCIDescribe*)err), OCI_INVALID_HANDLE);
    // a second describe replaces the first one's parameters
    ASSERT_EQ(Describe("items"), OCI_SUCCESS);
    OCIParam* first = Root();
    ASSERT_EQ(Describe("v_items"), OCI_SUCCESS);
    ub1 t = 0;
    EXPECT_EQ(OCIAttrGet(first, OCI_DTYPE_PARAM, &t, nullptr, OCI_ATTR_PTYPE, err), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleFree(dsc, OCI_HTYPE_DESCRIBE), OCI_SUCCESS);
    dsc = nullptr;
}

} // namespace
