// OCIDescribeAny of tables, views, synonyms, sequences, stored units and types by name, driven as
// a C client does: the object's parameter, its lists and each element's attributes.
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
    // A scalar attribute of the published size T; -1000 when the call fails.
    template <class T> long Get(OCIParam* p, ub4 attr) {
        T v{};
        ub4 size = 0;
        if (OCIAttrGet(p, OCI_DTYPE_PARAM, &v, &size, attr, err) != OCI_SUCCESS) return -1000;
        EXPECT_EQ(size, sizeof(T)) << "attribute " << attr;
        return long(v);
    }
    OCIParam* Ptr(OCIParam* p, ub4 attr) {
        OCIParam* v = nullptr;
        EXPECT_EQ(OCIAttrGet(p, OCI_DTYPE_PARAM, &v, nullptr, attr, err), OCI_SUCCESS) << "attribute " << attr << ": " << ErrText(err);
        return v;
    }
    OCIParam* At(OCIParam* list, ub4 pos) {
        OCIParam* v = nullptr;
        return OCIParamGet(list, OCI_DTYPE_PARAM, err, (void**)&v, pos) == OCI_SUCCESS ? v : nullptr;
    }
    // An argument as "NAME pos level dty typecode mode default [SCHEMA.TYPE]".
    std::string Arg(OCIParam* a) {
        if (!a) return "<none>";
        std::string s = Text(a, OCI_ATTR_NAME) + " " + std::to_string(Get<ub2>(a, OCI_ATTR_POSITION)) + " " +
                        std::to_string(Get<ub2>(a, OCI_ATTR_LEVEL)) + " " + std::to_string(Get<ub2>(a, OCI_ATTR_DATA_TYPE)) + " " +
                        std::to_string(Get<ub2>(a, OCI_ATTR_TYPECODE)) + " " + std::to_string(Get<ub4>(a, OCI_ATTR_IOMODE)) + " " +
                        std::to_string(Get<ub1>(a, OCI_ATTR_HAS_DEFAULT));
        std::string type = Text(a, OCI_ATTR_TYPE_NAME);
        if (Get<ub2>(a, OCI_ATTR_DATA_TYPE) == SQLT_NTY) s += " " + Text(a, OCI_ATTR_SCHEMA_NAME) + "." + type;
        return s;
    }
    // Every argument of an argument list, from position 0 (a function's result) on.
    std::vector<std::string> Args(OCIParam* list) {
        std::vector<std::string> out;
        for (ub4 pos = 0; pos < 20; ++pos)
            if (OCIParam* a = At(list, pos)) out.push_back(Arg(a));
            else if (pos > 1) break;
        return out;
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

TEST_F(DescribeAny, ProceduresAndFunctionsListTheirArguments) {
    ASSERT_EQ(Exec("create type point_t as object (x number, y number)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("create procedure move_item(p_id in number, p_name out varchar2, p_at in out date, p_flag boolean default true, "
                   "p_pt point_t default null) is begin null; end;"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("create function item_count(p_kind varchar2 := 'A') return pls_integer is begin return 0; end;"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("create procedure no_args is begin null; end;"), OCI_SUCCESS) << ErrText(err);
    struct Case { const char* unit; ub1 ptype; ub2 ltype; std::vector<std::string> args; };
    std::vector<Case> cases = {
        {"move_item", OCI_PTYPE_PROC, OCI_LTYPE_ARG_PROC,
         {"P_ID 1 0 2 2 0 0", "P_NAME 2 0 1 9 1 0", "P_AT 3 0 12 12 2 0", "P_FLAG 4 0 252 252 0 1", "P_PT 5 0 108 108 0 1 SCOTT.POINT_T"}},
        {"SCOTT.ITEM_COUNT", OCI_PTYPE_FUNC, OCI_LTYPE_ARG_FUNC, {" 0 0 3 3 1 0", "P_KIND 1 0 1 9 0 1"}},
        {"no_args", OCI_PTYPE_PROC, OCI_LTYPE_ARG_PROC, {}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Describe(c.unit), OCI_SUCCESS) << c.unit << ": " << ErrText(err);
        OCIParam* root = Root();
        EXPECT_EQ(Ptype(root), c.ptype) << c.unit;
        EXPECT_EQ(Text(root, OCI_ATTR_OBJ_SCHEMA), "SCOTT");
        EXPECT_EQ(Get<ub1>(root, OCI_ATTR_IS_INVOKER_RIGHTS), 0);
        OCIParam* list = Ptr(root, OCI_ATTR_LIST_ARGUMENTS);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(Get<ub2>(list, OCI_ATTR_LTYPE), c.ltype) << c.unit;
        EXPECT_EQ(Get<ub2>(list, OCI_ATTR_NUM_PARAMS), long(c.args.size())) << c.unit;
        EXPECT_EQ(Args(list), c.args) << c.unit;
        if (c.ptype == OCI_PTYPE_PROC) {
            EXPECT_EQ(At(list, 0), nullptr);   // a procedure's list starts at 1
            EXPECT_EQ(ErrCode(err), 24334);
        }
    }
    // numbers and texts of an argument, and an attribute an argument does not have
    ASSERT_EQ(Describe("move_item"), OCI_SUCCESS);
    OCIParam* id = At(Ptr(Root(), OCI_ATTR_LIST_ARGUMENTS), 1);
    EXPECT_EQ(Get<ub1>(id, OCI_ATTR_PRECISION), 0);
    EXPECT_EQ(Get<sb1>(id, OCI_ATTR_SCALE), 0);
    EXPECT_EQ(Get<ub1>(id, OCI_ATTR_RADIX), 10);
    EXPECT_EQ(Get<ub2>(id, OCI_ATTR_NUM_COLS), -1000);
    EXPECT_EQ(ErrCode(err), 24315);
    // a function described as a procedure is not there
    EXPECT_EQ(Describe("item_count", OCI_PTYPE_PROC), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 4043);
    // a unit stored with compilation errors cannot be described
    EXPECT_EQ(Exec("create procedure broken_one is begin no_such_call; end;"), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(Describe("broken_one"), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-24372: invalid object for describe");
}

TEST_F(DescribeAny, PackagesListTheirSubprogramsWithOverloads) {
    ASSERT_EQ(Exec("create package shop is\n"
                   "  total number;\n"
                   "  procedure put(p_id number);\n"
                   "  procedure put(p_name varchar2, p_qty number default 1);\n"
                   "  function price(p_id number) return number;\n"
                   "  procedure reset;\n"
                   "end;"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Describe("shop", OCI_PTYPE_PKG), OCI_SUCCESS) << ErrText(err);
    OCIParam* root = Root();
    EXPECT_EQ(Ptype(root), OCI_PTYPE_PKG);
    OCIParam* subs = Ptr(root, OCI_ATTR_LIST_SUBPROGRAMS);
    ASSERT_NE(subs, nullptr);
    EXPECT_EQ(Get<ub2>(subs, OCI_ATTR_LTYPE), OCI_LTYPE_SUBPRG);
    ASSERT_EQ(Get<ub2>(subs, OCI_ATTR_NUM_PARAMS), 4);
    struct Sub { const char* name; ub1 ptype; long overload; std::vector<std::string> args; };
    std::vector<Sub> want = {
        {"PUT", OCI_PTYPE_PROC, 1, {"P_ID 1 0 2 2 0 0"}},
        {"PUT", OCI_PTYPE_PROC, 2, {"P_NAME 1 0 1 9 0 0", "P_QTY 2 0 2 2 0 1"}},
        {"PRICE", OCI_PTYPE_FUNC, 0, {" 0 0 2 2 1 0", "P_ID 1 0 2 2 0 0"}},
        {"RESET", OCI_PTYPE_PROC, 0, {}},
    };
    for (ub4 i = 1; i <= want.size(); ++i) {
        OCIParam* sp = At(subs, i);
        ASSERT_NE(sp, nullptr);
        const Sub& w = want[i - 1];
        EXPECT_EQ(Text(sp, OCI_ATTR_NAME), w.name);
        EXPECT_EQ(Ptype(sp), w.ptype) << w.name;
        EXPECT_EQ(Get<ub2>(sp, OCI_ATTR_OVERLOAD_ID), w.overload) << w.name;
        EXPECT_EQ(Args(Ptr(sp, OCI_ATTR_LIST_ARGUMENTS)), w.args) << w.name << " " << w.overload;
    }
}

TEST_F(DescribeAny, ObjectTypesListTheirAttributesAndMethods) {
    ASSERT_EQ(Exec("create type point_t as object (x number(5,2), y number)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("create type shape_t as object (\n"
                   "  name varchar2(30), origin point_t, made date, body clob, code char(3), amount float,\n"
                   "  member function area return number,\n"
                   "  member procedure rename(p_name in varchar2),\n"
                   "  static function unit(p_name varchar2) return shape_t,\n"
                   "  member function scaled(f number) return number,\n"
                   "  member function scaled(f number, g number) return number\n"
                   ") not final"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Describe("shape_t", OCI_PTYPE_TYPE), OCI_SUCCESS) << ErrText(err);
    OCIParam* root = Root();
    EXPECT_EQ(Ptype(root), OCI_PTYPE_TYPE);
    EXPECT_EQ(Get<ub2>(root, OCI_ATTR_TYPECODE), OCI_TYPECODE_OBJECT);
    EXPECT_EQ(Text(root, OCI_ATTR_NAME), "SHAPE_T");
    EXPECT_EQ(Text(root, OCI_ATTR_SCHEMA_NAME), "SCOTT");
    EXPECT_EQ(Get<ub1>(root, OCI_ATTR_IS_FINAL_TYPE), 0);
    EXPECT_EQ(Get<ub1>(root, OCI_ATTR_HAS_LOB), 1);
    EXPECT_EQ(Ptr(root, OCI_ATTR_COLLECTION_ELEMENT), nullptr);
    struct At_ { const char* name; ub2 dty; ub2 typecode; ub2 size; long prec; long scale; const char* type; };
    std::vector<At_> attrs = {
        {"NAME", 1, 9, 30, 0, 0, "VARCHAR2"}, {"ORIGIN", 108, 108, 0, 0, 0, "SCOTT.POINT_T"}, {"MADE", 12, 12, 7, 0, 0, "DATE"},
        {"BODY", 112, 112, 4000, 0, 0, "CLOB"}, {"CODE", 96, 96, 3, 0, 0, "CHAR"}, {"AMOUNT", 2, 4, 22, 126, -127, "FLOAT"},
    };
    ASSERT_EQ(Get<ub2>(root, OCI_ATTR_NUM_TYPE_ATTRS), long(attrs.size()));
    OCIParam* list = Ptr(root, OCI_ATTR_LIST_TYPE_ATTRS);
    EXPECT_EQ(Get<ub2>(list, OCI_ATTR_LTYPE), OCI_LTYPE_TYPE_ATTR);
    for (ub4 i = 1; i <= attrs.size(); ++i) {
        OCIParam* a = At(list, i);
        ASSERT_NE(a, nullptr);
        const At_& w = attrs[i - 1];
        EXPECT_EQ(Ptype(a), OCI_PTYPE_TYPE_ATTR);
        EXPECT_EQ(Text(a, OCI_ATTR_NAME), w.name);
        EXPECT_EQ(Get<ub2>(a, OCI_ATTR_DATA_TYPE), w.dty) << w.name;
        EXPECT_EQ(Get<ub2>(a, OCI_ATTR_TYPECODE), w.typecode) << w.name;
        EXPECT_EQ(Get<ub2>(a, OCI_ATTR_DATA_SIZE), w.size) << w.name;
        EXPECT_EQ(Get<ub1>(a, OCI_ATTR_PRECISION), w.prec) << w.name;
        EXPECT_EQ(Get<sb1>(a, OCI_ATTR_SCALE), w.scale) << w.name;
        std::string type = Text(a, OCI_ATTR_TYPE_NAME);
        if (w.dty == SQLT_NTY) type = Text(a, OCI_ATTR_SCHEMA_NAME) + "." + type;
        EXPECT_EQ(type, w.type) << w.name;
    }
    EXPECT_EQ(Get<ub2>(At(list, 1), OCI_ATTR_CHARSET_ID), 873);
    EXPECT_EQ(Get<ub1>(At(list, 1), OCI_ATTR_CHARSET_FORM), SQLCS_IMPLICIT);

    // the embedded object's type, through the REF to its descriptor
    void* tdo = nullptr;
    ASSERT_EQ(OCIAttrGet(At(list, 2), OCI_DTYPE_PARAM, &tdo, nullptr, OCI_ATTR_REF_TDO, err), OCI_SUCCESS);
    ASSERT_NE(tdo, nullptr);
    ASSERT_EQ(OCIDescribeAny(svc, err, tdo, 0, OCI_OTYPE_REF, 0, OCI_PTYPE_TYPE, dsc), OCI_SUCCESS) << ErrText(err);
    OCIParam* point = Root();
    EXPECT_EQ(Text(point, OCI_ATTR_NAME), "POINT_T");
    OCIParam* x = At(Ptr(point, OCI_ATTR_LIST_TYPE_ATTRS), 1);
    EXPECT_EQ(Get<ub1>(x, OCI_ATTR_PRECISION), 5);
    EXPECT_EQ(Get<sb1>(x, OCI_ATTR_SCALE), 2);
    OCIParam* y = At(Ptr(point, OCI_ATTR_LIST_TYPE_ATTRS), 2);
    EXPECT_EQ(Get<ub1>(y, OCI_ATTR_PRECISION), 0);
    EXPECT_EQ(Get<sb1>(y, OCI_ATTR_SCALE), -127);   // an unconstrained NUMBER
    EXPECT_EQ(Get<ub1>(point, OCI_ATTR_IS_FINAL_TYPE), 1);
    EXPECT_EQ(Get<ub2>(point, OCI_ATTR_NUM_TYPE_METHODS), 0);

    // methods: a member method's SELF comes first, a function's result at position 0
    ASSERT_EQ(Describe("shape_t"), OCI_SUCCESS) << ErrText(err);
    root = Root();
    struct M { const char* name; long hasResult; long selfish; std::vector<std::string> args; };
    std::vector<M> methods = {
        {"AREA", 1, 1, {" 0 0 2 2 1 0", "SELF 1 0 108 108 0 0 SCOTT.SHAPE_T"}},
        {"RENAME", 0, 1, {"SELF 1 0 108 108 2 0 SCOTT.SHAPE_T", "P_NAME 2 0 1 9 0 0"}},
        {"UNIT", 1, 0, {" 0 0 108 108 1 0 SCOTT.SHAPE_T", "P_NAME 1 0 1 9 0 0"}},
        {"SCALED", 1, 1, {" 0 0 2 2 1 0", "SELF 1 0 108 108 0 0 SCOTT.SHAPE_T", "F 2 0 2 2 0 0"}},
        {"SCALED", 1, 1, {" 0 0 2 2 1 0", "SELF 1 0 108 108 0 0 SCOTT.SHAPE_T", "F 2 0 2 2 0 0", "G 3 0 2 2 0 0"}},
    };
    ASSERT_EQ(Get<ub2>(root, OCI_ATTR_NUM_TYPE_METHODS), long(methods.size()));
    OCIParam* ml = Ptr(root, OCI_ATTR_LIST_TYPE_METHODS);
    EXPECT_EQ(Get<ub2>(ml, OCI_ATTR_LTYPE), OCI_LTYPE_TYPE_METHOD);
    for (ub4 i = 1; i <= methods.size(); ++i) {
        OCIParam* m = At(ml, i);
        ASSERT_NE(m, nullptr);
        const M& w = methods[i - 1];
        EXPECT_EQ(Ptype(m), OCI_PTYPE_TYPE_METHOD);
        EXPECT_EQ(Text(m, OCI_ATTR_NAME), w.name);
        EXPECT_EQ(Get<ub1>(m, OCI_ATTR_HAS_RESULT), w.hasResult) << w.name;
        EXPECT_EQ(Get<ub1>(m, OCI_ATTR_IS_SELFISH), w.selfish) << w.name;
        EXPECT_EQ(Get<ub4>(m, OCI_ATTR_ENCAPSULATION), OCI_TYPEENCAP_PUBLIC);
        OCIParam* args = Ptr(m, OCI_ATTR_LIST_ARGUMENTS);
        EXPECT_EQ(Get<ub2>(args, OCI_ATTR_LTYPE), w.hasResult ? OCI_LTYPE_TYPE_ARG_FUNC : OCI_LTYPE_TYPE_ARG_PROC);
        EXPECT_EQ(Args(args), w.args) << w.name;
        if (w.hasResult) EXPECT_EQ(Ptype(At(args, 0)), OCI_PTYPE_TYPE_RESULT);
    }
}

TEST_F(DescribeAny, CollectionTypesDescribeTheirElement) {
    ASSERT_EQ(Exec("create type point_t as object (x number, y number)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("create type amounts_t as varray(10) of number(9,2)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("create type names_t as table of varchar2(40)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("create type points_t as table of point_t"), OCI_SUCCESS) << ErrText(err);
    struct Case { const char* type; ub2 coll; ub2 dty; ub2 typecode; ub2 size; long prec; long scale; long elems; const char* elemType; };
    std::vector<Case> cases = {
        {"amounts_t", OCI_TYPECODE_VARRAY, 2, 2, 22, 9, 2, 10, "NUMBER"},
        {"names_t", OCI_TYPECODE_TABLE, 1, 9, 40, 0, 0, 0, "VARCHAR2"},
        {"points_t", OCI_TYPECODE_TABLE, 108, 108, 0, 0, 0, 0, "SCOTT.POINT_T"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Describe(c.type, OCI_PTYPE_TYPE), OCI_SUCCESS) << c.type << ": " << ErrText(err);
        OCIParam* root = Root();
        EXPECT_EQ(Get<ub2>(root, OCI_ATTR_TYPECODE), OCI_TYPECODE_NAMEDCOLLECTION) << c.type;
        EXPECT_EQ(Get<ub2>(root, OCI_ATTR_COLLECTION_TYPECODE), c.coll) << c.type;
        EXPECT_EQ(Get<ub2>(root, OCI_ATTR_NUM_TYPE_ATTRS), 0) << c.type;
        OCIParam* e = Ptr(root, OCI_ATTR_COLLECTION_ELEMENT);
        ASSERT_NE(e, nullptr) << c.type;
        EXPECT_EQ(Ptype(e), OCI_PTYPE_TYPE_COLL);
        EXPECT_EQ(Get<ub2>(e, OCI_ATTR_DATA_TYPE), c.dty) << c.type;
        EXPECT_EQ(Get<ub2>(e, OCI_ATTR_TYPECODE), c.typecode) << c.type;
        EXPECT_EQ(Get<ub2>(e, OCI_ATTR_DATA_SIZE), c.size) << c.type;
        EXPECT_EQ(Get<ub1>(e, OCI_ATTR_PRECISION), c.prec) << c.type;
        EXPECT_EQ(Get<sb1>(e, OCI_ATTR_SCALE), c.scale) << c.type;
        EXPECT_EQ(Get<ub4>(e, OCI_ATTR_NUM_ELEMS), c.elems) << c.type;
        std::string type = Text(e, OCI_ATTR_TYPE_NAME);
        if (c.dty == SQLT_NTY) type = Text(e, OCI_ATTR_SCHEMA_NAME) + "." + type;
        EXPECT_EQ(type, c.elemType) << c.type;
    }
    // a type attribute of a collection type says so through its type code
    ASSERT_EQ(Exec("create type route_t as object (stops points_t, tags names_t)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Describe("route_t"), OCI_SUCCESS) << ErrText(err);
    OCIParam* stops = At(Ptr(Root(), OCI_ATTR_LIST_TYPE_ATTRS), 1);
    EXPECT_EQ(Get<ub2>(stops, OCI_ATTR_DATA_TYPE), SQLT_NTY);
    EXPECT_EQ(Get<ub2>(stops, OCI_ATTR_TYPECODE), OCI_TYPECODE_NAMEDCOLLECTION);
    EXPECT_EQ(Get<ub1>(Root(), OCI_ATTR_HAS_NESTED_TABLE), 1);
    // pointers to type descriptors need the object cache: a clean refusal
    void* tdo = nullptr;
    ASSERT_EQ(OCIAttrGet(Root(), OCI_DTYPE_PARAM, &tdo, nullptr, OCI_ATTR_REF_TDO, err), OCI_SUCCESS);
    EXPECT_EQ(OCIDescribeAny(svc, err, tdo, 0, OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE, dsc), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 3001);
    EXPECT_EQ(OCIDescribeAny(svc, err, tdo, 0, OCI_OTYPE_REF, 0, OCI_PTYPE_PROC, dsc), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 4043);
    int junk = 0;   // a REF that no describe handed out
    EXPECT_EQ(OCIDescribeAny(svc, err, &junk, 0, OCI_OTYPE_REF, 0, OCI_PTYPE_TYPE, dsc), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 3001);
}

} // namespace
