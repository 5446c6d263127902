#pragma once
// Bind and substitution variables of a statement.
//
// A TVariables list belongs to one statement (its TVariableOwner). Each entry, a
// TVariableData, is either a bind variable (a :NAME placeholder bound by address when the
// statement runs) or a substitution variable (its text is pasted into the SQL before parsing).
// Names are case-insensitive and may be given with or without the leading colon: every name
// is upper-cased and prefixed with ":" before it is looked up, and is stored that way.
//
// Every failure raises a plain Exception with a fixed text; nothing here contacts the database.
#include "base/Variant.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct OCIBind OCIBind;

namespace quorvel {

class TOracleSession;
class TOracleObject;
class TOracleReference;
class TLOBLocator;
class TOracleQuery;
class TOracleTimestamp;
class TParams;
class TStream;

// ---- type codes ----------------------------------------------------------------------------
// One 16-bit code space for variable types, column buffer types and the external types passed
// to the client library.
using TOracleTypeCode = std::int16_t;
constexpr TOracleTypeCode otSubst = 1;
constexpr TOracleTypeCode otInteger = 3;
constexpr TOracleTypeCode otFloat = 4;
constexpr TOracleTypeCode otString = 5;
constexpr TOracleTypeCode otLong = 8;
constexpr TOracleTypeCode otPLSQLString = 10;
constexpr TOracleTypeCode otDate = 12;
constexpr TOracleTypeCode otLongRaw = 24;
constexpr TOracleTypeCode otChar = 97;
constexpr TOracleTypeCode otObject = 108;
constexpr TOracleTypeCode otReference = 110;
constexpr TOracleTypeCode otCLOB = 112;
constexpr TOracleTypeCode otBLOB = 113;
constexpr TOracleTypeCode otBFile = 114;
constexpr TOracleTypeCode otCursor = 116;
constexpr TOracleTypeCode otTimestamp = 187;
constexpr TOracleTypeCode otTimestampTZ = 188;
constexpr TOracleTypeCode otTimestampLTZ = 232;
constexpr TOracleTypeCode otBoolean = 252; // package calls only; not a variable type

// Substitution, string, PL/SQL string and char.
bool IsStringType(int type);
// Object, reference, LOB, cursor and timestamp types: the variable holds a reference to a
// caller-owned object, not a value.
bool IsComplexType(int type);
bool IsTimestampType(int type);
// A code DeclareVariable accepts.
bool IsVariableType(int type);
// The per-element buffer size a variable of this type and (normalized) name is declared
// with; -1 for a code that is no variable type.
int DeclaredBufferSize(int type, const std::string& normalizedName);

// Character set ids the client treats as UTF-8 (870, 871, 873) and UTF-16 (1000: machine
// order, 2000: big-endian).
bool IsUTF8CharSetID(int id);
bool IsUTF16CharSetID(int id);

// Library-wide switches.
// Off: a string variable whose name contains ROWID gets a 501-byte element instead of 4001.
inline bool NoRowIdVariableSizing = false;
// On: string variables of statements take the session's UTF-8 or UTF-16 character set.
inline bool DefaultVariableCharSet = true;

// The value of one buffer element as the library hands it out (shared with select-list
// fields): string types by character set id, integers, floats, LONG text (length bytes),
// LONG RAW bytes (length bytes) and DATEs; timestamp codes read the descriptor the slot holds
// (a date-time; unassigned without a session or descriptor); other complex codes read the
// slot as an object reference. slotSize bounds every read of the slot (zero-terminated text
// included); session may be null.
Variant ConvertBufferOut(const void* slot, int slotSize, int type, int charSetID, TOracleSession* session,
                         int length);

// ---- the statement side ---------------------------------------------------------------------
class TVariableOwner { // implemented by TOracleQuery
public:
    virtual ~TVariableOwner() = default;
    virtual TOracleSession* VariableSession() const = 0;  // may be null
    virtual bool UseDefaultVariableCharSet() const = 0;   // the query flag or the library-wide switch
    virtual void VariablesRedeclared() = 0;               // close when Personal Oracle Lite, forget the parsed SQL
    // Lists are copied to one another only between statements.
    virtual bool IsOracleQuery() const { return false; }
};

// ---- one variable ---------------------------------------------------------------------------
class TVariableData {
public:
    TVariableData() = default;
    ~TVariableData();
    TVariableData(const TVariableData&) = delete;
    TVariableData& operator=(const TVariableData&) = delete;

    std::string name;                 // normalized, with the leading ":"
    TOracleTypeCode buftype = 0;
    std::int32_t bufsize = 0;         // bytes per element
    void* buf = nullptr;              // ArraySize x bufsize bytes; the object reference when Complex
    std::vector<std::int16_t> indp{-1}; // one indicator per element: -1 null, 0 value present
    std::int32_t len = 0;             // bytes of the value last stored (LONG, LONG RAW, UTF-16)
    std::int32_t ArrayLowBound = 0;
    std::int32_t ArraySize = 1;
    bool IsPLSQLTable = false;
    std::int32_t PLSQLTableElemCount = 0;
    bool BufOwner = true;             // the variable frees buf
    bool Complex = false;
    OCIBind* bindhp = nullptr;        // bind handle of the last bind, cleared with the statement handle
    void* bindbuf = nullptr;          // address last bound
    TDateTime tsv;                    // a timestamp variable set from a plain date-time
    std::shared_ptr<TOracleTimestamp> tsp; // made at bind time for tsv
    std::uint8_t CharSetForm = 0;     // 0 not set, 1 database character set, 2 national
    std::uint16_t CharSetID = 0;      // 0 not set

    // Element index of the buffer (for a complex variable: the reference itself).
    void* Slot(int index) const;
    // Converts value into element index. session may be null.
    void SetValue(int index, const Variant& value, TOracleSession* session);
    // newDim elements, all null; newSize > 0 makes string elements newSize + 1 bytes.
    void ReDim(int newDim, int newSize, TOracleSession* session);
    // The value as GetVariable gives it (arrays and PL/SQL tables as variant arrays).
    Variant GetValue(TOracleSession* session) const;
    // Text for debugging displays: "(Array)", "(Long)", ..., the value, or "Null".
    std::string DisplayString(TOracleSession* session) const;

    // Frees an owned buffer (a complex variable only forgets its reference).
    void FreeBuffer();
};

// ---- the list -------------------------------------------------------------------------------
class TVariables {
public:
    explicit TVariables(TVariableOwner* owner);
    ~TVariables();
    TVariables(const TVariables&) = delete;
    TVariables& operator=(const TVariables&) = delete;

    TVariableOwner* Owner() const { return FOwner; }
    int Count() const { return int(FList.size()); }
    // "List index out of bounds (" + index + ")" outside 0..Count-1.
    TVariableData& Data(int index) const;

    void DeclareVariable(const std::string& name, int type);
    void DeclareAndSet(const std::string& name, int type, const Variant& value);
    void DeclareVariableCharSet(const std::string& name, int charSetForm, int charSetID);
    void DimPLSQLTable(const std::string& name, int tableSize, int stringSize);

    void SetVariable(int index, const Variant& value);
    void SetVariable(const std::string& name, const Variant& value);
    Variant GetVariable(int index) const;
    Variant GetVariable(const std::string& name) const;
    // Binds a caller-owned buffer to a LONG or LONG RAW variable without copying; the caller
    // keeps it alive until the statement has run. A null buffer or length 0 makes it null.
    void SetLongVariable(const std::string& name, void* buffer, int length);

    // Object-valued variables; each kind of object goes to the variable types made for it,
    // nullptr makes the variable null.
    void SetComplexVariable(const std::string& name, TOracleObject* object);
    void SetComplexVariable(const std::string& name, TOracleReference* object);
    void SetComplexVariable(const std::string& name, TLOBLocator* object);
    void SetComplexVariable(const std::string& name, TOracleQuery* object);
    void SetComplexVariable(const std::string& name, TOracleTimestamp* object);
    void SetComplexVariable(const std::string& name, std::nullptr_t);
    void* GetComplexVariable(const std::string& name) const;

    int VariableCount() const { return Count(); }
    std::string VariableName(int index) const;
    int VariableType(int index) const;
    int VariableCharSetID(int index) const;
    int VariableCharSetForm(int index) const;
    bool VariableCharSetIsUTF8(int index) const;
    bool VariableCharSetIsUTF16(int index) const;
    int VariableIndex(const std::string& name) const; // -1 when absent
    // Upper-cased, with a leading ":".
    static std::string NormalizeName(const std::string& name);

    void DeleteVariable(const std::string& name);
    void DeleteVariables();
    void ClearVariables();

    // Character sets of string variables stamped again after the owner's
    // UseDefaultVariableCharSet or its session changed (on a session change only while the
    // default character set is in force).
    void RestampCharSets(bool sessionChanged);

    // Copies with the generic parameter list, and between statements.
    void Assign(const TParams& source);
    void Assign(const TVariables& source); // source.AssignTo(*this)
    void AssignTo(TParams& dest) const;
    // Both lists must belong to statements: "Can only Assign TVariables owned by a TOracleQuery".
    void AssignTo(TVariables& dest) const;

    // The stored form, the binary property "Data" of the owning statement.
    static constexpr std::int32_t StreamVersion = 4;
    void WriteData(TStream& stream) const;
    void ReadData(TStream& stream); // "Invalid version of Query variables" above version 4
    // Whether the property is written: the list differs from the ancestor's, or there is no
    // ancestor and the list is not empty.
    bool ShouldWriteData(const TVariables* ancestor) const;

private:
    TVariableOwner* FOwner;
    std::vector<std::unique_ptr<TVariableData>> FList;

    TOracleSession* Session() const;
    TVariableData& Find(const std::string& name, const char* missingPrefix, const char* missingSuffix) const;
    void SetComplex(const std::string& name, void* object, int kind);
    void ApplyDefaultCharSet(TVariableData& v);
};

} // namespace quorvel
