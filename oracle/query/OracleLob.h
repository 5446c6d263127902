#pragma once
// TLOBLocator: a byte stream over one CLOB, NCLOB, BLOB or BFILE value in the database, read and
// written piece by piece through the session's OCILob... calls (OCI8 mode only).
//
// Locators come from three places: a query keeps one per LOB column and points it at the
// current row's descriptor; an application creates one to bind as a LOB variable; an object
// attribute of a LOB type owns one. Text mode: a locator whose character set is UTF-8 (870, 871,
// 873) or UTF-16 (1000, 2000) transfers text as UTF-16; sizes and positions are then bytes of
// UTF-16 (two per character) while the database counts characters.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/Component.h"
#include "base/Stream.h"
#include "oracle/query/Fields.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

class TLOBLocator : public TComponent,
                    public TStream,
                    public TFieldValueObject,
                    public TOracleSessionClient {
public:
    // lobType: otCLOB (112), otBLOB (113) or otBFile (114); -112 is a national CLOB (NCLOB).
    // Needs a connected session in OCI8 mode.
    TLOBLocator(TOracleSession* session, int lobType);
    // A new temporary CLOB or BLOB (needs an OCI 8.1 client).
    static std::unique_ptr<TLOBLocator> CreateTemporary(TOracleSession* session, int lobType, bool cache);
    ~TLOBLocator() override;

    // ---- stream ----
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    // Smaller: trims; larger: extends with a space (CLOB) or a zero byte.
    void SetSize(int64_t size) override;

    // ---- value ----
    bool IsNull();
    void Clear();       // becomes null
    void SetEmpty();    // becomes an empty LOB that can be inserted
    // "TLOBLocator: Cannot assign nil source" for nullptr; a null source clears this locator.
    void Assign(TLOBLocator* source);
    // length units from the source's position to this locator's position.
    void Copy(TLOBLocator& source, int64_t length);
    void Append(TLOBLocator& source);
    int64_t Erase(int64_t length);   // from the position; returns the amount erased
    void Trim();                     // the size becomes the position

    // ---- BFILE ----
    std::string Filename();
    // "DIR\file": directory alias and file name; without "\" only the file name changes.
    void SetFilename(const std::string& name);
    std::string Directory();
    void SetDirectory(const std::string& directory);
    bool FileExists();
    // Closes the file when it is open.
    void CloseFile();

    // ---- buffering ----
    bool Buffering() const { return FBuffering; }
    void SetBuffering(bool on);
    void FlushBuffer();

    // ---- attributes ----
    TOracleSession* Session() const { return FSession; }
    int LOBType() const { return FLOBType; }
    bool Temporary();
    bool NCLOB() const { return FCharSetForm == 2; }
    void SetNCLOB(bool national);   // "NCLOB property only applicable for CLOB"
    int CharSetForm() const { return FCharSetForm; }
    void SetCharSetForm(int form) { FCharSetForm = form; }
    int CharSetID() const { return FCharSetID; }
    void SetCharSetID(int id) { FCharSetID = id; }
    bool IsUTF16() const;
    // The locator's name: set by the application or the query (the column name); without one,
    // "LOBLocator" followed by the monitor ID.
    std::string LOBName();
    void SetName(const std::string& name) override { FName = name; }
    int MonID();
    int ParentMonID() const { return FParentMonID; }
    void SetParentMonID(int id) { FParentMonID = id; }

    // ---- text ----
    std::string AsString();
    void SetAsString(const std::string& text);
    std::u16string AsWideString();
    void SetAsWideString(const std::u16string& text);

    // ---- files ----
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

    // ---- for statements and object attributes ----
    // The address of the locator pointer in use: the locator's own descriptor, or the slot it
    // was pointed at.
    void** LocatorAddress() const { return PLOB; }
    void* Locator() const { return PLOB ? *PLOB : nullptr; }
    // Points the locator at a descriptor slot (a query row); nullptr points it back at its own.
    // mirror: where the client reads the same pointer from (the row's define buffer slot), kept
    // equal when the locator renews the descriptor.
    void PointAt(void** slot, void* mirror = nullptr);
    // Position 0 (for a query's row change).
    void Rewind() { FPosition = 0; }
    // Object attributes: the locator pointer lives in the owner's instance and is renewed with
    // OCIObjectNew / OCIObjectFree; nullIndicator is the owner's indicator of the attribute,
    // changed is called after every change of the locator.
    void SetAttributeOwner(void** slot, int16_t* nullIndicator, const std::string& attrName,
                           std::function<void(TLOBLocator&)> changed);
    const std::string& OwnerAttrName() const { return FOwnerAttrName; }

    // ---- TOracleSessionClient ----
    void SessionDetach() override;

private:
    TLOBLocator(TOracleSession* session, int lobType, bool);
    void Check(int32_t status);
    void CheckNotFile(const char* operation) const;
    int64_t Length();
    void Renew();
    void SyncOwner();
    void OpenFileForRead();
    void FileSetName(const std::string& dir, const std::string& file);
    void GetFileName(std::string& dir, std::string& file);
    void FreeHandles();
    uint16_t TransferCharSetID() const;
    void Report(const std::string& activity);
    void ReportEnd(bool failed, const std::string& message);

    void* FLOB = nullptr;
    void** PLOB = nullptr;
    void* FMirror = nullptr;
    TOracleSession* FSession = nullptr;
    void* errhp = nullptr;
    void* FEnv = nullptr;      // the environment the handles came from
    bool FOwnEnv = false;      // ... a session's own one, freed with its logoff
    int64_t FPosition = 0;
    uint32_t LOBDType = 50;
    bool FBuffering = false;
    bool Modified = false;
    bool FIsAttribute = false;
    std::string FOwnerAttrName;
    int16_t* NullStruct = nullptr;
    std::function<void(TLOBLocator&)> FOwnerChanged;
    int FMonID = 0;
    bool SentToMonitor = false;
    int FParentMonID = 0;
    int FLOBType = 112;
    std::string FName;
    int FCharSetForm = 1;
    int FCharSetID = 0;
};

} // namespace quorvel
