#pragma once
// The select-list columns of a query: one TFieldData per column, in select-list order, holding
// the column's description and an array buffer of `cache` rows that the client fetches into.
// LONG and LONG RAW columns are fetched piecewise into a list of TLongPiece instead.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "base/Component.h"

namespace quorvel {

// One piece of a LONG or LONG RAW value. The client writes the piece's length into
// ActualSize, so a piece never moves once it has been handed out.
struct TLongPiece {
    uint32_t AllocatedSize = 0;
    uint32_t ActualSize = 0;
    std::unique_ptr<uint8_t[]> PieceBuf;
};

// The value object a column shows its current row through (a LOB locator, an object, a
// reference). The column owns it; the classes that implement it come with LOB locators and
// object types.
class TFieldValueObject {
public:
    virtual ~TFieldValueObject() = default;
};

struct TFieldData {
    int32_t dbsize = 0;   // data size as described
    int16_t dbtype = 0;   // database type code as described
    std::string name;     // at most 30 bytes of the described name, decoded
    int16_t prec = 0;
    int16_t scale = 0;
    int16_t nullok = 0;
    uint16_t buftype = 0;  // external type fetched into the buffer
    int32_t bufsize = 0;   // bytes per row
    int32_t cache = 0;     // rows in the buffer
    std::unique_ptr<uint8_t[]> buf;    // cache x bufsize bytes; none when bufsize <= 0
    std::unique_ptr<int16_t[]> ind;    // cache indicators, -1 null
    std::unique_ptr<uint16_t[]> rlen;  // cache returned lengths
    std::deque<TLongPiece> LongPieces; // the current row's LONG / LONG RAW value
    void* TDO = nullptr;       // pinned type descriptor of an object column
    void* RefTDO = nullptr;    // the REF used to pin it
    void* Senvhp = nullptr;    // session handles remembered for freeing
    void* Ssvchp = nullptr;
    void* Serrhp = nullptr;
    std::vector<void*> NullStructs;   // object columns: per row, the null structure
    std::vector<void*> Descriptors;   // LOB, timestamp and cursor columns: per row
    uint32_t DescriptorType = 0;      // the descriptor type of Descriptors (0: statement handles)
    std::string TypeName;             // object and REF columns: schema "." type
    uint16_t ObjectTypeCode = 0;
    // The value object the column shows its current row through (a LOB locator, an object, a
    // reference); timestamp columns have their TOracleTimestamp in TimestampObj.
    std::unique_ptr<TFieldValueObject> Obj;
    std::unique_ptr<TComponent> TimestampObj;
    uint8_t CharSetForm = 0;
    uint16_t CharSetID = 0;
    uint16_t CharSize = 0;
    bool IsUTF16 = false;
    bool IsUTF8 = false;
    void* defnp = nullptr;    // the define handle (OCI8)

    // Sum of the ActualSize of the pieces.
    int64_t LongSize() const;
    // The slot of a row in buf.
    uint8_t* Slot(int row) const { return buf.get() + std::size_t(row) * std::size_t(bufsize); }
};

} // namespace quorvel
